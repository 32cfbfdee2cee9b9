// The benchmarks kept from rotting: each runs once with a tiny count and must
// yield figures; the statistics and the verdicts behind the table.
#include <doctest/doctest.h>
#include <cmath>
#include <string>
#include <vector>
#include "bench.h"
#include "soak.h"

namespace {

BenchOptions TinyOptions()
{
    BenchOptions options;
    options.Seed = 7;
    options.Presses = 3;
    options.KeyStateBatches = 3;
    options.KeyStateCalls = 2;
    options.Repaints = 3;
    options.IdleSeconds = 1;
    options.Starts = 1;
    options.Taps = 3;
    return options;
}

const BenchRow* FindRow(const std::vector<BenchRow>& rows, const std::string& start)
{
    for (const BenchRow& row : rows)
        if (row.Name.compare(0, start.size(), start) == 0) return &row;
    return nullptr;
}

}  // namespace

TEST_CASE("median and 99th percentile by nearest rank")
{
    struct Row {
        std::vector<double> samples;
        double median, p99;
    };
    std::vector<double> hundred;
    for (int i = 100; i >= 1; --i) hundred.push_back(i);  // unsorted on purpose
    std::vector<double> twoHundred = hundred;
    for (int i = 101; i <= 200; ++i) twoHundred.push_back(i);
    const Row rows[] = {
        {{5}, 5, 5},         {{3, 1}, 2, 3},           {{1, 9, 4}, 4, 9},
        {hundred, 50.5, 99}, {twoHundred, 100.5, 198},
    };
    for (const Row& row : rows) {
        CAPTURE(row.samples.size());
        const Distribution d = Summarize(row.samples);
        CHECK(d.Count == row.samples.size());
        CHECK(d.Median == doctest::Approx(row.median));
        CHECK(d.P99 == doctest::Approx(row.p99));
    }
    CHECK(Summarize({}).Count == 0);
}

TEST_CASE("a row meets its target by median and 99th percentile, or within its slack")
{
    struct Row {
        double figure, figureP99, baseline, baselineP99, target, slack;
        bool spread, measured, met;
        double p99Target = 0;
    };
    const Row rows[] = {
        {2.0, 4.0, 1.0, 2.0, 2.2, 0, true, true, true},
        {2.3, 4.0, 1.0, 2.0, 2.2, 0, true, true, false},      // median too slow
        {2.0, 4.5, 1.0, 2.0, 2.2, 0, true, true, false},      // tail too slow
        {2.0, 9.0, 1.0, 2.0, 2.2, 0, false, true, true},      // no tail shown, none judged
        {2.0, 9.0, 1.0, 2.0, 2.2, 0, true, true, true, -1},   // the median alone judged
        {2.3, 2.0, 1.0, 2.0, 2.2, 0, true, true, false, -1},  // and still judged
        {25, 25, 20, 20, 0, 10, false, true, true},           // within the slack
        {31, 31, 20, 20, 0, 10, false, true, false},          // beyond it
        {0, 0, 0, 0, 0, 10, false, true, true},               // nothing against nothing
        {9, 9, 1, 1, 0, 0, true, true, true},                 // no target at all
        {1, 1, 1, 1, 2.2, 0, true, false, false},             // not run is never met
    };
    for (const Row& r : rows) {
        CAPTURE(r.figure);
        CAPTURE(r.figureP99);
        BenchRow row;
        row.Figure.Median = r.figure;
        row.Figure.P99 = r.figureP99;
        row.Figure.Count = 1;
        row.Baseline.Median = r.baseline;
        row.Baseline.P99 = r.baselineP99;
        row.Baseline.Count = 1;
        row.Target = r.target;
        row.P99Target = r.p99Target;
        row.Slack = r.slack;
        row.Spread = r.spread;
        row.Measured = r.measured;
        CHECK(MeetsTarget(row) == r.met);
    }
    CHECK(std::isinf(Ratio(1, 0)));
    CHECK(Ratio(0, 0) == 1.0);
    CHECK(Ratio(3, 2) == doctest::Approx(1.5));
}

TEST_CASE("the table shows the seed, every row with its ratio and verdict, and the notes")
{
    BenchRow met;
    met.Name = "fast";
    met.Unit = "ms";
    met.Figure = Summarize({2, 2, 2});
    met.BaselineName = "base";
    met.Baseline = Summarize({1, 1, 1});
    met.Target = 2.2;
    met.Measured = true;
    BenchRow missed = met;
    missed.Name = "slow ○";
    missed.Figure = Summarize({5, 5, 5});
    missed.Note = "why it is slow";
    BenchRow absent;
    absent.Name = "absent";
    const std::string table = FormatTable({met, missed, absent}, 4242);
    CHECK(table.find("seed 4242") != std::string::npos);
    CHECK(table.find("| fast ") != std::string::npos);
    CHECK(table.find("2.00 / 2.00 | <= 2.20 | met") != std::string::npos);
    CHECK(table.find("5.00 / 5.00 | <= 2.20 | MISSED") != std::string::npos);
    CHECK(table.find("not run") != std::string::npos);
    CHECK(table.find("- slow ○: why it is slow") != std::string::npos);
    // Every line of the table has the same number of columns, also with wide characters.
    size_t lineStart = table.find('\n') + 1;
    size_t width = 0;
    for (int line = 0; line < 5; ++line) {
        const size_t end = table.find('\n', lineStart);
        size_t columns = 0;
        for (size_t i = lineStart; i < end; ++i)
            columns += (static_cast<unsigned char>(table[i]) & 0xC0) != 0x80;
        if (line == 0) width = columns;
        CHECK(columns == width);
        lineStart = end + 1;
    }
}

TEST_CASE("every benchmark runs once with a tiny count")
{
    const BenchOptions options = TinyOptions();
    std::vector<BenchRow> rows;
    // The programs outside first, as the benchmark program does.
    BenchLatency(options, rows);
    BenchPicture(options, rows);
    BenchIdle(options, rows);
    BenchStartup(options, rows);
    BenchTaps(options, rows);
    BenchKeyState(options, rows);
    BenchRepaint(options, rows);
    BenchSlide(options, rows);
    for (const BenchRow& row : rows) {
        CAPTURE(row.Name);
        CAPTURE(row.Note);
        CHECK(row.Measured);
        CHECK(row.Figure.Count > 0);
        CHECK(row.Baseline.Count > 0);
    }
    struct Expected {
        const char* name;
        size_t count;
        bool positive;  // the figure cannot be zero
    };
    const Expected expected[] = {
        {"UpdateKeyState, 1 contact", 3, true},
        {"UpdateKeyState, 10 contacts", 3, true},
        {"hit test with the box check, 1 contact", 3, true},
        {"hit test, exact test only, 2 contacts", 3, true},
        {"RepaintPad", 3, true},
        {"frame after one press", 3, true},
        {"frames per second, a finger sliding over the cross key at 200", 1, true},
        {"start-up: process start", 1, true},
        {"start-up: peak working set", 1, true},
        {"idle", 1, false},
        {"input-to-key latency", 3, true},
        {"a press to its picture", 3, true},
        {"one mouse hop", 3, true},
        {"the overlay's key output", 3, true},
        {"input-to-key latency with the diagnostic log on", 3, true},
        {"quick taps seen by a game polling at 30 Hz", 1, true},
    };
    for (const Expected& e : expected) {
        CAPTURE(std::string(e.name));
        const BenchRow* row = FindRow(rows, e.name);
        REQUIRE(row);
        CHECK(row->Figure.Count == e.count);
        CHECK(row->Figure.Median >= 0);
        if (e.positive) CHECK(row->Figure.Median > 0);
    }
}

TEST_CASE("a short soak samples the overlay and keeps it alive")
{
    const SoakResult result = RunSoak(11, 4.0, 1.0);
    INFO(result.Note);
    REQUIRE(result.Ran);
    CHECK(result.OverlayAlive);
    CHECK(result.Events >= 300);
    CHECK(result.GameKeyEvents > 0);  // the input reached the pad and the pad the game
    CHECK(result.Samples.size() >= 5);
    for (const SoakSample& s : result.Samples) {
        CHECK(s.Overlay.PrivateMb > 0);
        CHECK(s.Overlay.WorkingSetMb > 0);
        CHECK(s.Overlay.Windows >= 1);
    }
}
