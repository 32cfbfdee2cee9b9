// Frames while one finger slides over the cross key: touch messages through the
// touch seam at a fixed rate into the real window procedure, every message on
// another element, frames counted at EndDraw, against the display's rate.
#include "bench.h"
#include "app/app.h"
#include "padinput.h"
#include "render/render.h"

namespace {

constexpr int SlideSeconds = 2;
// ↑, the up-right zone, →, the down-right zone, ↓, ←: a key change at every message.
const ContactPoint SlidePath[] = {{170, 200}, {220, 230}, {250, 280},
                                  {220, 330}, {170, 360}, {90, 280}};

int FramesDrawn = 0;
HRESULT CountingEndDraw(ID2D1RenderTarget* target)
{
    ++FramesDrawn;
    return target->EndDraw();
}

void PumpUntil(int64_t due)
{
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
        if (NowTicks() >= due) return;
        Sleep(1);
    }
}

// Frames per second over the slide at the given message rate.
double SlideFrameRate(HWND window, int messagesPerSecond)
{
    const int64_t step = static_cast<int64_t>(TicksPerMs() * 1000.0 / messagesPerSecond);
    const int messages = messagesPerSecond * SlideSeconds;
    FramesDrawn = 0;
    const int64_t start = NowTicks();
    for (int i = 0; i < messages; ++i) {
        const ContactPoint at = SlidePath[i % (sizeof(SlidePath) / sizeof(SlidePath[0]))];
        TouchRecords = FingersAt(window, {at});
        SendTouchFrame(window, 1);
        PumpUntil(start + step * (i + 1));
    }
    const double seconds = static_cast<double>(NowTicks() - start) / TicksPerMs() / 1000.0;
    return FramesDrawn / seconds;
}

}  // namespace

void BenchSlide(const BenchOptions&, std::vector<BenchRow>& rows)
{
    const double displayRate = 1000.0 / DisplayFramePeriod();

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvexBenchSlide";
    RegisterClassExW(&wc);
    const HWND window =
        CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE | WS_EX_TOPMOST, wc.lpszClassName, L"",
                        WS_POPUP, 600, 200, 340, 520, nullptr, nullptr, wc.hInstance, nullptr);
    const bool ready = window && BuildTestPad();
    std::vector<double> rates;
    if (ready) {
        SetLayeredWindowAttributes(window, 0, 192, LWA_ALPHA);
        ShowWindow(window, SW_SHOWNOACTIVATE);
        MainWindow = window;
        const DrawingCalls saved = Drawing;
        Drawing.EndDraw = CountingEndDraw;
        {
            const TouchFeed feed;
            const KeyOutputRecorder recorder;
            RepaintPad(window);
            for (int rate : {100, 200}) rates.push_back(SlideFrameRate(window, rate));
            TouchRecords.clear();
            SendTouchFrame(window, 0);
        }
        Drawing = saved;
        MainWindow = nullptr;
        DiscardDeviceResources();
    }
    if (window) {
        // The program's teardown is not wanted here: no WM_DESTROY through its procedure.
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        DestroyWindow(window);
    }

    const int messageRates[] = {100, 200};
    for (size_t i = 0; i < 2; ++i) {
        BenchRow row;
        row.Name = "frames per second, a finger sliding over the cross key at " +
                   std::to_string(messageRates[i]) + " touch messages/s";
        row.Unit = "fps";
        row.BaselineName = "the display's refresh rate";
        row.Spread = false;
        row.Target = 1.0;
        row.Baseline.Median = displayRate;
        row.Baseline.Count = 1;
        row.Measured = i < rates.size();
        if (row.Measured) {
            row.Figure.Median = rates[i];
            row.Figure.Count = 1;
        }
        row.Note = row.Measured ? std::to_string(SlideSeconds) +
                                      " s through the touch seam into the window procedure, a "
                                      "key change at every message; frames counted at EndDraw"
                                : "no window or no pad in-process";
        rows.push_back(row);
    }
}
