// Quick taps against a game that reads the keyboard's state once a frame: the
// stand-in polls 30 times a second, and each click on ○ sends its press and
// release together, far quicker than a frame.
#include <doctest/doctest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "base/log.h"
#include "padinput.h"
#include "support.h"

namespace {

constexpr int Taps = 10;
constexpr long long DefaultHoldMs = 40;

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

// Whether two of the game's reads, one before the last Z press arrived and
// one after the hold from the click sent at sentAt (the performance counter
// is the machine's), were further apart than the hold: a frame the game itself
// dropped (a busy machine), in which no hold of that length can be seen.
bool ReadsFurtherApartThanHold(const std::wstring& log, long long sentAt)
{
    FILE* file = _wfopen(log.c_str(), L"r");
    if (!file) return false;
    long long ticksPerMs = 0, pressedAt = 0, stamp = 0;
    std::vector<long long> reads;
    char text[256];
    while (std::fscanf(file, "%lld %255[^\n]", &stamp, text) == 2) {
        const std::string line = text;
        if (line.rfind("START", 0) == 0)
            ticksPerMs = std::atoll(line.substr(line.find("freq=") + 5).c_str()) / 1000;
        if (line == "READ") reads.push_back(stamp);
        if (line.rfind("KEYDOWN vk=0x5A", 0) == 0) pressedAt = stamp;
    }
    std::fclose(file);
    const long long hold = DefaultHoldMs * ticksPerMs;
    for (size_t i = 1; i < reads.size(); ++i)
        if (reads[i - 1] < pressedAt && reads[i] > sentAt + hold && reads[i] - reads[i - 1] > hold)
            return true;
    return false;
}

struct TapCount {
    int Seen = 0;
    int Missed = 0;   // although the game read at least as often as the hold
    int Dropped = 0;  // in a frame the game dropped
};

// Orvex's own log is asked for with /log.
TapCount TapPollingGame(bool holdOff)
{
    DeleteOrvexSettings();
    if (holdOff) WriteOrvexDword(L"", L"MinimumHoldMs", 0);
    const std::wstring log = TempFilePath(L"poll");
    DeleteFileW(DefaultDiagnosticLogPath().c_str());
    ChildProcess game;
    ChildProcess orvex;
    REQUIRE(StartStandinGame(game, log, L"--poll-hz 30"));
    REQUIRE(orvex.Start(L"\"" + BinDir() + L"\\Orvex.exe\" /log"));
    const HWND overlay = WaitForTopWindow(L"ORVEX", orvex.Id());
    REQUIRE(overlay);
    PumpFor(300);
    const POINT circle = PadCentreOnScreen(overlay, 0x10);
    TapCount count;
    for (int tap = 0; tap < Taps; ++tap) {
        // Every other tap a little aside: two clicks in one place would be a double click.
        const POINT at = {circle.x + (tap % 2 ? 6 : -6), circle.y};
        REQUIRE(SettleMouseAt(at));
        const int seenBefore = CountLines(log, "POLLDOWN vk=0x5A");
        LARGE_INTEGER sentAt = {};
        QueryPerformanceCounter(&sentAt);
        SendMouseAt(MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP, at);
        REQUIRE(WaitUntil([&] { return CountLines(log, "KEYUP vk=0x5A") == tap + 1; }, HangMs));
        PumpFor(100);  // the next read sees the release before the next tap
        if (CountLines(log, "POLLDOWN vk=0x5A") > seenBefore)
            ++count.Seen;
        else
            ++(ReadsFurtherApartThanHold(log, sentAt.QuadPart) ? count.Dropped : count.Missed);
    }
    PostMessageW(overlay, WM_CLOSE, 0, 0);
    CHECK(orvex.WaitExit(HangMs));
    // The diagnostic log tells a held-back release from one sent at once.
    CHECK((CountLines(DefaultDiagnosticLogPath(), "vk=0x5A held back", true) > 0) == !holdOff);
    return count;
}

}  // namespace

TEST_CASE("quick clicks on ○ all reach a game that polls the keyboard 30 times a second")
{
    const TapCount off = TapPollingGame(true);
    MESSAGE("taps seen with the hold off: " << off.Seen << " of " << Taps);
    const TapCount held = TapPollingGame(false);
    MESSAGE("with the default hold: " << held.Seen << " seen, " << held.Dropped
                                      << " in frames the game dropped");
    CHECK(held.Missed == 0);
    DeleteOrvexSettings();
}
