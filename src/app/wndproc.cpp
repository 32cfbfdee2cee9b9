// The overlay's window procedure: one case per message, one handler per case.
#include "app.h"
#include "pad/pad.h"
#include "render/render.h"
#include "game/game.h"
#include "settings/settings.h"
#include "input/input.h"

namespace {

const wchar_t SaveFailedText[] =
    L"設定をレジストリに保存できませんでした。変更はこのまま残り、次に設定を OK で閉じたときに"
    L"もう一度保存されます。";

void OnDestroy(HWND window)
{
    WindowClosing = true;
    EndGameWatch();
    // Let go of everything the game still holds: the latch's Ctrl (tapped once
    // more), then every key a finger or the mouse held.
    if (SkipLatched) {
        ReleaseSkipLatch();
        TapCtrlKey();
    }
    ReleaseAllKeys();

    RemoveTrayIcon();
    StopLayoutWatch();
    DestroyPadElementTable(CurrentPadTable);
    if (TouchRegistered) {
        TouchRegistered = false;
        UnregisterTouchWindow(window);
    }
    RemoveTouchManners(window);
    UnregisterSessionNotices(window);
    PostQuitMessage(0);
}

// The program ends whatever the answer to the game's close question.
void OnExit(HWND window)
{
    if (Settings.IsAutoMGQClose) CloseGame();
    DestroyWindow(window);
}

// Menu "サイズ調整": both windows to their places, then one repaint.
void OnAdjustSize(HWND window)
{
    PlaceWindows();
    InvalidateRect(window, nullptr, FALSE);
}

// The hook library may post this several times for one latch; only the
// first finds the latch on.
void OnSkipRelease(HWND window)
{
    if (!SkipLatched) return;
    ReleaseSkipLatch();
    InvalidateRect(window, nullptr, FALSE);
}

// The foreground hook skips this process, so with the latch on the program's
// own dialogs and menu would get Ctrl with every key typed: the latch ends first.
void ShowOwnMenu(HWND window)
{
    OnSkipRelease(window);
    ShowTrayMenu();
}

void ShowAboutBox(HWND window)
{
    OnSkipRelease(window);
    DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(IDD_ABOUTBOX), window, AboutDlgProc, 0);
}

LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case IDM_EXIT:
        OnExit(window);
        return 0;
    case IDM_ADJUSTSIZE:
        OnAdjustSize(window);
        return 0;
    case IDM_LAUNCHGAME:
        LaunchGame();
        return 0;
    case IDM_CLOSEGAME:
        CloseGame();
        return 0;
    case IDM_RESETKEYS:
        ResetKeyState(window);
        return 0;
    case IDM_SETTINGS:
        RunSettingsSequence(window);
        return 0;
    case IDM_ABOUT:
        ShowAboutBox(window);
        return 0;
    default:
        return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
    }
}

// The tray icon's callback: left press opens the settings, right press the menu.
void OnTrayNotify(HWND window, LPARAM lParam)
{
    switch (lParam) {
    case WM_LBUTTONDOWN:
        RunSettingsSequence(window);
        break;
    case WM_RBUTTONDOWN:
        ShowOwnMenu(window);
        break;
    default:
        break;
    }
}

// A right press on the caption opens the tray menu; the rest of the frame
// keeps its default handling.
LRESULT OnNcRButtonDown(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (wParam != HTCAPTION) return DefWindowProcW(window, WM_NCRBUTTONDOWN, wParam, lParam);
    ShowOwnMenu(window);
    return 0;
}

LRESULT OnTimer(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (wParam) {
    case PadFrameTimer:
        PaintRequestedFrame(window);
        return 0;
    case GameWatchTimer:
        CheckGameWatch(GetTickCount64());
        return 0;
    case LayoutReloadTimer:
        OnLayoutReloadTimer(window);
        return 0;
    default:
        return DefWindowProcW(window, WM_TIMER, wParam, lParam);
    }
}

// Wine activates a WS_EX_NOACTIVATE window on a click unless told here; on
// Windows this answer is what the style already implies.
LRESULT OnMouseActivate()
{
    return MA_NOACTIVATE;
}

}  // namespace

// The one way into the settings dialog, from the menu and the tray icon alike.
// The tray icon still answers while the dialog runs its modal loop; a second
// request only brings the open dialog to the front.
void RunSettingsSequence(HWND window)
{
    if (const HWND open = CurrentSettingsDialog()) {
        SetForegroundWindow(open);
        return;
    }
    OnSkipRelease(window);
    const INT_PTR ended =
        DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(IDD_SETTINGS), MainWindow, SettingsDialog, 0);
    // OK saves a modified record, and only a complete save clears the mark.
    if (ended == IDOK && Settings.IsModified)
        MessageBoxW(window, SaveFailedText, L"Orvex", MB_OK | MB_ICONWARNING);
    if (!Settings.IsDisplayChanged) return;
    ApplyDisplaySettings(window);
    Settings.IsDisplayChanged = false;
}

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_DESTROY:
        OnDestroy(window);
        return 0;
    case WM_COMMAND:
        return OnCommand(window, wParam, lParam);
    case WM_MOUSEACTIVATE:
        return OnMouseActivate();
    case WM_CAPTURECHANGED:
        return 0;
    case WM_NCRBUTTONDOWN:
        return OnNcRButtonDown(window, wParam, lParam);
    case WM_TRAYNOTIFY:
        OnTrayNotify(window, lParam);
        return 0;
    case WM_TOUCH:
        return OnTouch(window, wParam, lParam);
    case WM_LBUTTONDOWN:
        return OnLButtonDown(window, wParam, lParam);
    case WM_LBUTTONUP:
        return OnLButtonUp(window, wParam, lParam);
    case WM_LBUTTONDBLCLK:
        return OnLButtonDblClk(window, wParam, lParam);
    case WM_MOUSEMOVE:
        return OnMouseMove(window, wParam, lParam);
    case WM_PAINT:
        RepaintPad(window);
        return 0;
    case WM_SHOWWINDOW:
        // A frame presented while the window is still being mapped can be lost
        // (Wine loses it now and then, and nothing paints again): one more frame
        // once the window is up.
        if (wParam) RequestPadFrame(window);
        return 0;
    case WM_SIZE:
        ResizeRenderTarget(window);
        return 0;
    case WM_ERASEBKGND:
        return 0;  // every paint covers the whole client area itself
    case WM_DISPLAYCHANGE:
        ReadFramePeriod();  // a new mode may bring a new refresh rate
        PlaceWindows();     // the overlay keeps its size, so nothing to repaint
        return 0;
    case WM_SKIPRELEASE:
        OnSkipRelease(window);
        return 0;
    case WM_WTSSESSION_CHANGE:
        return OnSessionChange(window, wParam);
    case WM_POWERBROADCAST:
        return OnPowerBroadcast(window, wParam);
    case WM_GAMEINPUTBLOCKED:
        OnGameInputBlocked();
        return 0;
    case WM_ANOTHERSTART:
        OnAnotherStart(window);
        return 0;
    case WM_TIMER:
        return OnTimer(window, wParam, lParam);
    default:
        // Registered at run time, so it cannot have a case of its own.
        if (IsTaskbarCreated(message)) return OnTaskbarCreated();
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
