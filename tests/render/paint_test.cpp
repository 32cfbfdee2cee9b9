#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "padpixels.h"
#include "render/render.h"
#include "render_test_window.h"

namespace {

int EndDrawCalls = 0;

// The device is lost at the first element pass after the swap, and only there.
HRESULT LoseDeviceOnce(ID2D1RenderTarget* target)
{
    const HRESULT real = target->EndDraw();
    return ++EndDrawCalls == 1 ? static_cast<HRESULT>(D2DERR_RECREATE_TARGET) : real;
}

// The real pad in a test window with all drawing resources, torn down afterwards.
struct PaintedPad {
    PaintedPad(int32_t sensitivity = 10, bool swapped = false)
    {
        REQUIRE(CreateDeviceIndependentResources());
        BuildTestLayout(sensitivity, swapped);
    }
    ~PaintedPad() { DestroyPadElementTable(CurrentPadTable); }
    // Paints anew and waits until the frame shows (the up arm's fill, when the table has it).
    void Repaint(unsigned upArmFill = 0xC0C0C0)
    {
        InvalidateRect(window.Handle(), nullptr, FALSE);
        window.Pump();
        window.WaitForPixel(134, 164, upArmFill);
    }
    PadTestWindow window;
};

}  // namespace

TEST_CASE("the painting scale cancels the desktop DPI")
{
    struct Row {
        float dpiX, dpiY, scaleX, scaleY;
    };
    const Row rows[] = {{96, 96, 1, 1},
                        {144, 144, 2.0f / 3.0f, 2.0f / 3.0f},
                        {192, 96, 0.5f, 1},
                        {120, 120, 0.8f, 0.8f}};
    for (const Row& row : rows) {
        CAPTURE(row.dpiX);
        const D2D1_MATRIX_3X2_F m = PaintTransform(row.dpiX, row.dpiY);
        CHECK(m._11 == doctest::Approx(row.scaleX));
        CHECK(m._22 == doctest::Approx(row.scaleY));
        CHECK(m._12 == 0.0f);
        CHECK(m._21 == 0.0f);
        CHECK(m._31 == 0.0f);
        CHECK(m._32 == 0.0f);
    }
}

TEST_CASE("fill brush by state and text format by label style")
{
    PaintedPad pad;
    REQUIRE(CreateDeviceResources(pad.window.Handle()) == S_OK);
    struct FillRow {
        bool pressed, latched;
        ID2D1SolidColorBrush* brush;
    };
    const FillRow fills[] = {
        {false, false, NormalFillBrush.Get()},
        {true, false, PressedFillBrush.Get()},
        {false, true, LatchedFillBrush.Get()},
        {true, true, LatchedFillBrush.Get()},
    };
    for (const FillRow& row : fills) {
        CAPTURE(row.pressed);
        CAPTURE(row.latched);
        PadElement element;
        element.Pressed = row.pressed;
        element.Latched = row.latched;
        CHECK(FillBrushFor(element) == row.brush);
    }
    struct FormatRow {
        int32_t style;
        IDWriteTextFormat* format;
    };
    const FormatRow formats[] = {
        {0, TextFormatNormal.Get()},
        {1, TextFormatSmall.Get()},
        {2, TextFormatLarge.Get()},
        {3, nullptr},
        {-1, nullptr},
    };
    for (const FormatRow& row : formats) {
        CAPTURE(row.style);
        CHECK(LabelFormatFor(row.style) == row.format);
    }
}

TEST_CASE("containment of contact points in one element's geometry")
{
    REQUIRE(CreateDeviceIndependentResources());
    DestroyPadElementTable(CurrentPadTable);
    CurrentPadTable = CreatePadElementTable();
    const OutlinePoint size[] = {{80, 53}};
    AddPadElement(L"システム", 1, 0x800, 25, 10, true, ShapeRectangle, size, 1);
    const OutlinePoint repeated[] = {{0, 0}, {0, 0}, {0, 0}, {0, 0}, {80, 0}, {0, -80}};
    AddPadElement(L"↑→", 2, 0x9, 210, 240, false, ShapePolygon, repeated, 6);
    REQUIRE(BuildElementGeometries());
    const PadElement& rect = CurrentPadTable->Items[0];
    const PadElement& triangle = CurrentPadTable->Items[1];

    struct Row {
        const PadElement* element;
        std::vector<ContactPoint> points;
        bool inside;
        const char* what;
    };
    const Row rows[] = {
        {&rect, {{30, 20}}, true, "inside the rectangle"},
        {&rect, {{110, 20}}, false, "right of it"},
        {&rect, {{25, 70}}, false, "below it"},
        {&rect, {{104, 62}}, true, "its last pixel"},
        {&rect, {{0, 0}, {110, 20}, {60, 40}}, true, "only the last of three inside"},
        {&rect, {{0, 0}, {110, 20}}, false, "none of two inside"},
        {&rect, {}, false, "no points"},
        {&triangle, {{240, 210}}, true, "inside the outer triangle"},
        {&triangle, {{205, 235}}, false, "beside the corner: the diamond has shrunk to a point"},
        {&triangle, {{260, 190}}, false, "beyond the hypotenuse"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        CHECK(ElementContainsAnyPoint(*row.element, row.points.data(),
                                      static_cast<int32_t>(row.points.size())) == row.inside);
    }
    const ContactPoint inside = {30, 20};
    CHECK_FALSE(ElementContainsAnyPoint(rect, nullptr, 1));
    CHECK_FALSE(ElementContainsAnyPoint(rect, &inside, -1));
    PadElement bare;
    CHECK_FALSE(ElementContainsAnyPoint(bare, &inside, 1));
    DestroyPadElementTable(CurrentPadTable);
}

TEST_CASE("the painted pad: grey fills, black outlines, labels, white gaps")
{
    for (bool swapped : {false, true}) {
        CAPTURE(swapped);
        PaintedPad pad(10, swapped);
        pad.window.Smear(RGB(255, 0, 0));
        pad.Repaint();
        const ClientSnapshot shot = TakeClientSnapshot(pad.window.Handle());
        const std::vector<std::string> faults = FindPadPixelFaults(shot.Reader(), swapped);
        INFO(DescribeFaults(faults));
        CHECK(faults.empty());
    }
}

TEST_CASE("fills follow the marks; invisible elements and style 3 labels are not drawn")
{
    PaintedPad pad;
    REQUIRE(CurrentPadTable->Count == 17);
    PadElementTable& table = *CurrentPadTable;
    table.Items[0].Pressed = true;                             // ↑
    table.Items[14].Pressed = table.Items[14].Latched = true;  // スキップ
    table.Items[11].Latched = true;                            // 経営ノート
    table.Items[4].Pressed = true;                             // the invisible up-right zone
    table.Items[3].LabelStyle = 3;                             // → without a label
    pad.Repaint(0x101010);
    const ClientSnapshot shot = TakeClientSnapshot(pad.window.Handle());
    const auto fill = [&](int index) {
        const PadElement& e = table.Items[index];
        const int height = e.OutlinePoints[0].y;
        return ButtonCornerFill(shot.Reader(), {"", e.OriginX, e.OriginY, 80, height});
    };
    struct Row {
        int index;
        unsigned colour;
    };
    const Row rows[] = {
        {0, 0x101010}, {14, 0xC04040}, {11, 0xC04040}, {1, 0xC0C0C0}, {10, 0xC0C0C0}};
    for (const Row& row : rows) {
        CAPTURE(row.index);
        CHECK(fill(row.index) == row.colour);
    }
    CHECK(shot.At(240, 210) == 0xFFFFFF);
    // → keeps its fill and outline; its centre has no arrow.
    CHECK(shot.At(250, 280) == 0xC0C0C0);
    CHECK(shot.At(209, 280) == 0x000000);
    CHECK(shot.At(170, 360) != 0xC0C0C0);  // ↓ still has its arrow
}

TEST_CASE("a lost device: one discard, one more paint of the whole pad, the same geometries")
{
    PaintedPad pad;
    std::vector<ID2D1PathGeometry*> geometries;
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i)
        geometries.push_back(CurrentPadTable->Items[i].Geometry.Get());
    DrawingCallsSwap swap;
    Drawing.EndDraw = LoseDeviceOnce;
    EndDrawCalls = 0;
    TestWindowCounts = PaintCounts{};

    CHECK(RepaintPad(pad.window.Handle()) == static_cast<HRESULT>(D2DERR_RECREATE_TARGET));
    CHECK_FALSE(RenderTarget);
    CHECK_FALSE(OutlineBrush);
    CHECK_FALSE(LatchedFillBrush);
    RECT pending = {};
    CHECK(GetUpdateRect(pad.window.Handle(), &pending, FALSE));
    CHECK(pending.right == 340);
    CHECK(pending.bottom == 520);

    // Whatever is on screen now must be replaced by the next paint.
    pad.window.Smear(RGB(255, 0, 0));
    pad.window.Pump();
    pad.window.WaitForPixel(134, 164, 0xC0C0C0);
    CHECK(TestWindowCounts.paints == 1);
    CHECK(TestWindowCounts.erases == 0);
    CHECK(EndDrawCalls == 2);
    CHECK(RenderTarget);
    CHECK_FALSE(GetUpdateRect(pad.window.Handle(), nullptr, FALSE));
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i)
        CHECK(CurrentPadTable->Items[i].Geometry.Get() == geometries[i]);
    const ClientSnapshot shot = TakeClientSnapshot(pad.window.Handle());
    const std::vector<std::string> faults = FindPadPixelFaults(shot.Reader(), false);
    INFO(DescribeFaults(faults));
    CHECK(faults.empty());
}

TEST_CASE("without a render target nothing is painted and nothing breaks")
{
    PaintedPad pad;
    DiscardDeviceResources();
    CHECK(PaintElements() == 0);
    ClearRenderTarget();
    ResizeRenderTarget(pad.window.Handle());
    CHECK_FALSE(RenderTarget);
}

TEST_CASE("painting without a table draws a white window")
{
    PaintedPad pad;
    DestroyPadElementTable(CurrentPadTable);
    pad.window.Smear(RGB(255, 0, 0));
    CHECK(RepaintPad(pad.window.Handle()) == S_OK);
    pad.window.WaitForPixel(5, 5, 0xFFFFFF);
    CHECK(pad.window.Pixel(170, 200) == 0xFFFFFF);
    CHECK(pad.window.Pixel(5, 5) == 0xFFFFFF);
}
