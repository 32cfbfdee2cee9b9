// Key injection into the game's window and the skip latch. Every key event is
// one INPUT record handed to SendInput after the game has been brought to the
// front; the latch holds Ctrl down with the hook library watching for its end.
#include "input/input.h"
#include "base/overlay.h"
#include "game/game.h"
#include "hooklib.h"
#include "base/log.h"

KeyOutputCalls KeyOutput = {SendInput, SetForegroundWindow, GetForegroundWindow, Sleep};
bool SkipLatched = false;

namespace {

const char* SkipHookOutcomeText(int outcome)
{
    switch (outcome) {
    case SkipHookInstalled:
        return "installed";
    case SkipHookInstallFailed:
        return "not installed";
    case SkipHookRemoved:
        return "removed";
    case SkipHookGoneBefore:
        return "already removed by the system";
    case SkipHookRemoveFailed:
        return "not removed";
    case SkipHookKept:
        return "kept from before";
    default:
        return "not there";
    }
}

// Each hook on its own, so that a failure says which one and why.
void LogSkipHooks(const char* step)
{
    SkipLockHookReport report = {};
    GetSkipLockHookReport(&report);
    LogEvent("skip hooks %s: foreground %s (error %lu), keyboard %s (error %lu)", step,
             SkipHookOutcomeText(report.ForegroundOutcome), report.ForegroundError,
             SkipHookOutcomeText(report.KeyboardOutcome), report.KeyboardError);
}

// How long the game gets to come to the front before a key goes out.
constexpr DWORD ForegroundWaitMs = 100;

bool IsArrowKey(WORD vk)
{
    return vk == VK_LEFT || vk == VK_UP || vk == VK_RIGHT || vk == VK_DOWN;
}

// With no game window there is nothing that could be in front.
bool IsGameInFront(HWND game)
{
    return game && KeyOutput.GetForegroundWindow() == game;
}

void SendKeyRecord(WORD vk, bool release)
{
    INPUT record = MakeKeyRecord(vk, release);
    const UINT sent = KeyOutput.SendInput(1, &record, sizeof(INPUT));
    const char* const what = release ? "up" : "down";
    if (sent == 1)
        LogEvent("key %s vk=0x%02X sent", what, static_cast<unsigned>(vk));
    else
        LogEvent("key %s vk=0x%02X refused, SendInput=%u error=%lu", what,
                 static_cast<unsigned>(vk), sent, GetLastError());
}

void AskForeground(HWND game)
{
    const BOOL granted = KeyOutput.SetForegroundWindow(game);
    LogEvent("foreground asked for %p: %s", static_cast<void*>(game),
             granted ? "granted" : "refused");
}

// A press asks for the foreground only when the game is not already there.
void BringGameForPress(HWND game)
{
    if (IsGameInFront(game)) return;
    AskForeground(game);
    KeyOutput.Sleep(ForegroundWaitMs);
}

// A release always asks once, then asks again and waits if that was not enough.
void BringGameForRelease(HWND game)
{
    AskForeground(game);
    if (IsGameInFront(game)) return;
    AskForeground(game);
    KeyOutput.Sleep(ForegroundWaitMs);
}

}  // namespace

INPUT MakeKeyRecord(WORD vk, bool release)
{
    INPUT record = {};
    record.type = INPUT_KEYBOARD;
    record.ki.wVk = vk;
    record.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    record.ki.dwFlags =
        (release ? KEYEVENTF_KEYUP : 0) | (IsArrowKey(vk) ? KEYEVENTF_EXTENDEDKEY : 0);
    record.ki.time = 0;
    record.ki.dwExtraInfo = 0;
    return record;
}

bool SendKeyDown(WORD vk)
{
    const HWND game = GetGameWindow();
    if (!game) return false;
    BringGameForPress(game);
    SendKeyRecord(vk, false);
    return true;
}

// A release is never withheld: without a game it goes to whatever has the focus.
bool SendKeyUp(WORD vk)
{
    BringGameForRelease(GetGameWindow());
    SendKeyRecord(vk, true);
    return true;
}

bool SetSkipLatch()
{
    const HWND game = GetGameWindow();
    if (!game) return false;
    // A tap's held-back Ctrl release must not come after the latch's press.
    SendHeldReleases();
    BringGameForPress(game);
    // The key goes down before the hooks go in: the keyboard hook would take
    // this very press for the end of the latch.
    SendKeyRecord(PadLatchKey, false);
    SkipLatched = true;
    UpdateHeldMark();
    LatchSkipElements();
    SetSkipLockHook(MainWindow, CachedGameWindow);
    LogSkipHooks("installed");
    return true;
}

bool ReleaseSkipLatch()
{
    SendHeldReleases();
    BringGameForRelease(GetGameWindow());
    SendKeyRecord(PadLatchKey, true);
    SkipLatched = false;
    UpdateHeldMark();
    UnsetSkipLockHook();
    LogSkipHooks("removed");
    UnlatchSkipElements();
    return true;
}

void TapCtrlKey()
{
    SendKeyRecord(PadLatchKey, false);
    SendKeyRecord(PadLatchKey, true);
}

void SendKeyReleases(KeySet keys)
{
    for (int bit = 0; bit < PadKeyBits; ++bit) {
        if ((keys & (KeySet{1} << bit)) && PadKeyTable[bit]) SendKeyRecord(PadKeyTable[bit], true);
    }
}

void ReleaseEveryPadKey(KeySet kept)
{
    // Asked for as a press asks, so that a game reading key messages gets them.
    if (const HWND game = GetGameWindow()) BringGameForPress(game);
    // Every bit of the layout: a bit with no key sends nothing.
    SendKeyReleases(~kept);
}

// A key held by touch and mouse is released once, a held-back release at
// once. The sets themselves stay as they are.
void ReleaseAllKeys()
{
    SendHeldReleases();
    SendKeyReleases(TouchMask | MouseMask);
}
