// Key state on the real pad: each scenario is a run of contact updates, latch
// settings and resets, checked as the exact key records sent, both key sets,
// the latch and the marks the pad shows.
#include <doctest/doctest.h>
#include <csignal>
#include <cstdio>
#include <string>
#include <vector>
#include "app/app.h"
#include "padinput.h"
#include "render/render.h"
#include "settings/settings.h"
#include "support.h"

namespace {

// Client points inside one element each (the diagonal one inside the up-right
// corner zone alone), and one that no element covers.
const ContactPoint Up = {170, 200};
const ContactPoint Right = {250, 280};
const ContactPoint UpRight = {220, 230};
const ContactPoint Circle = {50, 420};
const ContactPoint Cross = {290, 420};
const ContactPoint Skip = {170, 99};
const ContactPoint Log = {65, 99};
const ContactPoint Size = {50, 170};
const ContactPoint Nowhere = {-1, -1};

enum class Act { Touch, Mouse, Latch, Reset, DropGame, RestoreGame, Crash };

struct Step {
    Act act;
    std::vector<ContactPoint> points;
    std::vector<std::string> keys;  // exact key records this step sends
    KeySet touch;
    KeySet mouse;
    bool latched;
    const char* marks;
    int placements;  // window placements this step runs
};

struct Scenario {
    const char* name;
    std::vector<Step> steps;
};

using Keys = std::vector<std::string>;

// The releases of every key the pad can press, in bit order, and without Ctrl.
const Keys EveryKeyUp = {"-UP",    "-DOWN", "-LEFT", "-RIGHT", "-Z", "-X",
                         "-SHIFT", "-CTRL", "-ESC",  "-F1",    "-A", "-S"};
const Keys EveryKeyUpButCtrl = {"-UP",    "-DOWN", "-LEFT", "-RIGHT", "-Z", "-X",
                                "-SHIFT", "-ESC",  "-F1",   "-A",     "-S"};

const Scenario Scenarios[] = {
    {"two fingers, one message each",
     {{Act::Touch, {Up}, Keys{"+UP"}, 0x1, 0, false, "↑", 0},
      {Act::Touch, {Up, Circle}, Keys{"+Z"}, 0x11, 0, false, "↑ ○", 0},
      {Act::Touch, {}, Keys{"-UP", "-Z"}, 0, 0, false, "", 0}}},
    {"a finger slides from up to right and back",
     {{Act::Touch, {Up}, Keys{"+UP"}, 0x1, 0, false, "↑", 0},
      {Act::Touch, {Right}, Keys{"-UP", "+RIGHT"}, 0x8, 0, false, "→", 0},
      {Act::Touch, {Up}, Keys{"+UP", "-RIGHT"}, 0x1, 0, false, "↑", 0},
      {Act::Touch, {}, Keys{"-UP"}, 0, 0, false, "", 0}}},
    {"a finger enters the up-right corner zone and leaves it",
     {{Act::Touch, {Up}, Keys{"+UP"}, 0x1, 0, false, "↑", 0},
      {Act::Touch, {UpRight}, Keys{"+RIGHT"}, 0x9, 0, false, "↑ → ↑→", 0},
      {Act::Touch, {Up}, Keys{"-RIGHT"}, 0x1, 0, false, "↑", 0},
      {Act::Touch, {}, Keys{"-UP"}, 0, 0, false, "", 0}}},
    {"finger then mouse on ○: the button keeps Z after the finger lifts",
     {{Act::Touch, {Circle}, Keys{"+Z"}, 0x10, 0, false, "○", 0},
      {Act::Mouse, {Circle}, Keys{}, 0x10, 0x10, false, "○", 0},
      {Act::Touch, {}, Keys{}, 0, 0x10, false, "○", 0},
      {Act::Mouse, {Nowhere}, Keys{"-Z"}, 0, 0, false, "", 0}}},
    {"the mouse holds × while a finger touches and lifts it",
     {{Act::Mouse, {Cross}, Keys{"+X"}, 0, 0x20, false, "×", 0},
      {Act::Touch, {Cross}, Keys{}, 0x20, 0x20, false, "×", 0},
      {Act::Touch, {}, Keys{}, 0, 0x20, false, "×", 0},
      {Act::Mouse, {Nowhere}, Keys{"-X"}, 0, 0, false, "", 0}}},
    {"SIZE places the windows once, on its press only",
     {{Act::Touch, {Size}, Keys{}, 0x1000, 0, false, "サイズ調整", 1},
      {Act::Touch, {Size}, Keys{}, 0x1000, 0, false, "サイズ調整", 0},
      {Act::Mouse, {Size}, Keys{}, 0x1000, 0x1000, false, "サイズ調整", 0},
      {Act::Touch, {}, Keys{}, 0, 0x1000, false, "サイズ調整", 0},
      {Act::Mouse, {Nowhere}, Keys{}, 0, 0, false, "", 0}}},
    {"latched, ○ is pressed and Ctrl stays down",
     {{Act::Latch, {}, Keys{"+CTRL"}, 0, 0, true, "スキップ(PL)", 0},
      {Act::Touch, {Circle}, Keys{"+Z"}, 0x10, 0, true, "○ スキップ(L)", 0},
      {Act::Touch, {}, Keys{"-Z"}, 0, 0, true, "スキップ(L)", 0}}},
    {"latched, LOG ends the latch before Escape goes down",
     {{Act::Latch, {}, Keys{"+CTRL"}, 0, 0, true, "スキップ(PL)", 0},
      {Act::Touch, {Log}, Keys{"-CTRL", "+ESC"}, 0x100, 0, false, "ログ", 0},
      {Act::Touch, {}, Keys{"-ESC"}, 0, 0, false, "", 0}}},
    {"latched, SKIP ends the latch and presses Ctrl anew",
     {{Act::Latch, {}, Keys{"+CTRL"}, 0, 0, true, "スキップ(PL)", 0},
      {Act::Touch, {Skip}, Keys{"-CTRL", "+CTRL"}, 0x80, 0, false, "スキップ", 0},
      {Act::Touch, {}, Keys{"-CTRL"}, 0, 0, false, "", 0}}},
    {"latched while a finger rests on SKIP: lifting it keeps the latch",
     {{Act::Touch, {Skip}, Keys{"+CTRL"}, 0x80, 0, false, "スキップ", 0},
      {Act::Latch, {}, Keys{"+CTRL"}, 0x80, 0, true, "スキップ(PL)", 0},
      {Act::Touch, {}, Keys{}, 0, 0, true, "スキップ(L)", 0}}},
    {"mouse on SKIP, latched by a finger: ○ sends Z only",
     {{Act::Mouse, {Skip}, Keys{"+CTRL"}, 0, 0x80, false, "スキップ", 0},
      {Act::Latch, {}, Keys{"+CTRL"}, 0, 0x80, true, "スキップ(PL)", 0},
      {Act::Touch, {Circle}, Keys{"+Z"}, 0x10, 0, true, "○ スキップ(L)", 0},
      {Act::Touch, {}, Keys{"-Z"}, 0, 0, true, "スキップ(L)", 0},
      {Act::Mouse, {Nowhere}, Keys{}, 0, 0, true, "スキップ(L)", 0}}},
    {"no game window: ○ is neither sent nor shown",
     {{Act::DropGame, {}, Keys{}, 0, 0, false, "", 0},
      {Act::Touch, {Circle}, Keys{}, 0, 0, false, "", 0},
      {Act::Touch, {}, Keys{}, 0, 0, false, "", 0},
      {Act::RestoreGame, {}, Keys{}, 0, 0, false, "", 0}}},
    {"the game goes while ↑ is held: ↑ is still released later",
     {{Act::Touch, {Up}, Keys{"+UP"}, 0x1, 0, false, "↑", 0},
      {Act::DropGame, {}, Keys{}, 0x1, 0, false, "↑", 0},
      {Act::Touch, {Up, Circle}, Keys{}, 0x1, 0, false, "↑", 0},
      {Act::Touch, {}, Keys{"-UP"}, 0, 0, false, "", 0},
      {Act::RestoreGame, {}, Keys{}, 0, 0, false, "", 0}}},
    {"reset while a finger holds ○ releases every key, then the finger presses again",
     {{Act::Touch, {Circle}, Keys{"+Z"}, 0x10, 0, false, "○", 0},
      {Act::Reset, {}, EveryKeyUp, 0, 0, false, "", 0},
      {Act::Touch, {Circle}, Keys{"+Z"}, 0x10, 0, false, "○", 0},
      {Act::Touch, {}, Keys{"-Z"}, 0, 0, false, "", 0}}},
    {"reset while latched keeps the latch and its mark",
     {{Act::Mouse, {Cross}, Keys{"+X"}, 0, 0x20, false, "×", 0},
      {Act::Latch, {}, Keys{"+CTRL"}, 0, 0x20, true, "× スキップ(PL)", 0},
      {Act::Reset, {}, EveryKeyUpButCtrl, 0, 0, true, "スキップ(L)", 0},
      {Act::Mouse, {Nowhere}, Keys{}, 0, 0, true, "スキップ(L)", 0}}},
    {"reset while latched with a finger still on SKIP leaves Ctrl to the latch",
     {{Act::Touch, {Skip}, Keys{"+CTRL"}, 0x80, 0, false, "スキップ", 0},
      {Act::Latch, {}, Keys{"+CTRL"}, 0x80, 0, true, "スキップ(PL)", 0},
      {Act::Reset, {}, EveryKeyUpButCtrl, 0, 0, true, "スキップ(L)", 0}}},
    {"reset with nothing known held still releases every key, for one refused before",
     {{Act::Reset, {}, EveryKeyUp, 0, 0, false, "", 0}}},
    {"the last resort (crash filter, then SIGABRT) releases the latch's Ctrl and the held keys",
     {{Act::Touch, {Up}, Keys{"+UP"}, 0x1, 0, false, "↑", 0},
      {Act::Latch, {}, Keys{"+CTRL"}, 0x1, 0, true, "↑ スキップ(PL)", 0},
      {Act::Crash, {}, Keys{"-CTRL", "-UP", "-CTRL", "-UP"}, 0x1, 0, true, "↑ スキップ(PL)", 0}}},
};

void RunStep(TestPadWindows& windows, const Step& step)
{
    const int32_t count = static_cast<int32_t>(step.points.size());
    switch (step.act) {
    case Act::Touch:
        UpdateKeyState(step.points.data(), count, true);
        break;
    case Act::Mouse:
        UpdateKeyState(step.points.data(), count, false);
        break;
    case Act::Latch:
        // What a double click or double tap on SKIP does.
        CHECK(SetSkipLatch());
        break;
    case Act::Reset:
        ResetKeyState(windows.overlay);
        break;
    case Act::DropGame:
        DestroyWindow(windows.game);
        windows.game = nullptr;
        break;
    case Act::RestoreGame:
        windows.game = CreateTestGameWindow();
        break;
    case Act::Crash:
        CHECK(ReleaseKeysOnCrash(nullptr) == EXCEPTION_CONTINUE_SEARCH);
        InstallLastResortRelease();
        std::raise(SIGABRT);  // the handler returns: raise is no abort
        break;
    }
}

}  // namespace

TEST_CASE("the scenario points hit the elements they are named after")
{
    REQUIRE(BuildTestPad());
    const struct {
        ContactPoint point;
        KeySet keys;
    } rows[] = {{Up, 0x1},    {Right, 0x8}, {UpRight, 0x9}, {Circle, 0x10}, {Cross, 0x20},
                {Skip, 0x80}, {Log, 0x100}, {Size, 0x1000}, {Nowhere, 0}};
    for (const auto& row : rows) {
        CAPTURE(row.point.x);
        CAPTURE(row.point.y);
        CHECK(HitTestElements(&row.point, 1) == row.keys);
    }
}

TEST_CASE("key state scenarios send exactly the differences, in bit order")
{
    REQUIRE(BuildTestPad());
    TestPadWindows& windows = UseTestPadWindows();
    REQUIRE(windows.overlay);
    REQUIRE(windows.game);

    for (const Scenario& scenario : Scenarios) {
        const std::string name = scenario.name;
        CAPTURE(name);
        KeyOutputRecorder recorder;
        ClearInputState();
        for (size_t i = 0; i < scenario.steps.size(); ++i) {
            const Step& step = scenario.steps[i];
            CAPTURE(i);
            KeyLog.clear();
            ClearOverlayLog();
            RunStep(windows, step);
            CHECK(JoinWords(KeyLog) == JoinWords(step.keys));
            CHECK(TouchMask == step.touch);
            CHECK(MouseMask == step.mouse);
            CHECK(SkipLatched == step.latched);
            CHECK(PadMarks() == step.marks);
            // The overlay is placed (and made topmost) by every placement.
            CHECK((CountOverlayLog("poschanging") > 0) == (step.placements > 0));
        }
        // With the game in front no press or release ever waits.
        bool gameAlways = true;
        for (const Step& step : scenario.steps)
            gameAlways = gameAlways && step.act != Act::DropGame;
        if (gameAlways) CHECK(SleepCalls == 0);
        ClearInputState();
    }
    CHECK(IsWindow(windows.game));
}

TEST_CASE("transitions go out in ascending bit order, presses and releases interleaved")
{
    REQUIRE(BuildTestPad());
    TestPadWindows& windows = UseTestPadWindows();
    REQUIRE(windows.game);
    const struct {
        KeySet pressed;
        KeySet released;
        Keys keys;
    } rows[] = {
        {0x8, 0x1, {"-UP", "+RIGHT"}},
        {0x1, 0x8, {"+UP", "-RIGHT"}},
        {0xFF0,
         0x00F,
         {"-UP", "-DOWN", "-LEFT", "-RIGHT", "+Z", "+X", "+SHIFT", "+CTRL", "+ESC", "+F1", "+A",
          "+S"}},
        {0x0, 0xAAA, {"-DOWN", "-RIGHT", "-X", "-CTRL", "-F1", "-S"}},
        // Bits past SIZE mean nothing and are never looked at.
        {~KeySet{0} << 13, 0, {}},
        {0x1000, 0, {}},
        {0, 0x1000, {}},
    };
    for (const auto& row : rows) {
        CAPTURE(row.pressed);
        CAPTURE(row.released);
        KeyOutputRecorder recorder;
        CHECK(ApplyKeyTransitions(row.pressed, row.released));
        CHECK(JoinWords(KeyLog) == JoinWords(row.keys));
    }
}

TEST_CASE("without a game window a press fails, releases still go out")
{
    REQUIRE(BuildTestPad());
    TestPadWindows& windows = UseTestPadWindows();
    DestroyWindow(windows.game);
    windows.game = nullptr;
    {
        KeyOutputRecorder recorder;
        CHECK_FALSE(ApplyKeyTransitions(0x10, 0x1));
        CHECK(JoinWords(KeyLog) == "-UP");
    }
    UseTestPadWindows();
    REQUIRE(windows.game);
    KeyOutputRecorder recorder;
    CHECK(ApplyKeyTransitions(0x10, 0x1));
    CHECK(JoinWords(KeyLog) == "-UP +Z");
}

TEST_CASE("the reset releases every held key once, forgets it and repaints")
{
    REQUIRE(BuildTestPad());
    TestPadWindows& windows = UseTestPadWindows();
    KeyOutputRecorder recorder;
    ClearInputState();
    const ContactPoint fingers[] = {Up, Circle};
    UpdateKeyState(fingers, 2, true);
    UpdateKeyState(&Cross, 1, false);
    CHECK(PadMarks() == "↑ × ○");
    ValidateRect(windows.overlay, nullptr);
    KeyLog.clear();

    ResetKeyState(windows.overlay);
    CHECK(JoinWords(KeyLog) == JoinWords(EveryKeyUp));
    CHECK(TouchMask == 0);
    CHECK(MouseMask == 0);
    CHECK(PadMarks().empty());
    RECT dirty = {};
    CHECK(GetUpdateRect(windows.overlay, &dirty, FALSE));

    // Without a table the reset still empties the sets.
    TouchMask = 0x10;
    std::unique_ptr<PadElementTable> table = std::move(CurrentPadTable);
    ResetKeyState(windows.overlay);
    CHECK(TouchMask == 0);
    CurrentPadTable = std::move(table);
    ClearInputState();
}

namespace {

int Frames = 0;
size_t KeysAtFrame = 0;
HRESULT CountingEndDraw(ID2D1RenderTarget* target)
{
    ++Frames;
    KeysAtFrame = KeyLog.size();
    return target->EndDraw();
}

}  // namespace

TEST_CASE("a burst of key changes gives one frame, drawn after all of its keys went out")
{
    REQUIRE(BuildTestPad());
    TestPadWindows& windows = UseTestPadWindows();
    KeyOutputRecorder recorder;
    ClearInputState();
    // Any earlier request ends first, so that the frame counted is this burst's.
    if (IsPadFramePending()) PaintRequestedFrame(windows.overlay);
    const DrawingCalls saved = Drawing;
    Drawing.EndDraw = CountingEndDraw;
    Frames = 0;
    KeyLog.clear();

    UpdateKeyState(&Up, 1, true);
    UpdateKeyState(&Circle, 1, true);
    UpdateKeyState(&Cross, 1, false);
    UpdateKeyState(&Nowhere, 1, true);
    UpdateKeyState(&Nowhere, 1, false);
    CHECK(JoinWords(KeyLog) == "+UP -UP +Z +X -Z -X");
    CHECK(Frames == 0);
    CHECK(IsPadFramePending());

    // The frame comes as a posted message or, within a period of the last one, a timer.
    MSG frame = {};
    const auto isFrame = [&] {
        return frame.message == WM_PADFRAME ||
               (frame.message == WM_TIMER && frame.wParam == PadFrameTimer);
    };
    for (int wait = 0; wait < 5000 && !isFrame(); ++wait) {
        if (!PeekMessageW(&frame, windows.overlay, WM_PADFRAME, WM_PADFRAME, PM_REMOVE) &&
            !PeekMessageW(&frame, windows.overlay, WM_TIMER, WM_TIMER, PM_REMOVE))
            Sleep(1);
    }
    REQUIRE(isFrame());
    MainWndProc(windows.overlay, frame.message, frame.wParam, 0);
    CHECK(Frames == 1);
    CHECK(KeysAtFrame == 6);
    CHECK_FALSE(IsPadFramePending());
    Drawing = saved;
}

TEST_CASE("the minimum hold: a release that comes too soon goes out when the press is old enough")
{
    // Events "+bit@ms" press, "-bit@ms" release, "t@ms" a timer, "n" the timer
    // when it was asked for, "a@ms" every held release at once; the output is
    // what goes to the game.
    const struct {
        const char* name;
        int32_t minimum;
        std::vector<const char*> events;
        const char* sent;
    } rows[] = {
        {"shorter", 40, {"+0@0", "-0@10", "t@30", "n"}, "+0@0 -0@40"},
        {"equal", 40, {"+0@0", "-0@40", "n"}, "+0@0 -0@40"},
        {"longer", 40, {"+0@0", "-0@75"}, "+0@0 -0@75"},
        {"a late timer", 40, {"+0@0", "-0@5", "t@90"}, "+0@0 -0@90"},
        {"pressed again while held back",
         40,
         {"+4@0", "-4@5", "+4@20", "-4@30", "n"},
         "+4@0 -4@60"},
        {"another key meanwhile",
         40,
         {"+0@0", "-0@5", "+4@10", "-4@12", "n", "n"},
         "+0@0 +4@10 -0@40 -4@50"},
        {"all released while held back", 40, {"+0@0", "-0@5", "a@6", "n"}, "+0@0 -0@6"},
        {"off", 0, {"+0@0", "-0@1", "n"}, "+0@0 -0@1"},
    };
    for (const auto& row : rows) {
        CAPTURE(row.name);
        KeyHoldState holds;
        std::vector<std::string> sent;
        ULONGLONG now = 0;
        const auto send = [&](char what, KeySet keys) {
            for (int bit = 0; bit < PadKeyCount; ++bit)
                if (keys & (KeySet{1} << bit))
                    sent.push_back(what + std::to_string(bit) + "@" + std::to_string(now));
        };
        for (const char* event : row.events) {
            char what = 0;
            int bit = 0;
            unsigned long long at = 0;
            if (event[0] == 'n') {
                const ULONGLONG delay = NextReleaseDelay(holds, now);
                if (delay) send('-', TakeDueReleases(holds, now += delay));
            } else if (std::sscanf(event, "%c%d@%llu", &what, &bit, &at) == 3) {
                now = at;
                if (what == '+' && !NoteKeyPress(holds, bit, now)) send('+', KeySet{1} << bit);
                if (what == '-' && !HoldKeyRelease(holds, bit, now, row.minimum))
                    send('-', KeySet{1} << bit);
            } else if (std::sscanf(event, "%c@%llu", &what, &at) == 2) {
                now = at;
                send('-', what == 'a' ? TakeHeldReleases(holds) : TakeDueReleases(holds, now));
            }
        }
        CHECK(JoinWords(sent) == row.sent);
        CHECK(holds.Pending == 0);
    }
}

TEST_CASE("a release held back for the minimum hold goes out at once when all keys are let go")
{
    REQUIRE(BuildTestPad());
    UseTestPadWindows();
    KeyOutputRecorder recorder;
    ClearInputState();
    Settings.MinimumHoldMs = MaxMinimumHoldMs;
    UpdateKeyState(&Circle, 1, false);
    UpdateKeyState(&Nowhere, 1, false);
    CHECK(JoinWords(KeyLog) == "+Z");
    ReleaseAllKeys();
    CHECK(JoinWords(KeyLog) == "+Z -Z");
    Settings.MinimumHoldMs = 0;
}
