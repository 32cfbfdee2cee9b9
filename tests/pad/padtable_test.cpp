#include <doctest/doctest.h>
#include <cwchar>
#include <string>
#include "pad/pad.h"
#include "render/render.h"

namespace {

// A fresh table as CurrentPadTable, with the factory that geometries need.
struct FreshTable {
    FreshTable()
    {
        REQUIRE(CreateDeviceIndependentResources());
        DestroyPadElementTable(CurrentPadTable);
        CurrentPadTable = CreatePadElementTable();
    }
    ~FreshTable() { DestroyPadElementTable(CurrentPadTable); }
};

int32_t AddSquare(const wchar_t* label, KeyMask mask, int32_t x, int32_t y, bool visible = true)
{
    const OutlinePoint size[] = {{10, 10}};
    return AddPadElement(label, 1, mask, x, y, visible, ShapeRectangle, size, 1);
}

KeySet HitAt(int32_t x, int32_t y)
{
    const ContactPoint point = {x, y};
    return HitTestElements(&point, 1);
}

}  // namespace

TEST_CASE("a fresh table is empty, holds 30 fresh records and hits nothing")
{
    FreshTable fresh;
    const PadElementTable& table = *CurrentPadTable;
    CHECK(table.Count == 0);
    CHECK(table.Capacity == 30);
    REQUIRE(table.Items.size() == 30);
    for (const PadElement& element : table.Items) {
        CHECK_FALSE(element.Pressed);
        CHECK_FALSE(element.Latched);
        CHECK(element.Label[0] == L'\0');
        CHECK(element.KeyMask == 0);
        CHECK(element.ShapeKind == ShapeNone);
        CHECK(element.PointCount == 0);
        CHECK_FALSE(element.Geometry);
    }
    CHECK(BuildElementGeometries());  // nothing to build, nothing failed
    CHECK(HitAt(5, 5) == 0);
}

TEST_CASE("the 31st element grows the table by 30 and the first 30 keep everything")
{
    FreshTable fresh;
    // 30 squares of 10 x 10 on a 6 x 5 grid, 20 pixels apart; element i holds mask i + 1.
    for (int32_t i = 0; i < 30; ++i) {
        const std::wstring label = L"E" + std::to_wstring(i);
        REQUIRE(AddSquare(label.c_str(), i + 1, (i % 6) * 20, (i / 6) * 20) == i);
    }
    REQUIRE(BuildElementGeometries());
    std::vector<ID2D1PathGeometry*> before;
    for (int32_t i = 0; i < 30; ++i) before.push_back(CurrentPadTable->Items[i].Geometry.Get());

    CHECK(AddSquare(L"E30", 0x40000, 200, 200) == 30);
    const PadElementTable& table = *CurrentPadTable;
    CHECK(table.Capacity == 60);
    CHECK(table.Count == 31);
    CHECK(table.Items.size() == 60);
    for (int32_t i = 0; i < 30; ++i) {
        CAPTURE(i);
        const PadElement& element = table.Items[i];
        CHECK(std::wstring(element.Label) == L"E" + std::to_wstring(i));
        REQUIRE(element.PointCount == 1);
        CHECK(element.OutlinePoints[0].x == 10);
        CHECK(element.OutlinePoints[0].y == 10);
        CHECK(element.OriginX == (i % 6) * 20);
        CHECK(element.Geometry.Get() == before[i]);
        CHECK(HitAt((i % 6) * 20 + 5, (i / 6) * 20 + 5) == static_cast<KeySet>(i + 1));
    }
    for (int32_t i = 31; i < 60; ++i) CHECK(table.Items[i].PointCount == 0);
    // The new element has no geometry until the geometries are built again.
    CHECK(HitAt(205, 205) == 0);
    CHECK(BuildElementGeometries());
    CHECK(HitAt(205, 205) == 0x40000);
}

TEST_CASE("labels are copied, bounded to 15 characters and empty when absent")
{
    struct Row {
        const wchar_t* given;
        const wchar_t* stored;
    };
    const Row rows[] = {
        {nullptr, L""},
        {L"", L""},
        {L"○", L"○"},
        {L"サイズ調整", L"サイズ調整"},
        {L"123456789012345", L"123456789012345"},
        {L"1234567890123456", L"123456789012345"},
        {L"a label far longer than any record could ever hold", L"a label far lon"},
    };
    FreshTable fresh;
    for (const Row& row : rows) {
        CAPTURE(std::wstring(row.stored));
        const int32_t index = AddSquare(row.given, 1, 0, 0);
        const PadElement& element = CurrentPadTable->Items[index];
        CHECK(std::wstring(element.Label) == row.stored);
        CHECK(element.Label[PadLabelCapacity - 1] == L'\0');
    }
}

TEST_CASE("AddPadElement copies the points and keeps no link to the caller's array")
{
    FreshTable fresh;
    OutlinePoint points[] = {{0, 0}, {30, 0}, {0, 30}};
    const int32_t index = AddPadElement(L"tri", 2, 0x4, 100, 100, false, ShapePolygon, points, 3);
    points[1] = {-500, -500};
    const PadElement& element = CurrentPadTable->Items[index];
    REQUIRE(element.PointCount == 3);
    CHECK(element.OutlinePoints[1].x == 30);
    CHECK(element.LabelStyle == 2);
    CHECK_FALSE(element.Visible);
    CHECK_FALSE(element.Pressed);
    CHECK_FALSE(element.Geometry);
}

TEST_CASE("hit testing with no points, a negative count or no table returns 0")
{
    FreshTable fresh;
    AddSquare(L"A", 0x1, 0, 0);
    REQUIRE(BuildElementGeometries());
    const ContactPoint inside[] = {{5, 5}, {5, 5}};
    struct Row {
        const ContactPoint* points;
        int32_t count;
    };
    const Row rows[] = {{nullptr, 1}, {inside, 0}, {inside, -1}, {inside, INT32_MIN}};
    for (const Row& row : rows) {
        CAPTURE(row.count);
        CHECK(HitTestElements(row.points, row.count) == 0);
    }
    CHECK(HitTestElements(inside, 2) == 0x1);
    DestroyPadElementTable(CurrentPadTable);
    CHECK(HitTestElements(inside, 2) == 0);
    CHECK(AddSquare(L"late", 0x1, 0, 0) == -1);
    PressElements(~KeySet{0});  // no table: nothing to do, nothing to crash on
    LatchSkipElements();
}

TEST_CASE("elements without a usable shape get no geometry and are never hit")
{
    FreshTable fresh;
    const OutlinePoint one[] = {{20, 20}};
    struct Row {
        int32_t shapeKind;
        const OutlinePoint* points;
        int32_t count;
    };
    const Row rows[] = {
        {ShapeNone, one, 1},       // no shape kind
        {3, one, 1},               // unknown shape kind
        {ShapeRectangle, one, 0},  // rectangle without its size
        {ShapeRectangle, one, -4},
        {ShapeRectangle, nullptr, 1},
        {ShapePolygon, one, 1},  // polygon of one vertex
    };
    for (const Row& row : rows)
        AddPadElement(L"x", 1, 0x1, 0, 0, true, row.shapeKind, row.points, row.count);
    AddSquare(L"ok", 0x2, 40, 40);
    CHECK_FALSE(BuildElementGeometries());
    for (int32_t i = 0; i < 6; ++i) CHECK_FALSE(CurrentPadTable->Items[i].Geometry);
    CHECK(CurrentPadTable->Items[6].Geometry);
    CHECK(HitAt(5, 5) == 0);
    CHECK(HitAt(45, 45) == 0x2);
}

TEST_CASE("pressed and latched marks follow the key sets")
{
    FreshTable fresh;
    // ↑, the two diagonals that share its bit, → and スキップ.
    const KeyMask masks[] = {0x1, 0x9, 0x5, 0x8, SkipKeyBit, 0};
    for (KeyMask mask : masks) AddSquare(L"k", mask, 0, 0);
    const PadElementTable& table = *CurrentPadTable;
    auto pressed = [&] {
        std::string marks;
        for (int32_t i = 0; i < table.Count; ++i) marks += table.Items[i].Pressed ? 'P' : '-';
        return marks;
    };

    SUBCASE("pressing one arm marks the diagonals too; releasing the rest leaves only the arm")
    {
        PressElements(0x1);
        CHECK(pressed() == "PPP---");
        ReleaseElements(~KeySet{0x1});
        CHECK(pressed() == "P-----");
    }
    SUBCASE("a diagonal shows pressed only while both of its keys are held")
    {
        PressElements(0x9);
        ReleaseElements(~KeySet{0x9});
        CHECK(pressed() == "PP-P--");
    }
    SUBCASE("a reset with every bit clears Pressed and leaves Latched")
    {
        PressElements(0xF);
        LatchSkipElements();
        ReleaseElements(~KeySet{0});
        CHECK(pressed() == "------");
        CHECK(table.Items[4].Latched);
    }
    SUBCASE("latch then unlatch leaves スキップ neither pressed nor latched")
    {
        for (bool pressedBefore : {false, true}) {
            CAPTURE(pressedBefore);
            if (pressedBefore) PressElements(SkipKeyBit);
            LatchSkipElements();
            CHECK(pressed() == "----P-");
            CHECK(table.Items[4].Latched);
            UnlatchSkipElements();
            CHECK_FALSE(table.Items[4].Pressed);
            CHECK_FALSE(table.Items[4].Latched);
        }
    }
}
