#include "padpixels.h"
#include "support.h"
#include <algorithm>
#include <cstdio>

namespace {

constexpr unsigned White = 0xFFFFFF;
constexpr unsigned NormalFill = 0xC0C0C0;
constexpr int Inset = 4;

unsigned MaxChannel(unsigned colour)
{
    return std::max({(colour >> 16) & 0xFF, (colour >> 8) & 0xFF, colour & 0xFF});
}

bool IsGrey(unsigned colour)
{
    const unsigned r = (colour >> 16) & 0xFF, g = (colour >> 8) & 0xFF, b = colour & 0xFF;
    return r == g && g == b;
}

// Black lines of width 1 on whole-pixel edges may be smoothed over two pixels;
// the darker of the two is then at most half the fill's brightness.
bool IsOutlinePair(unsigned a, unsigned b)
{
    const unsigned darker = MaxChannel(a) < MaxChannel(b) ? a : b;
    return IsGrey(darker) && MaxChannel(darker) <= 0x60;
}

std::string Hex(unsigned colour)
{
    char text[16];
    std::snprintf(text, sizeof(text), "#%06X", colour);
    return text;
}

std::string At(int x, int y)
{
    return "(" + std::to_string(x) + "," + std::to_string(y) + ")";
}

void CheckFill(const ClientPixelReader& pixel, const PadButtonRect& b,
               std::vector<std::string>& faults)
{
    const int cx = b.x + b.width / 2, cy = b.y + b.height / 2;
    const int left = b.x + Inset, right = b.x + b.width - 1 - Inset;
    const int top = b.y + Inset, bottom = b.y + b.height - 1 - Inset;
    const POINT points[] = {{left, top}, {right, top}, {left, bottom}, {right, bottom},
                            {cx, top},   {cx, bottom}, {left, cy},     {right, cy}};
    for (const POINT& p : points) {
        const unsigned c = pixel(p.x, p.y);
        if (c != NormalFill)
            faults.push_back(std::string(b.name) + ": fill at " + At(p.x, p.y) + " is " + Hex(c));
    }
}

void CheckOutline(const ClientPixelReader& pixel, const PadButtonRect& b,
                  std::vector<std::string>& faults)
{
    for (int quarter = 1; quarter <= 3; ++quarter) {
        const int x = b.x + b.width * quarter / 4;
        const int y = b.y + b.height * quarter / 4;
        struct Pair {
            int x1, y1, x2, y2;
        };
        const Pair pairs[] = {
            {b.x - 1, y, b.x, y},
            {b.x + b.width - 1, y, b.x + b.width, y},
            {x, b.y - 1, x, b.y},
            {x, b.y + b.height - 1, x, b.y + b.height},
        };
        for (const Pair& p : pairs) {
            const unsigned c1 = pixel(p.x1, p.y1), c2 = pixel(p.x2, p.y2);
            if (!IsOutlinePair(c1, c2))
                faults.push_back(std::string(b.name) + ": no outline at " + At(p.x1, p.y1) + "/" +
                                 At(p.x2, p.y2) + ": " + Hex(c1) + " " + Hex(c2));
        }
    }
}

void CheckLabel(const ClientPixelReader& pixel, const PadButtonRect& b,
                std::vector<std::string>& faults)
{
    const int cx = b.x + b.width / 2, cy = b.y + b.height / 2;
    int dark = 0;
    for (int y = cy - 12; y <= cy + 12; ++y)
        for (int x = cx - 30; x <= cx + 30; ++x)
            if (MaxChannel(pixel(x, y)) <= 0x60) ++dark;
    if (dark < 4)
        faults.push_back(std::string(b.name) + ": label has " + std::to_string(dark) +
                         " dark pixels");
}

void CheckWhite(const ClientPixelReader& pixel, const char* what, int x, int y,
                std::vector<std::string>& faults)
{
    const unsigned c = pixel(x, y);
    if (c != White) faults.push_back(std::string(what) + " at " + At(x, y) + " is " + Hex(c));
}

}  // namespace

unsigned ClientSnapshot::At(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height || pixels.empty()) return 0xFFFFFFFF;
    return pixels[static_cast<size_t>(y) * width + x];
}

ClientPixelReader ClientSnapshot::Reader() const
{
    return [this](int x, int y) { return At(x, y); };
}

ClientSnapshot TakeClientSnapshot(HWND window)
{
    ClientSnapshot shot;
    RECT client;
    GetClientRect(window, &client);
    const POINT origin = ClientToScreenPoint(window, 0, 0);
    shot.width = client.right;
    shot.height = client.bottom;
    // Read from the screen, so what counts is what is really shown.
    shot.pixels = ScreenPixels({origin.x, origin.y, origin.x + shot.width, origin.y + shot.height});
    return shot;
}

std::vector<PadButtonRect> VisiblePadButtons(bool swapped)
{
    return {
        {"up", 130, 160, 80, 80},
        {"down", 130, 320, 80, 80},
        {"left", 50, 240, 80, 80},
        {"right", 210, 240, 80, 80},
        {"cross-button", swapped ? 10 : 250, 380, 80, 80},
        {"circle-button", swapped ? 250 : 10, 380, 80, 80},
        {"system", 25, 10, 80, 53},
        {"notes", 130, 10, 80, 53},
        {"hour", 235, 10, 80, 53},
        {"log", 25, 73, 80, 53},
        {"skip", 130, 73, 80, 53},
        {"tab", 235, 73, 80, 53},
        {"size", 10, 150, 80, 40},
    };
}

std::vector<std::string> FindPadPixelFaults(const ClientPixelReader& pixel, bool swapped)
{
    std::vector<std::string> faults;
    for (const PadButtonRect& b : VisiblePadButtons(swapped)) {
        CheckFill(pixel, b, faults);
        CheckOutline(pixel, b, faults);
        CheckLabel(pixel, b, faults);
    }
    // The empty centre of the cross, one pixel in from the arms' outlines.
    for (int y = 242; y <= 318; y += 4)
        for (int x = 132; x <= 208; x += 4) CheckWhite(pixel, "centre square", x, y, faults);
    const POINT zones[] = {{240, 210}, {100, 210}, {100, 350}, {240, 350},
                           {220, 200}, {120, 200}, {120, 360}, {220, 360}};
    for (const POINT& p : zones) CheckWhite(pixel, "diagonal zone", p.x, p.y, faults);
    const POINT background[] = {{2, 2},     {337, 2},   {2, 517},   {337, 517}, {120, 140},
                                {170, 500}, {170, 140}, {320, 170}, {170, 420}, {5, 300}};
    for (const POINT& p : background) CheckWhite(pixel, "background", p.x, p.y, faults);
    return faults;
}

std::string DescribeFaults(const std::vector<std::string>& faults)
{
    std::string text;
    for (size_t i = 0; i < faults.size() && i < 20; ++i) text += faults[i] + "\n";
    return text;
}

unsigned ButtonCornerFill(const ClientPixelReader& pixel, const PadButtonRect& b)
{
    const int left = b.x + Inset, right = b.x + b.width - 1 - Inset;
    const int top = b.y + Inset, bottom = b.y + b.height - 1 - Inset;
    const unsigned first = pixel(left, top);
    if (pixel(right, top) != first || pixel(left, bottom) != first || pixel(right, bottom) != first)
        return 0xFFFFFFFF;
    return first;
}

std::vector<unsigned> ButtonPixels(const ClientPixelReader& pixel, const PadButtonRect& b)
{
    std::vector<unsigned> pixels;
    for (int y = b.y + 1; y < b.y + b.height - 1; ++y)
        for (int x = b.x + 1; x < b.x + b.width - 1; ++x) pixels.push_back(pixel(x, y));
    return pixels;
}
