// The hook library's state and procedures. Both hooks run on the installing
// thread while it waits for messages, so the state needs no lock. The library
// uses nothing of the C++ runtime.
#include "hooklib.h"
#include "base/messages.h"

namespace {

HINSTANCE ModuleInstance = nullptr;
HWND OverlayWindow = nullptr;
HWND GameWindow = nullptr;
HWINEVENTHOOK ForegroundHook = nullptr;
HHOOK KeyboardHook = nullptr;
// An Escape press this hook swallowed: only its release is swallowed too. The
// release of an Escape pressed before the hook went in (the pad's LOG held
// when the latch went on) must reach the game.
bool EscapeSwallowed = false;
SkipLockHookReport Report = {};

void PostSkipRelease()
{
    PostMessageW(OverlayWindow, WM_SKIPRELEASE, 0, 0);
}

bool EndsLatch(DWORD vk)
{
    return vk == VK_CONTROL || vk == VK_LCONTROL || vk == VK_RCONTROL || vk == VK_ESCAPE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) ModuleInstance = instance;
    return TRUE;
}

int __cdecl SetSkipLockHook(HWND overlay, HWND game)
{
    // A second call while hooks are installed must not orphan the first pair.
    // A hook that cannot be removed stays and serves this latch: it reads the
    // windows stored below, so there is still only one pair.
    UnsetSkipLockHook();

    OverlayWindow = overlay;
    GameWindow = game;
    EscapeSwallowed = false;
    int result = 1;
    if (ForegroundHook) {
        Report.ForegroundOutcome = SkipHookKept;
    } else {
        ForegroundHook = SetWinEventHook(
            EVENT_SYSTEM_FOREGROUND, EVENT_SYSTEM_FOREGROUND, ModuleInstance, WinEventProc, 0, 0,
            WINEVENT_OUTOFCONTEXT | WINEVENT_SKIPOWNTHREAD | WINEVENT_SKIPOWNPROCESS);
        Report.ForegroundOutcome = ForegroundHook ? SkipHookInstalled : SkipHookInstallFailed;
        Report.ForegroundError = ForegroundHook ? 0 : GetLastError();
        if (!ForegroundHook) result = 0;
    }
    if (KeyboardHook) {
        Report.KeyboardOutcome = SkipHookKept;
    } else {
        KeyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, KeyProc, ModuleInstance, 0);
        Report.KeyboardOutcome = KeyboardHook ? SkipHookInstalled : SkipHookInstallFailed;
        Report.KeyboardError = KeyboardHook ? 0 : GetLastError();
        if (!KeyboardHook) return 0;
    }
    return result;
}

int __cdecl UnsetSkipLockHook()
{
    int result = 1;
    Report.ForegroundOutcome = SkipHookUntouched;
    Report.ForegroundError = 0;
    Report.KeyboardOutcome = SkipHookUntouched;
    Report.KeyboardError = 0;
    if (ForegroundHook) {
        if (UnhookWinEvent(ForegroundHook)) {
            ForegroundHook = nullptr;
            Report.ForegroundOutcome = SkipHookRemoved;
        } else {
            Report.ForegroundOutcome = SkipHookRemoveFailed;
            Report.ForegroundError = GetLastError();
            result = 0;
        }
    }
    if (KeyboardHook) {
        // The system removes a low-level hook that timed out on its own; a
        // handle it no longer knows must not stand in for the next hook.
        if (UnhookWindowsHookEx(KeyboardHook)) {
            KeyboardHook = nullptr;
            Report.KeyboardOutcome = SkipHookRemoved;
        } else {
            Report.KeyboardError = GetLastError();
            Report.KeyboardOutcome = Report.KeyboardError == ERROR_INVALID_HOOK_HANDLE
                                         ? SkipHookGoneBefore
                                         : SkipHookRemoveFailed;
            if (Report.KeyboardOutcome == SkipHookGoneBefore)
                KeyboardHook = nullptr;
            else
                result = 0;
        }
    }
    return result;
}

void __cdecl GetSkipLockHookReport(SkipLockHookReport* report)
{
    if (report) *report = Report;
}

LRESULT CALLBACK KeyProc(int code, WPARAM wParam, LPARAM lParam)
{
    if (code != HC_ACTION) return CallNextHookEx(KeyboardHook, code, wParam, lParam);

    // Injected events count like real ones: the latch's own Ctrl press is
    // sent before the hooks go in, so it never reaches here.
    const DWORD vk = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam)->vkCode;
    if (wParam == WM_KEYDOWN) {
        if (!EndsLatch(vk)) return CallNextHookEx(KeyboardHook, code, wParam, lParam);
        PostSkipRelease();
    }
    // Escape ends the latch and must not reach the game, up or down.
    if (vk == VK_ESCAPE) {
        const bool down = wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN;
        if (down || EscapeSwallowed) {
            EscapeSwallowed = down;
            return 1;
        }
    }
    return CallNextHookEx(KeyboardHook, code, wParam, lParam);
}

void CALLBACK WinEventProc(HWINEVENTHOOK, DWORD, HWND window, LONG, LONG, DWORD, DWORD)
{
    if (window != GameWindow) PostSkipRelease();
}
