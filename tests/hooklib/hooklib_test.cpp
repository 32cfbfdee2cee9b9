// The hook library through its exports: the procedures called directly, then
// the real hooks installed on this thread and fed injected keys.
#include <doctest/doctest.h>
#include "app/app.h"
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

// Injects a press and release and lets the hooks and the window see them.
void TypeKey(WORD vk)
{
    PressKey(vk, true);
    PressKey(vk, false);
    PumpFor(200);
}

int KeyMessagesFor(const RecordingWindow& window, WPARAM vk)
{
    int n = 0;
    for (const RecordedMessage& m : window.Messages)
        n += m.message >= WM_KEYDOWN && m.message <= WM_SYSKEYUP && m.wParam == vk;
    return n;
}

}  // namespace

TEST_CASE("WM_SKIPRELEASE is the overlay's private message 1224")
{
    CHECK(WM_SKIPRELEASE == 1224u);
}

TEST_CASE("KeyProc called directly: what passes, what is swallowed, what posts")
{
    RecordingWindow overlay;
    REQUIRE(overlay.Create(L"HookOverlay", false));
    RecordingWindow game;
    REQUIRE(game.Create(L"HookGame", false));
    REQUIRE(SetSkipLockHook(overlay.Handle(), game.Handle()) == 1);
    TakeSkipReleases(overlay.Handle());

    struct Row {
        int code;
        WPARAM message;
        DWORD vk;
        LRESULT result;  // 1 swallowed; 0 what the empty hook chain answers
        int posts;
    };
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
    };
    for (const Row& row : rows) {
        CAPTURE(row.code);
        CAPTURE(row.message);
        CAPTURE(row.vk);
        CHECK(CallKeyProc(row.code, row.message, row.vk) == row.result);
        CHECK(TakeSkipReleases(overlay.Handle()) == row.posts);
    }
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("WinEventProc posts for every window but the game's")
{
    RecordingWindow overlay;
    REQUIRE(overlay.Create(L"HookOverlay", false));
    RecordingWindow game;
    REQUIRE(game.Create(L"HookGame", false));
    RecordingWindow other;
    REQUIRE(other.Create(L"HookOther", false));
    REQUIRE(SetSkipLockHook(overlay.Handle(), game.Handle()) == 1);
    TakeSkipReleases(overlay.Handle());

    struct Row {
        HWND window;
        int posts;
    };
    const Row rows[] = {
        {game.Handle(), 0}, {other.Handle(), 1},     {overlay.Handle(), 1},
        {nullptr, 1},       {GetDesktopWindow(), 1},
    };
    for (const Row& row : rows) {
        CAPTURE(row.window);
        WinEventProc(nullptr, EVENT_SYSTEM_FOREGROUND, row.window, OBJID_WINDOW, CHILDID_SELF, 0,
                     0);
        CHECK(TakeSkipReleases(overlay.Handle()) == row.posts);
    }
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("UnsetSkipLockHook with nothing installed returns 1, every time")
{
    CHECK(UnsetSkipLockHook() == 1);
    CHECK(UnsetSkipLockHook() == 1);
}

// An overlay that counts notifications and a focused window that logs keys.
struct HookedWindows {
    RecordingWindow overlay;
    RecordingWindow focused;
    bool Create()
    {
        return overlay.Create(L"HookOverlay", false) && focused.Create(L"HookFocused") &&
               GetForegroundWindow() == focused.Handle();
    }
    void Clear()
    {
        overlay.Messages.clear();
        focused.Messages.clear();
    }
};

TEST_CASE("without hooks Escape reaches the focused window and nothing is posted")
{
    HookedWindows w;
    REQUIRE(w.Create());
    TypeKey(VK_ESCAPE);
    CHECK(KeyMessagesFor(w.focused, VK_ESCAPE) == 2);
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 0);
}

TEST_CASE("installed hooks swallow Escape, pass the rest, and post for Escape and Ctrl presses")
{
    HookedWindows w;
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
        TypeKey(row.vk);
        // Ctrl may arrive under its generic or its hand-specific code.
        const bool ctrl = row.vk == VK_CONTROL || row.vk == VK_LCONTROL || row.vk == VK_RCONTROL;
        const int arrived = ctrl ? KeyMessagesFor(w.focused, VK_CONTROL) +
                                       KeyMessagesFor(w.focused, VK_LCONTROL) +
                                       KeyMessagesFor(w.focused, VK_RCONTROL)
                                 : KeyMessagesFor(w.focused, row.vk);
        CHECK(arrived == row.arrive);
        CHECK(w.overlay.Count(WM_SKIPRELEASE) == row.posts);
    }
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("after UnsetSkipLockHook Escape passes again and nothing is posted")
{
    HookedWindows w;
    REQUIRE(w.Create());
    REQUIRE(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    CHECK(UnsetSkipLockHook() == 1);
    w.Clear();
    TypeKey(VK_ESCAPE);
    CHECK(KeyMessagesFor(w.focused, VK_ESCAPE) == 2);
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 0);
    CHECK(UnsetSkipLockHook() == 1);
}

TEST_CASE("an Escape release after the hooks are gone passes; its press did not")
{
    HookedWindows w;
    REQUIRE(w.Create());
    REQUIRE(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    w.Clear();
    PressKey(VK_ESCAPE, true);
    PumpFor(200);
    CHECK(UnsetSkipLockHook() == 1);
    PressKey(VK_ESCAPE, false);
    PumpFor(200);
    CHECK(KeyMessagesFor(w.focused, VK_ESCAPE) == 1);
    CHECK((!w.focused.Messages.empty() && w.focused.Messages.back().message == WM_KEYUP));
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 1);
}

TEST_CASE("set twice, unset once: no hook is left behind")
{
    HookedWindows w;
    REQUIRE(w.Create());
    CHECK(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    CHECK(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    // The second pair works like the first: one notification per press.
    w.Clear();
    TypeKey(VK_ESCAPE);
    CHECK(KeyMessagesFor(w.focused, VK_ESCAPE) == 0);
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 1);

    CHECK(UnsetSkipLockHook() == 1);
    w.Clear();
    TypeKey(VK_ESCAPE);
    CHECK(KeyMessagesFor(w.focused, VK_ESCAPE) == 2);
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 0);
}

TEST_CASE("a second set with a new overlay sends later notifications there only")
{
    HookedWindows w;
    REQUIRE(w.Create());
    RecordingWindow newOverlay;
    REQUIRE(newOverlay.Create(L"HookOverlay", false));
    CHECK(SetSkipLockHook(w.overlay.Handle(), w.focused.Handle()) == 1);
    CHECK(SetSkipLockHook(newOverlay.Handle(), w.focused.Handle()) == 1);
    TypeKey(VK_ESCAPE);
    CHECK(newOverlay.Count(WM_SKIPRELEASE) == 1);
    CHECK(w.overlay.Count(WM_SKIPRELEASE) == 0);
    CHECK(UnsetSkipLockHook() == 1);
}
