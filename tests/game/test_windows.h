// Real top-level windows made by the test process: stand-ins for the game's
// window and for the overlay.
#pragma once
#include <windows.h>
#include "base/handle.h"

using UniqueWindow = UniqueHandle<HWND, DestroyWindow>;

// A shown, never-activated window of the game's class with the given client
// rectangle in screen coordinates, framed like the game's window.
UniqueWindow CreateGameClassWindow(int x, int y, int clientWidth, int clientHeight);
// A window whose class name differs from the game's only in letter case.
UniqueWindow CreateLookalikeWindow();
// A window shaped like the overlay: caption only, layered, never activated,
// 340 x 520 client pixels.
UniqueWindow CreateOverlayLikeWindow();

// Brings a window to the top of the ordinary windows without activating it.
void RaiseWindow(HWND window);

// The client rectangle of a window in screen coordinates.
RECT ScreenClientRect(HWND window);
