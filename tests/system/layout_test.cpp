// A layout file saved while Orvex runs: the pad it describes comes into force
// and its keys reach the game.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "pad/padlayout.h"
#include "padinput.h"
#include "support.h"

namespace {

// Taken away at the end, so that no other test meets it.
struct LayoutFileForTest {
    std::wstring path = LayoutFilePath();
    ~LayoutFileForTest() { DeleteFileW(path.c_str()); }
};

int ClientHeight(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return client.bottom;
}

}  // namespace

TEST_CASE("a layout whose ○ sends Enter, saved while Orvex runs, reaches the game as Enter")
{
    GameAndOrvex scene;
    REQUIRE(StartGameAndOrvex(scene, L"layout"));
    LayoutFileForTest file;
    CreateDirectoryW(LayoutFolder().c_str(), nullptr);

    // The built-in pad, 10 pixels taller so that the overlay shows when it is in force.
    PadLayout layout = BuiltInPadLayout(false);
    layout.Height = 530;
    for (LayoutElement& element : layout.Elements) {
        if (element.Label == L"○") element.Keys = {VK_RETURN};
    }
    REQUIRE(WritePadLayoutFile(file.path, layout));
    REQUIRE(WaitUntil([&] { return ClientHeight(scene.overlay) == 530; }, 10000));

    const size_t before = ReadGameKeys(scene.log).size();
    const POINT p = PadCentreOnScreen(scene.overlay, 0x10);
    REQUIRE(SettleMouseAt(p));
    ClickAt(p.x, p.y);
    CHECK(WaitUntil([&] { return ReadGameKeys(scene.log).size() >= before + 2; }, 3000));
    const std::vector<std::string> keys = ReadGameKeys(scene.log);
    const std::vector<std::string> sent(keys.begin() + static_cast<std::ptrdiff_t>(before),
                                        keys.end());
    CHECK(JoinWords(sent) == "KEYDOWN 0x0D KEYUP 0x0D");
    CHECK(scene.orvex.Running());
}
