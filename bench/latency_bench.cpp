// Input-to-key latency: a real left-button press on "○" of the running
// overlay, timed to the moment the stand-in game receives Z's key-down, beside
// Z injected straight into the game. Both ends stamp QueryPerformanceCounter.
#include <cstdio>
#include <random>
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
    const POINT centre = ClientToScreenPoint(pair.Overlay, CircleCentre.x, CircleCentre.y);
    PlaceCursor(centre);
    std::mt19937 random(options.Seed);
    // The overlay repaints after each press and each release (a few tens of ms
    // under Wine): the next press comes once that is surely over, as from rest.
    std::uniform_int_distribution<int> afterOverlay(150, 200), afterOther(10, 20);
    std::vector<double> overlay, mouse, sending;
    std::vector<double> straight[3];  // the straight presses beside each round
    int lost = 0;
    // Three rounds, each kind in turns with straight presses, so that a slow
    // spell of the machine hits both alike.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < WarmUpPresses + options.Presses; ++i) {
            const int side = i % 2 ? Sidestep : -Sidestep;
            double measured = -1;
            if (round == 0) {
                const POINT onCircle = {centre.x + side, centre.y};
                // Not timed: Wine reads the cursor back from the X pointer,
                // which injected moves leave behind.
                PlaceCursor(onCircle);
                measured = TimePress(log, true, onCircle);
                Sleep(afterOverlay(random));
            } else if (round == 1) {
                const POINT onTarget = {onGame.x + side, onGame.y};
                PlaceCursor(onTarget);
                measured = TimeMouseHop(log, onTarget);
                // From rest, as the overlay's presses: a process woken after a
                // longer idle spell is slower to answer.
                Sleep(afterOverlay(random));
            } else {
                measured = TimeKeyOutput(log);
                Sleep(afterOther(random));
            }
            const double direct = TimePress(log, false, centre);
            Sleep(afterOther(random));
            if (measured < 0 || direct < 0) {
                ++lost;
                Sleep(600);  // whatever was half done settles; no double click follows
                continue;
            }
            if (i < WarmUpPresses) continue;
            (round == 0 ? overlay : round == 1 ? mouse : sending).push_back(measured);
            straight[round].push_back(direct);
        }
    }
    StopPair(pair);

    row.Figure = Summarize(overlay);
    row.Baseline = Summarize(straight[0]);
    row.Measured = !overlay.empty();
    hop.Figure = Summarize(mouse);
    hop.Baseline = Summarize(straight[1]);
    hop.Measured = !mouse.empty();
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
    output.Figure = Summarize(sending);
    output.Baseline = Summarize(straight[2]);
    output.Measured = !sending.empty();
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
    ownShare.Note = "from the two rows above and the straight presses beside the overlay's";
    rows.push_back(row);
    rows.push_back(ownShare);
    rows.push_back(hop);
    rows.push_back(output);
}
