// The skip latch end to end: the real Orvex.exe beside the stand-in game, a
// real double click on "スキップ", a real Escape press, and closing the overlay
// while the latch holds Ctrl.
#include <doctest/doctest.h>
#include <cstddef>
#include <ios>
#include <string>
#include <vector>
#include "app/app.h"
#include "padinput.h"
#include "support.h"

namespace {

constexpr unsigned RestFill = 0xC0C0C0;
constexpr unsigned LatchedFill = 0xC04040;

// A pixel of the element's fill, well away from its label and outline.
unsigned SkipFill(HWND overlay)
{
    const RECT skip = PadRect(SkipKeyBit);
    const POINT p = ClientToScreenPoint(overlay, skip.left + 5, skip.top + 5);
    return ScreenPixel(p.x, p.y);
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : ", ") + line;
    return text;
}

// Wine on X reports the X pointer's own position back as a mouse move some
// time after injected moves, which can put the cursor back where it was
// while a button is held. While this lives, only injected mouse events pass.
HHOOK EchoHook = nullptr;
LRESULT CALLBACK DropMouseEcho(int code, WPARAM wParam, LPARAM lParam)
{
    if (code == HC_ACTION &&
        !(reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam)->flags & LLMHF_INJECTED))
        return 1;
    return CallNextHookEx(EchoHook, code, wParam, lParam);
}
struct MouseEchoBlocker {
    MouseEchoBlocker()
    {
        EchoHook = SetWindowsHookExW(WH_MOUSE_LL, DropMouseEcho, GetModuleHandleW(nullptr), 0);
    }
    ~MouseEchoBlocker()
    {
        if (EchoHook) UnhookWindowsHookEx(EchoHook);
        EchoHook = nullptr;
    }
    MouseEchoBlocker(const MouseEchoBlocker&) = delete;
    MouseEchoBlocker& operator=(const MouseEchoBlocker&) = delete;
};

// Both programs up, nothing pressed, the game in front.
struct LatchScene {
    MouseEchoBlocker echoBlocker;
    std::wstring log = TempFilePath(L"latch");
    ChildProcess game;
    ChildProcess orvex;
    HWND gameWindow = nullptr;
    HWND overlay = nullptr;
    bool Start()
    {
        DeleteOrvexSettings();
        gameWindow = StartStandinGame(game, log);
        overlay = gameWindow ? StartOrvex(orvex) : nullptr;
        const bool atRest =
            overlay && WaitUntil([&] { return SkipFill(overlay) == RestFill; }, HangMs);
        if (!atRest) {
            SaveScreenBmp(ArtifactDir() + L"\\latch-start-failed.bmp");
            MESSAGE("game " << gameWindow << ", overlay " << overlay << ", スキップ fill "
                            << std::hex << (overlay ? SkipFill(overlay) : 0));
        }
        return atRest;
    }
    // The whole game log, for a failure's message.
    std::string GameLog() const { return Joined(ReadGameLog(log)); }
    bool WaitForKeys(size_t count, DWORD timeoutMs = 10000)
    {
        return WaitUntil([&] { return ReadGameKeys(log).size() >= count; }, timeoutMs);
    }
    // Two clicks at the centre of "スキップ" as a person makes them: the
    // second press comes once the first click's Ctrl release is out. (The
    // system pairs two presses only when the key state is the same for both.)
    void DoubleClickSkip()
    {
        const POINT at = PadCentreOnScreen(overlay, SkipKeyBit);
        SendMouseAt(MOUSEEVENTF_LEFTDOWN, at);
        SendMouseAt(MOUSEEVENTF_LEFTUP, at);
        WaitForKeys(2, 400);
        SendMouseAt(MOUSEEVENTF_LEFTDOWN, at);
        SendMouseAt(MOUSEEVENTF_LEFTUP, at);
    }
    // Started, then latched by a double click: the first click presses and
    // releases Ctrl, the double click presses it for good and marks スキップ.
    bool StartLatched()
    {
        if (!Start()) return false;
        DoubleClickSkip();
        return WaitForKeys(3) &&
               WaitUntil([&] { return SkipFill(overlay) == LatchedFill; }, HangMs);
    }
};

}  // namespace

TEST_CASE("a double click on スキップ latches Ctrl; a real Escape press ends the latch and never "
          "reaches the game")
{
    LatchScene scene;
    INFO(scene.GameLog());
    REQUIRE(scene.StartLatched());
    PumpFor(300);
    CHECK(Joined(ReadGameKeys(scene.log)) == "KEYDOWN 0x11, KEYUP 0x11, KEYDOWN 0x11");
    SaveScreenBmp(ArtifactDir() + L"\\latch-on.bmp");

    // A press as a person makes it: the release comes a moment later.
    PressKey(VK_ESCAPE, true);
    PumpFor(100);
    PressKey(VK_ESCAPE, false);
    CHECK(scene.WaitForKeys(4));
    CHECK(WaitUntil([&] { return SkipFill(scene.overlay) == RestFill; }, HangMs));
    PumpFor(300);
    // The press ends the latch and is swallowed. Its release may come after
    // the hooks are gone and then passes: a lone release, never a press.
    std::vector<std::string> keys = ReadGameKeys(scene.log);
    std::vector<std::string> withoutEscapeRelease;
    for (const std::string& key : keys)
        if (key != "KEYUP 0x1B") withoutEscapeRelease.push_back(key);
    CHECK(Joined(withoutEscapeRelease) == "KEYDOWN 0x11, KEYUP 0x11, KEYDOWN 0x11, KEYUP 0x11");
    CHECK(keys.size() - withoutEscapeRelease.size() <= 1);
    SaveScreenBmp(ArtifactDir() + L"\\latch-off.bmp");

    // With the latch gone the hooks are gone too: Escape reaches the game again.
    const size_t before = keys.size();
    PressKey(VK_ESCAPE, true);
    PressKey(VK_ESCAPE, false);
    CHECK(scene.WaitForKeys(before + 2));
    PumpFor(200);
    keys = ReadGameKeys(scene.log);
    REQUIRE(keys.size() >= before);
    keys.erase(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(before));
    CHECK(Joined(keys) == "KEYDOWN 0x1B, KEYUP 0x1B");
    CHECK(scene.orvex.Running());
}

TEST_CASE("closing the overlay while latched: the latch's Ctrl release, one Ctrl tap, then every "
          "held key")
{
    LatchScene scene;
    INFO(scene.GameLog());
    REQUIRE(scene.StartLatched());

    // The mouse holds ○ while the window goes.
    SendMouseAt(MOUSEEVENTF_LEFTDOWN, PadCentreOnScreen(scene.overlay, 0x10));
    CHECK(scene.WaitForKeys(4));
    PostMessageW(scene.overlay, WM_CLOSE, 0, 0);
    DWORD code = 1234;
    CHECK(scene.orvex.WaitExit(HangMs, &code));
    CHECK(code == 0);
    MouseUp();
    CHECK(scene.WaitForKeys(8));
    PumpFor(300);
    CHECK(Joined(ReadGameKeys(scene.log)) ==
          "KEYDOWN 0x11, KEYUP 0x11, KEYDOWN 0x11, KEYDOWN 0x5A, "
          "KEYUP 0x11, KEYDOWN 0x11, KEYUP 0x11, KEYUP 0x5A");
}

TEST_CASE("LOG held when the latch goes on: its Escape release still reaches the game")
{
    LatchScene scene;
    INFO(scene.GameLog());
    REQUIRE(scene.Start());
    // Messages posted to the overlay: a finger on LOG and a double tap on
    // スキップ cannot be made for real without a touch screen.
    const ContactPoint log = PadCentre(LogKeyBit);
    const ContactPoint skip = PadCentre(SkipKeyBit);
    PostMessageW(scene.overlay, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(log));
    CHECK(scene.WaitForKeys(1));
    PostMessageW(scene.overlay, WM_LBUTTONDBLCLK, MK_LBUTTON, PointParam(skip));
    CHECK(WaitUntil([&] { return SkipFill(scene.overlay) == LatchedFill; }, HangMs));
    PostMessageW(scene.overlay, WM_LBUTTONUP, 0, PointParam(log));
    CHECK(scene.WaitForKeys(3));
    PumpFor(200);
    CHECK(Joined(ReadGameKeys(scene.log)) == "KEYDOWN 0x1B, KEYDOWN 0x11, KEYUP 0x1B");
    // Ctrl goes up before the next test, whose double click must find it up.
    PostMessageW(scene.overlay, WM_SKIPRELEASE, 0, 0);  // the hook library's release notice
    CHECK(scene.WaitForKeys(4));
}

// What a start sends after a run killed with a key held: a release of every
// key the pad can press.
const char EveryKeyUp[] = "KEYUP 0x26, KEYUP 0x28, KEYUP 0x25, KEYUP 0x27, KEYUP 0x5A, "
                          "KEYUP 0x58, KEYUP 0x10, KEYUP 0x11, KEYUP 0x1B, KEYUP 0x70, "
                          "KEYUP 0x41, KEYUP 0x53";

TEST_CASE("a killed Orvex leaves the latch's Ctrl down only until the next start")
{
    LatchScene scene;
    INFO(scene.GameLog());
    REQUIRE(scene.StartLatched());
    scene.orvex.Kill();
    ChildProcess again;
    REQUIRE(StartOrvex(again));
    CHECK(scene.WaitForKeys(15));
    PumpFor(200);
    CHECK(Joined(ReadGameKeys(scene.log)) ==
          std::string("KEYDOWN 0x11, KEYUP 0x11, KEYDOWN 0x11, ") + EveryKeyUp);
}

TEST_CASE("a killed Orvex with ↑ held by the mouse: the next start releases it, and only that "
          "start")
{
    LatchScene scene;
    INFO(scene.GameLog());
    REQUIRE(scene.Start());
    SendMouseAt(MOUSEEVENTF_LEFTDOWN, PadCentreOnScreen(scene.overlay, 0x1));
    REQUIRE(scene.WaitForKeys(1));
    scene.orvex.Kill();
    MouseUp();
    ChildProcess again;
    REQUIRE(StartOrvex(again));
    CHECK(scene.WaitForKeys(13));
    // Killed as well: only the mark's removal keeps the next start quiet.
    again.Kill();
    ChildProcess third;
    REQUIRE(StartOrvex(third));
    PumpFor(500);
    CHECK(Joined(ReadGameKeys(scene.log)) == std::string("KEYDOWN 0x26, ") + EveryKeyUp);
}
