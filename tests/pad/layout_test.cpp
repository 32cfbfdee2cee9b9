#include <doctest/doctest.h>
#include <climits>
#include <string>
#include <vector>
#include "pad/pad.h"
#include "render/render.h"
#include "settings/settings.h"

namespace {

// The real layout and its geometries, built from the given settings.
struct Layout {
    Layout(int32_t sensitivity, bool swapped)
    {
        REQUIRE(CreateDeviceIndependentResources());
        savedSensitivity = Settings.CrossPressSensitivity;
        savedSwap = Settings.IsOKCancelChange;
        Settings.CrossPressSensitivity = sensitivity;
        Settings.IsOKCancelChange = swapped;
        BuildPadLayout();
        REQUIRE(BuildElementGeometries());
    }
    ~Layout()
    {
        DestroyPadElementTable(CurrentPadTable);
        Settings.CrossPressSensitivity = savedSensitivity;
        Settings.IsOKCancelChange = savedSwap;
    }
    int32_t savedSensitivity;
    bool savedSwap;
};

}  // namespace

TEST_CASE("the diagonal reach is four pixels per step of sensitivity, within 0 to 40")
{
    struct Row {
        int32_t sensitivity, reach;
    };
    const Row rows[] = {{0, 0},  {1, 4},   {5, 20},         {10, 40},
                        {-3, 0}, {11, 40}, {INT32_MAX, 40}, {INT32_MIN, 0}};
    for (const Row& row : rows) {
        CAPTURE(row.sensitivity);
        CHECK(DiagonalReach(row.sensitivity) == row.reach);
    }
}

TEST_CASE("the layout holds the 17 elements in their order, fresh and labelled")
{
    Layout layout(10, false);
    const PadElementTable& table = *CurrentPadTable;
    REQUIRE(table.Count == 17);
    CHECK(table.Capacity == 30);
    struct Row {
        const wchar_t* label;
        KeyMask mask;
        bool visible;
        int32_t style;
    };
    const Row rows[] = {
        {L"↑", 0x1, true, 2},
        {L"↓", 0x2, true, 2},
        {L"←", 0x4, true, 2},
        {L"→", 0x8, true, 2},
        {L"↑→", 0x9, false, 2},
        {L"↓→", 0xA, false, 2},
        {L"←↓", 0x6, false, 2},
        {L"←↑", 0x5, false, 2},
        {L"×", 0x20, true, 2},
        {L"○", 0x10, true, 2},
        {L"システム", 0x800, true, 1},
        {L"経営ノート", 0x400, true, 1},
        {L"1時間送る", 0x200, true, 1},
        {L"ログ", 0x100, true, 1},
        {L"スキップ", 0x80, true, 1},
        {L"タブ移動", 0x40, true, 1},
        {L"サイズ調整", 0x1000, true, 1},
    };
    for (int32_t i = 0; i < 17; ++i) {
        CAPTURE(i);
        const PadElement& element = table.Items[i];
        CHECK(std::wstring(element.Label) == rows[i].label);
        CHECK(element.KeyMask == rows[i].mask);
        CHECK(element.Visible == rows[i].visible);
        CHECK(element.LabelStyle == rows[i].style);
        CHECK(element.PointCount == (rows[i].visible ? 1 : 6));
        CHECK_FALSE(element.Pressed);
        CHECK_FALSE(element.Latched);
        CHECK(element.Geometry);
    }
}

TEST_CASE("hit testing the real pad")
{
    struct Row {
        int32_t sensitivity;
        bool swapped;
        std::vector<ContactPoint> points;
        KeySet keys;
        const char* what;
    };
    const Row rows[] = {
        {10, false, {{200, 230}}, 0x9, "inside ↑, 20 px from the up-right corner"},
        {10, false, {{170, 280}}, 0, "centre of the cross"},
        {10, false, {{120, 140}}, 0, "between the function buttons and the cross"},
        {10, false, {{50, 420}}, 0x10, "○ on the left"},
        {10, false, {{290, 420}}, 0x20, "× on the right"},
        {10, true, {{50, 420}}, 0x20, "× on the left when swapped"},
        {10, true, {{290, 420}}, 0x10, "○ on the right when swapped"},
        {10, false, {{240, 210}}, 0x9, "the invisible up-right triangle"},
        {10, false, {{100, 210}}, 0x5, "the invisible left-up triangle"},
        {10, false, {{100, 350}}, 0x6, "the invisible left-down triangle"},
        {10, false, {{240, 350}}, 0xA, "the invisible down-right triangle"},
        {10, false, {{150, 250}}, 0x5, "centre square, 30 px from the left-up corner"},
        {10, false, {{30, 20}}, 0x800, "システム"},
        {10, false, {{110, 20}}, 0, "right of システム"},
        {10, false, {{50, 170}}, 0x1000, "サイズ調整"},
        {10, false, {{170, 100}}, 0x80, "スキップ"},
        {10, false, {{50, 420}, {170, 200}}, 0x11, "○ and ↑ together"},
        {10, false, {{170, 200}, {290, 420}, {270, 30}}, 0x221, "three points in three elements"},
        {5, false, {{202, 232}}, 0x9, "within reach 20 of the corner"},
        {5, false, {{195, 225}}, 0x1, "beyond reach 20 of the corner"},
        {0, false, {{200, 230}}, 0x1, "no reach: the arm alone"},
        {0, false, {{215, 245}}, 0x8, "no reach: right next to the corner, the arm alone"},
        {0, false, {{240, 210}}, 0x9, "no reach: the outer triangle stays"},
        {0, false, {{150, 250}}, 0, "no reach: the centre square is empty"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        Layout layout(row.sensitivity, row.swapped);
        CHECK(HitTestElements(row.points.data(), static_cast<int32_t>(row.points.size())) ==
              row.keys);
    }
}

TEST_CASE("an invisible element is hit, an element without geometry never")
{
    Layout layout(10, false);
    const ContactPoint upArm = {170, 200};
    const ContactPoint triangle = {240, 210};
    CHECK(HitTestElements(&triangle, 1) == 0x9);
    CurrentPadTable->Items[0].Geometry.Reset();
    CHECK(HitTestElements(&upArm, 1) == 0);
    CHECK(HitTestElements(&triangle, 1) == 0x9);
}

TEST_CASE("rebuilding twice leaves one table of 17 and releases every old geometry")
{
    Layout layout(10, false);
    std::vector<Microsoft::WRL::ComPtr<ID2D1PathGeometry>> old;
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i)
        old.push_back(CurrentPadTable->Items[i].Geometry);
    for (int round = 0; round < 2; ++round) {
        PressElements(~KeySet{0});
        LatchSkipElements();
        BuildPadLayout();
        REQUIRE(BuildElementGeometries());
    }
    REQUIRE(CurrentPadTable);
    CHECK(CurrentPadTable->Count == 17);
    for (int32_t i = 0; i < 17; ++i) {
        CAPTURE(i);
        CHECK_FALSE(CurrentPadTable->Items[i].Pressed);
        CHECK_FALSE(CurrentPadTable->Items[i].Latched);
        CHECK(CurrentPadTable->Items[i].Geometry.Get() != old[i].Get());
        // Only this test still holds the first table's geometry.
        old[i]->AddRef();
        CHECK(old[i]->Release() == 1);
    }
}
