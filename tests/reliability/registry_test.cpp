// The settings key as hostile input before start-up. On each of hundreds of
// seeded corruptions the real Orvex.exe starts, draws the pad, applies what
// it must clamp and closes cleanly on WM_CLOSE without writing anything; the
// same data loaded here matches what the stored bytes allow, and a save then
// writes only well-formed values.
#include <doctest/doctest.h>
#include <algorithm>
#include <string>
#include <vector>
#include "hostile_registry.h"
#include "padpixels.h"
#include "screenwatch.h"
#include "settings/settings.h"
#include "support.h"

namespace {

constexpr int CorruptionCount = 300;
// Every so many corruptions also carry 1,000 record subkeys.
constexpr int ManyRecordsEvery = 40;

// The layered window's alpha for a transparency, worked out here on its own.
int AlphaFor(int32_t transparency)
{
    return std::min(255, (100 - transparency) * 256 / 100);
}

// Starts the program on the stored settings and looks at what it shows; ends
// it with WM_CLOSE. Wherever a stored record put the overlay, it is brought
// on screen to be looked at.
void CheckRealProgram(const ExpectedSettings& expected)
{
    ChildProcess orvex;
    const HWND overlay = StartOrvex(orvex);
    CHECK(overlay);
    if (!overlay) return;
    RECT client = {};
    GetClientRect(overlay, &client);
    CHECK(client.right == 340);
    CHECK(client.bottom == 520);
    BYTE alpha = 0;
    DWORD flags = 0;
    CHECK(GetLayeredWindowAttributes(overlay, nullptr, &alpha, &flags));
    CHECK(alpha == AlphaFor(expected.Transparency));

    SetWindowPos(overlay, nullptr, 300, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(overlay, nullptr, FALSE);
    CHECK(WaitUntil([overlay] { return PadDrawnOnScreen(overlay); }, 10000));
    // Each repaint shows its clear pass for a moment before the pad; a look
    // that falls in between is taken again.
    std::vector<std::string> faults;
    WaitUntil(
        [&] {
            faults = FindPadPixelFaults(TakeClientSnapshot(overlay).Reader(), expected.Swapped);
            return faults.empty();
        },
        3000);
    INFO(DescribeFaults(faults));
    CHECK(faults.empty());

    PostMessageW(overlay, WM_CLOSE, 0, 0);
    DWORD exitCode = 1;
    CHECK(orvex.WaitExit(5000, &exitCode));
    CHECK(exitCode == 0);
}

}  // namespace

TEST_SUITE("registry")
{
    TEST_CASE("hostile settings: the program starts, draws, clamps and closes; a save writes "
              "well-formed values")
    {
        const CleanRegistry clean;
        const unsigned seed = SeedFromEnvironment();
        MESSAGE("seed ", seed, " (ORVEX_SEED repeats a run)");
        int withRecords = 0, manyRecords = 0;
        for (int i = 0; i < CorruptionCount; ++i) {
            CAPTURE(seed);
            CAPTURE(i);
            WipeTestKeys();
            std::mt19937 random(seed +
                                static_cast<unsigned>(i));  // each case can be run again alone
            const bool many = i % ManyRecordsEvery == ManyRecordsEvery - 1;
            WriteHostileSettings(random, many);
            const ExpectedSettings expected = ExpectFromRegistry();
            withRecords += !expected.Records.empty();
            manyRecords += ListSubkeys(HKEY_CURRENT_USER, SettingsSubkey(L"Window")).size() >= 1000;

            const std::vector<std::wstring> before = DescribeSettingsKey();
            CheckRealProgram(expected);
            CHECK(DescribeSettingsKey() == before);  // start and close write nothing

            Settings = SettingsRecord{};  // zeroed, as at a program start
            LoadSettings();
            CHECK(CompareLoaded(expected) == "");
            SaveSettings(Settings);
            CHECK(CheckSavedForm() == "");
            // What the next start reads back from what the save left.
            const ExpectedSettings next = ExpectFromRegistry();
            Settings = SettingsRecord{};
            LoadSettings();
            CHECK(CompareLoaded(next) == "");
        }
        // The corruptions reached the records, also in their thousands.
        CHECK(withRecords > CorruptionCount / 4);
        CHECK(manyRecords >= CorruptionCount / ManyRecordsEvery);
    }
}
