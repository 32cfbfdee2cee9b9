// Frames after key changes: when they come, and what they draw.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "base/messages.h"
#include "padpixels.h"
#include "render/render.h"
#include "render_test_window.h"
#include "support.h"

namespace {

int Frames = 0;
HRESULT CountingEndDraw(ID2D1RenderTarget* target)
{
    ++Frames;
    return target->EndDraw();
}

ULONGLONG StandingTime = 0;
ULONGLONG StandingClock()
{
    return StandingTime;
}

// Draws the frame the window was sent, as the overlay's window procedure
// does; false when none was sent.
bool TakeFrameMessage(HWND window, UINT message)
{
    MSG msg = {};
    if (!PeekMessageW(&msg, window, message, message, PM_REMOVE)) return false;
    if (message == WM_TIMER && msg.wParam != PadFrameTimer) return false;
    PaintRequestedFrame(window);
    return true;
}

// The real pad in a test window, frames counted.
struct FramedPad {
    FramedPad()
    {
        REQUIRE(CreateDeviceIndependentResources());
        BuildTestLayout();
        DiscardDeviceResources();  // the target comes with the factory the geometries have
        Drawing.EndDraw = CountingEndDraw;
        Frames = 0;
    }
    ~FramedPad() { DestroyPadElementTable(CurrentPadTable); }
    DrawingCallsSwap swap;
    PadTestWindow window;
};

}  // namespace

TEST_CASE("a change after a quiet period is drawn at once, later ones at the period's end")
{
    FramedPad pad;
    const HWND window = pad.window.Handle();
    Drawing.FrameClock = StandingClock;
    StandingTime += 1ull << 40;  // long after any frame drawn before
    RequestPadFrame(window);
    CHECK(TakeFrameMessage(window, WM_PADFRAME));
    CHECK(Frames == 1);

    RequestPadFrame(window);  // the clock stands: within the period
    CHECK(IsPadFramePending());
    CHECK_FALSE(TakeFrameMessage(window, WM_PADFRAME));
    bool timed = false;
    for (int wait = 0; wait < 5000 && !timed; ++wait) {
        timed = TakeFrameMessage(window, WM_TIMER);
        if (!timed) Sleep(1);
    }
    CHECK(timed);
    CHECK(Frames == 2);

    // A steady stream of changes, faster than the frames' clock can tell
    // apart: each period still gets its frame from the timer, since a request
    // never pushes back the frame on its way.
    Frames = 0;
    const ULONGLONG end = GetTickCount64() + 5000;
    while (Frames < 5 && GetTickCount64() < end) {
        RequestPadFrame(window);
        TakeFrameMessage(window, WM_PADFRAME);
        TakeFrameMessage(window, WM_TIMER);
        const ULONGLONG next = FrameClockMilliseconds() + 2;
        while (FrameClockMilliseconds() < next) continue;
    }
    CHECK(Frames == 5);
    if (IsPadFramePending()) PaintRequestedFrame(window);
}

TEST_CASE("a frame's pixels are a full repaint's, whatever changed")
{
    // Each row paints the pad as marked before, changes the marks, draws one
    // frame over the kept picture and compares it with a full repaint.
    struct Marks {
        std::vector<int> pressed;
        std::vector<int> latched;
    };
    struct Row {
        const char* name;
        Marks before;
        Marks after;
        bool cleared;  // the target loses its picture: the frame starts from the still layer
    };
    const Row rows[] = {
        {"pressed", {}, {{0}, {}}, false},
        {"latched", {}, {{}, {11}}, false},
        {"pressed and latched", {{14}, {}}, {{14}, {14}}, false},
        {"several, side by side", {}, {{0, 1, 2, 8}, {11}}, false},
        {"released beside one still pressed", {{0, 1}, {11}}, {{1}, {}}, false},
        {"the target cleared", {{2}, {}}, {{0, 1, 2, 8}, {11}}, true},
    };
    FramedPad pad;
    const HWND window = pad.window.Handle();
    InvalidateRect(window, nullptr, FALSE);
    pad.window.Pump();
    REQUIRE(OutlineBrush);
    // Wine draws outlines without anti-aliasing: a half-transparent outline
    // blends on every pixel as an anti-aliased edge does on its edge pixels.
    OutlineBrush->SetOpacity(0.5f);
    DiscardStillLayer();
    // Shown once the smear is gone from an element no row marks (a repaint
    // presents its white first pass too).
    const PadElement& unmarked = CurrentPadTable->Items[10];
    const auto shown = [&] {
        return pad.window.WaitForPixel(unmarked.OriginX + 4, unmarked.OriginY + 4, 0xC0C0C0)
                   ? TakeClientSnapshot(window)
                   : ClientSnapshot{};
    };
    const auto mark = [](const Marks& marks) {
        for (PadElement& element : CurrentPadTable->Items)
            element.Pressed = element.Latched = false;
        for (int index : marks.pressed) CurrentPadTable->Items[index].Pressed = true;
        for (int index : marks.latched) CurrentPadTable->Items[index].Latched = true;
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        mark(row.before);
        InvalidateRect(window, nullptr, FALSE);
        pad.window.Pump();
        REQUIRE_FALSE(shown().pixels.empty());
        if (row.cleared) ClearRenderTarget();
        mark(row.after);
        pad.window.Smear(RGB(255, 0, 0));
        REQUIRE(SUCCEEDED(PaintPadFrame(window)));
        pad.window.Pump();
        const ClientSnapshot frame = shown();
        pad.window.Smear(RGB(255, 0, 0));
        InvalidateRect(window, nullptr, FALSE);
        pad.window.Pump();
        const ClientSnapshot repaint = shown();

        REQUIRE(repaint.pixels.size() == frame.pixels.size());
        REQUIRE_FALSE(frame.pixels.empty());
        size_t differing = 0;
        for (size_t i = 0; i < frame.pixels.size(); ++i)
            differing += repaint.pixels[i] != frame.pixels[i] ? 1 : 0;
        CHECK(differing == 0);
    }
}
