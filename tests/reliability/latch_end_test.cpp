// The game vanishing under the overlay, and the hooks never outliving the
// skip latch, with the real stand-in game receiving real keys and the hook
// library's real hooks installed on this thread.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "app/app.h"
#include "game/game.h"
#include "hooklib.h"
#include "overlay_fixture.h"
#include "render/render.h"
#include "settings/settings.h"
#include "support.h"

namespace {

int Count(const std::vector<std::string>& log, const std::string& line)
{
    int n = 0;
    for (const std::string& l : log) n += l == line;
    return n;
}

bool GameGot(const std::wstring& logPath, const std::string& key)
{
    for (const std::string& line : ReadGameKeys(logPath))
        if (line == key) return true;
    return false;
}

// The stand-in game in front, with its own log.
struct RunningGame {
    RunningGame() : log(TempFilePath(L"latch-game"))
    {
        window = StartStandinGame(process, log);
        if (window && GetForegroundWindow() != window) SetForegroundWindow(window);
        WaitUntil([this] { return GetForegroundWindow() == window; }, 3000);
    }
    ~RunningGame()
    {
        process.Kill();
        DeleteFileW(log.c_str());
    }
    void Vanish()
    {
        process.Kill();
        WaitUntil([this] { return !IsWindow(window); }, 5000);
    }
    ChildProcess process;
    std::wstring log;
    HWND window = nullptr;
};

// Ctrl and Escape let go for real, whatever a failed check left behind.
struct KeysUpAfterwards {
    ~KeysUpAfterwards()
    {
        PressKey(VK_CONTROL, false);
        PressKey(VK_ESCAPE, false);
    }
};

// The game's close confirmation, answered with OK.
int WINAPI AnswerOk(HWND, LPCWSTR, LPCWSTR, UINT)
{
    return IDOK;
}

BOOL CALLBACK CancelWindow(HWND window, LPARAM)
{
    return PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
}

void CALLBACK CloseOwnWindows(HWND, UINT, UINT_PTR timer, DWORD)
{
    KillTimer(nullptr, timer);
    EndMenu();
    EnumThreadWindows(GetCurrentThreadId(), CancelWindow, 0);
}

// Opens one of the program's own windows and closes it (a menu, or any
// dialog of this thread) once it is open.
void OpenOwnWindow(InProcessOverlay& o, UINT message, WPARAM wParam, LPARAM lParam)
{
    SetTimer(nullptr, 0, 300, CloseOwnWindows);
    o.Send(message, wParam, lParam);
}

}  // namespace

TEST_SUITE("vanish")
{
    TEST_CASE("the game vanishes while a key is held: no press goes out, releases do, the cache "
              "clears, the overlay goes on")
    {
        const KeysUpAfterwards keysUp;
        RunningGame game;
        REQUIRE(game.window);
        InProcessOverlay overlay(true);
        REQUIRE(overlay.Handle());
        overlay.Touch({CircleSpot()});
        CHECK(WaitUntil([&] { return GameGot(game.log, "KEYDOWN 0x5A"); }, 3000));
        CHECK(CachedGameWindow == game.window);

        game.Vanish();
        KeyLog.clear();
        overlay.Touch({CircleSpot(), UpSpot()});  // ↑ is new: there is no game to press it in
        CHECK(Count(KeyLog, "+UP") == 0);
        CHECK(CachedGameWindow == nullptr);
        CHECK(TouchMask == 0x10);  // ○ is still known as held, ↑ was dropped
        overlay.Touch({});
        CHECK(Count(KeyLog, "-Z") == 1);  // the release still goes out
        CHECK(TouchMask == 0);
        overlay.MouseDown(CircleSpot());
        overlay.MouseUp(CircleSpot());
        CHECK(Count(KeyLog, "+Z") == 0);
        CHECK(PadMarks() == "");
        // Still drawing.
        CHECK(SUCCEEDED(RepaintPad(overlay.Handle())));

        // A game that comes back gets the next press.
        RunningGame again;
        REQUIRE(again.window);
        overlay.Touch({CircleSpot()});
        overlay.Touch({});
        CHECK(WaitUntil(
            [&] { return GameGot(again.log, "KEYDOWN 0x5A") && GameGot(again.log, "KEYUP 0x5A"); },
            3000));
        CHECK(CachedGameWindow == again.window);
    }

    TEST_CASE("the game vanishes while the latch is on: every way of ending it still ends it and "
              "removes the hooks")
    {
        const KeysUpAfterwards keysUp;
        const HookCensus census;
        REQUIRE(census.Patched());
        struct Row {
            const char* how;
            void (*end)(InProcessOverlay&);
        };
        const Row rows[] = {
            {"a press on LOG",
             [](InProcessOverlay& o) {
                 o.Touch({LogSpot()});
                 o.Touch({});
             }},
            {"a press on SKIP",
             [](InProcessOverlay& o) {
                 o.MouseDown(SkipSpot());
                 o.MouseUp(SkipSpot());
             }},
            {"WM_SKIPRELEASE", [](InProcessOverlay& o) { o.Send(WM_SKIPRELEASE); }},
            {"WM_CLOSE", [](InProcessOverlay& o) { o.Send(WM_CLOSE); }},
        };
        for (const Row& row : rows) {
            CAPTURE(row.how);
            RunningGame game;
            REQUIRE(game.window);
            InProcessOverlay overlay(true);
            REQUIRE(overlay.Handle());
            overlay.DoubleClick(SkipSpot());
            REQUIRE(SkipLatched);
            CHECK(HookCensus::Live() == 2);
            CHECK(WaitUntil([&] { return GameGot(game.log, "KEYDOWN 0x11"); }, 3000));

            game.Vanish();
            KeyLog.clear();
            row.end(overlay);
            overlay.Pump();
            CHECK_FALSE(SkipLatched);
            CHECK(HookCensus::Live() == 0);
            CHECK(Count(KeyLog, "-CTRL") >= 1);  // the latch's release goes out
            CHECK(Count(KeyLog, "+ESC") == 0);   // nothing is pressed in a game that is gone
            CHECK(Count(KeyLog, "+CTRL") <=
                  (std::string(row.how) == "WM_CLOSE" ? 1 : 0));  // only the closing tap
            CHECK(CachedGameWindow == nullptr);
            CHECK(PadMarks() == "");
        }
    }
}

TEST_SUITE("hooks")
{
    TEST_CASE(
        "for every way the latch ends, no hook stays installed and Escape reaches the game again")
    {
        const KeysUpAfterwards keysUp;
        const HookCensus census;
        REQUIRE(census.Patched());
        const GameControlCalls savedControl = GameControl;
        GameControl.MessageBoxW = AnswerOk;
        struct Row {
            const char* how;
            void (*end)(InProcessOverlay&, HWND game);
            bool gameStays;  // closing the game ends it
        };
        const Row rows[] = {
            {"Escape",
             [](InProcessOverlay&, HWND) {
                 PressKey(VK_ESCAPE, true);
                 PressKey(VK_ESCAPE, false);
             },
             true},
            {"a Ctrl key-down",
             [](InProcessOverlay&, HWND) {
                 PressKey(VK_CONTROL, true);
                 PressKey(VK_CONTROL, false);
             },
             true},
            {"a press on SKIP",
             [](InProcessOverlay& o, HWND) {
                 o.Touch({SkipSpot()});
                 o.Touch({});
             },
             true},
            {"a press on LOG",
             [](InProcessOverlay& o, HWND) {
                 o.MouseDown(LogSpot());
                 o.MouseUp(LogSpot());
             },
             true},
            {"a foreground change reported to WinEventProc",
             [](InProcessOverlay& o, HWND) {
                 WinEventProc(nullptr, EVENT_SYSTEM_FOREGROUND, GetDesktopWindow(), OBJID_WINDOW,
                              CHILDID_SELF, 0, 0);
                 o.Pump();
             },
             true},
            {"closing the game",
             [](InProcessOverlay& o, HWND) { o.Send(WM_COMMAND, IDM_CLOSEGAME); }, false},
            {"WM_CLOSE", [](InProcessOverlay& o, HWND) { o.Send(WM_CLOSE); }, true},
            {"IDM_EXIT", [](InProcessOverlay& o, HWND) { o.Send(WM_COMMAND, IDM_EXIT); }, true},
            // The program's own windows would get Ctrl with every key typed.
            {"the tray menu",
             [](InProcessOverlay& o, HWND) { OpenOwnWindow(o, WM_TRAYNOTIFY, 0, WM_RBUTTONDOWN); },
             true},
            {"the About box",
             [](InProcessOverlay& o, HWND) { OpenOwnWindow(o, WM_COMMAND, IDM_ABOUT, 0); }, true},
            {"the settings dialog",
             [](InProcessOverlay& o, HWND) { OpenOwnWindow(o, WM_COMMAND, IDM_SETTINGS, 0); },
             true},
            // A key held behind the window would keep acting in the game.
            {"the About box while a finger holds ↑",
             [](InProcessOverlay& o, HWND) {
                 o.Touch({UpSpot()});
                 OpenOwnWindow(o, WM_COMMAND, IDM_ABOUT, 0);
                 CHECK(TouchMask == 0);
                 CHECK(Count(KeyLog, "-UP") == 1);
             },
             true},
            {"Escape, in a latch after a hook the system had already removed",
             [](InProcessOverlay& o, HWND) {
                 HookCensus::FailNextRemoval();
                 o.Send(WM_SKIPRELEASE);
                 o.DoubleClick(SkipSpot());
                 PressKey(VK_ESCAPE, true);
                 PressKey(VK_ESCAPE, false);
             },
             true},
        };
        Settings.IsAutoMGQClose = false;
        for (const Row& row : rows) {
            CAPTURE(row.how);
            RunningGame game;
            REQUIRE(game.window);
            InProcessOverlay overlay(true);
            REQUIRE(overlay.Handle());
            overlay.DoubleClick(SkipSpot());
            REQUIRE(SkipLatched);
            REQUIRE(HookCensus::Live() == 2);

            row.end(overlay, game.window);
            overlay.Pump(300);
            CHECK_FALSE(SkipLatched);
            CHECK(HookCensus::Live() == 0);
            CHECK(WaitUntil([&] { return GameGot(game.log, "KEYUP 0x11"); }, 3000));
            if (!row.gameStays) {
                CHECK(WaitUntil([&] { return !game.process.Running(); }, 5000));
                continue;
            }
            // With no keyboard hook left, Escape is not swallowed any more.
            if (GetForegroundWindow() != game.window) SetForegroundWindow(game.window);
            PressKey(VK_ESCAPE, true);
            PressKey(VK_ESCAPE, false);
            overlay.Pump(100);
            CHECK(WaitUntil([&] { return GameGot(game.log, "KEYUP 0x1B"); }, 3000));
        }
        GameControl = savedControl;
    }
}
