// Orvex_DLL: the keyboard and foreground hooks that end the skip latch. While
// installed they post WM_SKIPRELEASE to the overlay on a Ctrl or Escape press
// or when a window other than the game's comes to the front, and they swallow
// every Escape press and its release.
#pragma once
#include <windows.h>

#ifdef ORVEX_DLL_BUILD
#define ORVEX_DLL_API __declspec(dllexport)
#else
#define ORVEX_DLL_API __declspec(dllimport)
#endif

// What the hooks post to the overlay: must be the overlay's WM_SKIPRELEASE.
constexpr UINT SkipReleaseMessage = WM_USER + 200;

// Installs both hooks (any pair already installed is removed first); 1 when
// both are in place, else 0.
ORVEX_DLL_API int __cdecl SetSkipLockHook(HWND overlay, HWND game);
// Removes whatever is installed; 1 when nothing is left installed, 0 when a
// removal failed (a later call tries again). A keyboard hook the system has
// already removed counts as removed.
ORVEX_DLL_API int __cdecl UnsetSkipLockHook();

// Called by the system through the hooks.
ORVEX_DLL_API LRESULT CALLBACK KeyProc(int code, WPARAM wParam, LPARAM lParam);
ORVEX_DLL_API void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD event, HWND window,
                                         LONG objectId, LONG childId, DWORD eventThread,
                                         DWORD eventTime);
