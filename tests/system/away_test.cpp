// The real Orvex.exe beside the stand-in game, told what the system tells it
// when the user leaves (lock, switch, suspend) or the shell restarts, and
// what the game and the notification area show afterwards.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "padinput.h"
#include "support.h"
#include <shellapi.h>
#include <wtsapi32.h>

namespace {

// The key lines the game logged from index `from` on.
std::string KeysSince(const std::wstring& log, size_t from)
{
    const std::vector<std::string> keys = ReadGameKeys(log);
    std::vector<std::string> since;
    for (size_t i = from; i < keys.size(); ++i) since.push_back(keys[i]);
    return JoinLines(since);
}

// Cross-process, as the system delivers it.
void Tell(HWND overlay, UINT message, WPARAM wParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(overlay, message, wParam, 0, SMTO_NORMAL, 5000, &result);
}

}  // namespace

TEST_CASE(
    "leaving the session or suspending makes the game receive the release of a held key at once")
{
    const struct {
        const char* name;
        UINT message;
        WPARAM code;
        const char* releases;
    } rows[] = {
        {"lock", WM_WTSSESSION_CHANGE, WTS_SESSION_LOCK, "KEYUP 0x5A"},
        {"switch to another user", WM_WTSSESSION_CHANGE, WTS_CONSOLE_DISCONNECT, "KEYUP 0x5A"},
        {"suspend", WM_POWERBROADCAST, PBT_APMSUSPEND, "KEYUP 0x5A"},
        {"unlock: nothing is released", WM_WTSSESSION_CHANGE, WTS_SESSION_UNLOCK, ""},
    };
    for (const auto& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        GameAndOrvex scene;
        REQUIRE(StartGameAndOrvex(scene, L"away"));
        const std::wstring& log = scene.log;

        const ContactPoint centre = PadCentre(0x10);
        const POINT circle = ClientToScreenPoint(scene.overlay, centre.x, centre.y);
        REQUIRE(SettleMouseAt(circle));
        const size_t before = ReadGameKeys(log).size();
        MouseDown();
        REQUIRE(WaitUntil([&] { return KeysSince(log, before) == "KEYDOWN 0x5A"; }, 3000));

        const size_t held = ReadGameKeys(log).size();
        Tell(scene.overlay, row.message, row.code);
        // A release comes at once; room for one that should not come at all.
        WaitUntil([&] { return !KeysSince(log, held).empty(); }, row.releases[0] ? 3000 : 300);
        // The release comes first. The button is still down over ○, so a mouse move
        // that Wine makes up afterwards may press it again; that is a new contact.
        CHECK(KeysSince(log, held).rfind(row.releases, 0) == 0);
        if (!row.releases[0]) CHECK(KeysSince(log, held).empty());

        // The button comes up later: the game holds no key.
        MouseUp();
        PumpFor(300);
        const std::string since = KeysSince(log, held);
        CHECK(since.size() >= 10);
        CHECK(since.compare(since.size() - 10, 10, "KEYUP 0x5A") == 0);
        CHECK(scene.orvex.Running());
    }
}

TEST_CASE("after the shell's TaskbarCreated broadcast the tray icon is there again")
{
    GameAndOrvex scene;
    REQUIRE(StartGameAndOrvex(scene, L"taskbar"));
    REQUIRE(WaitUntil([&] { return TrayIconPresent(scene.overlay, 1); }, 3000));

    // What a restarted shell has: no icon of ours.
    NOTIFYICONDATAW gone = {};
    gone.cbSize = sizeof(gone);
    gone.hWnd = scene.overlay;
    gone.uID = 1;
    REQUIRE(Shell_NotifyIconW(NIM_DELETE, &gone));
    REQUIRE_FALSE(TrayIconPresent(scene.overlay, 1));

    Tell(scene.overlay, RegisterWindowMessageW(L"TaskbarCreated"), 0);
    CHECK(WaitUntil([&] { return TrayIconPresent(scene.overlay, 1); }, 3000));
}
