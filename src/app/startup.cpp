// Start-up: window class, overlay window and the fixed order in which the
// subsystems come up, then the message loop.
#include "app.h"
#include "pad/pad.h"
#include "pad/padlayout.h"
#include "render/render.h"
#include "game/game.h"
#include "settings/settings.h"
#include "input/input.h"

HINSTANCE AppInstance = nullptr;
HICON AppIcon = nullptr;
bool TouchRegistered = false;

namespace {
wchar_t WindowTitle[100];
wchar_t WindowClassName[100];
}

bool IsSupportedWindowsVersion(DWORD major, DWORD minor)
{
    return major > 6 || (major == 6 && minor >= 1);
}

bool IsDigitizerReady(int digitizer)
{
    return (digitizer & NID_READY) != 0;
}

BYTE OverlayAlpha(int transparency)
{
    const int alpha = (100 - transparency) * 256 / 100;
    if (alpha > 255) return 255;
    if (alpha < 0) return 0;
    return static_cast<BYTE>(alpha);
}

// Maximized would activate the overlay over the game; minimized (or hidden)
// leaves a topmost tool window without a taskbar button that nobody can bring
// back. Every command shows the pad at its own size.
int NonActivatingShowCommand(int showCommand)
{
    switch (showCommand) {
    case SW_SHOW:
    case SW_SHOWNA:
        return SW_SHOWNA;
    default:
        return SW_SHOWNOACTIVATE;
    }
}

void LoadAppStrings(HINSTANCE instance)
{
    LoadStringW(instance, IDS_APP_TITLE, WindowTitle, 100);
    LoadStringW(instance, IDC_ORVEX, WindowClassName, 100);
}

void RegisterMainClass(HINSTANCE instance)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_VREDRAW | CS_HREDRAW | CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORVEX));
    wc.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORVEX));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = WindowClassName;
    RegisterClassExW(&wc);
}

bool InitInstance(HINSTANCE instance, int showCommand)
{
    AppInstance = instance;
    AppIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_ORVEX));
    if (!AppIcon) return false;

    // The overlay's size is the layout's.
    LoadLayoutAtStart();
    OverlayClientSize = ActiveClientSize();
    RECT outer = {0, 0, OverlayClientSize.cx, OverlayClientSize.cy};
    AdjustWindowRectEx(&outer, OverlayStyle, FALSE, OverlayExStyle);
    const HWND window = CreateWindowExW(
        OverlayExStyle, WindowClassName, WindowTitle, OverlayStyle, CW_USEDEFAULT, 0,
        outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, AppInstance, nullptr);
    if (!window) return false;

    // The drawing objects come first; the program runs on whatever their outcome.
    CreateDeviceIndependentResources();

    LoadSettings();
    MainWindow = window;
    // A run that crashed or was killed with a key held left it down. Only now:
    // finding the game's window checks its level, which is told to the overlay.
    ReleaseKeysOfEarlierRun();
    InitOverlay(window);
    AddTrayIcon();
    TellDiagnosticLogRefused();
    ShowPendingLayoutError();
    StartLayoutWatch();
    RegisterTaskbarCreated(window);
    AllowAnotherStartNotice(window);
    RegisterSessionNotices(window);

    ShowWindow(window, NonActivatingShowCommand(showCommand));
    UpdateWindow(window);
    return true;
}

bool InitOverlay(HWND window)
{
    BuildPadLayout();
    BuildElementGeometries();
    CreateDeviceResources(window);  // a failure is retried by every paint
    ReadFramePeriod(window);
    PlaceWindows();  // still hidden: placing does not show it
    SetLayeredWindowAttributes(window, 0, OverlayAlpha(Settings.Transparency), LWA_ALPHA);
    ApplyTouchManners(window);
    // Without a ready digitizer the overlay is driven by the mouse alone. The
    // registration's result is not looked at: teardown undoes it either way.
    TouchRegistered = IsDigitizerReady(GetSystemMetrics(SM_DIGITIZER));
    if (TouchRegistered) RegisterTouchWindow(window, 0);
    // A game started here is placed before the overlay is first shown.
    if (!FindGameWindow() && Settings.IsAutoMGQExec) LaunchGame();
    return true;
}

namespace {

// Waits for a message, or for a change in the layout file's folder, which is
// handled here; false after a change, when there may be no message yet.
bool WaitForMessageOrLayoutChange()
{
    const HANDLE watch = LayoutWatchHandle();
    if (!watch) return true;
    const DWORD woke =
        MsgWaitForMultipleObjectsEx(1, &watch, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woke == WAIT_OBJECT_0) {
        OnLayoutFolderChanged();
        return false;
    }
    // Sent messages are handled by the look itself; only a queued one is worth taking.
    MSG next = {};
    return woke != WAIT_OBJECT_0 + 1 || PeekMessageW(&next, nullptr, 0, 0, PM_NOREMOVE);
}

}  // namespace

int RunMessageLoop(HACCEL accelerators, MessageSource nextMessage)
{
    MSG msg = {};
    for (;;) {
        if (!WaitForMessageOrLayoutChange()) continue;
        const BOOL got = nextMessage(&msg, nullptr, 0, 0);
        // A failed call leaves msg as the last message was: its wParam is no exit code.
        if (got == -1) return MessageLoopFailedExitCode;
        if (got == 0) return static_cast<int>(msg.wParam);
        if (TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}
