// What the pad must look like on screen, checked pixel by pixel. The expected
// places are written out here on their own, not taken from the layout code.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

// Colour of a client pixel as 0xRRGGBB.
using ClientPixelReader = std::function<unsigned(int x, int y)>;

// The client area of a window as it shows on screen, taken in one copy.
struct ClientSnapshot {
    int width = 0;
    int height = 0;
    std::vector<unsigned> pixels;  // row by row, 0xRRGGBB
    unsigned At(int x, int y) const;
    ClientPixelReader Reader() const;
};
ClientSnapshot TakeClientSnapshot(HWND window);

struct PadButtonRect {
    const char* name;
    int x, y, width, height;
};

// The 13 visible elements; ○ and × swap places when swapped is true.
std::vector<PadButtonRect> VisiblePadButtons(bool swapped);

// Every way in which the screen differs from the pad at rest: fills of
// #C0C0C0 away from the labels, black outlines, dark label pixels near each
// centre, white centre square, diagonal zones and background. Empty when right.
std::vector<std::string> FindPadPixelFaults(const ClientPixelReader& pixel, bool swapped);

// The first twenty faults, one a line, for a test's message.
std::string DescribeFaults(const std::vector<std::string>& faults);

// The fill colour at the four inner corners of a button (inset by 4 pixels),
// or 0xFFFFFFFF when they differ.
unsigned ButtonCornerFill(const ClientPixelReader& pixel, const PadButtonRect& button);

// The pixels of a button's inside, row by row, for comparing two drawings.
std::vector<unsigned> ButtonPixels(const ClientPixelReader& pixel, const PadButtonRect& button);
