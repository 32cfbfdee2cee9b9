// A press to its picture: a real left-button press on "○" of the running
// overlay, timed to the first read of the screen that shows ○ pressed, beside
// one period of the display.
#include <cstdio>
#include <random>
#include "bench.h"
#include "harness.h"

namespace {

constexpr DWORD PictureTimeoutMs = 2000;
// "○" covers client (10, 380) to (90, 460); its label is a ring, so its centre
// shows the fill. Presses take turns either side of it, too far apart for a
// double click.
constexpr POINT CircleCentre = {50, 420};
constexpr int Sidestep = 15;

unsigned Brightness(COLORREF colour)
{
    return GetRValue(colour) + GetGValue(colour) + GetBValue(colour);
}

// Reads the screen at a point until its brightness is below (dark) or at least
// (!dark) the threshold; the time of that read, or -1 when it did not come.
int64_t WaitForShade(HDC screen, POINT at, unsigned threshold, bool dark)
{
    const int64_t end = NowTicks() + static_cast<int64_t>(TicksPerMs() * PictureTimeoutMs);
    for (;;) {
        const unsigned seen = Brightness(GetPixel(screen, at.x, at.y));
        const int64_t now = NowTicks();
        if ((seen < threshold) == dark) return now;
        if (now > end) return -1;
    }
}

double DisplayPeriodMs()
{
    const HDC screen = GetDC(nullptr);
    const int hertz = screen ? GetDeviceCaps(screen, VREFRESH) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return 1000.0 / (hertz > 1 ? hertz : 60);
}

}  // namespace

void BenchPicture(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    BenchRow row;
    row.Name = "a press to its picture: press on ○ to the screen showing it pressed";
    row.Unit = "ms";
    row.BaselineName = "one display period";
    row.Target = 1.0;
    row.P99Target = -1;  // the p99 is shown, the median is what a player sees press after press
    row.Baseline.Median = row.Baseline.P99 = DisplayPeriodMs();
    row.Baseline.Count = 1;

    RunningPair pair;
    if (!StartPair(pair)) {
        row.Note = "the overlay and the game could not be started";
        rows.push_back(row);
        StopPair(pair);
        return;
    }
    const POINT centre = ClientToScreenPoint(pair.Overlay, CircleCentre.x, CircleCentre.y);
    const HDC screen = GetDC(nullptr);
    // Pressed is the dark fill: well below half the brightness of ○ at rest.
    const unsigned threshold = Brightness(GetPixel(screen, centre.x, centre.y)) / 2;
    std::mt19937 random(options.Seed);
    std::uniform_int_distribution<int> rest(150, 200);
    std::vector<double> samples;
    int lost = 0;
    for (int i = 0; i < options.Presses; ++i) {
        const POINT at = {centre.x + (i % 2 ? Sidestep : -Sidestep), centre.y};
        PlaceCursor(at);
        const int64_t pressed = NowTicks();
        InjectButtonAt(at, true);
        const int64_t shown = WaitForShade(screen, centre, threshold, true);
        InjectButtonAt(at, false);
        const bool back = WaitForShade(screen, centre, threshold, false) >= 0;
        if (shown < 0 || !back) ++lost;
        if (shown >= 0) samples.push_back(static_cast<double>(shown - pressed) / TicksPerMs());
        Sleep(rest(random));  // from rest, as a player's next press
    }
    ReleaseDC(nullptr, screen);
    StopPair(pair);

    row.Figure = Summarize(samples);
    row.Measured = !samples.empty();
    char note[300];
    std::snprintf(note, sizeof(note),
                  "%zu presses, each from rest; the screen read with GetPixel on the desktop "
                  "at ○'s centre until it shows the pressed fill",
                  samples.size());
    row.Note = note;
    if (lost) row.Note += "; " + std::to_string(lost) + " presses not seen within 2 s";
    rows.push_back(row);
}
