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
const wchar_t ExitSaveFailedText[] =
    L"設定をレジストリに保存できませんでした。終了するため、保存されていない変更は失われます。";

// A save after OK failed and was told: the change waits for the next OK, or
// for the exit, which tries it once more.
bool SavePending = false;
// The settings dialog or the warning after it is up. Both run modal loops in
// which the tray icon still answers, and the dialog's own handle is gone
// while the warning shows.
bool SettingsSequenceRunning = false;

const wchar_t GameStartingTitle[] = L"ゲームを起動しています";
const wchar_t GameStartingText[] =
    L"ムーン グラス 銀砂工房物語を起動しています。ウィンドウが開くまでお待ちください。";
static_assert(sizeof(GameStartingTitle) <= sizeof(NOTIFYICONDATAW::szInfoTitle), "title fits");
static_assert(sizeof(GameStartingText) <= sizeof(NOTIFYICONDATAW::szInfo), "text fits");

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
    ClearHeldMark();

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

// The last chance for a change the registry refused: lost with the program
// unless this save works, and the user is told when it does not.
void SavePendingSettings(HWND window)
{
    if (!SavePending || !Settings.IsModified || SaveSettings(Settings)) return;
    MessageBoxW(window, ExitSaveFailedText, L"Orvex", MB_OK | MB_ICONWARNING);
}

// The program ends whatever the answer to the game's close question.
void OnExit(HWND window)
{
    SavePendingSettings(window);
    if (Settings.IsAutoMGQClose) CloseGame();
    DestroyWindow(window);
}

// Menu "サイズ調整": both windows to their places, then one repaint.
void OnAdjustSize(HWND window)
{
    PlaceWindows();
    InvalidateRect(window, nullptr, FALSE);
}

// Menu "グラス起動": a game still starting is not started twice; the user,
// who saw nothing happen yet, is told why.
void OnLaunchGame()
{
    if (IsGameStarting()) {
        ShowTrayBalloon(GameStartingTitle, GameStartingText);
        return;
    }
    LaunchGame();
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
// own dialogs and menu would get Ctrl with every key typed: the latch ends
// first. A key a finger or the mouse holds would keep acting in the game
// behind the window: the keys are reset too.
void EndKeysForOwnWindow(HWND window)
{
    OnSkipRelease(window);
    if (TouchMask | MouseMask) ResetKeyState(window);
}

void ShowOwnMenu(HWND window)
{
    EndKeysForOwnWindow(window);
    ShowTrayMenu();
}

void ShowAboutBox(HWND window)
{
    EndKeysForOwnWindow(window);
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
        OnLaunchGame();
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
    case KeyHoldTimer:
        SendDueKeyReleases();
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
// The tray icon still answers while the dialog or the warning after it runs
// its modal loop; a second request only brings the open dialog to the front.
void RunSettingsSequence(HWND window)
{
    if (SettingsSequenceRunning) {
        if (const HWND open = CurrentSettingsDialog()) SetForegroundWindow(open);
        return;
    }
    SettingsSequenceRunning = true;
    EndKeysForOwnWindow(window);
    const INT_PTR ended =
        DialogBoxParamW(AppInstance, MAKEINTRESOURCEW(IDD_SETTINGS), MainWindow, SettingsDialog, 0);
    // OK saves a modified record, and only a complete save clears the mark.
    if (ended == IDOK) {
        SavePending = Settings.IsModified;
        if (SavePending) MessageBoxW(window, SaveFailedText, L"Orvex", MB_OK | MB_ICONWARNING);
    }
    SettingsSequenceRunning = false;
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
        return OnCaptureChanged(window, reinterpret_cast<HWND>(lParam));
    case WM_MOUSELEAVE:
        return OnMouseLeave(window);
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
    case WM_MOVE:
        FollowFrameMonitor(window);  // another monitor may refresh at another rate
        return 0;
    case WM_PADFRAME:
        PaintRequestedFrame(window);
        return 0;
    case WM_ERASEBKGND:
        return 0;  // every paint covers the whole client area itself
    case WM_DISPLAYCHANGE:
        ReadFramePeriod(window);  // a new mode may bring a new refresh rate
        PlaceWindows();           // the overlay keeps its size, so nothing to repaint
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
