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

// Installs both hooks (any pair already installed is removed first); 1 when
// both are in place, else 0.
ORVEX_DLL_API int __cdecl SetSkipLockHook(HWND overlay, HWND game);
// Removes whatever is installed; 1 when nothing is left installed, 0 when a
// removal failed (a later call tries again). A keyboard hook the system has
// already removed counts as removed.
ORVEX_DLL_API int __cdecl UnsetSkipLockHook();

// What became of one hook at the last SetSkipLockHook or UnsetSkipLockHook,
// with GetLastError where the system was asked (0 when nothing went wrong).
enum SkipLockHookOutcome : int {
    SkipHookUntouched = 0,  // nothing to do: none installed, nothing asked
    SkipHookInstalled = 1,
    SkipHookInstallFailed = 2,
    SkipHookRemoved = 3,
    SkipHookGoneBefore = 4,  // the system had already removed it (a timed-out keyboard hook)
    SkipHookRemoveFailed = 5,
    SkipHookKept = 6,  // not removed before, so it serves this latch
};
struct SkipLockHookReport {
    int ForegroundOutcome;
    DWORD ForegroundError;
    int KeyboardOutcome;
    DWORD KeyboardError;
};
ORVEX_DLL_API void __cdecl GetSkipLockHookReport(SkipLockHookReport* report);

// Called by the system through the hooks.
ORVEX_DLL_API LRESULT CALLBACK KeyProc(int code, WPARAM wParam, LPARAM lParam);
ORVEX_DLL_API void CALLBACK WinEventProc(HWINEVENTHOOK hook, DWORD event, HWND window,
                                         LONG objectId, LONG childId, DWORD eventThread,
                                         DWORD eventTime);
