// Target game control: finding the game's window, placing both windows per
// screen resolution, launching and closing the game.
#pragma once
#include <windows.h>

extern const wchar_t GameWindowClass[];  // "MoonGlass_Class"
// The last game window found; may name a window that has gone since.
extern HWND CachedGameWindow;

// The window enumeration of the game search; tests swap in a counting version
// and restore this.
struct DiscoveryCalls {
    BOOL(WINAPI* EnumWindows)(WNDENUMPROC callback, LPARAM param);
};
extern DiscoveryCalls Discovery;

// Searches the top-level windows (z-order, first match wins); caches a find.
HWND FindGameWindow();
// The cached window if it is still the game's, otherwise a fresh search.
HWND GetGameWindow();

// Places the overlay (topmost, never activated, never resized) and the game
// window for the current screen resolution.
void PlaceWindows();

void LaunchGame();
void CloseGame();
