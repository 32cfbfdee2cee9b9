// The pad as the real Orvex.exe shows it, read back from the screen.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "base/handle.h"
#include "padpixels.h"
#include "settings/settings.h"
#include "support.h"

namespace {

bool WriteSettingsDword(const wchar_t* name, DWORD value)
{
    UniqueKey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                        key.put(), nullptr) != ERROR_SUCCESS)
        return false;
    return RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value)) == ERROR_SUCCESS;
}

// The bottom-row buttons' insides, left and right, as the program drew them.
struct BottomRow {
    std::vector<unsigned> left;
    std::vector<unsigned> right;
};

}  // namespace

TEST_CASE("the overlay shows the whole pad, for both places of ○ and ×")
{
    struct Row {
        bool swapped;
        const wchar_t* artefact;
    };
    const Row rows[] = {{false, L"pad-default.bmp"}, {true, L"pad-swapped.bmp"}};
    BottomRow bottom[2];
    for (const Row& row : rows) {
        CAPTURE(row.swapped);
        DeleteOrvexSettings();
        if (row.swapped) REQUIRE(WriteSettingsDword(L"IsOKCancelChange", 1));

        ChildProcess orvex;
        const HWND overlay = StartOrvex(orvex);
        REQUIRE(overlay);
        const PadButtonRect upArm = VisiblePadButtons(row.swapped)[0];
        ClientSnapshot shot;
        // Wine maps the window's X surface a little after the first paint and can
        // wipe what that paint showed without sending another WM_PAINT; once the
        // window has settled, ask the program to paint again, as a move would.
        PumpFor(1000);
        InvalidateRect(overlay, nullptr, FALSE);
        // Wine shows a presented frame a moment after the paint; the first run of
        // its Direct3D on a fresh prefix takes longer.
        CHECK(WaitUntil(
            [&] {
                shot = TakeClientSnapshot(overlay);
                return ButtonCornerFill(shot.Reader(), upArm) == 0xC0C0C0;
            },
            15000));
        PumpFor(300);
        shot = TakeClientSnapshot(overlay);
        SaveScreenBmp(ArtifactDir() + L"\\" + row.artefact);

        const std::vector<std::string> faults = FindPadPixelFaults(shot.Reader(), row.swapped);
        INFO(DescribeFaults(faults));
        CHECK(faults.empty());
        BottomRow& mine = bottom[row.swapped ? 1 : 0];
        mine.left = ButtonPixels(shot.Reader(), {"left", 10, 380, 80, 80});
        mine.right = ButtonPixels(shot.Reader(), {"right", 250, 380, 80, 80});

        PostMessageW(overlay, WM_CLOSE, 0, 0);
        CHECK(orvex.WaitExit(HangMs));
    }
    // ○ and × are drawn differently, and the swap moves each drawing to the other place.
    CHECK(bottom[0].left != bottom[0].right);
    CHECK(bottom[0].left == bottom[1].right);
    CHECK(bottom[0].right == bottom[1].left);
    DeleteOrvexSettings();
}
