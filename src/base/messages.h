// The overlay's private messages, shared by the program and the hook library
// (which posts WM_SKIPRELEASE), so each number is set in one place.
#pragma once
#include <windows.h>

constexpr UINT WM_TRAYNOTIFY = WM_USER + 1;  // the tray icon's callback
// The game runs at a higher integrity level than the overlay: tell the user.
constexpr UINT WM_GAMEINPUTBLOCKED = WM_USER + 2;
// Posted by a second start of the program to the running copy's overlay.
constexpr UINT WM_ANOTHERSTART = WM_USER + 3;
// Posted by the overlay to itself: draw the frame a key change asked for.
constexpr UINT WM_PADFRAME = WM_USER + 20;
// Posted by the hook library: end the skip latch.
constexpr UINT WM_SKIPRELEASE = WM_USER + 200;
