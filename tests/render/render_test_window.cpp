#include "render_test_window.h"
#include "settings/settings.h"
#include "support.h"

PaintCounts TestWindowCounts;

namespace {

LRESULT CALLBACK PadTestProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
        ++TestWindowCounts.paints;
        RepaintPad(window);
        return 0;
    case WM_ERASEBKGND:
        ++TestWindowCounts.erases;
        return 0;
    case WM_SIZE:
        ResizeRenderTarget(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

const wchar_t* RegisterPadTestClass()
{
    static const wchar_t* name = L"OrvexPadTest";
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PadTestProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = name;
        registered = RegisterClassExW(&wc) != 0;
    }
    return name;
}

}  // namespace

PadTestWindow::PadTestWindow()
{
    TestWindowCounts = PaintCounts{};
    window_ = CreateWindowExW(WS_EX_TOPMOST, RegisterPadTestClass(), L"pad test", WS_POPUP, 200,
                              100, 340, 520, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
    UpdateWindow(window_);
    // Wine maps the window's X surface a little after the first paint and may
    // wipe it then; the tests start once that has happened.
    PumpFor(300);
    InvalidateRect(window_, nullptr, FALSE);
    Pump();
}

PadTestWindow::~PadTestWindow()
{
    DiscardDeviceResources();
    DestroyWindow(window_);
    Pump();
}

unsigned PadTestWindow::Pixel(int x, int y) const
{
    const POINT p = ClientToScreenPoint(window_, x, y);
    return ScreenPixel(p.x, p.y);
}

void PadTestWindow::Smear(COLORREF colour) const
{
    const HDC dc = GetDC(window_);
    RECT client;
    GetClientRect(window_, &client);
    const HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window_, dc);
    GdiFlush();
}

void PadTestWindow::Pump() const
{
    PumpFor(100);
}

bool PadTestWindow::WaitForPixel(int x, int y, unsigned colour) const
{
    return WaitUntil([&] { return Pixel(x, y) == colour; }, 2000);
}

void BuildTestLayout(int32_t sensitivity, bool swapped)
{
    Settings.CrossPressSensitivity = sensitivity;
    Settings.IsOKCancelChange = swapped;
    BuildPadLayout();
    BuildElementGeometries();
}
