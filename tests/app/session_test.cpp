// The user leaving the machine: a locked or switched-away session and a
// suspend let go of every key the game holds, through the real window
// procedure, with a game window of the game's class and the key records
// recorded; the return sends those releases again; other session and power
// notices change nothing.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "app/app.h"
#include "settings/settings.h"
#include <wtsapi32.h>
#include "padinput.h"
#include "support.h"

namespace {

// The key records since the last clear, without the touch feed's "close" lines.
std::string SentKeys()
{
    std::vector<std::string> keys;
    for (const std::string& line : KeyLog)
        if (line != "close") keys.push_back(line);
    return JoinWords(keys);
}

void MouseMessage(HWND overlay, UINT message, WPARAM keys, ContactPoint p)
{
    SetMessageExtraInfo(0);  // a real mouse, not one made from touch
    SendMessageW(overlay, message, keys, PointParam(p));
}

struct Notice {
    const char* name;
    UINT message;
    WPARAM code;
    bool releases;
    LRESULT result;
    // The notice of the user coming back after a releasing one.
    UINT backMessage = 0;
    WPARAM backCode = 0;
    // The return comes while the session is still locked (a resume at the
    // sign-in screen): it and the next one resend, the unlock once more.
    bool lockedAtReturn = false;
};

const Notice Notices[] = {
    {"session locked", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, true, 0, WM_WTSSESSION_CHANGE,
     WTS_SESSION_UNLOCK},
    {"switched to another user at the console", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, true,
     0, WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT},
    {"remote session disconnected", WM_WTSSESSION_CHANGE, WTS_REMOTE_DISCONNECT, true, 0,
     WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT},
    {"suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, true, TRUE, WM_POWERBROADCAST,
     PBT_APMRESUMEAUTOMATIC},
    {"suspend, resumed at the sign-in screen", WM_POWERBROADCAST, PBT_APMSUSPEND, true, TRUE,
     WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, true},
    {"session unlocked", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, false, 0},
    {"console connected", WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT, false, 0},
    {"remote session connected", WM_WTSSESSION_CHANGE, WTS_REMOTE_CONNECT, false, 0},
    {"logon", WM_WTSSESSION_CHANGE, WTS_SESSION_LOGON, false, 0},
    {"remote control changed", WM_WTSSESSION_CHANGE, WTS_SESSION_REMOTE_CONTROL, false, 0},
    {"logging off (the teardown releases)", WM_WTSSESSION_CHANGE, WTS_SESSION_LOGOFF, false, 0},
    {"resumed", WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, false, TRUE},
    {"resumed by the user", WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, false, TRUE},
    {"power source changed", WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE, false, TRUE},
};

}  // namespace

TEST_CASE("leaving the session or suspending releases every held key, latch first")
{
    REQUIRE(BuildTestPad());
    TestPadWindows& windows = UseTestPadWindows();
    REQUIRE(windows.overlay);
    REQUIRE(windows.game);
    const HWND overlay = windows.overlay;
    const ContactPoint Up = PadCentre(0x1);
    const ContactPoint Circle = PadCentre(0x10);
    const ContactPoint Cross = PadCentre(0x20);

    for (const Notice& notice : Notices) {
        const std::string name = notice.name;
        CAPTURE(name);
        KeyOutputRecorder recorder;
        TouchFeed feed;
        ClearInputState();

        // Fingers on ↑ and ×, the mouse button down on ○, then the latch.
        TouchFingers(overlay, {Up, Cross});
        MouseMessage(overlay, WM_LBUTTONDOWN, MK_LBUTTON, Circle);
        REQUIRE(SetSkipLatch());
        REQUIRE(SentKeys() == "+UP +X +Z +CTRL");
        REQUIRE(TouchMask == 0x21);
        REQUIRE(MouseMask == 0x10);
        const std::string heldMarks = PadMarks();
        REQUIRE(heldMarks == "↑ × ○ スキップ(PL)");

        KeyLog.clear();
        CHECK(MainWndProc(overlay, notice.message, notice.code, 0) == notice.result);
        if (notice.releases) {
            // Ctrl of the latch, then every key in ascending bit order, each once.
            CHECK(SentKeys() == "-CTRL -UP -Z -X");
            CHECK(TouchMask == 0);
            CHECK(MouseMask == 0);
            CHECK_FALSE(SkipLatched);
            CHECK(PadMarks() == "");

            // Later contacts work as before: the button still down presses ○
            // again on its next move, a finger presses ↑, and both lift.
            KeyLog.clear();
            MouseMessage(overlay, WM_MOUSEMOVE, MK_LBUTTON, Circle);
            TouchFingers(overlay, {Up});
            CHECK(PadMarks() == "↑ ○");
            TouchFingers(overlay, {});
            MouseMessage(overlay, WM_LBUTTONUP, 0, Circle);
            CHECK(SentKeys() == "+Z +UP -UP -Z");

            // The return sends the releases of what was held at leaving once
            // more (those may have been refused meanwhile), until the user is
            // back in an unlocked session.
            KeyLog.clear();
            if (notice.lockedAtReturn)
                MainWndProc(overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
            MainWndProc(overlay, notice.backMessage, notice.backCode, 0);
            MainWndProc(overlay, notice.backMessage, notice.backCode, 0);
            MainWndProc(overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
            MainWndProc(overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
            const std::string once = "-UP -Z -X -CTRL";
            CHECK(SentKeys() == (notice.lockedAtReturn ? once + " " + once + " " + once : once));
        } else {
            CHECK(SentKeys() == "");
            CHECK(TouchMask == 0x21);
            CHECK(MouseMask == 0x10);
            CHECK(SkipLatched);
            CHECK(PadMarks() == heldMarks);
            TouchFingers(overlay, {});
            MouseMessage(overlay, WM_LBUTTONUP, 0, Circle);
        }
        ClearInputState();
        CHECK(TouchMask == 0);
        CHECK(MouseMask == 0);
    }
}

TEST_CASE("a release the minimum hold keeps back at a lock is sent again at the return")
{
    REQUIRE(BuildTestPad());
    TestPadWindows& windows = UseTestPadWindows();
    REQUIRE(windows.overlay);
    KeyOutputRecorder recorder;
    TouchFeed feed;
    ClearInputState();
    Settings.MinimumHoldMs = MaxMinimumHoldMs;
    const ContactPoint Circle = PadCentre(0x10);
    MouseMessage(windows.overlay, WM_LBUTTONDOWN, MK_LBUTTON, Circle);
    MouseMessage(windows.overlay, WM_LBUTTONUP, 0, Circle);
    MainWndProc(windows.overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, 0);
    MainWndProc(windows.overlay, WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, 0);
    Settings.MinimumHoldMs = 0;
    CHECK(SentKeys() == "+Z -Z -Z");
    ClearInputState();
}
