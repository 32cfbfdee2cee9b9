// Target game control: finding the game's window, placing both windows per
// screen resolution, launching and closing the game.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "base/overlay.h"
#include "pad/padlayout.h"
#include "settings/settings.h"

// The built-in game's class; a layout file may name another game.
inline const wchar_t* const GameWindowClass = BuiltInGameWindowClass;

// The window enumeration of the game search; tests swap in a counting version
// and restore this.
struct DiscoveryCalls {
    BOOL(WINAPI* EnumWindows)(WNDENUMPROC callback, LPARAM param);
};
extern DiscoveryCalls Discovery;

// Searches the top-level windows (z-order, first match wins); caches a find.
HWND FindGameWindow();
// The same search for a window the player can see: hidden windows and windows
// of no size (one a game makes before it is ready) are passed over.
HWND FindShownGameWindow();
bool IsShownWindow(HWND window);
// The cached window if it is still the game's, otherwise a fresh search.
HWND GetGameWindow();

// The call that moves and sizes windows; tests swap in a recording version
// and restore this.
struct PlacementCalls {
    BOOL(WINAPI* SetWindowPos)(HWND window, HWND insertAfter, int x, int y, int width, int height,
                               UINT flags);
};
extern PlacementCalls WindowPlacement;

// Caption height and dialog-frame sizes: both windows are captioned, with a
// dialog frame and no menu.
struct WindowFrame {
    int Caption;
    int FrameX;
    int FrameY;
};

// One SetWindowPos call.
struct WindowMove {
    HWND Window;
    HWND InsertAfter;
    int X, Y, Width, Height;
    UINT Flags;
};

// The calls that put both windows where the placement says, in order. game is
// null when no game window is known; gameClient is the game's client size,
// null when it cannot be read (then no resize is tried).
std::vector<WindowMove> PlanWindowMoves(const Placement& placement, const WindowFrame& frame,
                                        HWND overlay, HWND game, const SIZE* gameClient);

// Places the overlay (topmost, never activated, never resized) and the game
// window for the current screen resolution. With activateGame false the game's
// window is not activated either. The launch watch does not place a window
// placed here again.
void PlaceWindows(bool activateGame = true);

// The OS calls of launching and closing the game; tests swap in recording
// versions and restore these.
struct GameControlCalls {
    BOOL(WINAPI* CreateProcessW)(LPCWSTR application, LPWSTR commandLine,
                                 LPSECURITY_ATTRIBUTES processAttributes,
                                 LPSECURITY_ATTRIBUTES threadAttributes, BOOL inheritHandles,
                                 DWORD creationFlags, LPVOID environment, LPCWSTR currentDirectory,
                                 LPSTARTUPINFOW startupInfo, LPPROCESS_INFORMATION processInfo);
    void(WINAPI* Sleep)(DWORD milliseconds);
    int(WINAPI* MessageBoxW)(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);
    BOOL(WINAPI* PostMessageW)(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    BOOL(WINAPI* AllowSetForegroundWindow)(DWORD processId);
};
extern GameControlCalls GameControl;

// The folder the game runs in: the path up to, not including, its last
// backslash, or the drive's root itself (C:\) for a game at the root. False
// when there is none.
bool GameWorkingDirectory(const wchar_t* path, std::wstring& directory);

// Starts the game from Settings.MGQpath unless a game window is cached or a
// launched game is still starting, places it when its window shows within
// about 200 ms, and starts the launch watch (a new launch replaces a running
// watch).
void LaunchGame();
// A game launched here is still starting: its process lives and no window of
// it has been placed yet.
bool IsGameStarting();

// The launch watch: a timer on MainWindow that looks for a launched game's
// shown window for up to a minute after the launch and places both windows,
// without activation, once that window stays where it is from one look to the
// next. A placed window that goes (a splash) lets the next one be placed; the
// game's process ending ends the watch. The window procedure hands the timer's
// WM_TIMER to CheckGameWatch with the current GetTickCount64.
constexpr UINT_PTR GameWatchTimer = 1;
constexpr DWORD GameWatchPeriod = 100;      // ms between two looks
constexpr ULONGLONG GameWatchSpan = 60000;  // ms after the launch
bool IsWatchingForGame();
void CheckGameWatch(ULONGLONG now);
// Ends the watch and lets go of the game's process.
void EndGameWatch();
// Told by PlaceWindows which game window it placed.
void NoteGamePlaced(HWND game);

// The process and token calls of the integrity check; tests swap in versions
// that report chosen levels and restore these.
struct IntegrityCalls {
    HANDLE(WINAPI* OpenProcess)(DWORD access, BOOL inheritHandle, DWORD processId);
    BOOL(WINAPI* OpenProcessToken)(HANDLE process, DWORD access, PHANDLE token);
    BOOL(WINAPI* GetTokenInformation)(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID info,
                                      DWORD size, PDWORD returned);
};
extern IntegrityCalls ProcessIntegrity;

// A process whose integrity level could not be read.
constexpr DWORD UnknownIntegrityLevel = 0xFFFFFFFF;

// The system silently drops input sent to a process of a higher integrity
// level. Nothing is claimed when either level is unknown.
bool IsGameInputBlocked(DWORD overlayLevel, DWORD gameLevel);
// The integrity level (the label's last RID) of this process and of another
// one. A process or token that refuses even a limited query counts as High;
// any other failure gives UnknownIntegrityLevel.
DWORD OverlayIntegrityLevel();
DWORD ProcessIntegrityLevel(DWORD processId);
// Run for every game window found; the first time a window is seen whose keys
// cannot arrive, MainWindow is posted WM_GAMEINPUTBLOCKED to tell the user.
void CheckGameInputReach(HWND game);
