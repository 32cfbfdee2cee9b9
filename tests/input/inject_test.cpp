// Key injection and the skip latch: the key records themselves, what arrives
// at the stand-in game, and the foreground rules counted through the seam.
#include <doctest/doctest.h>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>
#include "app/app.h"
#include "base/log.h"
#include "game/game.h"
#include "input/input.h"
#include "recording.h"
#include "support.h"

namespace {

// A fake of the key-output calls: the foreground is a plain variable that
// SetForegroundWindow moves only when told it may; every call is logged.
struct FakeDesktop {
    HWND foreground = nullptr;
    bool setWorks = true;
    bool sendRefused = false;  // SendInput inserts nothing, as for input the system blocks
    HWND game = nullptr;       // named "game" in the log
    std::vector<std::string> log;
};
FakeDesktop Desk;

std::string Hex(unsigned value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "%X", value);
    return text;
}

UINT WINAPI FakeSendInput(UINT count, LPINPUT inputs, int size)
{
    if (count != 1 || size != int(sizeof(INPUT)) || inputs[0].type != INPUT_KEYBOARD) {
        Desk.log.push_back("send?");
        return 0;
    }
    const KEYBDINPUT& key = inputs[0].ki;
    Desk.log.push_back("send " + Hex(key.wVk) + "/" + Hex(key.dwFlags));
    if (!Desk.sendRefused) return 1;
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

BOOL WINAPI FakeSetForegroundWindow(HWND window)
{
    Desk.log.push_back(!window ? "set null" : window == Desk.game ? "set" : "set other");
    if (!Desk.setWorks || !window) return FALSE;
    Desk.foreground = window;
    return TRUE;
}

HWND WINAPI FakeGetForegroundWindow()
{
    return Desk.foreground;
}

void WINAPI FakeSleep(DWORD milliseconds)
{
    Desk.log.push_back("wait " + std::to_string(milliseconds));
}

// Swaps the fake in for its lifetime.
class FakeKeyOutput {
public:
    FakeKeyOutput() : saved_(KeyOutput)
    {
        Desk = FakeDesktop{};
        KeyOutput = {FakeSendInput, FakeSetForegroundWindow, FakeGetForegroundWindow, FakeSleep};
    }
    ~FakeKeyOutput() { KeyOutput = saved_; }
    FakeKeyOutput(const FakeKeyOutput&) = delete;
    FakeKeyOutput& operator=(const FakeKeyOutput&) = delete;

private:
    KeyOutputCalls saved_;
};

BOOL CALLBACK CollectGameWindow(HWND window, LPARAM param)
{
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (std::wstring(name) == L"MoonGlass_Class" && process == GetCurrentProcessId())
        reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
    return TRUE;
}

// Destroys every window of the game's class this process made, so that
// GetGameWindow finds none (tests that need one make it again).
void RemoveGameWindows()
{
    std::vector<HWND> windows;
    EnumWindows(CollectGameWindow, reinterpret_cast<LPARAM>(&windows));
    for (HWND window : windows) DestroyWindow(window);
    CachedGameWindow = nullptr;
}

// A hidden window of the game's class in this process, cached as the game's.
struct InProcessGame {
    RecordingWindow window;
    bool Create()
    {
        if (!window.Create(L"MoonGlass_Class", false)) return false;
        CachedGameWindow = window.Handle();
        return GetGameWindow() == window.Handle();
    }
};

// A pad of two elements: SKIP (bit 7) and ○ (bit 4); the table in use is
// put back afterwards.
class SmallPad {
public:
    SmallPad()
    {
        std::swap(saved_, CurrentPadTable);
        CurrentPadTable = CreatePadElementTable();
        const OutlinePoint size = {80, 53};
        AddPadElement(L"スキップ", 0, 0x80, 130, 73, true, ShapeRectangle, &size, 1);
        AddPadElement(L"○", 0, 0x10, 10, 10, true, ShapeRectangle, &size, 1);
    }
    ~SmallPad() { std::swap(saved_, CurrentPadTable); }
    SmallPad(const SmallPad&) = delete;
    SmallPad& operator=(const SmallPad&) = delete;
    // "PL" pressed and latched, "P", "L" or "-", for SKIP then ○.
    static std::string Marks()
    {
        std::string marks;
        for (int i = 0; i < 2; ++i) {
            const PadElement& e = CurrentPadTable->Items[i];
            marks += e.Pressed || e.Latched
                         ? std::string(e.Pressed ? "P" : "") + (e.Latched ? "L" : "")
                         : "-";
            marks += i == 0 ? " " : "";
        }
        return marks;
    }

private:
    std::unique_ptr<PadElementTable> saved_;
};

// The skip latch's surroundings: the hook probe's overlay as MainWindow, a
// two-element pad, a hidden game window and the fake key output.
struct LatchBench {
    LatchBench() = default;
    HookProbe probe;
    HWND savedMain = MainWindow;
    SmallPad pad;
    InProcessGame game;
    FakeKeyOutput fake;
    bool Create()
    {
        RemoveGameWindows();
        if (!probe.Create() || !game.Create()) return false;
        MainWindow = probe.overlay.Handle();
        Desk.game = game.window.Handle();
        return true;
    }
    ~LatchBench()
    {
        MainWindow = savedMain;
        RemoveGameWindows();
    }
    LatchBench(const LatchBench&) = delete;
    LatchBench& operator=(const LatchBench&) = delete;
};

struct PadKey {
    WORD vk;
    DWORD pressFlags;
    DWORD releaseFlags;
};
// The pad's twelve keys in bit order, with the flags their records carry.
const PadKey PadKeys[] = {
    {VK_UP, 1, 3},     {VK_DOWN, 1, 3}, {VK_LEFT, 1, 3},  {VK_RIGHT, 1, 3},
    {'Z', 0, 2},       {'X', 0, 2},     {VK_SHIFT, 0, 2}, {VK_CONTROL, 0, 2},
    {VK_ESCAPE, 0, 2}, {VK_F1, 0, 2},   {'A', 0, 2},      {'S', 0, 2},
};

}  // namespace

TEST_CASE("key records: mapped scan code, extended flag for the four arrows only, nothing else set")
{
    for (const PadKey& key : PadKeys) {
        for (const bool release : {false, true}) {
            CAPTURE(key.vk);
            CAPTURE(release);
            const INPUT record = MakeKeyRecord(key.vk, release);
            CHECK(record.type == INPUT_KEYBOARD);
            CHECK(record.ki.wVk == key.vk);
            CHECK(record.ki.wScan == MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC));
            CHECK(record.ki.wScan != 0);
            CHECK(record.ki.dwFlags == (release ? key.releaseFlags : key.pressFlags));
            CHECK(record.ki.time == 0);
            CHECK(record.ki.dwExtraInfo == 0);
        }
    }
}

TEST_CASE("each key arrives at the stand-in game with its mapped scan code and extended bit")
{
    const std::wstring log = TempFilePath(L"inject-keys");
    ChildProcess game;
    const HWND gameWindow = StartStandinGame(game, log);
    REQUIRE(gameWindow);
    CachedGameWindow = gameWindow;
    REQUIRE(GetGameWindow() == gameWindow);

    std::vector<std::string> expected;
    for (const PadKey& key : PadKeys) {
        CHECK(SendKeyDown(key.vk));
        CHECK(SendKeyUp(key.vk));
        const unsigned scan = MapVirtualKeyW(key.vk, MAPVK_VK_TO_VSC);
        char line[80];
        for (const char* what : {"KEYDOWN", "KEYUP"}) {
            std::snprintf(line, sizeof(line), "%s vk=0x%02X scan=0x%02X ext=%u", what, key.vk, scan,
                          static_cast<unsigned>(key.pressFlags & 1));
            expected.push_back(line);
        }
    }
    std::vector<std::string> received;
    WaitUntil([&] {
        received.clear();
        for (const std::string& line : ReadGameLog(log)) {
            if (line.rfind("KEY", 0) != 0 && line.rfind("SYSKEY", 0) != 0) continue;
            received.push_back(line.substr(0, line.find(" repeat=")));
        }
        return received.size() >= expected.size();
    });
    CHECK(JoinWords(received) == JoinWords(expected));
    CachedGameWindow = nullptr;
}

TEST_CASE("foreground rules: a press asks only when needed, a release always asks")
{
    struct Row {
        const char* name;
        bool release;
        bool gameExists;
        bool gameInFront;
        bool setWorks;
        bool result;
        const char* log;
    };
    const Row rows[] = {
        {"press, game in front", false, true, true, true, true, "send 26/1"},
        {"press, game behind", false, true, false, true, true, "set wait 100 send 26/1"},
        {"press, game behind, refused", false, true, false, false, true, "set wait 100 send 26/1"},
        {"press, no game", false, false, false, true, false, ""},
        {"release, game in front", true, true, true, true, true, "set send 26/3"},
        {"release, game behind", true, true, false, true, true, "set send 26/3"},
        {"release, game behind, refused", true, true, false, false, true,
         "set set wait 100 send 26/3"},
        {"release, no game", true, false, false, true, true,
         "set null set null wait 100 send 26/3"},
    };
    RemoveGameWindows();
    InProcessGame game;
    REQUIRE(game.Create());
    RecordingWindow other;
    REQUIRE(other.Create(L"InjectOther", false));
    for (const Row& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        if (!row.gameExists) RemoveGameWindows();
        if (row.gameExists && !GetGameWindow()) REQUIRE(game.Create());
        FakeKeyOutput fake;
        Desk.game = row.gameExists ? game.window.Handle() : nullptr;
        Desk.foreground = row.gameInFront ? Desk.game : other.Handle();
        Desk.setWorks = row.setWorks;
        const bool result = row.release ? SendKeyUp(VK_UP) : SendKeyDown(VK_UP);
        CHECK(result == row.result);
        CHECK(JoinWords(Desk.log) == row.log);
    }
    RemoveGameWindows();
}

TEST_CASE("a release with no game and no foreground window still waits and is sent")
{
    RemoveGameWindows();
    FakeKeyOutput fake;
    Desk.foreground = nullptr;
    CHECK(SendKeyUp('Z'));
    CHECK(JoinWords(Desk.log) == "set null set null wait 100 send 5A/2");
}

TEST_CASE("SetSkipLatch with no game window changes nothing")
{
    LatchBench bench;
    REQUIRE(bench.Create());
    RemoveGameWindows();
    CHECK_FALSE(SetSkipLatch());
    CHECK(JoinWords(Desk.log) == "");
    CHECK_FALSE(SkipLatched);
    CHECK(SmallPad::Marks() == "- -");
    CHECK(bench.probe.TypeEscape() == EscapePasses);
}

TEST_CASE(
    "the skip latch: Ctrl down, SKIP marked, hooks in; released: Ctrl up, marks and hooks gone")
{
    LatchBench bench;
    REQUIRE(bench.Create());
    Desk.foreground = bench.probe.focused.Handle();

    REQUIRE(SetSkipLatch());
    CHECK(JoinWords(Desk.log) == "set wait 100 send 11/0");
    CHECK(SkipLatched);
    CHECK(SmallPad::Marks() == "PL -");
    CHECK(bench.probe.TypeEscape() == EscapeSwallowed);

    // The fake moved the foreground to the game: the release asks once, no wait.
    Desk.log.clear();
    CHECK(ReleaseSkipLatch());
    CHECK(JoinWords(Desk.log) == "set send 11/2");
    CHECK_FALSE(SkipLatched);
    CHECK(SmallPad::Marks() == "- -");
    CHECK(bench.probe.TypeEscape() == EscapePasses);
}

TEST_CASE("setting the latch twice and releasing it once leaves no hook behind")
{
    LatchBench bench;
    REQUIRE(bench.Create());
    Desk.foreground = Desk.game;

    CHECK(SetSkipLatch());
    CHECK(SetSkipLatch());
    CHECK(ReleaseSkipLatch());
    CHECK(JoinWords(Desk.log) == "send 11/0 send 11/0 set send 11/2");
    CHECK_FALSE(SkipLatched);
    CHECK(bench.probe.TypeEscape() == EscapePasses);
}

TEST_CASE("ReleaseAllKeys releases each held key once, in bit order, and leaves the sets alone")
{
    struct Row {
        KeySet touch;
        KeySet mouse;
        const char* log;
    };
    const Row rows[] = {
        {0, 0, ""},
        {0x1000, 0, ""},
        {0, 0x1000, ""},
        {0x1, 0x1, "send 26/3"},
        {0x11, 0x1080, "send 26/3 send 5A/2 send 11/2"},
        {0x800, 0x1, "send 26/3 send 53/2"},
        {0x1FFF, 0x1FFF,
         "send 26/3 send 28/3 send 25/3 send 27/3 send 5A/2 send 58/2 send 10/2 send 11/2 send "
         "1B/2 "
         "send 70/2 send 41/2 send 53/2"},
        {~KeySet{0x1FFF}, 0, ""},  // bits past SIZE mean nothing
    };
    RemoveGameWindows();
    const KeySet savedTouch = TouchMask;
    const KeySet savedMouse = MouseMask;
    for (const Row& row : rows) {
        CAPTURE(row.touch);
        CAPTURE(row.mouse);
        FakeKeyOutput fake;
        TouchMask = row.touch;
        MouseMask = row.mouse;
        ReleaseAllKeys();
        CHECK(JoinWords(Desk.log) == row.log);
        CHECK(TouchMask == row.touch);
        CHECK(MouseMask == row.mouse);
    }
    TouchMask = savedTouch;
    MouseMask = savedMouse;
}

TEST_CASE("TapCtrlKey sends a Ctrl press and release and nothing else, game or not")
{
    for (const bool withGame : {false, true}) {
        CAPTURE(withGame);
        RemoveGameWindows();
        InProcessGame game;
        if (withGame) REQUIRE(game.Create());
        FakeKeyOutput fake;
        Desk.game = withGame ? game.window.Handle() : nullptr;
        TapCtrlKey();
        CHECK(JoinWords(Desk.log) == "send 11/0 send 11/2");
    }
    RemoveGameWindows();
}

TEST_CASE("the diagnostic log names each key sent, and for a refused one the system's error")
{
    const std::wstring path = TempFilePath(L"inject-diagnostics");
    REQUIRE(OpenDiagnosticLog(path.c_str(), DiagnosticLogLimit));
    {
        FakeKeyOutput fake;
        TapCtrlKey();
        Desk.sendRefused = true;
        TapCtrlKey();
    }
    CloseDiagnosticLog();
    std::string errors;  // per line naming Ctrl: 1 with the error, 0 without
    for (const std::string& line : ReadGameLog(path))
        if (line.find("vk=0x11") != std::string::npos)
            errors += line.find("error=5") != std::string::npos ? "1" : "0";
    CHECK(errors == "0011");
}

TEST_CASE("the diagnostic log names each skip hook with its result and the system's error")
{
    const std::wstring path = TempFilePath(L"inject-hooks");
    DeleteFileW(path.c_str());
    REQUIRE(OpenDiagnosticLog(path.c_str(), DiagnosticLogLimit));
    {
        LatchBench bench;
        REQUIRE(bench.Create());
        Desk.foreground = Desk.game;
        REQUIRE(SetSkipLatch());
        ReleaseSkipLatch();
    }
    CloseDiagnosticLog();
    std::string hooks;
    for (const std::string& line : ReadGameLog(path)) {
        const size_t at = line.find("skip hooks");
        if (at != std::string::npos) hooks += line.substr(at, line.find('\r') - at) + "|";
    }
    CHECK(hooks ==
          "skip hooks installed: foreground installed (error 0), keyboard installed (error 0)|"
          "skip hooks removed: foreground removed (error 0), keyboard removed (error 0)|");
}
