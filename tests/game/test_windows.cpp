#include "test_windows.h"

namespace {

constexpr DWORD GameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// Class names are matched without case among the classes of one module
// instance, so the look-alike class is registered for an instance of its own.
const HINSTANCE LookalikeInstance = reinterpret_cast<HINSTANCE>(0x10F00000);

void RegisterOnce(const wchar_t* className, HINSTANCE instance)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = className;
    RegisterClassExW(&wc);  // already registered by an earlier test: fine
}

UniqueWindow CreateShownWindow(const wchar_t* className, HINSTANCE instance, DWORD style,
                               DWORD exStyle, RECT client)
{
    RegisterOnce(className, instance);
    RECT outer = client;
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    UniqueWindow window(CreateWindowExW(
        exStyle, className, L"test window", style, outer.left, outer.top, outer.right - outer.left,
        outer.bottom - outer.top, nullptr, nullptr, instance, nullptr));
    if (window) ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    return window;
}

}  // namespace

UniqueWindow CreateGameClassWindow(int x, int y, int clientWidth, int clientHeight)
{
    return CreateShownWindow(L"MoonGlass_Class", GetModuleHandleW(nullptr), GameStyle, 0,
                             {x, y, x + clientWidth, y + clientHeight});
}

UniqueWindow CreateLookalikeWindow()
{
    return CreateShownWindow(L"moonglass_class", LookalikeInstance, GameStyle, 0,
                             {100, 100, 500, 400});
}

UniqueWindow CreateOverlayLikeWindow()
{
    return CreateShownWindow(L"OrvexTestOverlay", GetModuleHandleW(nullptr), WS_CAPTION,
                             WS_EX_NOACTIVATE | WS_EX_LAYERED, {600, 100, 940, 620});
}

void RaiseWindow(HWND window)
{
    SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

RECT ScreenClientRect(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}
