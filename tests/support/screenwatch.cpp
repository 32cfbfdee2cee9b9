#include "screenwatch.h"
#include <algorithm>
#include <vector>

namespace {

constexpr unsigned RestFill = 0xC0C0C0;
constexpr unsigned White = 0xFFFFFF;
// Often enough to time a start to a few ms, seldom enough not to slow it down.
constexpr DWORD PollMs = 4;

unsigned Brightest(unsigned colour)
{
    return std::max({(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF});
}

// Client pixels of a window inside one rectangle, taken from the screen in one copy.
class ClientArea {
public:
    ClientArea(HWND window, const RECT& client)
        : client_(client), width_(client.right - client.left), height_(client.bottom - client.top)
    {
        POINT origin = {client.left, client.top};
        ClientToScreen(window, &origin);
        const RECT onScreen = {origin.x, origin.y, origin.x + width_, origin.y + height_};
        pixels_ = ScreenPixels(onScreen);
    }
    unsigned At(int x, int y) const
    {
        if (x < client_.left || x >= client_.right || y < client_.top || y >= client_.bottom ||
            pixels_.empty())
            return 0xFFFFFFFF;
        return pixels_[static_cast<size_t>(y - client_.top) * width_ + (x - client_.left)];
    }

private:
    RECT client_;
    int width_;
    int height_;
    std::vector<unsigned> pixels_;
};

// Inset corners in the rest fill and a dark outline on each side.
bool ButtonDrawn(const ClientArea& area, int x, int y, int width, int height)
{
    const int left = x + 4, right = x + width - 5, top = y + 4, bottom = y + height - 5;
    const POINT fill[] = {{left, top}, {right, top}, {left, bottom}, {right, bottom}};
    for (const POINT& p : fill)
        if (area.At(p.x, p.y) != RestFill) return false;
    // A one-pixel line on a whole-pixel edge may be smoothed over the two pixels beside it.
    const auto dark = [&](int x1, int y1, int x2, int y2) {
        return std::min(Brightest(area.At(x1, y1)), Brightest(area.At(x2, y2))) <= 0x60;
    };
    const int cx = x + width / 2, cy = y + height / 4;
    return dark(x - 1, cy, x, cy) && dark(x + width - 1, cy, x + width, cy) &&
           dark(cx - 20, y - 1, cx - 20, y) && dark(cx - 20, y + height - 1, cx - 20, y + height);
}

double ElapsedMs(const LARGE_INTEGER& since)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - since.QuadPart) * 1000.0 /
           static_cast<double>(frequency.QuadPart);
}

}  // namespace

bool PadDrawnOnScreen(HWND overlay)
{
    // "↑" at (130, 160) and the bottom-left button at (10, 380), both 80 x 80,
    // with a pixel of margin for the outlines.
    const ClientArea area(overlay, RECT{9, 159, 211, 461});
    return ButtonDrawn(area, 130, 160, 80, 80) && ButtonDrawn(area, 10, 380, 80, 80);
}

bool StandinDrawnOnScreen(HWND game)
{
    // Its text starts at (10, 10) on the white window colour.
    const ClientArea area(game, RECT{0, 0, 240, 40});
    int dark = 0;
    for (int y = 8; y < 32; ++y)
        for (int x = 8; x < 200; ++x) dark += Brightest(area.At(x, y)) <= 0x60;
    return area.At(2, 2) == White && area.At(230, 36) == White && dark >= 20;
}

double TimeToFirstPaint(ChildProcess& process, const std::wstring& commandLine,
                        const FirstPaintWatch& watch, HWND& window, DWORD timeoutMs)
{
    window = nullptr;
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    if (!process.Start(commandLine)) return -1;
    while (ElapsedMs(start) < timeoutMs) {
        if (!window) window = FindTopWindow(watch.ClassName, process.Id());
        if (window && watch.Drawn(window)) return ElapsedMs(start);
        Sleep(PollMs);
    }
    return -1;
}

FirstPaintWatch OverlayPaintWatch()
{
    return {L"ORVEX", PadDrawnOnScreen};
}

FirstPaintWatch StandinPaintWatch()
{
    return {L"MoonGlass_Class", StandinDrawnOnScreen};
}
