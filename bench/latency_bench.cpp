// Input-to-key latency: a real left-button press on "○" of the running
// overlay, timed to the moment the stand-in game receives Z's key-down, beside
// Z injected straight into the game. Both ends stamp QueryPerformanceCounter.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include "base/log.h"
#include "bench.h"
#include "harness.h"
#include "input/input.h"

namespace {

constexpr DWORD ArrivalTimeoutMs = 3000;
constexpr int WarmUpPresses = 10;
// "○" covers client (10, 380) to (90, 460) at its default place.
constexpr POINT CircleCentre = {50, 420};
// Two clicks closer than the double-click distance, within the double-click
// time, make a double click, which presses nothing; the presses take turns
// between two points this far either side of the centre.
constexpr int Sidestep = 15;

// A point of the game's client area that no other window covers, or false.
bool FindOpenGamePoint(HWND game, POINT& at)
{
    RECT client;
    if (!GetClientRect(game, &client)) return false;
    for (int step = 1; step < 8; ++step) {
        const POINT candidate =
            ClientToScreenPoint(game, client.right * step / 8, client.bottom / 2);
        if (WindowFromPoint(candidate) == game) {
            at = candidate;
            return true;
        }
    }
    return false;
}

// Milliseconds from the press to the game's Z key-down, or -1 when it did not
// come; the release is made either way and waited for.
double TimePress(GameLogFollower& log, bool throughOverlay, POINT at)
{
    log.Skip();
    const int64_t sent = NowTicks();
    if (throughOverlay)
        InjectButtonAt(at, true);
    else
        PressKey('Z', true);
    const int64_t arrived = log.WaitFor("KEYDOWN vk=0x5A", ArrivalTimeoutMs);
    if (throughOverlay)
        InjectButtonAt(at, false);
    else
        PressKey('Z', false);
    const int64_t released = log.WaitFor("KEYUP vk=0x5A", ArrivalTimeoutMs);
    if (arrived < 0 || released < 0) return -1;
    return static_cast<double>(arrived - sent) / TicksPerMs();
}

// Milliseconds from a press on the game's own window to its arrival there
// (the game stamps it), or -1; the game is in front, so the click changes
// nothing else.
double TimeMouseHop(GameLogFollower& log, POINT at)
{
    log.Skip();
    const int64_t sent = NowTicks();
    InjectButtonAt(at, true);
    const int64_t arrived = log.WaitFor("MOUSEDOWN", ArrivalTimeoutMs);
    InjectButtonAt(at, false);
    // The button must be up for everyone before the next press elsewhere.
    if (log.WaitFor("MOUSEUP", ArrivalTimeoutMs) < 0 || arrived < 0) return -1;
    return static_cast<double>(arrived - sent) / TicksPerMs();
}

// Milliseconds the overlay's key output takes for one press of Z with the game
// in front (the game's window lookup, the foreground test, SendInput), run here
// on the same calls; the key's arrival and its release are waited for.
double TimeKeyOutput(GameLogFollower& log)
{
    log.Skip();
    const int64_t start = NowTicks();
    const bool sent = SendKeyDown('Z');
    const double ms = static_cast<double>(NowTicks() - start) / TicksPerMs();
    const bool arrived = log.WaitFor("KEYDOWN vk=0x5A", ArrivalTimeoutMs) >= 0;
    SendKeyUp('Z');
    const bool released = log.WaitFor("KEYUP vk=0x5A", ArrivalTimeoutMs) >= 0;
    return sent && arrived && released ? ms : -1;
}

enum class RoundKind { Overlay, MouseHop, KeyOutput };

// One round of presses of one kind, each followed by Z injected straight into
// the game, so that a slow spell of the machine hits both alike.
struct Round {
    std::vector<double> Measured;
    std::vector<double> Straight;
    int Lost = 0;
};

struct RoundPlaces {
    POINT Centre;  // of "○"
    POINT OnGame;  // an uncovered point of the game's window
};

Round RunRound(RoundKind kind, GameLogFollower& log, const RoundPlaces& at, int presses,
               std::mt19937& random)
{
    // The overlay draws a frame after each press and each release: the next
    // press comes once that is surely over, as from rest.
    std::uniform_int_distribution<int> afterOverlay(150, 200), afterOther(10, 20);
    Round round;
    for (int i = 0; i < WarmUpPresses + presses; ++i) {
        const int side = i % 2 ? Sidestep : -Sidestep;
        double measured = -1;
        if (kind == RoundKind::Overlay) {
            const POINT onCircle = {at.Centre.x + side, at.Centre.y};
            // Not timed: Wine reads the cursor back from the X pointer, which
            // injected moves leave behind.
            PlaceCursor(onCircle);
            measured = TimePress(log, true, onCircle);
            Sleep(afterOverlay(random));
        } else if (kind == RoundKind::MouseHop) {
            const POINT onTarget = {at.OnGame.x + side, at.OnGame.y};
            PlaceCursor(onTarget);
            measured = TimeMouseHop(log, onTarget);
            // From rest, as the overlay's presses: a process woken after a
            // longer idle spell is slower to answer.
            Sleep(afterOverlay(random));
        } else {
            measured = TimeKeyOutput(log);
            Sleep(afterOther(random));
        }
        const double direct = TimePress(log, false, at.Centre);
        Sleep(afterOther(random));
        if (measured < 0 || direct < 0) {
            ++round.Lost;
            Sleep(600);  // whatever was half done settles; no double click follows
            continue;
        }
        if (i < WarmUpPresses) continue;
        round.Measured.push_back(measured);
        round.Straight.push_back(direct);
    }
    return round;
}

// Milliseconds one request to Wine's server takes from this process
// (GetForegroundWindow asks it once), for taking the overlay's share apart.
std::vector<double> TimeServerRequests(int count)
{
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
        const int64_t start = NowTicks();
        GetForegroundWindow();
        samples.push_back(static_cast<double>(NowTicks() - start) / TicksPerMs());
    }
    return samples;
}

// Ends the overlay and starts it again with arguments, the game kept and put
// back in front; false when the new overlay did not come up.
bool RestartOverlay(RunningPair& pair, const wchar_t* arguments)
{
    PostMessageW(pair.Overlay, WM_CLOSE, 0, 0);
    if (!pair.Orvex.WaitExit(5000)) pair.Orvex.Kill();
    if (!pair.Orvex.Start(L"\"" + BinDir() + L"\\Orvex.exe\" " + arguments)) return false;
    pair.Overlay = WaitForTopWindow(L"ORVEX", pair.Orvex.Id());
    if (!pair.Overlay) return false;
    const HWND game = pair.GameWindow;
    if (GetForegroundWindow() != game) SetForegroundWindow(game);
    return WaitUntil([game] { return GetForegroundWindow() == game; }, 3000);
}

// Lines of the diagnostic log that record a Z press sent.
int CountLoggedPresses(const std::wstring& path)
{
    int count = 0;
    for (const std::string& line : ReadGameLog(path))
        count += line.find("key down vk=0x5A sent") != std::string::npos;
    return count;
}

std::vector<double> Joined(std::vector<double> first, const std::vector<double>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

}  // namespace

void BenchLatency(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    BenchRow row;
    row.Name = "input-to-key latency: press on ○ to the game's Z";
    row.Unit = "ms";
    row.BaselineName = "Z injected straight into the game";
    row.Target = 2.6;  // a mouse hop and a key hop alone take about 2.45 key hops here
    row.P99Target = 3.0;
    BenchRow hop = row;
    hop.Name = "one mouse hop: press delivered to the game's window";
    hop.Target = 0;
    hop.P99Target = 0;
    BenchRow output = hop;
    output.Name = "the overlay's key output for one press (SendKeyDown)";

    RunningPair pair;
    POINT onGame = {};
    if (!StartPair(pair) || !FindOpenGamePoint(pair.GameWindow, onGame)) {
        row.Note = "the overlay and the game in front, partly uncovered, could not be started";
        rows.push_back(row);
        StopPair(pair);
        return;
    }
    GameLogFollower log(pair.LogPath);
    RoundPlaces at = {ClientToScreenPoint(pair.Overlay, CircleCentre.x, CircleCentre.y), onGame};
    PlaceCursor(at.Centre);
    std::mt19937 random(options.Seed);
    const Round overlayRound = RunRound(RoundKind::Overlay, log, at, options.Presses, random);
    const Round mouseRound = RunRound(RoundKind::MouseHop, log, at, options.Presses, random);
    const Round outputRound = RunRound(RoundKind::KeyOutput, log, at, options.Presses, random);
    const std::vector<double> requests = TimeServerRequests(options.Presses);
    // The diagnostic log's cost: the overlay's presses with the log on, between
    // two rounds with it off, whose difference is the run's noise.
    const std::wstring logPath = DefaultDiagnosticLogPath();
    DeleteFileW(logPath.c_str());
    Round loggedRound, unloggedRound;
    if (RestartOverlay(pair, L"/log")) {
        at.Centre = ClientToScreenPoint(pair.Overlay, CircleCentre.x, CircleCentre.y);
        loggedRound = RunRound(RoundKind::Overlay, log, at, options.Presses, random);
    }
    const int loggedPresses = CountLoggedPresses(logPath);
    if (RestartOverlay(pair, L"")) {
        at.Centre = ClientToScreenPoint(pair.Overlay, CircleCentre.x, CircleCentre.y);
        unloggedRound = RunRound(RoundKind::Overlay, log, at, options.Presses, random);
    }
    const std::vector<double>& overlay = overlayRound.Measured;
    const int lost = overlayRound.Lost + mouseRound.Lost + outputRound.Lost;
    StopPair(pair);

    row.Figure = Summarize(overlay);
    row.Baseline = Summarize(overlayRound.Straight);
    row.Measured = !overlay.empty();
    hop.Figure = Summarize(mouseRound.Measured);
    hop.Baseline = Summarize(mouseRound.Straight);
    hop.Measured = !mouseRound.Measured.empty();
    // The relay's floor: one mouse hop and one key hop, with nothing done between.
    const double floor = hop.Figure.Median + row.Baseline.Median;
    const double own = row.Figure.Median - floor;
    char share[300];
    std::snprintf(share, sizeof(share),
                  "; one mouse hop and one key hop alone take %.3f ms, %.2f times a key hop; "
                  "the overlay's own share (the median less both) is %.3f ms, %.2f of a key hop",
                  floor, Ratio(floor, row.Baseline.Median), own, Ratio(own, row.Baseline.Median));
    row.Note = std::to_string(overlay.size()) + " presses of each kind after " +
               std::to_string(WarmUpPresses) + " unmeasured, in turns" + share;
    if (lost)
        row.Note += "; " + std::to_string(lost) + " presses lost (no key within 3 s) and left out";
    hop.Note = "the relay's first hop on its own: the same kind of press, to the game's "
               "window (another process, in front), which stamps its arrival";
    output.Figure = Summarize(outputRound.Measured);
    output.Baseline = Summarize(outputRound.Straight);
    output.Measured = !outputRound.Measured.empty();
    output.Note =
        "the same code and calls as the overlay's, run by the benchmark with the game in front; "
        "the time until the call returns";
    // What the overlay adds beyond the relay's floor, at the median and at the 99th percentile.
    BenchRow ownShare;
    ownShare.Name = "the overlay's own share: the press less one mouse hop and one key hop";
    ownShare.Unit = "ms";
    ownShare.BaselineName = "Z injected straight into the game";
    ownShare.Baseline = row.Baseline;
    ownShare.Limit = 0.1;
    ownShare.Measured = row.Measured && hop.Measured;
    ownShare.Figure.Count = row.Figure.Count;
    ownShare.Figure.Median = own;
    ownShare.Figure.P99 = row.Figure.P99 - hop.Figure.P99 - row.Baseline.P99;
    BenchRow request = hop;
    request.Name = "one request to Wine's server (GetForegroundWindow)";
    request.Figure = Summarize(requests);
    request.Baseline = row.Baseline;
    request.Measured = !requests.empty();
    request.Note = "the unit the overlay's own share is counted in: every window-manager call "
                   "the overlay makes between the press and the key is one request";
    char inRequests[200];
    std::snprintf(inRequests, sizeof(inRequests),
                  "from the two rows above and the straight presses beside the overlay's; "
                  "%.1f requests to Wine's server at this run's median request",
                  own / std::max(request.Figure.Median, 1e-6));
    ownShare.Note = inRequests;

    // With the log on the overlay writes a line per key; the allowance is the
    // difference between the two rounds with it off.
    BenchRow logged;
    logged.Name = "input-to-key latency with the diagnostic log on";
    logged.Unit = "ms";
    logged.BaselineName = "the same presses, log off";
    logged.Figure = Summarize(loggedRound.Measured);
    const double noise =
        std::fabs(Summarize(overlay).Median - Summarize(unloggedRound.Measured).Median);
    logged.Baseline = Summarize(Joined(overlay, unloggedRound.Measured));
    logged.Slack = std::max(noise, 0.001);
    const size_t loggedCount = loggedRound.Measured.size();
    logged.Measured = loggedCount > 0 && !unloggedRound.Measured.empty() &&
                      loggedPresses >= static_cast<int>(loggedCount);
    char logNote[300];
    std::snprintf(logNote, sizeof(logNote),
                  "%zu presses with the log on, between a round with it off before and one "
                  "after (%zu presses); the two log-off medians differ by %.3f ms, the run's "
                  "noise and the allowance; the log holds %d Z presses",
                  loggedCount, unloggedRound.Measured.size(), noise, loggedPresses);
    logged.Note = logNote;
    if (loggedCount > 0 && loggedPresses < static_cast<int>(loggedCount))
        logged.Note += " (fewer than were sent: the log did not record them)";
    rows.push_back(row);
    rows.push_back(ownShare);
    rows.push_back(hop);
    rows.push_back(output);
    rows.push_back(request);
    rows.push_back(logged);
}
