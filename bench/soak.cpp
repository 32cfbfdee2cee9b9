#include "soak.h"
#include <algorithm>
#include <cstdio>
#include <random>
#include "bench.h"

namespace {

// Client points of the pad: every element's middle and a few gaps.
const POINT PadSpots[] = {
    {170, 200}, {170, 360}, {90, 280},  {250, 280}, {220, 230}, {220, 330}, {120, 330},
    {120, 230}, {50, 420},  {290, 420}, {65, 36},   {170, 36},  {275, 36},  {65, 99},
    {170, 99},  {275, 99},  {50, 170},  {170, 280}, {300, 200}, {170, 490}, {10, 10},
};

// Allowed growth once the run has warmed up.
constexpr double MemoryGrowthMb = 2.0;
constexpr DWORD HandleGrowth = 5;

class RandomMouse {
public:
    RandomMouse(HWND overlay, unsigned seed) : overlay_(overlay), random_(seed) {}

    // One event; returns how many input records it sent.
    int Step()
    {
        const int roll = Pick(100);
        if (roll < 40) return Move();
        if (roll < 70) return down_ ? Release() : Press();
        if (roll < 90 && down_) return Release();
        if (roll < 90) return Press();
        return down_ ? Release() : DoubleClick();
    }

    int LiftAll() { return down_ ? Release() : 0; }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    POINT Spot()
    {
        POINT client = PadSpots[Pick(static_cast<int>(sizeof(PadSpots) / sizeof(PadSpots[0])))];
        if (Pick(4) == 0) client = {Pick(340), Pick(520)};
        return ClientToScreenPoint(overlay_, client.x, client.y);
    }

    // Moves go through the cursor position, which carries the X pointer along
    // (Wine reads the cursor back from it); buttons go in at the same place.
    int Move()
    {
        at_ = Spot();
        SetCursorPos(at_.x, at_.y);
        return 1;
    }
    int Press()
    {
        Move();
        InjectButtonAt(at_, true);
        down_ = true;
        return 2;
    }
    int Release()
    {
        InjectButtonAt(at_, false);
        down_ = false;
        return 1;
    }
    int DoubleClick()
    {
        Move();
        for (int i = 0; i < 2; ++i) {
            InjectButtonAt(at_, true);
            InjectButtonAt(at_, false);
        }
        return 5;
    }

    HWND overlay_;
    std::mt19937 random_;
    POINT at_ = {0, 0};
    bool down_ = false;
};

}  // namespace

SoakResult RunSoak(unsigned seed, double seconds, double sampleEverySeconds, int eventsPerSecond)
{
    SoakResult result;
    RunningPair pair;
    if (!StartPair(pair)) {
        result.Note = "the overlay and the game could not be started";
        StopPair(pair);
        return result;
    }
    result.Ran = true;
    RandomMouse mouse(pair.Overlay, seed);
    const double ticksPerMs = TicksPerMs();
    const int64_t start = NowTicks();
    double nextSample = 0;
    for (;;) {
        const double elapsed = static_cast<double>(NowTicks() - start) / ticksPerMs / 1000.0;
        if (elapsed >= nextSample) {
            result.Samples.push_back({elapsed, SampleProcess(pair.Orvex)});
            nextSample += sampleEverySeconds;
        }
        if (elapsed >= seconds) break;
        // Paced by the clock: a slow spell is made up afterwards.
        if (result.Events < elapsed * eventsPerSecond)
            result.Events += mouse.Step();
        else
            Sleep(1);
    }
    result.Events += mouse.LiftAll();
    PumpFor(500);
    result.Samples.push_back({seconds, SampleProcess(pair.Orvex)});
    result.OverlayAlive = pair.Orvex.Running();
    result.GameKeyEvents = static_cast<int>(ReadGameKeys(pair.LogPath).size());
    StopPair(pair);
    return result;
}

bool SoakStayedFlat(const SoakResult& result, std::string& why)
{
    why.clear();
    if (!result.Ran || result.Samples.size() < 2) {
        why = "too few samples";
        return false;
    }
    const double warm = result.Samples.back().Seconds / 6;
    const auto first = std::find_if(result.Samples.begin(), result.Samples.end(),
                                    [warm](const SoakSample& s) { return s.Seconds >= warm; });
    const ProcessSample& a = first->Overlay;
    const ProcessSample& b = result.Samples.back().Overlay;
    if (b.PrivateMb - a.PrivateMb > MemoryGrowthMb) why += "private memory grew; ";
    if (b.WorkingSetMb - a.WorkingSetMb > MemoryGrowthMb) why += "working set grew; ";
    if (b.Handles > a.Handles + HandleGrowth) why += "handles grew; ";
    if (b.GdiObjects > a.GdiObjects + HandleGrowth) why += "GDI objects grew; ";
    if (b.UserObjects > a.UserObjects + HandleGrowth) why += "USER objects grew; ";
    if (b.Windows != a.Windows) why += "window count changed; ";
    if (!result.OverlayAlive) why += "the overlay did not survive; ";
    return why.empty();
}

std::string FormatSoak(const SoakResult& result)
{
    std::string text = "| s | private MB | working set MB | handles | GDI | USER | windows |\n"
                       "|---|---|---|---|---|---|---|\n";
    for (const SoakSample& s : result.Samples) {
        char line[160];
        std::snprintf(line, sizeof(line), "| %.0f | %.2f | %.2f | %lu | %lu | %lu | %d |\n",
                      s.Seconds, s.Overlay.PrivateMb, s.Overlay.WorkingSetMb,
                      static_cast<unsigned long>(s.Overlay.Handles),
                      static_cast<unsigned long>(s.Overlay.GdiObjects),
                      static_cast<unsigned long>(s.Overlay.UserObjects), s.Overlay.Windows);
        text += line;
    }
    return text + std::to_string(result.Events) + " input events, " +
           std::to_string(result.GameKeyEvents) + " key events received by the game\n";
}
