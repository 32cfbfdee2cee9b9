// Playing with the mouse: the real Orvex.exe beside the stand-in game, real
// clicks at screen points of the pad, and what the game received.
#include <doctest/doctest.h>
#include <algorithm>
#include <cstddef>
#include <set>
#include <string>
#include <vector>
#include "padinput.h"
#include "support.h"

namespace {

struct KeyElement {
    const char* name;
    KeyMask key;     // where the pad puts the element, from its table
    const char* vk;  // what the game must log
};

// The twelve elements that send a key.
const KeyElement KeyElements[] = {
    {"↑", 0x1, "0x26"},
    {"↓", 0x2, "0x28"},
    {"←", 0x4, "0x25"},
    {"→", 0x8, "0x27"},
    {"○", 0x10, "0x5A"},
    {"×", 0x20, "0x58"},
    {"システム", 0x800, "0x53"},
    {"経営ノート", 0x400, "0x41"},
    {"1時間送る", 0x200, "0x70"},
    {"ログ", LogKeyBit, "0x1B"},
    {"スキップ", SkipKeyBit, "0x11"},
    {"タブ移動", 0x40, "0x10"},
};

POINT ClientOrigin(HWND window)
{
    return ClientToScreenPoint(window, 0, 0);
}

bool SamePoint(POINT a, POINT b)
{
    return a.x == b.x && a.y == b.y;
}

}  // namespace

TEST_CASE("a click on each key element makes the game log that key's press, then its release")
{
    GameAndOrvex scene;
    REQUIRE(StartGameAndOrvex(scene, L"play"));
    const std::wstring& log = scene.log;
    const HWND overlay = scene.overlay;

    for (const KeyElement& element : KeyElements) {
        const std::string name = element.name;
        CAPTURE(name);
        const size_t before = ReadGameKeys(log).size();
        const POINT p = PadCentreOnScreen(overlay, element.key);
        REQUIRE(SettleMouseAt(p));
        ClickAt(p.x, p.y);
        CHECK(WaitUntil([&] { return ReadGameKeys(log).size() >= before + 2; }, 3000));
        // Room for anything more the click might wrongly send.
        PumpFor(150);
        const std::vector<std::string> keys = ReadGameKeys(log);
        const std::vector<std::string> sent(
            keys.begin() + static_cast<std::ptrdiff_t>(std::min(before, keys.size())), keys.end());
        const std::vector<std::string> expected = {std::string("KEYDOWN ") + element.vk,
                                                   std::string("KEYUP ") + element.vk};
        CHECK(JoinWords(sent) == JoinWords(expected));
        // Far apart in time and place from the next click: never a double click.
        PumpFor(50);
    }
    CHECK(scene.orvex.Running());
}

TEST_CASE("a button pressed on the game, dragged over ○ and let go on the game leaves no Z down")
{
    GameAndOrvex scene;
    REQUIRE(StartGameAndOrvex(scene, L"dragin"));
    const POINT onGame = ClientToScreenPoint(scene.gameWindow, 40, 40);
    const POINT circle = PadCentreOnScreen(scene.overlay, 0x10);
    // The keys the game holds, from its log; the drag may cross another button on its way.
    const auto held = [&] {
        std::set<std::string> keys;
        for (const std::string& line : ReadGameKeys(scene.log)) {
            if (line.rfind("KEYDOWN ", 0) == 0) keys.insert(line.substr(8));
            if (line.rfind("KEYUP ", 0) == 0) keys.erase(line.substr(6));
        }
        return keys;
    };

    MouseButtonAt(onGame.x, onGame.y, MOUSEEVENTF_LEFTDOWN);
    REQUIRE(SettleMouseAt(circle));
    CHECK(WaitUntil([&] { return held() == std::set<std::string>{"0x5A"}; }, 3000));
    MouseButtonAt(onGame.x, onGame.y, MOUSEEVENTF_LEFTUP);
    // Where the overlay's capture brings it the release (Windows), Z goes up
    // at once; under Wine, which routes by the capture only for the thread in
    // front, the next move over the pad with the button up lets it go.
    REQUIRE(SettleMouseAt(ClientToScreenPoint(scene.overlay, 170, 500)));
    CHECK(WaitUntil([&] { return held().empty(); }, 3000));
}

TEST_CASE("the size button \"サイズ調整\" puts a displaced game window back in its place")
{
    GameAndOrvex scene;
    REQUIRE(StartGameAndOrvex(scene, L"place"));
    const std::wstring& log = scene.log;
    const HWND gameWindow = scene.gameWindow;
    const HWND overlay = scene.overlay;

    // Where the program put the game at start-up.
    const POINT placed = ClientOrigin(gameWindow);
    SetWindowPos(gameWindow, nullptr, placed.x / 2 + 37, placed.y + 211, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    REQUIRE(WaitUntil([&] { return !SamePoint(ClientOrigin(gameWindow), placed); }, 2000));

    const size_t keysBefore = ReadGameKeys(log).size();
    const POINT p = PadCentreOnScreen(overlay, SizeKeyBit);
    REQUIRE(SettleMouseAt(p));
    ClickAt(p.x, p.y);
    CHECK(WaitUntil([&] { return SamePoint(ClientOrigin(gameWindow), placed); }, 3000));
    PumpFor(150);
    // The element sends no key.
    CHECK(ReadGameKeys(log).size() == keysBefore);
}
