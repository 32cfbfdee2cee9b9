// The notification-area icon and the popup menu that commands the program.
#include "app.h"
#include <strsafe.h>

ShellCalls AppShell = {::Shell_NotifyIconW, ::GetLastError, ::Sleep, ::ShellExecuteW};

namespace {

// The full record of Vista and later (with guidItem and hBalloonIcon). The
// shell reads the members it knows from the size and refuses sizes it does not
// know, and the record is larger on 64-bit builds: 956 and 976 bytes.
constexpr DWORD TrayRecordSize = sizeof(NOTIFYICONDATAW);
static_assert(TrayRecordSize == (sizeof(void*) == 4 ? 956 : 976),
              "the shell's full notify-icon record for this build");

constexpr UINT TrayIconId = 1;
constexpr int TrayAttempts = 100;
constexpr DWORD TrayRetryWaitMs = 100;

NOTIFYICONDATAW TrayRecord()
{
    NOTIFYICONDATAW data = {};
    data.cbSize = TrayRecordSize;
    data.hWnd = MainWindow;
    data.uID = TrayIconId;
    return data;
}

NOTIFYICONDATAW TrayAddRecord()
{
    NOTIFYICONDATAW data = TrayRecord();
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_TRAYNOTIFY;
    data.hIcon = AppIcon;
    static const wchar_t tip[] = L"Lumenkey";
    static_assert(sizeof(tip) <= sizeof(data.szTip), "the tip fits its buffer");
    CopyMemory(data.szTip, tip, sizeof(tip));
    return data;
}

struct TrayMenuEntry {
    UINT command;
    const wchar_t* text;  // null: a separator
};

const TrayMenuEntry TrayMenuEntries[] = {
    {IDM_ADJUSTSIZE, L"サイズ調整"},
    {IDM_LAUNCHGAME, L"グラス起動"},
    {IDM_CLOSEGAME, L"グラス終了"},
    {0, nullptr},
    {IDM_SETTINGS, L"設定"},
    {0, nullptr},
    {IDM_ABOUT, L"バージョン情報"},
    {0, nullptr},
    {IDM_RESETKEYS, L"キー状態リセット"},
    {IDM_EXIT, L"終了"},
};

}  // namespace

bool AddTrayIcon()
{
    NOTIFYICONDATAW data = TrayAddRecord();
    for (int attempt = 0; attempt < TrayAttempts; ++attempt) {
        if (AppShell.Shell_NotifyIconW(NIM_ADD, &data)) return true;
        if (AppShell.GetLastError() != ERROR_TIMEOUT) return false;
        // A shell still starting at logon may have taken the add after all.
        AppShell.Sleep(TrayRetryWaitMs);
        if (AppShell.Shell_NotifyIconW(NIM_MODIFY, &data)) return true;
    }
    return false;
}

void RemoveTrayIcon()
{
    NOTIFYICONDATAW data = TrayRecord();
    AppShell.Shell_NotifyIconW(NIM_DELETE, &data);
}

bool ShowTrayBalloon(const wchar_t* title, const wchar_t* text)
{
    NOTIFYICONDATAW data = TrayRecord();
    data.uFlags = NIF_INFO;
    data.dwInfoFlags = NIIF_WARNING;
    // Cut to fit, always terminated; a cut notice is still worth showing.
    (void)StringCchCopyW(data.szInfoTitle, ARRAYSIZE(data.szInfoTitle), title);
    (void)StringCchCopyW(data.szInfo, ARRAYSIZE(data.szInfo), text);
    return AppShell.Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

UniqueMenu BuildTrayMenu()
{
    UniqueMenu menu(CreatePopupMenu());
    if (!menu) return menu;
    for (const TrayMenuEntry& entry : TrayMenuEntries) {
        const UINT flags = MF_BYPOSITION | (entry.text ? MF_STRING : MF_SEPARATOR);
        InsertMenuW(menu.get(), static_cast<UINT>(-1), flags, entry.command, entry.text);
    }
    SetMenuDefaultItem(menu.get(), IDM_ADJUSTSIZE, FALSE);
    return menu;
}

// A menu whose owner is not the foreground window stays open on a click
// elsewhere, so the overlay is brought to the front for the menu (with the
// WM_NULL that lets the menu close properly) and the window that was in front,
// the game, gets the foreground back: the overlay must not stay active.
void ShowTrayMenu()
{
    POINT cursor = {};
    GetCursorPos(&cursor);
    const UniqueMenu menu = BuildTrayMenu();
    if (!menu) return;
    const HWND front = GetForegroundWindow();
    SetForegroundWindow(MainWindow);
    TrackPopupMenu(menu.get(), TPM_RIGHTALIGN | TPM_BOTTOMALIGN, cursor.x, cursor.y, 0, MainWindow,
                   nullptr);
    PostMessageW(MainWindow, WM_NULL, 0, 0);
    if (front && front != MainWindow && GetForegroundWindow() == MainWindow)
        SetForegroundWindow(front);
}
