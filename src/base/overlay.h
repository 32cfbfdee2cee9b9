// The overlay window every module works with: its handle, its closing flag
// and its fixed client size.
#pragma once
#include <windows.h>

constexpr int OverlayClientWidth = 340;
constexpr int OverlayClientHeight = 520;

// The client size under the layout in force: the constants above for the
// built-in pad, a layout file's pad size times its scale otherwise.
extern SIZE OverlayClientSize;

// Null until start-up has made the window.
extern HWND MainWindow;
// Set first thing on WM_DESTROY; from then on contacts change nothing.
extern bool WindowClosing;
// The last game window found; may name a window that has gone since. Game
// discovery keeps it; the settings dialog records its place.
extern HWND CachedGameWindow;
