// Starting the game from its stored path, and the watch for its window.
#include "game.h"
#include <cwchar>
#include "base/overlay.h"
#include "base/handle.h"
#include "settings/settings.h"

GameControlCalls GameControl = {CreateProcessW, Sleep, MessageBoxW, PostMessageW,
                                AllowSetForegroundWindow};

namespace {

constexpr int LaunchSearchRetries = 20;  // after the first search: at most 21 in all
constexpr DWORD LaunchSearchStep = 10;   // ms between two searches

bool GameWatchRunning = false;
ULONGLONG GameWatchStart = 0;

// One search at once, then a few more while the new process creates its window.
bool WaitForGameWindow()
{
    if (FindGameWindow()) return true;
    for (int attempt = 0; attempt < LaunchSearchRetries; ++attempt) {
        GameControl.Sleep(LaunchSearchStep);
        if (FindGameWindow()) return true;
    }
    return false;
}

}  // namespace

bool GameWorkingDirectory(const wchar_t* path, std::wstring& directory)
{
    const wchar_t* lastBackslash = std::wcsrchr(path, L'\\');
    if (!lastBackslash) return false;
    directory.assign(path, lastBackslash);
    // "C:" alone names the drive's current folder, not its root.
    if (directory.size() == 2 && directory[1] == L':') directory += L'\\';
    return true;
}

void LaunchGame()
{
    // A cached window, even a stale one, counts as a running game.
    if (CachedGameWindow) return;
    if (!Settings.MGQpath[0]) return;
    std::wstring directory;
    if (!GameWorkingDirectory(Settings.MGQpath, directory)) return;

    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWDEFAULT;
    PROCESS_INFORMATION info = {};
    if (!GameControl.CreateProcessW(Settings.MGQpath, nullptr, nullptr, nullptr, FALSE,
                                    NORMAL_PRIORITY_CLASS, nullptr, directory.c_str(), &startup,
                                    &info))
        return;
    // The user's start or menu choice lets us take the foreground; hand that
    // right on, so the game's first window comes up in front.
    GameControl.AllowSetForegroundWindow(info.dwProcessId);
    {
        // The game lives on its own: neither handle is kept (thread closed first).
        const UniqueHandleObject process(info.hProcess);
        const UniqueHandleObject thread(info.hThread);
    }

    // A real game takes seconds to open its window: a quick one is placed
    // before the overlay shows, a slow one by the watch, without blocking.
    EndGameWatch();
    if (WaitForGameWindow()) {
        PlaceWindows();
        return;
    }
    if (MainWindow && SetTimer(MainWindow, GameWatchTimer, GameWatchPeriod, nullptr)) {
        GameWatchRunning = true;
        GameWatchStart = GetTickCount64();
    }
}

bool IsWatchingForGame()
{
    return GameWatchRunning;
}

void CheckGameWatch(ULONGLONG now)
{
    if (!GameWatchRunning) return;
    if (now - GameWatchStart > GameWatchSpan) {
        EndGameWatch();
        return;
    }
    // The game may be in front by now, or the user busy elsewhere: place
    // without activating anything. Placing ends the watch.
    if (FindGameWindow()) PlaceWindows(false);
}

void EndGameWatch()
{
    if (!GameWatchRunning) return;
    GameWatchRunning = false;
    if (MainWindow) KillTimer(MainWindow, GameWatchTimer);
}
