// Repaint: one RepaintPad of the full pad, beside a repaint that only clears
// the render target, on a layered window like the overlay's, in-process.
#include "bench.h"
#include "padinput.h"
#include "render/render.h"

namespace {

constexpr int WarmUpRepaints = 10;

double TimeMs(void (*call)(HWND), HWND window)
{
    const int64_t start = NowTicks();
    call(window);
    return static_cast<double>(NowTicks() - start) / TicksPerMs();
}

void FullRepaint(HWND window)
{
    RepaintPad(window);
}

void ClearOnly(HWND window)
{
    ValidateRect(window, nullptr);
    if (SUCCEEDED(CreateDeviceResources(window))) ClearRenderTarget();
}

// The frame that follows a press on ○: the still layer plus one mark.
void FrameAfterPress(HWND window)
{
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
        PadElement& element = CurrentPadTable->Items[i];
        element.Pressed = element.KeyMask == 0x10;  // ○ (Z)
    }
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
    for (int i = 0; i < WarmUpRepaints + options.Repaints; ++i) {
        const double fullMs = TimeMs(FullRepaint, window);
        const double clearMs = TimeMs(ClearOnly, window);
        const double frameMs = TimeMs(FrameAfterPress, window);
        if (i < WarmUpRepaints) continue;
        full.push_back(fullMs);
        clear.push_back(clearMs);
        frame.push_back(frameMs);
    }
    DiscardDeviceResources();
    DestroyWindow(window);

    row.Figure = Summarize(full);
    row.Baseline = Summarize(clear);
    row.Measured = true;
    row.Note = std::to_string(options.Repaints) + " of each after " +
               std::to_string(WarmUpRepaints) +
               " unmeasured, in turns; a repaint is a clear pass and an element pass, each ended "
               "by EndDraw";
    rows.push_back(row);

    BenchRow after = row;
    after.Name = "frame after one press (still layer and one mark)";
    after.Figure = Summarize(frame);
    after.Target = 1.2;
    after.Note = "in turns with the two above; one pass: the cached still layer, ○ pressed on it";
    rows.push_back(after);
}
