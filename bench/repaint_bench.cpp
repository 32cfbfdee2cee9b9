// Repaint: one RepaintPad of the full pad and one frame, beside a repaint that
// only clears the render target, on a layered window like the overlay's,
// in-process.
#include "bench.h"
#include "padinput.h"
#include "render/render.h"

namespace {

// Wine's Direct3D draws on a thread of its own, a few frames behind the calls,
// and a call waits when that thread is too far behind: each kind runs in
// blocks of its own, the first calls of a block untimed, so that the timed
// ones wait only for work of their own kind, as in a steady stream of them.
constexpr int BlockWarmUp = 3;
constexpr int BlockTimed = 5;

double TimeMs(void (*call)(HWND), HWND window)
{
    const int64_t start = NowTicks();
    call(window);
    return static_cast<double>(NowTicks() - start) / TicksPerMs();
}

void TimeBlock(void (*call)(HWND), HWND window, int timed, std::vector<double>& samples)
{
    for (int i = 0; i < BlockWarmUp; ++i) call(window);
    for (int i = 0; i < timed; ++i) samples.push_back(TimeMs(call, window));
}

// Each element's mark set to whether its keys are the given ones.
void MarkOnly(KeyMask keys)
{
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
        PadElement& element = CurrentPadTable->Items[i];
        element.Pressed = keys != 0 && element.KeyMask == keys;
    }
}

// The pad at rest.
void FullRepaint(HWND window)
{
    MarkOnly(0);
    RepaintPad(window);
}

void ClearOnly(HWND window)
{
    ValidateRect(window, nullptr);
    if (SUCCEEDED(CreateDeviceResources(window))) ClearRenderTarget();
}

// ○ pressed and released in turns, a frame each: ○'s area drawn again over
// the picture the target keeps.
void FrameAfterPress(HWND window)
{
    static bool pressed = false;
    pressed = !pressed;
    MarkOnly(pressed ? 0x10 : 0);  // ○ (Z)
    PaintPadFrame(window);
}

}  // namespace

void BenchRepaint(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    BenchRow row;
    row.Name = "RepaintPad, full pad";
    row.Unit = "ms";
    row.BaselineName = "repaint that only clears the target";

    const HWND window =
        CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOPMOST, L"STATIC", L"", WS_POPUP,
                        600, 200, 340, 520, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window || !BuildTestPad()) {
        row.Note = "no window or no pad in-process";
        rows.push_back(row);
        if (window) DestroyWindow(window);
        return;
    }
    SetLayeredWindowAttributes(window, 0, 192, LWA_ALPHA);
    ShowWindow(window, SW_SHOWNOACTIVATE);

    std::vector<double> full, clear, frame;
    for (int left = options.Repaints; left > 0; left -= BlockTimed) {
        const int timed = left < BlockTimed ? left : BlockTimed;
        TimeBlock(FullRepaint, window, timed, full);
        TimeBlock(ClearOnly, window, timed, clear);
        TimeBlock(FrameAfterPress, window, timed, frame);
    }
    DiscardDeviceResources();
    DestroyWindow(window);

    row.Figure = Summarize(full);
    row.Baseline = Summarize(clear);
    row.Measured = true;
    row.Note = std::to_string(full.size()) + " of each, in blocks of " +
               std::to_string(BlockTimed) + " after " + std::to_string(BlockWarmUp) +
               " untimed, the kinds in turns; a repaint is a clear pass and an element pass, "
               "each ended by EndDraw";
    rows.push_back(row);

    BenchRow after = row;
    after.Name = "frame after one press (○'s area over the kept picture)";
    after.Figure = Summarize(frame);
    after.Target = 1.2;
    after.Note = "in blocks in turns with the two above; ○ pressed and released in turns, one "
                 "pass each: ○'s area cleared and drawn again, the rest as the target kept it";
    rows.push_back(after);
}
