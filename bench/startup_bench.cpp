// Start-up: from process creation to the first completed paint, the overlay
// beside the stand-in game, each program started on its own.
#include "bench.h"
#include "harness.h"
#include "screenwatch.h"

namespace {

// A start-up that has not shown its window painted by then counts as failed:
// the overlay draws again after its show, so a lost first frame only delays it.
constexpr DWORD UnseenAfterMs = 8000;

struct StartFigures {
    std::vector<double> Ms;
    std::vector<double> PeakMb;
    int Failed = 0;
};

// One start: how long until it showed painted, and its peak memory once it
// has settled; then the program is ended.
void TimeOneStart(const std::wstring& commandLine, const FirstPaintWatch& watch,
                  bool closeByMessage, StartFigures& figures)
{
    ChildProcess process;
    HWND window = nullptr;
    const double ms = TimeToFirstPaint(process, commandLine, watch, window, UnseenAfterMs);
    if (ms < 0) {
        ++figures.Failed;
    } else {
        figures.Ms.push_back(ms);
        PumpFor(1000);
        figures.PeakMb.push_back(SampleProcess(process).PeakWorkingSetMb);
    }
    if (closeByMessage && window) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        process.WaitExit(5000);
    }
    process.Kill();
}

// Window records of made-up resolutions, as years of use with many displays
// leave them.
void WriteWindowRecords(int count)
{
    const wchar_t* const names[] = {L"Input_x", L"Input_y", L"Input_width", L"Input_height",
                                    L"MGQ_x",   L"MGQ_y",   L"MGQ_width",   L"MGQ_height"};
    for (int i = 0; i < count; ++i) {
        const std::wstring subkey = L"Window\\" + std::to_wstring(640 + i) + L"x480";
        for (const wchar_t* name : names) WriteOrvexDword(subkey.c_str(), name, 100);
    }
}

}  // namespace

void BenchStartup(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    DeleteOrvexSettings();
    const std::wstring gameLog = TempFilePath(L"bench-start");
    const std::wstring gameLine =
        L"\"" + BinDir() + L"\\standin-game.exe\" --log \"" + gameLog + L"\"";
    const std::wstring orvexLine = L"\"" + BinDir() + L"\\Orvex.exe\"";
    StartFigures game, orvex;
    // Taken in turns, so that a slow spell of the machine hits both alike.
    for (int i = 0; i < options.Starts; ++i) {
        TimeOneStart(gameLine, StandinPaintWatch(), false, game);
        TimeOneStart(orvexLine, OverlayPaintWatch(), true, orvex);
    }
    DeleteFileW(gameLog.c_str());
    StartFigures records;
    WriteWindowRecords(1000);
    for (int i = 0; i < options.Starts; ++i)
        TimeOneStart(orvexLine, OverlayPaintWatch(), true, records);
    DeleteOrvexSettings();

    BenchRow time;
    time.Name = "start-up: process start to first pad paint";
    time.Unit = "ms";
    time.Figure = Summarize(orvex.Ms);
    time.BaselineName = "stand-in game: start to first paint";
    time.Baseline = Summarize(game.Ms);
    time.Measured = !orvex.Ms.empty() && !game.Ms.empty();
    time.Note = std::to_string(options.Starts) +
                " starts each, in turns; both seen on the screen, looked at every 4 ms";
    if (orvex.Failed || game.Failed)
        time.Note += "; first paint not seen within 8 s: overlay " + std::to_string(orvex.Failed) +
                     ", game " + std::to_string(game.Failed);
    rows.push_back(time);

    BenchRow many;
    many.Name = "start-up with 1,000 window records";
    many.Unit = "ms";
    many.Spread = false;
    many.Figure = Summarize(records.Ms);
    many.BaselineName = "start-up without records";
    many.Baseline = Summarize(orvex.Ms);
    many.Target = 2.0;
    many.Measured = !records.Ms.empty() && !orvex.Ms.empty();
    many.Note = "the starts with records after the others, the records written once";
    if (records.Failed)
        many.Note += "; first paint not seen within 8 s: " + std::to_string(records.Failed);
    rows.push_back(many);

    BenchRow memory;
    memory.Name = "start-up: peak working set";
    memory.Unit = "MB";
    memory.Spread = false;
    memory.Figure = Summarize(orvex.PeakMb);
    memory.BaselineName = "stand-in game: peak working set";
    memory.Baseline = Summarize(game.PeakMb);
    memory.Measured = !orvex.PeakMb.empty() && !game.PeakMb.empty();
    memory.Note = "median of the starts, read a second after the first paint";
    rows.push_back(memory);
}
