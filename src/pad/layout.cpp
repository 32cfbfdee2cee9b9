// The fixed pad: function buttons, the cross key with its four diagonal zones,
// and the ○ and × buttons, in client pixels of the overlay window.
#include "pad/pad.h"
#include "settings/settings.h"

namespace {

constexpr int32_t LabelSmall = 1;
constexpr int32_t LabelLarge = 2;

void AddRectangle(const wchar_t* label, int32_t labelStyle, KeyMask keyMask, int32_t x, int32_t y,
                  int32_t width, int32_t height)
{
    const OutlinePoint size[] = {{width, height}};
    AddPadElement(label, labelStyle, keyMask, x, y, true, ShapeRectangle, size, 1);
}

// A diagonal zone is invisible: it only widens where the cross key yields two keys.
void AddDiagonalZone(const wchar_t* label, KeyMask keyMask, int32_t x, int32_t y,
                     const OutlinePoint (&points)[6])
{
    AddPadElement(label, LabelLarge, keyMask, x, y, false, ShapePolygon, points, 6);
}

}  // namespace

int32_t DiagonalReach(int32_t crossPressSensitivity)
{
    // A record set by hand may hold anything; the reach stays within the dialog's range.
    int32_t sensitivity = crossPressSensitivity;
    if (sensitivity < 0) sensitivity = 0;
    if (sensitivity > MaxCrossPressSensitivity) sensitivity = MaxCrossPressSensitivity;
    return 80 * sensitivity / 20;
}

void BuildPadLayout()
{
    DestroyPadElementTable(CurrentPadTable);
    CurrentPadTable = CreatePadElementTable();

    const bool swapped = Settings.IsOKCancelChange;
    const int32_t d = DiagonalReach(Settings.CrossPressSensitivity);

    // Cross key: four 80 x 80 arms around the empty centre square (130, 240)-(210, 320).
    AddRectangle(L"↑", LabelLarge, 0x1, 130, 160, 80, 80);
    AddRectangle(L"↓", LabelLarge, 0x2, 130, 320, 80, 80);
    AddRectangle(L"←", LabelLarge, 0x4, 50, 240, 80, 80);
    AddRectangle(L"→", LabelLarge, 0x8, 210, 240, 80, 80);

    // Each zone: the diamond of half-diagonal d around an inner corner, then the far
    // corners of the two arms that meet there.
    AddDiagonalZone(L"↑→", 0x9, 210, 240, {{0, -d}, {-d, 0}, {0, d}, {d, 0}, {80, 0}, {0, -80}});
    AddDiagonalZone(L"↓→", 0xA, 210, 320, {{d, 0}, {0, -d}, {-d, 0}, {0, d}, {0, 80}, {80, 0}});
    AddDiagonalZone(L"←↓", 0x6, 130, 320, {{-d, 0}, {0, -d}, {d, 0}, {0, d}, {0, 80}, {-80, 0}});
    AddDiagonalZone(L"←↑", 0x5, 130, 240, {{-d, 0}, {0, d}, {d, 0}, {0, -d}, {0, -80}, {-80, 0}});

    // × is always added before ○; the swap moves them, each keeps its own key.
    AddRectangle(L"×", LabelLarge, 0x20, swapped ? 10 : 250, 380, 80, 80);
    AddRectangle(L"○", LabelLarge, 0x10, swapped ? 250 : 10, 380, 80, 80);

    AddRectangle(L"システム", LabelSmall, 0x800, 25, 10, 80, 53);
    AddRectangle(L"経営ノート", LabelSmall, 0x400, 130, 10, 80, 53);
    AddRectangle(L"1時間送る", LabelSmall, 0x200, 235, 10, 80, 53);
    AddRectangle(L"ログ", LabelSmall, LogKeyBit, 25, 73, 80, 53);
    AddRectangle(L"スキップ", LabelSmall, SkipKeyBit, 130, 73, 80, 53);
    AddRectangle(L"タブ移動", LabelSmall, 0x40, 235, 73, 80, 53);
    AddRectangle(L"サイズ調整", LabelSmall, SizeKeyBit, 10, 150, 80, 40);
}
