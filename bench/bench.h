// Benchmarks of the overlay. Absolute times drift on shared machines, so every
// figure is measured beside a baseline in the same run and shown as a ratio.
#pragma once
#include <windows.h>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Median and 99th percentile (nearest rank) of a set of samples.
struct Distribution {
    double Median = 0;
    double P99 = 0;
    size_t Count = 0;
};
Distribution Summarize(std::vector<double> samples);

// One line of the table: a figure beside its baseline.
struct BenchRow {
    std::string Name;
    std::string Unit;
    Distribution Figure;
    std::string BaselineName;
    Distribution Baseline;
    bool Spread = true;     // a distribution: the 99th percentile is shown too
    double Target = 0;      // largest ratio allowed; 0: none
    double P99Target = 0;   // largest ratio of the 99th percentiles, where it differs;
                            // below 0: the median alone has a target
    double Limit = 0;       // largest median allowed, in Unit; 0: none
    double Slack = 0;       // what the figure may exceed the baseline by, in Unit, when the
                            // target is "nothing measurable beyond the baseline"
    std::string Note;       // how the figure was taken, or why a target is missed
    bool Measured = false;  // false: the benchmark could not run; Note says why
};

double Ratio(double figure, double baseline);
// Whether the row meets its target (true when it has none).
bool MeetsTarget(const BenchRow& row);
// The whole table, one row a line, then the notes.
std::string FormatTable(const std::vector<BenchRow>& rows, unsigned seed);

// Fixed iteration counts; the defaults are the published run's.
struct BenchOptions {
    unsigned Seed = 1;
    int Presses = 500;          // latency: presses through the overlay and straight ones each
    int KeyStateBatches = 200;  // key-state cost: timed batches per row
    int KeyStateCalls = 100;    // calls in one batch
    int Repaints = 300;         // repaint: repaints of each kind
    int IdleSeconds = 30;       // idle: seconds without input
    int Starts = 10;            // start-up: starts of each program
    int Taps = 100;             // taps: quick taps with the hold on and off each
};

// Each adds its rows; a benchmark that cannot run adds rows that say why.
void BenchLatency(const BenchOptions& options, std::vector<BenchRow>& rows);
void BenchKeyState(const BenchOptions& options, std::vector<BenchRow>& rows);
void BenchRepaint(const BenchOptions& options, std::vector<BenchRow>& rows);
void BenchIdle(const BenchOptions& options, std::vector<BenchRow>& rows);
void BenchStartup(const BenchOptions& options, std::vector<BenchRow>& rows);
void BenchSlide(const BenchOptions& options, std::vector<BenchRow>& rows);
void BenchTaps(const BenchOptions& options, std::vector<BenchRow>& rows);
void BenchPicture(const BenchOptions& options, std::vector<BenchRow>& rows);

// QueryPerformanceCounter in ticks, and ticks per millisecond.
int64_t NowTicks();
double TicksPerMs();
