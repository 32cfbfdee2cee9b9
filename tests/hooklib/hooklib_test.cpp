// The hook library through its exports: the procedures called directly, then
// the real hooks installed on this thread and fed injected keys.
#include <doctest/doctest.h>
#include "base/messages.h"
#include "hooklib.h"
#include "recording.h"
#include "support.h"

namespace {

// Removes every WM_SKIPRELEASE queued for the window; returns how many there were.
int TakeSkipReleases(HWND window)
{
    int n = 0;
    MSG msg;
    while (PeekMessageW(&msg, window, WM_SKIPRELEASE, WM_SKIPRELEASE, PM_REMOVE)) ++n;
    return n;
}

LRESULT CallKeyProc(int code, WPARAM message, DWORD vk)
{
    KBDLLHOOKSTRUCT event = {};
    event.vkCode = vk;
    event.scanCode = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
    return KeyProc(code, message, reinterpret_cast<LPARAM>(&event));
}

// An overlay and a game window with the hooks installed for them and no
// notification queued; the hooks go when it does.
struct DirectCallWindows {
    RecordingWindow overlay;
    RecordingWindow game;
    bool Create()
    {
        if (!overlay.Create(L"HookOverlay", false) || !game.Create(L"HookGame", false))
            return false;
        const bool installed = SetSkipLockHook(overlay.Handle(), game.Handle()) == 1;
        TakeSkipReleases(overlay.Handle());
        return installed;
    }
    ~DirectCallWindows() { UnsetSkipLockHook(); }
};

}  // namespace

TEST_CASE("KeyProc called directly: what passes, what is swallowed, what posts")
{
    DirectCallWindows w;
    REQUIRE(w.Create());

    struct Row {
        int code;
        WPARAM message;
        DWORD vk;
        LRESULT result;  // 1 swallowed; 0 what the empty hook chain answers
        int posts;
    };
    // Only the release of a swallowed Escape press is swallowed: the last row
    // is the release of an Escape pressed before the hooks went in.
    const Row rows[] = {
        {-1, WM_KEYDOWN, VK_ESCAPE, 0, 0},          {-5, WM_KEYUP, VK_ESCAPE, 0, 0},
        {3, WM_KEYDOWN, VK_ESCAPE, 0, 0},           {HC_ACTION, WM_KEYDOWN, VK_ESCAPE, 1, 1},
        {HC_ACTION, WM_KEYUP, VK_ESCAPE, 1, 0},     {HC_ACTION, WM_SYSKEYDOWN, VK_ESCAPE, 1, 0},
        {HC_ACTION, WM_SYSKEYUP, VK_ESCAPE, 1, 0},  {HC_ACTION, WM_KEYDOWN, VK_CONTROL, 0, 1},
        {HC_ACTION, WM_KEYDOWN, VK_LCONTROL, 0, 1}, {HC_ACTION, WM_KEYDOWN, VK_RCONTROL, 0, 1},
        {HC_ACTION, WM_KEYUP, VK_LCONTROL, 0, 0},   {HC_ACTION, WM_SYSKEYDOWN, VK_RCONTROL, 0, 0},
        {-1, WM_KEYDOWN, VK_LCONTROL, 0, 0},        {HC_ACTION, WM_KEYDOWN, VK_SHIFT, 0, 0},
        {HC_ACTION, WM_KEYDOWN, VK_LSHIFT, 0, 0},   {HC_ACTION, WM_KEYDOWN, VK_UP, 0, 0},
        {HC_ACTION, WM_KEYDOWN, 'Z', 0, 0},         {HC_ACTION, WM_KEYDOWN, VK_F1, 0, 0},
        {HC_ACTION, WM_KEYDOWN, VK_MENU, 0, 0},     {HC_ACTION, WM_KEYUP, 'X', 0, 0},
        {HC_ACTION, WM_KEYUP, VK_ESCAPE, 0, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(row.code);
        CAPTURE(row.message);
        CAPTURE(row.vk);
        CHECK(CallKeyProc(row.code, row.message, row.vk) == row.result);
        CHECK(TakeSkipReleases(w.overlay.Handle()) == row.posts);
    }
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("WinEventProc posts for every window but the game's")
{
    DirectCallWindows w;
    REQUIRE(w.Create());
    RecordingWindow other;
    REQUIRE(other.Create(L"HookOther", false));

    struct Row {
        HWND window;
        int posts;
    };
    const Row rows[] = {
        {w.game.Handle(), 0}, {other.Handle(), 1},     {w.overlay.Handle(), 1},
        {nullptr, 1},         {GetDesktopWindow(), 1},
    };
    for (const Row& row : rows) {
        CAPTURE(row.window);
        WinEventProc(nullptr, EVENT_SYSTEM_FOREGROUND, row.window, OBJID_WINDOW, CHILDID_SELF, 0,
                     0);
        CHECK(TakeSkipReleases(w.overlay.Handle()) == row.posts);
    }
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("UnsetSkipLockHook with nothing installed returns 1, every time")
{
    CHECK(UnsetSkipLockHook() == 1);
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("without hooks Escape reaches the focused window and nothing is posted")
{
    HookProbe w;
    REQUIRE(w.Create());
    CHECK(w.TypeEscape() == EscapePasses);
}

TEST_CASE("installed hooks swallow Escape, pass the rest, and post for Escape and Ctrl presses")
{
    HookProbe w;
    REQUIRE(w.Create());
    REQUIRE(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    struct Row {
        WORD vk;
        int arrive;  // key messages at the focused window for a press and release
        int posts;
    };
    const Row rows[] = {
        {VK_ESCAPE, 0, 1}, {VK_LCONTROL, 2, 1}, {VK_RCONTROL, 2, 1}, {VK_CONTROL, 2, 1},
        {VK_SHIFT, 2, 0},  {VK_UP, 2, 0},       {'Z', 2, 0},         {VK_F1, 2, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(row.vk);
        w.Clear();
        w.TypeKey(row.vk);
        // Ctrl may arrive under its generic or its hand-specific code.
        const bool ctrl = row.vk == VK_CONTROL || row.vk == VK_LCONTROL || row.vk == VK_RCONTROL;
        const int arrived = ctrl ? w.KeyMessagesFor(VK_CONTROL) + w.KeyMessagesFor(VK_LCONTROL) +
                                       w.KeyMessagesFor(VK_RCONTROL)
                                 : w.KeyMessagesFor(row.vk);
        CHECK(arrived == row.arrive);
        CHECK(w.overlay.Count(WM_SKIPRELEASE) == row.posts);
    }
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("after UnsetSkipLockHook Escape passes again and nothing is posted")
{
    HookProbe w;
    REQUIRE(w.Create());
    REQUIRE(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    CHECK(UnsetSkipLockHook() == 1);
    CHECK(w.TypeEscape() == EscapePasses);
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("an Escape release after the hooks are gone passes; its press did not")
{
    HookProbe w;
    REQUIRE(w.Create());
    REQUIRE(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    w.Clear();
    PressKey(VK_ESCAPE, true);
    PumpFor(200);
    CHECK(UnsetSkipLockHook() == 1);
    PressKey(VK_ESCAPE, false);
    PumpFor(200);
    CHECK(w.KeyMessagesFor(VK_ESCAPE) == 1);
    CHECK((!w.focused.Messages.empty() && w.focused.Messages.back().message == WM_KEYUP));
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 1);
}

TEST_CASE("set twice, unset once: no hook is left behind")
{
    HookProbe w;
    REQUIRE(w.Create());
    CHECK(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    CHECK(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    // The second pair works like the first: one notification per press.
    CHECK(w.TypeEscape() == EscapeSwallowed);
    CHECK(UnsetSkipLockHook() == 1);
    CHECK(w.TypeEscape() == EscapePasses);
}

TEST_CASE("a second set with a new overlay sends later notifications there only")
{
    HookProbe w;
    REQUIRE(w.Create());
    RecordingWindow newOverlay;
    REQUIRE(newOverlay.Create(L"HookOverlay", false));
    CHECK(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    CHECK(SetSkipLockHook(newOverlay.Handle(), w.focused.Handle()) == 1);
    w.TypeKey(VK_ESCAPE);
    CHECK(newOverlay.Count(WM_SKIPRELEASE) == 1);
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 0);
    CHECK(UnsetSkipLockHook() == 1);
}
