// The tray icon survives a restart of the shell: the shell's "TaskbarCreated"
// broadcast makes the window procedure add the icon again; no other message does.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "app/app.h"
#include "notifyrecorder.h"
#include "support.h"

namespace {

LRESULT CALLBACK QuietProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// A hidden top-level window standing in for the overlay; the tray calls recorded.
struct TaskbarScope {
    NotifyIconRecorder tray;
    HWND savedMain = MainWindow;
    HICON savedIcon = AppIcon;
    HWND window = nullptr;
    TaskbarScope()
    {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = QuietProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"OrvexTaskbarTest";
        RegisterClassExW(&wc);
        window = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                 wc.hInstance, nullptr);
        MainWindow = window;
        AppIcon = LoadIconW(nullptr, IDI_APPLICATION);
    }
    ~TaskbarScope()
    {
        DestroyWindow(window);
        MainWindow = savedMain;
        AppIcon = savedIcon;
    }
};

}  // namespace

TEST_CASE("the shell's TaskbarCreated message adds the tray icon again, nothing else does")
{
    TaskbarScope scope;
    REQUIRE(scope.window);
    // Before registration no message, not even WM_NULL, counts as the shell's.
    CHECK(MainWndProc(scope.window, WM_NULL, 0, 0) == 0);
    CHECK(scope.tray.Messages.empty());

    RegisterTaskbarCreated(scope.window);
    // The name the shell broadcasts under, registered independently here.
    const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    REQUIRE(taskbarCreated != 0);
    const UINT other = RegisterWindowMessageW(L"OrvexTestUnrelatedBroadcast");
    REQUIRE(other != 0);

    const struct {
        const char* name;
        UINT message;
        int adds;
    } rows[] = {
        {"unrelated broadcast", other, 0},
        {"WM_NULL", WM_NULL, 0},
        {"TaskbarCreated", taskbarCreated, 1},
        {"TaskbarCreated again (a second restart)", taskbarCreated, 1},
    };
    for (const auto& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        scope.tray.Clear();
        CHECK(MainWndProc(scope.window, row.message, 0, 0) == 0);
        CHECK(static_cast<int>(scope.tray.Messages.size()) == row.adds);
        if (row.adds == 0) continue;
        CHECK(scope.tray.Messages[0] == static_cast<DWORD>(NIM_ADD));
        const NOTIFYICONDATAW& data = scope.tray.Records[0];
        CHECK(data.hWnd == scope.window);
        CHECK(data.uID == 1);
        CHECK(data.uFlags == static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
        CHECK(data.uCallbackMessage == WM_TRAYNOTIFY);
        CHECK(data.hIcon == AppIcon);
    }
}

TEST_CASE(
    "a second start's notice shows the hidden overlay in front, not activated, with a balloon")
{
    TaskbarScope scope;
    REQUIRE(scope.window);
    REQUIRE_FALSE(IsWindowVisible(scope.window));
    CHECK(MainWndProc(scope.window, WM_ANOTHERSTART, 0, 0) == 0);
    CHECK(IsWindowVisible(scope.window));
    CHECK((GetWindowLongW(scope.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
    CHECK(GetForegroundWindow() != scope.window);
    CHECK(scope.tray.CountBalloons() == 1);
}

TEST_CASE("the first copy's claim belongs to this user; the session's name alone is no claim")
{
    UniqueHandleObject claim;
    {
        const UniqueHandleObject other(
            CreateMutexW(nullptr, FALSE, L"Local\\Lumenkey Works Orvex"));
        CHECK(ClaimFirstCopy(claim));
    }
    claim.reset();
    const UniqueHandleObject ours(CreateMutexW(nullptr, FALSE, FirstCopyObjectName().c_str()));
    CHECK_FALSE(ClaimFirstCopy(claim));
}

TEST_CASE("the log's first line names the user and the integrity level; a log not opened is told")
{
    TaskbarScope scope;
    const std::wstring path = TempFilePath(L"diagnostic-start");
    DeleteFileW(path.c_str());
    StartDiagnosticLog(L"Orvex.exe /log", path.c_str());
    StopDiagnosticLog(0);
    wchar_t user[257] = L"";
    DWORD length = 257;
    REQUIRE(GetUserNameW(user, &length));
    const std::string first = ReadGameLog(path).at(0);
    CHECK(first.find(" user " + std::string(user, user + length - 1) + ",") != std::string::npos);
    CHECK(first.find(" integrity ") != std::string::npos);
    TellDiagnosticLogRefused();
    CHECK(scope.tray.CountBalloons() == 0);

    StartDiagnosticLog(L"Orvex.exe /log", L"C:\\no such folder\\orvex.log");
    TellDiagnosticLogRefused();
    CHECK(scope.tray.CountBalloons() == 1);
    StartDiagnosticLog(L"Orvex.exe");  // not asked for: nothing left to tell
}
