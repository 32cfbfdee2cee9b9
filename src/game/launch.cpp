// Starting the game from its stored path, and the watch for its window.
#include "game.h"
#include <cwchar>
#include "base/overlay.h"
#include "base/handle.h"
#include "base/log.h"
#include "settings/settings.h"

GameControlCalls GameControl = {CreateProcessW, Sleep, MessageBoxW, PostMessageW,
                                AllowSetForegroundWindow};

namespace {

constexpr int LaunchSearchRetries = 20;  // after the first search: at most 21 in all
constexpr DWORD LaunchSearchStep = 10;   // ms between two searches

bool GameWatchRunning = false;
ULONGLONG GameWatchStart = 0;
// The launched game's process while the watch runs: its end ends the watch.
UniqueHandleObject GameProcess;
// The window last placed for this launch; the watch looks for another only
// once it is gone (a splash closing before the main window shows).
HWND PlacedGameWindow = nullptr;
// A window seen on the last look and where it was: it is placed when the next
// look finds it still there, so a game that moves or centres its window as it
// shows it does not undo the placement.
HWND SettlingWindow = nullptr;
RECT SettlingRect = {};

// One search at once, then a few more while the new process creates its window.
bool WaitForGameWindow()
{
    if (FindShownGameWindow()) return true;
    for (int attempt = 0; attempt < LaunchSearchRetries; ++attempt) {
        GameControl.Sleep(LaunchSearchStep);
        if (FindShownGameWindow()) return true;
    }
    return false;
}

bool HasGameExited()
{
    return GameProcess && WaitForSingleObject(GameProcess.get(), 0) == WAIT_OBJECT_0;
}

// True when the window is where the last look saw it; otherwise notes it for the next look.
bool HasWindowSettled(HWND window)
{
    RECT rect = {};
    GetWindowRect(window, &rect);
    const bool settled = window == SettlingWindow && EqualRect(&rect, &SettlingRect);
    SettlingWindow = window;
    SettlingRect = rect;
    return settled;
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

bool IsGameStarting()
{
    return GameWatchRunning && GameProcess && !PlacedGameWindow && !HasGameExited();
}

void LaunchGame()
{
    // A cached window, even a stale one, counts as a running game, and so
    // does one still starting.
    if (CachedGameWindow || IsGameStarting()) return;
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
    // The thread's handle is of no use; the process's tells the watch when the game ended.
    const UniqueHandleObject thread(info.hThread);
    EndGameWatch();
    GameProcess.reset(info.hProcess);

    // A real game takes seconds to open its window: a quick one is placed
    // before the overlay shows, a slow one by the watch, without blocking. The
    // watch goes on after a quick placement too, for a splash's successor.
    if (WaitForGameWindow()) PlaceWindows();
    if (MainWindow && SetTimer(MainWindow, GameWatchTimer, GameWatchPeriod, nullptr)) {
        GameWatchRunning = true;
        GameWatchStart = GetTickCount64();
    } else {
        EndGameWatch();
    }
}

void NoteGamePlaced(HWND game)
{
    PlacedGameWindow = game;
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
    if (HasGameExited()) {
        LogEvent("launch watch ended: the game's process exited");
        EndGameWatch();
        return;
    }
    if (PlacedGameWindow && IsShownWindow(PlacedGameWindow)) return;
    const HWND shown = FindShownGameWindow();
    if (!shown || !HasWindowSettled(shown)) return;
    // The game may be in front by now, or the user busy elsewhere: place
    // without activating anything.
    PlaceWindows(false);
}

void EndGameWatch()
{
    GameProcess.reset();
    PlacedGameWindow = nullptr;
    SettlingWindow = nullptr;
    if (!GameWatchRunning) return;
    GameWatchRunning = false;
    if (MainWindow) KillTimer(MainWindow, GameWatchTimer);
}
