#include <doctest/doctest.h>
#include "app/app.h"
#include "input/input.h"
#include "support.h"
#include <commctrl.h>
#include <cstring>
#include <string>
#include <vector>

namespace {

// What the fake shell was asked, and what it answers next.
struct ShellScript {
    struct Answer {
        bool ok;
        DWORD error;
    };
    std::vector<Answer> answers;  // one per Shell_NotifyIconW call; the last repeats
    size_t next = 0;
    DWORD lastError = 0;
    std::vector<DWORD> messages;
    std::vector<NOTIFYICONDATAW> records;
    std::vector<DWORD> waits;
    struct Execute {
        HWND owner;
        std::wstring verb, file;
        bool parameters, directory;
        INT show;
    };
    std::vector<Execute> executes;
    std::string order;  // A, M, D: add, modify, delete; K: a key record sent
};
ShellScript Script;

BOOL WINAPI FakeNotifyIcon(DWORD message, PNOTIFYICONDATAW data)
{
    Script.messages.push_back(message);
    Script.records.push_back(*data);
    Script.order += message == NIM_ADD ? 'A' : message == NIM_MODIFY ? 'M' : 'D';
    const size_t i =
        Script.next < Script.answers.size() ? Script.next++ : Script.answers.size() - 1;
    const ShellScript::Answer answer =
        Script.answers.empty() ? ShellScript::Answer{true, 0} : Script.answers[i];
    Script.lastError = answer.ok ? 0 : answer.error;
    return answer.ok ? TRUE : FALSE;
}

DWORD WINAPI FakeGetLastError()
{
    return Script.lastError;
}

void WINAPI FakeSleep(DWORD milliseconds)
{
    Script.waits.push_back(milliseconds);
}

HINSTANCE WINAPI FakeShellExecute(HWND owner, LPCWSTR verb, LPCWSTR file, LPCWSTR parameters,
                                  LPCWSTR directory, INT show)
{
    Script.executes.push_back({owner, verb ? verb : L"", file ? file : L"", parameters != nullptr,
                               directory != nullptr, show});
    return reinterpret_cast<HINSTANCE>(42);
}

// Swaps the fake shell in for one test and puts the real one and the globals back.
struct FakeShell {
    ShellCalls saved = AppShell;
    HWND savedWindow = MainWindow;
    HICON savedIcon = AppIcon;
    explicit FakeShell(std::vector<ShellScript::Answer> answers = {})
    {
        Script = ShellScript();
        Script.answers = std::move(answers);
        AppShell = {FakeNotifyIcon, FakeGetLastError, FakeSleep, FakeShellExecute};
        MainWindow = reinterpret_cast<HWND>(0x1234);
        AppIcon = reinterpret_cast<HICON>(0x5678);
    }
    ~FakeShell()
    {
        AppShell = saved;
        MainWindow = savedWindow;
        AppIcon = savedIcon;
    }
};

bool IsAllZero(const void* data, size_t size)
{
    const BYTE* bytes = static_cast<const BYTE*>(data);
    for (size_t i = 0; i < size; ++i)
        if (bytes[i] != 0) return false;
    return true;
}

// The members that must stay zero whatever the call.
void CheckUnusedMembersZero(const NOTIFYICONDATAW& data)
{
    CHECK(data.dwState == 0);
    CHECK(data.dwStateMask == 0);
    CHECK(data.szInfo[0] == 0);
    CHECK(data.uTimeout == 0);
    CHECK(data.szInfoTitle[0] == 0);
    CHECK(data.dwInfoFlags == 0);
    CHECK(IsAllZero(&data.guidItem, sizeof(data.guidItem)));
    CHECK(data.hBalloonIcon == nullptr);
}

std::wstring TipOf(const NOTIFYICONDATAW& data)
{
    return std::wstring(data.szTip, wcsnlen(data.szTip, 64));
}

}  // namespace

TEST_CASE("adding the tray icon retries only while the shell times out")
{
    const ShellScript::Answer ok = {true, 0};
    const ShellScript::Answer timeout = {false, ERROR_TIMEOUT};
    const ShellScript::Answer denied = {false, ERROR_ACCESS_DENIED};
    const ShellScript::Answer failed = {false, ERROR_FILE_NOT_FOUND};

    std::vector<ShellScript::Answer> ninetyNineRoundsThenOk;
    for (int i = 0; i < 99; ++i) {
        ninetyNineRoundsThenOk.push_back(timeout);
        ninetyNineRoundsThenOk.push_back(failed);
    }
    ninetyNineRoundsThenOk.push_back(ok);

    struct Row {
        const char* name;
        std::vector<ShellScript::Answer> answers;
        bool added;
        std::vector<DWORD> messages;  // expected, when short
        size_t calls;
        size_t waits;
    };
    const Row rows[] = {
        {"added at once", {ok}, true, {NIM_ADD}, 1, 0},
        {"timed-out add taken after all", {timeout, ok}, true, {NIM_ADD, NIM_MODIFY}, 2, 1},
        {"other error gives up", {denied}, false, {NIM_ADD}, 1, 0},
        {"modify fails, next add succeeds",
         {timeout, failed, ok},
         true,
         {NIM_ADD, NIM_MODIFY, NIM_ADD},
         3,
         1},
        {"timeout, then another error",
         {timeout, failed, denied},
         false,
         {NIM_ADD, NIM_MODIFY, NIM_ADD},
         3,
         1},
        {"the hundredth round still tries", ninetyNineRoundsThenOk, true, {}, 199, 99},
        {"a shell that always times out", {timeout}, false, {}, 200, 100},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        FakeShell fake(row.answers);
        CHECK(AddTrayIcon() == row.added);
        CHECK(Script.messages.size() == row.calls);
        CHECK(Script.waits.size() == row.waits);
        if (!row.messages.empty()) CHECK(Script.messages == row.messages);
        for (size_t i = 0; i < Script.messages.size(); ++i) {
            // Adds and modifies alternate: every modify follows a timed-out add.
            CHECK(Script.messages[i] == (i % 2 == 0 ? DWORD(NIM_ADD) : DWORD(NIM_MODIFY)));
        }
        for (DWORD wait : Script.waits) CHECK(wait == 100);
    }
}

TEST_CASE("the tray icon records carry the program's window, icon, message and tip")
{
    // The full record's size as the shell knows it for this bitness; any other is refused.
    const DWORD fullRecord = sizeof(void*) == 4 ? 956 : 976;
    FakeShell fake({{false, ERROR_TIMEOUT}, {true, 0}});
    REQUIRE(AddTrayIcon());
    RemoveTrayIcon();
    REQUIRE(Script.records.size() == 3);

    for (size_t i = 0; i < 2; ++i) {
        CAPTURE(i);
        const NOTIFYICONDATAW& data = Script.records[i];
        CHECK(data.cbSize == fullRecord);
        CHECK(data.hWnd == reinterpret_cast<HWND>(0x1234));
        CHECK(data.uID == 1);
        CHECK(data.uFlags == 7);
        CHECK(data.uCallbackMessage == 1025);
        CHECK(data.hIcon == reinterpret_cast<HICON>(0x5678));
        CHECK(TipOf(data) == L"Lumenkey");
        CheckUnusedMembersZero(data);
    }

    const NOTIFYICONDATAW& removal = Script.records[2];
    CHECK(Script.messages[2] == NIM_DELETE);
    CHECK(removal.cbSize == fullRecord);
    CHECK(removal.hWnd == reinterpret_cast<HWND>(0x1234));
    CHECK(removal.uID == 1);
    CHECK(removal.uFlags == 0);
    CHECK(removal.uCallbackMessage == 0);
    CHECK(removal.hIcon == nullptr);
    CHECK(TipOf(removal).empty());
    CheckUnusedMembersZero(removal);
}

TEST_CASE("the popup menu has its ten entries in order, the size adjustment the default")
{
    struct Row {
        UINT id;
        const wchar_t* text;
    };  // text null: separator
    const Row rows[] = {
        {1125, L"サイズ調整"},
        {1126, L"グラス起動"},
        {1127, L"グラス終了"},
        {0, nullptr},
        {1124, L"設定"},
        {0, nullptr},
        {104, L"バージョン情報"},
        {0, nullptr},
        {1128, L"キー状態リセット"},
        {105, L"終了"},
    };

    // Built twice: every showing gets a menu of its own with the same entries.
    for (int build = 0; build < 2; ++build) {
        CAPTURE(build);
        const UniqueMenu menu = BuildTrayMenu();
        REQUIRE(menu);
        REQUIRE(GetMenuItemCount(menu.get()) == 10);
        CHECK(GetMenuDefaultItem(menu.get(), FALSE, 0) == 1125);

        int separators = 0;
        for (int i = 0; i < 10; ++i) {
            CAPTURE(i);
            wchar_t text[64] = L"";
            MENUITEMINFOW info = {};
            info.cbSize = sizeof(info);
            info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
            info.dwTypeData = text;
            info.cch = 64;
            REQUIRE(GetMenuItemInfoW(menu.get(), i, TRUE, &info));
            CHECK(info.hSubMenu == nullptr);
            CHECK((info.fState & MFS_CHECKED) == 0);
            CHECK(((info.fState & MFS_DEFAULT) != 0) == (i == 0));
            if (!rows[i].text) {
                ++separators;
                CHECK((info.fType & MFT_SEPARATOR) != 0);
                CHECK(info.wID == 0);
                continue;
            }
            CHECK((info.fState & MFS_GRAYED) == 0);
            CHECK(info.fType == MFT_STRING);
            CHECK(info.wID == rows[i].id);
            CHECK(std::wstring(text) == rows[i].text);
        }
        CHECK(separators == 3);
    }
}

namespace {

HWND FrontWhileTracking = nullptr;

void CALLBACK NoteFrontAndEndMenu(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    FrontWhileTracking = GetForegroundWindow();
    EndMenu();
}

}  // namespace

TEST_CASE("the menu is tracked with its owner in front, which gives the front back after it")
{
    // A click elsewhere closes a menu only when its owner is in front.
    const HWND savedWindow = MainWindow;
    const HWND game = CreateWindowExW(0, L"STATIC", L"game", WS_POPUP | WS_VISIBLE, 700, 500, 80,
                                      40, nullptr, nullptr, nullptr, nullptr);
    MainWindow = CreateWindowExW(0, L"STATIC", L"overlay", WS_POPUP | WS_VISIBLE, 600, 400, 80, 40,
                                 nullptr, nullptr, nullptr, nullptr);
    SetForegroundWindow(game);
    REQUIRE(WaitUntil([&] { return GetForegroundWindow() == game; }, 2000));
    SetTimer(nullptr, 0, 200, NoteFrontAndEndMenu);
    ShowTrayMenu();
    CHECK(FrontWhileTracking == MainWindow);
    CHECK(GetForegroundWindow() == game);
    MSG wake = {};
    CHECK(PeekMessageW(&wake, MainWindow, WM_NULL, WM_NULL, PM_REMOVE));
    DestroyWindow(MainWindow);
    DestroyWindow(game);
    MainWindow = savedWindow;
}

TEST_CASE("the About box opens its link, the README beside the program, on a click only")
{
    NMLINK link = {};
    link.hdr.idFrom = IDC_ABOUT_LINK;
    const wchar_t url[] = L"README.txt";
    std::memcpy(link.item.szUrl, url, sizeof(url));
    wchar_t program[MAX_PATH] = L"";
    REQUIRE(GetModuleFileNameW(nullptr, program, MAX_PATH) > 0);
    std::wstring readme = program;
    readme = readme.substr(0, readme.rfind(L'\\') + 1) + url;

    struct Row {
        const char* name;
        WPARAM control;
        UINT code;
        size_t opened;
    };
    const Row rows[] = {
        {"click on the link", IDC_ABOUT_LINK, NM_CLICK, 1},
        {"Enter on the link", IDC_ABOUT_LINK, NM_RETURN, 0},
        {"click from another control", IDC_ABOUT_VERSION, NM_CLICK, 0},
        {"other notification", IDC_ABOUT_LINK, NM_SETFOCUS, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        FakeShell fake;
        link.hdr.code = row.code;
        link.hdr.idFrom = row.control;
        CHECK(AboutDlgProc(nullptr, WM_NOTIFY, row.control, reinterpret_cast<LPARAM>(&link)) ==
              FALSE);
        REQUIRE(Script.executes.size() == row.opened);
        if (!row.opened) continue;
        const ShellScript::Execute& e = Script.executes[0];
        CHECK(e.owner == reinterpret_cast<HWND>(0x1234));
        CHECK(e.verb == L"open");
        CHECK(e.file == readme);
        CHECK_FALSE(e.parameters);
        CHECK_FALSE(e.directory);
        CHECK(e.show == SW_SHOWNORMAL);
    }
}

UINT WINAPI FakeKeyOutput(UINT count, LPINPUT, int)
{
    Script.order += std::string(count, 'K');
    return count;
}

TEST_CASE("destroying the overlay window lets go of held keys, then takes its tray icon away")
{
    WNDCLASSW wc = {};
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvexTeardownTest";
    RegisterClassW(&wc);
    FakeShell fake;
    const KeyOutputCalls savedKeyOutput = KeyOutput;
    KeyOutput.SendInput = FakeKeyOutput;
    const HWND window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, wc.hInstance, nullptr);
    REQUIRE(window);
    MainWindow = window;
    REQUIRE(AddTrayIcon());
    MouseMask = KeySet{1} << 4;  // "○" held with the mouse

    DestroyWindow(window);
    // The teardown ends the message loop; take its quit message off this thread.
    MSG quit = {};
    CHECK(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    WindowClosing = false;
    MouseMask = 0;
    KeyOutput = savedKeyOutput;

    CHECK(Script.order == "AKD");
    REQUIRE(Script.messages.size() == 2);
    CHECK(Script.records[1].hWnd == window);
    CHECK(Script.records[1].uID == 1);
}

TEST_CASE("the real shell takes the tray icon and gives it back")
{
    const HWND window = CreateWindowExW(0, L"STATIC", L"tray test", WS_POPUP, 0, 0, 10, 10, nullptr,
                                        nullptr, GetModuleHandleW(nullptr), nullptr);
    REQUIRE(window);
    const HWND savedWindow = MainWindow;
    const HICON savedIcon = AppIcon;
    MainWindow = window;
    AppIcon = LoadIconW(nullptr, IDI_APPLICATION);

    CHECK_FALSE(TrayIconPresent(window, 1));
    CHECK(AddTrayIcon());
    CHECK(TrayIconPresent(window, 1));
    RemoveTrayIcon();
    CHECK_FALSE(TrayIconPresent(window, 1));

    MainWindow = savedWindow;
    AppIcon = savedIcon;
    DestroyWindow(window);
}
