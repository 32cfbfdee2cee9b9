// A storm of seeded random messages straight into the program's window
// procedure, with the stand-in game running: touch frames through the touch
// seam, mouse messages with and without the touch signature, double clicks,
// WM_SKIPRELEASE, WM_DISPLAYCHANGE, the key-state reset and the size command.
// Nothing may crash, and once every contact has lifted and the latch has ended
// the game holds no key.
#include <doctest/doctest.h>
#include <random>
#include "app/app.h"
#include "game/game.h"
#include "overlay_fixture.h"
#include "support.h"

namespace {

constexpr int StormMessages = 100000;

// Extra information of mouse messages: genuine, made from touch (with and
// without the pen bits), and near misses of the signature.
const LPARAM ExtraInfos[] = {0,
                             0,
                             0,
                             static_cast<LPARAM>(0xFF515780),
                             static_cast<LPARAM>(0xFF515700),
                             static_cast<LPARAM>(0xFF515600),
                             static_cast<LPARAM>(0xFFFFFFFF),
                             0x12345};

class Storm {
public:
    Storm(InProcessOverlay& overlay, unsigned seed) : overlay_(overlay), random_(seed) {}

    void Step()
    {
        const int roll = Pick(1000);
        if (roll < 380) return TouchFrame();
        if (roll < 880) return MouseMessage();
        if (roll < 940) return Double();
        if (roll < 970) {
            overlay_.Send(WM_SKIPRELEASE);
            return;
        }
        if (roll < 980) {
            overlay_.Send(WM_COMMAND, IDM_RESETKEYS);
            return;
        }
        if (roll < 990) {
            overlay_.Send(WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
            return;
        }
        overlay_.Send(WM_COMMAND, IDM_ADJUSTSIZE);
    }

private:
    int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random_); }

    // Mostly on the elements; now and then anywhere, outside, or where 16-bit
    // mouse coordinates wrap.
    ContactPoint Spot()
    {
        static const ContactPoint spots[] = {
            CircleSpot(), UpSpot(),   SkipSpot(), LogSpot(),  NoElementSpot, {170, 360}, {90, 280},
            {250, 280},   {220, 230}, {120, 330}, {290, 420}, {65, 36},      {170, 36},  {275, 36},
            {275, 99},    {50, 170},  {170, 280}, {0, 0},     {339, 519}};
        const int kind = Pick(10);
        if (kind < 7) return spots[Pick(static_cast<int>(sizeof(spots) / sizeof(spots[0])))];
        if (kind < 9) return {Pick(400) - 30, Pick(600) - 40};
        return {Pick(65536), Pick(65536)};
    }

    void TouchFrame()
    {
        TouchRecords.clear();
        for (int n = Pick(13); n > 0; --n) {
            const ContactPoint at = Spot();
            POINT screen = {at.x, at.y};
            ClientToScreen(overlay_.Handle(), &screen);
            const DWORD flags[] = {TOUCHEVENTF_DOWN,
                                   TOUCHEVENTF_MOVE,
                                   TOUCHEVENTF_UP,
                                   0,
                                   TOUCHEVENTF_DOWN | TOUCHEVENTF_PRIMARY,
                                   TOUCHEVENTF_MOVE | TOUCHEVENTF_INRANGE};
            TouchRecords.push_back(TouchRecord(screen.x * 100 + Pick(100),
                                               screen.y * 100 + Pick(100), flags[Pick(6)]));
        }
        TouchReadFails = Pick(50) == 0;
        // The announced count need not match what the read hands out.
        const UINT announced =
            Pick(8) == 0 ? static_cast<UINT>(Pick(14)) : static_cast<UINT>(TouchRecords.size());
        SendTouchFrame(overlay_.Handle(), announced);
        TouchReadFails = false;
    }

    void MouseMessage()
    {
        const UINT messages[] = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_MOUSEMOVE,
                                 WM_LBUTTONDBLCLK};
        const UINT message = messages[Pick(5)];
        const ContactPoint at = Spot();
        const WPARAM buttons = Pick(3) ? MK_LBUTTON : 0;
        overlay_.Send(
            message, buttons, MAKELPARAM(static_cast<WORD>(at.x), static_cast<WORD>(at.y)),
            ExtraInfos[Pick(static_cast<int>(sizeof(ExtraInfos) / sizeof(ExtraInfos[0])))]);
    }

    // A whole double click, mostly on SKIP: the latch comes and goes.
    void Double() { overlay_.DoubleClick(Pick(3) ? SkipSpot() : Spot()); }

    InProcessOverlay& overlay_;
    std::mt19937 random_;
};

}  // namespace

TEST_SUITE("storm")
{
    TEST_CASE("100,000 random messages: no crash, and afterwards the game holds no key and no hook "
              "remains")
    {
        const unsigned seed = SeedFromEnvironment();
        MESSAGE("seed ", seed, " (ORVEX_SEED repeats a run)");
        ChildProcess game;
        const std::wstring log = TempFilePath(L"storm-game");
        REQUIRE(StartStandinGame(game, log));
        const HookCensus census;
        REQUIRE(census.Patched());
        {
            InProcessOverlay overlay(false);
            REQUIRE(overlay.Handle());
            REQUIRE(GetGameWindow());
            Storm storm(overlay, seed);
            int latches = 0;
            for (int i = 0; i < StormMessages; ++i) {
                const bool latched = SkipLatched;
                storm.Step();
                latches += !latched && SkipLatched;
                // Paints, and what the hook library posted, in between.
                if (i % 500 == 0) overlay.Pump(5);
                // A hook pair at most, and only while the latch holds.
                if (HookCensus::Live() != (SkipLatched ? 2 : 0)) {
                    CAPTURE(i);
                    REQUIRE(HookCensus::Live() == (SkipLatched ? 2 : 0));
                }
            }
            MESSAGE(KeyLog.size(), " key events, ", latches, " latches, ", HookCensus::Installed(),
                    " hooks installed");
            CHECK(latches > 10);

            // Every finger lifts, the button comes up, the latch ends.
            overlay.Touch({});
            overlay.MouseUp(NoElementSpot);
            if (SkipLatched) overlay.Send(WM_SKIPRELEASE);
            overlay.Pump();
            CHECK(TouchMask == 0);
            CHECK(MouseMask == 0);
            CHECK_FALSE(SkipLatched);
            CHECK(PadMarks() == "");
            CHECK(JoinWords(HeldKeys(KeyLog)) == "");
            CHECK(HookCensus::Live() == 0);
            CHECK(overlay.Alive());
        }
        game.Kill();
        DeleteFileW(log.c_str());
    }
}
