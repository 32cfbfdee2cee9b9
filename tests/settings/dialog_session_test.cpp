// The settings dialog opened modeless in this process from the program's own
// template: controls are driven with real focus moves, clicks and keys, the
// file dialog is scripted, and the global record and the registry are checked.
#include <doctest/doctest.h>
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <cwchar>
#include <functional>
#include <string>
#include <vector>
#include "app/app.h"
#include "game/game.h"
#include "registry_fixture.h"
#include "support.h"

namespace {

HWND CreatePlainWindow(int x, int y, int width, int height)
{
    return CreateWindowExW(WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP | WS_VISIBLE, x, y, width,
                           height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

HWND OpenSettingsDialog()
{
    const HWND dialog = CreateDialogParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS), MainWindow, SettingsDialog, 0);
    if (dialog) ShowWindow(dialog, SW_SHOW);
    return dialog;
}

// A clean registry, an overlay-sized window as MainWindow, and the dialog.
class DialogSession {
public:
    DialogSession()
    {
        overlay_ = CreatePlainWindow(100, 50, 340, 520);
        MainWindow = overlay_;
        CachedGameWindow = nullptr;
        LoadSettings();
    }
    ~DialogSession()
    {
        for (HWND dialog : dialogs_) DestroyWindow(dialog);
        DestroyWindow(overlay_);
        MainWindow = nullptr;
        CachedGameWindow = nullptr;
    }
    HWND Open()
    {
        dialog_ = OpenSettingsDialog();
        REQUIRE(dialog_);
        dialogs_.push_back(dialog_);
        return dialog_;
    }
    HWND Dialog() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring Text(int id) const
    {
        wchar_t text[512] = L"";
        GetDlgItemTextW(dialog_, id, text, 512);
        return text;
    }
    int Position(int barId) const
    {
        return static_cast<int>(SendMessageW(Item(barId), TBM_GETPOS, 0, 0));
    }
    bool Checked(int id) const { return IsDlgButtonChecked(dialog_, id) == BST_CHECKED; }
    // Puts the focus into a box and replaces its text, as typing would.
    void Type(int id, const wchar_t* text)
    {
        SetFocus(Item(id));
        SetWindowTextW(Item(id), text);
    }
    // Moves the focus on to a control that reacts to nothing.
    void MoveFocusOn() { SetFocus(Item(IDC_SETTINGS_RECORDLIST)); }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    void Command(int id) { SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Notify(int id, WORD code)
    {
        SendMessageW(dialog_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
    }
    bool Ended() const { return !IsWindowVisible(dialog_); }
    std::vector<std::wstring> ListEntries() const
    {
        return ListBoxEntries(Item(IDC_SETTINGS_RECORDLIST));
    }
    HWND Overlay() const { return overlay_; }

private:
    CleanRegistry registry_;
    HWND overlay_ = nullptr;
    HWND dialog_ = nullptr;
    std::vector<HWND> dialogs_;
};

int32_t StoredNumber(const wchar_t* name)
{
    int32_t value = -1;
    if (!ReadStoredDword(HKEY_CURRENT_USER, SettingsKeyPath, name, value)) return -1;
    return value;
}

bool StoredValueExists(const wchar_t* name)
{
    for (const StoredValue& value : ListValues(HKEY_CURRENT_USER, SettingsKeyPath))
        if (value.Name == name) return true;
    return false;
}

}  // namespace

TEST_CASE("a window's client rectangle on screen, all zero when the window is gone")
{
    const HWND window = CreatePlainWindow(120, 70, 340, 520);
    REQUIRE(window);
    CHECK(SameRect(ClientRectOnScreen(window), MakeRect(120, 70, 460, 590)));
    DestroyWindow(window);
    CHECK(SameRect(ClientRectOnScreen(window), RECT{}));
    CHECK(SameRect(ClientRectOnScreen(nullptr), RECT{}));
}

TEST_CASE("the dialog opens showing the global settings")
{
    DialogSession session;
    Settings.IsAutoMGQExec = true;
    Settings.Transparency = 40;
    Settings.CrossPressSensitivity = 3;
    Settings.IsOKCancelChange = true;
    SetMGQpath(Settings, L"C:\\Games\\MGQ\\mgq.exe");
    PutWindowRecord(Settings.WindowRecords, L"1920x1080", RECT{}, RECT{});
    PutWindowRecord(Settings.WindowRecords, L"1280x720", RECT{}, RECT{});
    Settings.IsDisplayChanged = true;
    session.Open();

    CHECK_FALSE(Settings.IsDisplayChanged);
    CHECK(session.Checked(IDC_SETTINGS_AUTOEXEC));
    CHECK_FALSE(session.Checked(IDC_SETTINGS_AUTOCLOSE));
    CHECK(session.Checked(IDC_SETTINGS_SWAPOX));
    CHECK(session.Text(IDC_SETTINGS_PATH) == L"C:\\Games\\MGQ\\mgq.exe");
    CHECK(SendMessageW(session.Item(IDC_SETTINGS_PATH), EM_GETLIMITTEXT, 0, 0) == 259);
    CHECK(session.ListEntries() == std::vector<std::wstring>{L"1280x720", L"1920x1080"});
    wchar_t resolution[32];
    std::swprintf(resolution, 32, L"%d x %d", GetSystemMetrics(SM_CXSCREEN),
                  GetSystemMetrics(SM_CYSCREEN));
    CHECK(session.Text(IDC_SETTINGS_RESOLUTION) == resolution);

    struct Bar {
        int barId, boxId;
        const wchar_t* text;
        int position, maximum, page, ticks;
    };
    // Ticks: both ends plus one every tick-frequency step in between.
    const Bar bars[] = {
        {IDC_SETTINGS_TRANSPARENCYBAR, IDC_SETTINGS_TRANSPARENCY, L"40", 40, 90, 5, 19},
        {IDC_SETTINGS_SENSITIVITYBAR, IDC_SETTINGS_SENSITIVITY, L"3", 3, 10, 1, 11},
    };
    for (const Bar& bar : bars) {
        CAPTURE(bar.barId);
        const HWND control = session.Item(bar.barId);
        CHECK(session.Text(bar.boxId) == bar.text);
        // A box takes no more than is read back from it.
        CHECK(SendMessageW(session.Item(bar.boxId), EM_GETLIMITTEXT, 0, 0) == 15);
        CHECK(session.Position(bar.barId) == bar.position);
        CHECK(SendMessageW(control, TBM_GETRANGEMIN, 0, 0) == 0);
        CHECK(SendMessageW(control, TBM_GETRANGEMAX, 0, 0) == bar.maximum);
        CHECK(SendMessageW(control, TBM_GETPAGESIZE, 0, 0) == bar.page);
        CHECK(SendMessageW(control, TBM_GETNUMTICS, 0, 0) == bar.ticks);
    }
}

TEST_CASE("OK hands the working copy back, saves it and tells whether the pad changes")
{
    using Action = std::function<void(DialogSession&)>;
    struct Row {
        const char* name;
        Action change;
        bool displayChanged;
        std::function<bool()> applied;
    };
    const Row rows[] = {
        {"auto-launch", [](DialogSession& s) { s.Click(IDC_SETTINGS_AUTOEXEC); }, false,
         [] { return Settings.IsAutoMGQExec && StoredNumber(L"IsAutoMGQExec") == 1; }},
        {"auto-close", [](DialogSession& s) { s.Click(IDC_SETTINGS_AUTOCLOSE); }, false,
         [] { return Settings.IsAutoMGQClose && StoredNumber(L"IsAutoMGQClose") == 1; }},
        {"O/X swap", [](DialogSession& s) { s.Click(IDC_SETTINGS_SWAPOX); }, true,
         [] { return Settings.IsOKCancelChange && StoredNumber(L"IsOKCancelChange") == 1; }},
        {"transparency", [](DialogSession& s) { s.Type(IDC_SETTINGS_TRANSPARENCY, L"40"); }, true,
         [] { return Settings.Transparency == 40 && StoredNumber(L"Transparency") == 40; }},
        {"sensitivity", [](DialogSession& s) { s.Type(IDC_SETTINGS_SENSITIVITY, L"4"); }, true,
         [] {
             return Settings.CrossPressSensitivity == 4 &&
                    StoredNumber(L"CrossPressSensitivity") == 4;
         }},
        {"minimum hold, clamped",
         [](DialogSession& s) { s.Type(IDC_SETTINGS_MINIMUMHOLD, L"250"); }, false,
         [] { return Settings.MinimumHoldMs == 200 && StoredNumber(L"MinimumHoldMs") == 200; }},
        {"path", [](DialogSession& s) { s.Type(IDC_SETTINGS_PATH, L"D:\\MGQ\\mgq.exe"); }, false,
         [] { return std::wcscmp(Settings.MGQpath, L"D:\\MGQ\\mgq.exe") == 0; }},
        {"a box clicked twice",
         [](DialogSession& s) {
             s.Click(IDC_SETTINGS_SWAPOX);
             s.Click(IDC_SETTINGS_SWAPOX);
         },
         false,
         [] { return !Settings.IsOKCancelChange && StoredNumber(L"IsOKCancelChange") == 0; }},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        DialogSession session;
        session.Open();
        row.change(session);
        session.Click(IDOK);  // the click takes the focus from a box first
        CHECK(session.Ended());
        CHECK(Settings.IsDisplayChanged == row.displayChanged);
        CHECK_FALSE(Settings.IsModified);
        CHECK(row.applied());
    }
}

TEST_CASE("a trackbar moves its box at once and the setting when the move ends")
{
    struct Row {
        bool ended;
        int32_t stored;
        LPARAM widenedTo;  // another program's range and position for the bar, or 0
    };
    const Row rows[] = {{false, 25, 0}, {true, 30, 0}, {true, 90, 200}};
    for (const Row& row : rows) {
        CAPTURE(row.ended);
        CAPTURE(row.widenedTo);
        DialogSession session;
        session.Open();
        const HWND bar = session.Item(IDC_SETTINGS_TRANSPARENCYBAR);
        SetFocus(bar);
        if (row.widenedTo) {
            SendMessageW(bar, TBM_SETRANGEMAX, TRUE, row.widenedTo);
            SendMessageW(bar, TBM_SETPOS, TRUE, row.widenedTo);
            SendMessageW(session.Dialog(), WM_HSCROLL, TB_ENDTRACK, reinterpret_cast<LPARAM>(bar));
            session.Command(IDOK);
            CHECK(Settings.Transparency == row.stored);
            continue;
        }
        SendMessageW(bar, WM_KEYDOWN, VK_NEXT, 0);  // one page (5) up
        CHECK(session.Position(IDC_SETTINGS_TRANSPARENCYBAR) == 30);
        CHECK(session.Text(IDC_SETTINGS_TRANSPARENCY) == L"30");
        if (row.ended) SendMessageW(bar, WM_KEYUP, VK_NEXT, 0);  // TB_ENDTRACK
        session.Command(IDOK);
        CHECK(Settings.Transparency == row.stored);
        CHECK(Settings.IsDisplayChanged == row.ended);
    }
}

TEST_CASE("Enter and Escape in a box end the dialog; the late focus loss changes nothing")
{
    struct Row {
        int command;
        int32_t taken;
    };
    // Enter takes what the box holds, as the mouse would; Escape does not.
    const Row rows[] = {{IDOK, 50}, {IDCANCEL, 25}};
    for (const Row& row : rows) {
        CAPTURE(row.command);
        DialogSession session;
        session.Open();
        session.Type(IDC_SETTINGS_TRANSPARENCY, L"50");
        session.Command(row.command);  // the focus is still in the box
        CHECK(session.Ended());
        CHECK(Settings.Transparency == row.taken);

        // A focus loss reported after the end finds no working copy.
        SetWindowTextW(session.Item(IDC_SETTINGS_TRANSPARENCY), L"80");
        session.Notify(IDC_SETTINGS_TRANSPARENCY, EN_KILLFOCUS);
        SetWindowTextW(session.Item(IDC_SETTINGS_PATH), L"D:\\late.exe");
        session.Notify(IDC_SETTINGS_PATH, EN_KILLFOCUS);
        session.Click(IDC_SETTINGS_AUTOEXEC);
        session.Command(IDOK);
        CHECK(Settings.Transparency == row.taken);
        CHECK(Settings.MGQpath[0] == L'\0');
        CHECK_FALSE(Settings.IsAutoMGQExec);
        CHECK(session.Text(IDC_SETTINGS_TRANSPARENCY) == L"80");
        CHECK(CurrentSettingsDialog() == nullptr);
    }
}

TEST_CASE("a second dialog ends at once and leaves the open one's working copy alone")
{
    DialogSession session;
    const HWND first = session.Open();
    session.Type(IDC_SETTINGS_TRANSPARENCY, L"60");
    session.MoveFocusOn();

    const HWND second = CreateDialogParamW(
        GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_SETTINGS), MainWindow, SettingsDialog, 0);
    REQUIRE(second);
    CHECK_FALSE(IsWindowVisible(second));
    CHECK(CurrentSettingsDialog() == first);
    SendMessageW(second, WM_COMMAND, MAKEWPARAM(IDC_SETTINGS_AUTOEXEC, BN_CLICKED), 0);
    SendMessageW(second, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    DestroyWindow(second);
    CHECK(Settings.Transparency == 25);
    CHECK(CurrentSettingsDialog() == first);

    session.Click(IDOK);
    CHECK(Settings.Transparency == 60);
    CHECK_FALSE(Settings.IsAutoMGQExec);
}

namespace {

struct BrowseScript {
    bool Choose = false;
    std::wstring Chosen;
    int Calls = 0;
    OPENFILENAMEW Seen = {};
    std::wstring Filter;  // both strings, '|' between them
    std::wstring InitialDirectory;
    std::wstring InitialFile;
};
BrowseScript Browse;

BOOL WINAPI ScriptedGetOpenFileName(LPOPENFILENAMEW request)
{
    ++Browse.Calls;
    Browse.Seen = *request;
    Browse.Filter.clear();
    for (const wchar_t* part = request->lpstrFilter; part && *part; part += std::wcslen(part) + 1)
        Browse.Filter += std::wstring(Browse.Filter.empty() ? L"" : L"|") + part;
    Browse.InitialDirectory = request->lpstrInitialDir ? request->lpstrInitialDir : L"(none)";
    Browse.InitialFile = request->lpstrFile;
    if (!Browse.Choose) return FALSE;
    const size_t length = std::min<size_t>(Browse.Chosen.size(), request->nMaxFile - 1);
    Browse.Chosen.copy(request->lpstrFile, length);
    request->lpstrFile[length] = L'\0';
    return TRUE;
}

}  // namespace

TEST_CASE("参照... asks for an executable and takes the chosen file")
{
    struct Row {
        bool choose;
        const wchar_t* chosen;
        const wchar_t* path;
    };
    const Row rows[] = {
        {true, L"E:\\Other Games\\MGQ\\mgq.exe", L"E:\\Other Games\\MGQ\\mgq.exe"},
        {false, L"E:\\ignored.exe", L"C:\\Games\\MGQ\\mgq.exe"},
    };
    const FileDialogCalls saved = FileDialog;
    FileDialog.GetOpenFileNameW = ScriptedGetOpenFileName;
    for (const Row& row : rows) {
        CAPTURE(row.choose);
        DialogSession session;
        SetMGQpath(Settings, L"C:\\Games\\MGQ\\mgq.exe");
        session.Open();
        Browse = BrowseScript{};
        Browse.Choose = row.choose;
        Browse.Chosen = row.chosen;
        session.Click(IDC_SETTINGS_BROWSE);
        REQUIRE(Browse.Calls == 1);
        CHECK(Browse.Seen.lStructSize == sizeof(OPENFILENAMEW));
        CHECK(Browse.Seen.hwndOwner == session.Dialog());
        CHECK(Browse.Filter == L"実行ファイル|*.exe");
        CHECK(Browse.Seen.nMaxFile == 260);
        CHECK(Browse.InitialFile.empty());
        CHECK(Browse.InitialDirectory == L"C:\\Games\\MGQ\\mgq.exe");
        CHECK(Browse.Seen.Flags == (OFN_FILEMUSTEXIST | OFN_HIDEREADONLY));
        CHECK(Browse.Seen.lpstrTitle == nullptr);
        CHECK(Browse.Seen.lpstrDefExt == nullptr);
        CHECK(session.Text(IDC_SETTINGS_PATH) == row.path);
        session.Click(IDOK);
        CHECK(std::wstring(Settings.MGQpath) == row.path);
    }
    FileDialog = saved;
}

TEST_CASE("レジストリ fills the path from the game's install record, or empties it")
{
    struct Row {
        const wchar_t* installDir;
        const wchar_t* path;
        bool stored;
    };
    const Row rows[] = {
        {L"C:\\Games\\MGQ\\", L"C:\\Games\\MGQ\\mgq.exe", true},
        {nullptr, L"", false},
    };
    for (const Row& row : rows) {
        CAPTURE(row.stored);
        DialogSession session;
        SetStringValue(HKEY_CURRENT_USER, SettingsKeyPath, L"MGQpath", L"D:\\Old\\mgq.exe");
        LoadSettings();
        if (row.installDir)
            SetStringValue(HKEY_LOCAL_MACHINE, InstallKeyPath, L"InstallDir", row.installDir);
        session.Open();
        CHECK(session.Text(IDC_SETTINGS_PATH) == L"D:\\Old\\mgq.exe");
        session.Click(IDC_SETTINGS_REGISTRY);
        CHECK(session.Text(IDC_SETTINGS_PATH) == row.path);
        session.Click(IDOK);
        CHECK(std::wstring(Settings.MGQpath) == row.path);
        CHECK(StoredValueExists(L"MGQpath") == row.stored);
    }
}

TEST_CASE("recording keeps one record per resolution; a stale game window records as none")
{
    DialogSession session;
    const HWND game = CreatePlainWindow(300, 40, 640, 360);
    const HWND gone = CreatePlainWindow(0, 0, 10, 10);
    DestroyWindow(gone);
    wchar_t key[16];
    std::swprintf(key, 16, L"%dx%d", GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));

    struct Row {
        HWND cached;
        RECT mgqRect;
    };
    const Row rows[] = {
        {nullptr, RECT{}},
        {game, MakeRect(300, 40, 940, 400)},
        {gone, RECT{}},
    };
    session.Open();
    for (const Row& row : rows) {
        CAPTURE(row.mgqRect.right);
        CachedGameWindow = row.cached;
        session.Click(IDC_SETTINGS_RECORD);
        session.Click(IDOK);
        CHECK(session.ListEntries() == std::vector<std::wstring>{key});
        REQUIRE(Settings.WindowRecords.size() == 1);
        const WindowRecord& record = Settings.WindowRecords[0];
        CHECK(std::wstring(record.ResolutionKey) == key);
        CHECK(SameRect(record.InputRect, MakeRect(100, 50, 440, 570)));
        CHECK(SameRect(record.MGQRect, row.mgqRect));
        session.Open();  // the next recording overwrites this one
    }
    DestroyWindow(game);

    // Deleting the selected record removes its subkey at OK.
    REQUIRE(KeyExists(HKEY_CURRENT_USER, SettingsSubkey(std::wstring(L"Window\\") + key)));
    session.Click(IDC_SETTINGS_DELETERECORD);  // nothing selected: nothing happens
    CHECK(session.ListEntries().size() == 1);
    SendMessageW(session.Item(IDC_SETTINGS_RECORDLIST), LB_SETCURSEL, 0, 0);
    session.Click(IDC_SETTINGS_DELETERECORD);
    CHECK(session.ListEntries().empty());
    session.Click(IDOK);
    CHECK(Settings.WindowRecords.empty());
    CHECK_FALSE(KeyExists(HKEY_CURRENT_USER, SettingsSubkey(std::wstring(L"Window\\") + key)));
}

TEST_CASE("a display change rewrites the resolution box from the screen")
{
    DialogSession session;
    session.Open();
    const std::wstring shown = session.Text(IDC_SETTINGS_RESOLUTION);
    SetWindowTextW(session.Item(IDC_SETTINGS_RESOLUTION), L"stale");
    SendMessageW(session.Dialog(), WM_DISPLAYCHANGE, 32, MAKELPARAM(1, 1));
    CHECK(session.Text(IDC_SETTINGS_RESOLUTION) == shown);
}
