// Statistics and the printed table.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include "bench.h"

int64_t NowTicks()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

double TicksPerMs()
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(frequency.QuadPart) / 1000.0;
}

Distribution Summarize(std::vector<double> samples)
{
    Distribution result;
    result.Count = samples.size();
    if (samples.empty()) return result;
    std::sort(samples.begin(), samples.end());
    const size_t n = samples.size();
    result.Median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    // Nearest rank: the smallest sample with at least 99 % of them at or below it.
    const size_t rank = static_cast<size_t>(std::ceil(0.99 * static_cast<double>(n)));
    result.P99 = samples[std::max<size_t>(rank, 1) - 1];
    return result;
}

double Ratio(double figure, double baseline)
{
    if (baseline > 0) return figure / baseline;
    return figure > 0 ? INFINITY : 1.0;
}

bool MeetsTarget(const BenchRow& row)
{
    if (!row.Measured) return false;
    if (row.Slack > 0 && row.Figure.Median > row.Baseline.Median + row.Slack) return false;
    if (row.Limit > 0 && row.Figure.Median > row.Limit) return false;
    if (row.Target <= 0) return true;
    if (Ratio(row.Figure.Median, row.Baseline.Median) > row.Target) return false;
    if (!row.Spread || row.P99Target < 0) return true;
    const double p99Target = row.P99Target > 0 ? row.P99Target : row.Target;
    return Ratio(row.Figure.P99, row.Baseline.P99) <= p99Target;
}

namespace {

std::string Number(double value)
{
    char text[32];
    if (std::isinf(value)) return "inf";
    const double size = std::fabs(value);
    std::snprintf(text, sizeof(text),
                  size >= 100  ? "%.0f"
                  : size >= 10 ? "%.1f"
                  : size >= 1  ? "%.2f"
                               : "%.3f",
                  value);
    return text;
}

std::string Figure(const Distribution& d, bool spread, const std::string& unit)
{
    if (d.Count == 0) return "-";
    std::string text = Number(d.Median);
    if (spread) text += " / " + Number(d.P99);
    return text + " " + unit;
}

std::string RatioText(const BenchRow& row)
{
    if (!row.Measured) return "-";
    std::string text = Number(Ratio(row.Figure.Median, row.Baseline.Median));
    if (row.Spread) text += " / " + Number(Ratio(row.Figure.P99, row.Baseline.P99));
    return text;
}

std::string TargetText(const BenchRow& row)
{
    if (row.Slack > 0) return "<= base + " + Number(row.Slack) + " " + row.Unit;
    if (row.Limit > 0) return "<= " + Number(row.Limit) + " " + row.Unit;
    if (row.Target > 0 && row.P99Target > 0)
        return "<= " + Number(row.Target) + " / " + Number(row.P99Target);
    if (row.Target > 0 && row.P99Target < 0) return "<= " + Number(row.Target) + " / -";
    if (row.Target > 0) return "<= " + Number(row.Target);
    return "";
}

std::string Verdict(const BenchRow& row)
{
    if (!row.Measured) return "not run";
    if (row.Target <= 0 && row.Slack <= 0 && row.Limit <= 0) return "";
    return MeetsTarget(row) ? "met" : "MISSED";
}

void AddCell(std::string& line, const std::string& text, size_t width)
{
    line += text;
    // UTF-8 continuation bytes take no column.
    size_t columns = 0;
    for (unsigned char c : text) columns += (c & 0xC0) != 0x80;
    line.append(columns < width ? width - columns : 0, ' ');
    line += " | ";
}

}  // namespace

std::string FormatTable(const std::vector<BenchRow>& rows, unsigned seed)
{
    const char* headings[] = {"benchmark", "figure (median / p99)",
                              "baseline",  "baseline (median / p99)",
                              "ratio",     "target",
                              "result"};
    std::vector<std::vector<std::string>> cells;
    for (const BenchRow& row : rows) {
        cells.push_back({row.Name, Figure(row.Figure, row.Spread, row.Unit), row.BaselineName,
                         Figure(row.Baseline, row.Spread, row.Unit), RatioText(row),
                         TargetText(row), Verdict(row)});
    }
    size_t widths[7];
    for (size_t c = 0; c < 7; ++c) {
        widths[c] = std::string(headings[c]).size();
        for (const auto& line : cells) {
            size_t columns = 0;
            for (unsigned char ch : line[c]) columns += (ch & 0xC0) != 0x80;
            widths[c] = std::max(widths[c], columns);
        }
    }
    std::string text = "seed " + std::to_string(seed) + "\n";
    std::string line = "| ";
    for (size_t c = 0; c < 7; ++c) AddCell(line, headings[c], widths[c]);
    text += line.substr(0, line.size() - 1) + "\n|";
    for (size_t c = 0; c < 7; ++c) text += std::string(widths[c] + 2, '-') + "|";
    text += "\n";
    for (const auto& row : cells) {
        line = "| ";
        for (size_t c = 0; c < 7; ++c) AddCell(line, row[c], widths[c]);
        text += line.substr(0, line.size() - 1) + "\n";
    }
    for (const BenchRow& row : rows)
        if (!row.Note.empty()) text += "- " + row.Name + ": " + row.Note + "\n";
    return text;
}
