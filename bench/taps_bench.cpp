// Quick taps against a game that reads the keyboard's state 30 times a second
// instead of its key messages: clicks on "○" whose press and release go out in
// one input event, counted as the game sees them, with the minimum hold at its
// default and with it off.
#include <string>
#include "bench.h"
#include "harness.h"

namespace {

constexpr DWORD ArrivalTimeoutMs = 3000;
// "○" covers client (10, 380) to (90, 460) at its default place.
constexpr POINT CircleCentre = {50, 420};
// Either side of the centre by turns: two clicks in one place make a double click.
constexpr int Sidestep = 15;

// How many taps the polling game saw, or -1 when the programs did not start
// or a tap did not arrive.
int CountTapsSeen(int taps, bool holdOff)
{
    DeleteOrvexSettings();
    if (holdOff) WriteOrvexDword(L"", L"MinimumHoldMs", 0);
    RunningPair pair;
    pair.LogPath = TempFilePath(L"bench-taps");
    pair.GameWindow = StartStandinGame(pair.Game, pair.LogPath, L"--poll-hz 30");
    pair.Overlay = pair.GameWindow ? StartOrvex(pair.Orvex) : nullptr;
    if (!pair.Overlay) {
        StopPair(pair);
        return -1;
    }
    GameLogFollower log(pair.LogPath);
    const POINT centre = ClientToScreenPoint(pair.Overlay, CircleCentre.x, CircleCentre.y);
    bool arrived = true;
    for (int tap = 0; tap < taps && arrived; ++tap) {
        const POINT at = {centre.x + (tap % 2 ? Sidestep : -Sidestep), centre.y};
        PlaceCursor(at);
        log.Skip();
        SendMouseAt(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, at);
        arrived = log.WaitFor("KEYUP vk=0x5A", ArrivalTimeoutMs) >= 0;
        Sleep(100);  // the game reads the release before the next tap
    }
    int seen = 0;
    for (const std::string& line : ReadGameLog(pair.LogPath))
        seen += line.rfind("POLLDOWN vk=0x5A", 0) == 0;
    StopPair(pair);
    DeleteOrvexSettings();
    return arrived ? seen : -1;
}

}  // namespace

void BenchTaps(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    BenchRow row;
    row.Name = "quick taps seen by a game polling at 30 Hz";
    row.Unit = "of " + std::to_string(options.Taps);
    row.BaselineName = "the same taps, minimum hold off";
    row.Spread = false;
    const int seen = CountTapsSeen(options.Taps, false);
    const int seenWithoutHold = CountTapsSeen(options.Taps, true);
    row.Measured = seen >= 0 && seenWithoutHold >= 0;
    row.Figure = {static_cast<double>(seen), static_cast<double>(seen), 1};
    row.Baseline = {static_cast<double>(seenWithoutHold), static_cast<double>(seenWithoutHold), 1};
    row.Note = row.Measured ? "clicks on ○, press and release in one input event, with the "
                              "minimum hold at its default (40 ms) and off"
                            : "the programs did not start, or a tap did not reach the game";
    rows.push_back(row);
}
