// A visible 340 x 520 window that paints the pad the way the overlay does,
// counting its paint and erase messages, for tests that look at real pixels.
#pragma once
#include <windows.h>
#include "render/render.h"

struct PaintCounts {
    int paints = 0;
    int erases = 0;
};
extern PaintCounts TestWindowCounts;

class PadTestWindow {
public:
    PadTestWindow();
    ~PadTestWindow();
    PadTestWindow(const PadTestWindow&) = delete;
    PadTestWindow& operator=(const PadTestWindow&) = delete;
    HWND Handle() const { return window_; }
    // Colour of a client pixel as 0xRRGGBB, read from the screen.
    unsigned Pixel(int x, int y) const;
    // Covers the client area with a GDI colour, so the next pixels come from a new paint.
    void Smear(COLORREF colour) const;
    // Runs pending paint messages.
    void Pump() const;
    // Wine shows a presented frame a little later; waits up to 2 s for a client pixel's colour.
    bool WaitForPixel(int x, int y, unsigned colour) const;

private:
    HWND window_ = nullptr;
};

// Swaps the drawing calls for a test and puts the real ones back afterwards.
struct DrawingCallsSwap {
    DrawingCallsSwap() : saved(Drawing) {}
    ~DrawingCallsSwap() { Drawing = saved; }
    DrawingCalls saved;
};

// Builds the real layout with the given settings and its geometries.
void BuildTestLayout(int32_t sensitivity = 10, bool swapped = false);
