// A game started by the program may take the foreground: the right is handed
// to the new process, and to nothing when no process was started.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "app/app.h"
#include "game/game.h"
#include "settings/settings.h"
#include "test_windows.h"

namespace {

constexpr DWORD NewProcessId = 4711;

std::vector<std::string> Calls;
bool CreateSucceeds = true;

// Real handles of this process and thread stand in for the new ones, so that
// the launch closes real handles.
BOOL WINAPI FakeCreateProcess(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL,
                              DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION info)
{
    Calls.push_back("create");
    if (!CreateSucceeds) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    info->hProcess = OpenProcess(SYNCHRONIZE, FALSE, GetCurrentProcessId());
    info->hThread = OpenThread(SYNCHRONIZE, FALSE, GetCurrentThreadId());
    info->dwProcessId = NewProcessId;
    info->dwThreadId = 1;
    return TRUE;
}

BOOL WINAPI RecordAllowForeground(DWORD processId)
{
    Calls.push_back("allow " + std::to_string(processId));
    return TRUE;
}

void WINAPI RecordSleep(DWORD)
{
    Calls.push_back("sleep");
}

}  // namespace

TEST_CASE("a launched game is allowed to take the foreground, right after it is created")
{
    struct Row {
        const char* name;
        bool cached;
        const wchar_t* path;
        bool created;
        std::vector<std::string> first;  // the first calls made, in order
    };
    const Row rows[] = {
        {"started", false, L"C:\\Games\\MGQ\\mgq.exe", true, {"create", "allow 4711", "sleep"}},
        {"creation fails", false, L"C:\\Games\\MGQ\\mgq.exe", false, {"create"}},
        {"a game window is cached", true, L"C:\\Games\\MGQ\\mgq.exe", true, {}},
        {"no path", false, L"", true, {}},
    };
    const GameControlCalls saved = GameControl;
    const SettingsRecord savedSettings = Settings;
    const HWND savedCache = CachedGameWindow;
    UniqueWindow overlay = CreateOverlayLikeWindow();
    MainWindow = overlay.get();
    GameControl.CreateProcessW = FakeCreateProcess;
    GameControl.AllowSetForegroundWindow = RecordAllowForeground;
    GameControl.Sleep = RecordSleep;
    for (const Row& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        Calls.clear();
        CreateSucceeds = row.created;
        SetMGQpath(Settings, row.path);
        // No game window exists, so a launch searches until it gives up.
        CachedGameWindow = row.cached ? overlay.get() : nullptr;
        LaunchGame();
        EndGameWatch();  // the next row's launch is not one while this game starts
        CHECK(Calls.size() >= row.first.size());
        const size_t n = row.first.size() < Calls.size() ? row.first.size() : Calls.size();
        CHECK(std::vector<std::string>(Calls.begin(), Calls.begin() + n) == row.first);
        int allows = 0;
        for (const std::string& call : Calls) allows += call.rfind("allow", 0) == 0;
        CHECK(allows == (row.first.size() > 1 ? 1 : 0));
    }
    GameControl = saved;
    Settings = savedSettings;
    CachedGameWindow = savedCache;
    MainWindow = nullptr;
}
