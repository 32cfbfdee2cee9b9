// orvex-bench: runs the benchmarks and prints one table, or soaks the overlay.
//
//   orvex-bench [--seed N] [--only NAME,...] [--presses N] [--batches N] [--calls N]
//               [--repaints N] [--idle-seconds N] [--starts N] [--taps N]
//   orvex-bench --soak MINUTES [--seed N]
//
// NAME is one of latency, picture, keystate, repaint, slide, idle, startup, taps. Exit status 1
// when a benchmark could not run or the soak found growth.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include "bench.h"
#include "soak.h"

namespace {

struct Command {
    BenchOptions Options;
    std::string Only;
    double SoakMinutes = 0;
    bool Valid = true;
};

Command ParseCommand(int argc, char** argv)
{
    Command command;
    char seedText[32] = "";
    command.Options.Seed = GetEnvironmentVariableA("ORVEX_SEED", seedText, sizeof(seedText)) > 0
                               ? static_cast<unsigned>(std::strtoul(seedText, nullptr, 10))
                               : GetTickCount();
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) {
            command.Valid = false;
            break;
        }
        const char* value = argv[++i];
        const int number = std::atoi(value);
        if (option == "--seed")
            command.Options.Seed = static_cast<unsigned>(std::strtoul(value, nullptr, 10));
        else if (option == "--only")
            command.Only = value;
        else if (option == "--presses")
            command.Options.Presses = number;
        else if (option == "--batches")
            command.Options.KeyStateBatches = number;
        else if (option == "--calls")
            command.Options.KeyStateCalls = number;
        else if (option == "--repaints")
            command.Options.Repaints = number;
        else if (option == "--idle-seconds")
            command.Options.IdleSeconds = number;
        else if (option == "--starts")
            command.Options.Starts = number;
        else if (option == "--taps")
            command.Options.Taps = number;
        else if (option == "--soak")
            command.SoakMinutes = std::atof(value);
        else
            command.Valid = false;
    }
    return command;
}

bool Wanted(const Command& command, const char* name)
{
    return command.Only.empty() ||
           ("," + command.Only + ",").find("," + std::string(name) + ",") != std::string::npos;
}

int Soak(const Command& command)
{
    std::printf("soak: %.1f minutes of random mouse input, seed %u\n", command.SoakMinutes,
                command.Options.Seed);
    std::fflush(stdout);
    const SoakResult result = RunSoak(command.Options.Seed, command.SoakMinutes * 60.0, 10.0);
    std::printf("%s", FormatSoak(result).c_str());
    std::string why;
    const bool flat = SoakStayedFlat(result, why);
    std::printf("%s%s\n", flat ? "flat" : "NOT FLAT: ", why.c_str());
    if (!result.Note.empty()) std::printf("%s\n", result.Note.c_str());
    return flat ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    const Command command = ParseCommand(argc, argv);
    if (!command.Valid) {
        std::fprintf(stderr, "usage: see bench/main.cpp\n");
        return 2;
    }
    if (command.SoakMinutes > 0) return Soak(command);

    using Benchmark = void (*)(const BenchOptions&, std::vector<BenchRow>&);
    const struct {
        const char* Name;
        Benchmark Run;
    } benchmarks[] = {
        // The programs outside first: the in-process ones leave windows of this process behind.
        {"latency", BenchLatency}, {"picture", BenchPicture}, {"idle", BenchIdle},
        {"startup", BenchStartup}, {"taps", BenchTaps},       {"keystate", BenchKeyState},
        {"repaint", BenchRepaint}, {"slide", BenchSlide},
    };
    std::vector<BenchRow> rows;
    for (const auto& benchmark : benchmarks) {
        if (!Wanted(command, benchmark.Name)) continue;
        std::fprintf(stderr, "running %s\n", benchmark.Name);
        benchmark.Run(command.Options, rows);
    }
    std::printf("%s", FormatTable(rows, command.Options.Seed).c_str());
    for (const BenchRow& row : rows)
        if (!row.Measured) return 1;
    return 0;
}
