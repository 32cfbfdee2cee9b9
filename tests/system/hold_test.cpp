// Quick taps against a game that reads the keyboard's state once a frame: the
// stand-in polls 30 times a second, and each click on ○ sends its press and
// release together, far quicker than a frame.
#include <doctest/doctest.h>
#include <string>
#include "padinput.h"
#include "support.h"

namespace {

constexpr int Taps = 10;

// Lines that start with the text, or hold it anywhere.
int CountLines(const std::wstring& log, const std::string& text, bool anywhere = false)
{
    int count = 0;
    for (const std::string& line : ReadGameLog(log)) {
        const size_t found = line.find(text);
        if (anywhere ? found != std::string::npos : found == 0) ++count;
    }
    return count;
}

std::wstring OrvexLogPath()
{
    wchar_t folder[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH);
    return std::wstring(folder) + L"\\Orvex\\orvex.log";
}

// How many of the taps the polling game saw; the log of Orvex's own run is
// asked for with /log.
int TapsSeenByPollingGame(bool holdOff)
{
    DeleteOrvexSettings();
    if (holdOff) WriteOrvexDword(L"", L"MinimumHoldMs", 0);
    const std::wstring log = TempFilePath(L"poll");
    DeleteFileW(OrvexLogPath().c_str());
    ChildProcess game;
    ChildProcess orvex;
    REQUIRE(StartStandinGame(game, log, L"--poll-hz 30"));
    REQUIRE(orvex.Start(L"\"" + BinDir() + L"\\Orvex.exe\" /log"));
    const HWND overlay = WaitForTopWindow(L"ORVEX", orvex.Id());
    REQUIRE(overlay);
    PumpFor(300);
    const POINT circle = PadCentreOnScreen(overlay, 0x10);
    for (int tap = 0; tap < Taps; ++tap) {
        // Every other tap a little aside: two clicks in one place would be a double click.
        const POINT at = {circle.x + (tap % 2 ? 6 : -6), circle.y};
        REQUIRE(SettleMouseAt(at));
        SendMouseAt(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, at);
        REQUIRE(WaitUntil([&] { return CountLines(log, "KEYUP vk=0x5A") == tap + 1; }, HangMs));
        PumpFor(100);  // the next poll reads the release before the next tap
    }
    CHECK(CountLines(log, "KEYDOWN vk=0x5A") == Taps);
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    CHECK(orvex.WaitExit(HangMs));
    // The diagnostic log tells a held-back release from one sent at once.
    CHECK((CountLines(OrvexLogPath(), "vk=0x5A held back", true) > 0) == !holdOff);
    return CountLines(log, "POLLDOWN vk=0x5A");
}

}  // namespace

TEST_CASE("quick clicks on ○ all reach a game that polls the keyboard 30 times a second")
{
    const int seenWithoutHold = TapsSeenByPollingGame(true);
    MESSAGE("taps seen with the hold off: " << seenWithoutHold << " of " << Taps);
    CHECK(TapsSeenByPollingGame(false) == Taps);
    DeleteOrvexSettings();
}
