// Idle: processor time of the overlay over a stretch without input, beside
// the stand-in game idling next to it over the same stretch.
#include <cstdio>
#include "bench.h"
#include "harness.h"

namespace {

constexpr DWORD SettleMs = 3000;
// Processor times advance in scheduler ticks of 10 ms; less than one is not measurable.
constexpr double OneTickMs = 10.0;

}  // namespace

void BenchIdle(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    BenchRow row;
    row.Name = "idle: processor time over " + std::to_string(options.IdleSeconds) + " s";
    row.Unit = "ms";
    row.Spread = false;
    row.BaselineName = "stand-in game idling beside it";
    row.Slack = OneTickMs;

    RunningPair pair;
    if (!StartPair(pair)) {
        row.Note = "the overlay and the game could not be started";
        rows.push_back(row);
        StopPair(pair);
        return;
    }
    PumpFor(SettleMs);
    const double orvexBefore = ProcessCpuMs(pair.Orvex);
    const double gameBefore = ProcessCpuMs(pair.Game);
    PumpFor(static_cast<DWORD>(options.IdleSeconds) * 1000);
    const double orvexUsed = ProcessCpuMs(pair.Orvex) - orvexBefore;
    const double gameUsed = ProcessCpuMs(pair.Game) - gameBefore;
    StopPair(pair);

    row.Figure = Summarize({orvexUsed});
    row.Baseline = Summarize({gameUsed});
    row.Measured = true;
    char totals[120];
    std::snprintf(totals, sizeof(totals), " (%.0f ms and %.0f ms used in all, start-up included)",
                  orvexBefore + orvexUsed, gameBefore + gameUsed);
    row.Note = "kernel and user time, after " + std::to_string(SettleMs / 1000) +
               " s to settle; no input meanwhile" + totals;
    rows.push_back(row);
}
