#include <doctest/doctest.h>
#include <string>
#include "render/render.h"
#include "render_test_window.h"
#include "support.h"

namespace {

HRESULT WINAPI FailingD2DFactory(D2D1_FACTORY_TYPE, REFIID, const D2D1_FACTORY_OPTIONS*,
                                 void** factory)
{
    *factory = nullptr;
    return E_OUTOFMEMORY;
}

HRESULT WINAPI FailingDWriteFactory(DWRITE_FACTORY_TYPE, REFIID, IUnknown** factory)
{
    *factory = nullptr;
    return E_OUTOFMEMORY;
}

unsigned BrushColour(ID2D1SolidColorBrush* brush)
{
    const D2D1_COLOR_F c = brush->GetColor();
    auto byte = [](float f) { return static_cast<unsigned>(f * 255.0f + 0.5f); };
    return (byte(c.a) << 24) | (byte(c.r) << 16) | (byte(c.g) << 8) | byte(c.b);
}

// Direct2D draws no geometry that another factory made.
bool GeometriesOfCurrentFactory()
{
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
        ID2D1PathGeometry* geometry = CurrentPadTable->Items[i].Geometry.Get();
        Microsoft::WRL::ComPtr<ID2D1Factory> factory;
        if (geometry) geometry->GetFactory(factory.GetAddressOf());
        if (geometry && factory.Get() != D2DFactory.Get()) return false;
    }
    return true;
}

}  // namespace

TEST_CASE("the three text formats: メイリオ, ja-jp, 18/23/13, centred both ways")
{
    REQUIRE(CreateDeviceIndependentResources());
    struct Row {
        IDWriteTextFormat* format;
        float size;
    };
    const Row rows[] = {{TextFormatNormal.Get(), 18.0f},
                        {TextFormatLarge.Get(), 23.0f},
                        {TextFormatSmall.Get(), 13.0f}};
    for (const Row& row : rows) {
        CAPTURE(row.size);
        REQUIRE(row.format);
        CHECK(row.format->GetFontSize() == row.size);
        wchar_t text[64] = L"";
        REQUIRE(SUCCEEDED(row.format->GetFontFamilyName(text, 64)));
        CHECK(std::wstring(text) == L"メイリオ");
        REQUIRE(SUCCEEDED(row.format->GetLocaleName(text, 64)));
        CHECK(std::wstring(text) == L"ja-jp");
        CHECK(row.format->GetFontWeight() == DWRITE_FONT_WEIGHT_NORMAL);
        CHECK(row.format->GetFontStyle() == DWRITE_FONT_STYLE_NORMAL);
        CHECK(row.format->GetFontStretch() == DWRITE_FONT_STRETCH_NORMAL);
        CHECK(row.format->GetTextAlignment() == DWRITE_TEXT_ALIGNMENT_CENTER);
        CHECK(row.format->GetParagraphAlignment() == DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    }
}

TEST_CASE("device resources: one target and four brushes of the window's size, made again after a "
          "discard")
{
    REQUIRE(CreateDeviceIndependentResources());
    PadTestWindow window;
    DiscardDeviceResources();
    ResizeRenderTarget(window.Handle());  // no target yet: nothing happens
    CHECK_FALSE(RenderTarget);

    REQUIRE(CreateDeviceResources(window.Handle()) == S_OK);
    ID2D1HwndRenderTarget* first = RenderTarget.Get();
    ID2D1SolidColorBrush* outline = OutlineBrush.Get();
    REQUIRE(CreateDeviceResources(window.Handle()) == S_OK);
    CHECK(RenderTarget.Get() == first);
    CHECK(OutlineBrush.Get() == outline);
    CHECK(RenderTarget->GetPixelSize().width == 340);
    CHECK(RenderTarget->GetPixelSize().height == 520);
    CHECK(RenderTarget->GetHwnd() == window.Handle());

    struct Row {
        const char* name;
        ID2D1SolidColorBrush* brush;
        unsigned argb;
    };
    const Row rows[] = {
        {"outline", OutlineBrush.Get(), 0xFF000000},
        {"normal", NormalFillBrush.Get(), 0xFFC0C0C0},
        {"pressed", PressedFillBrush.Get(), 0xFF101010},
        {"latched", LatchedFillBrush.Get(), 0xFFC04040},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        REQUIRE(row.brush);
        CHECK(BrushColour(row.brush) == row.argb);
        CHECK(row.brush->GetOpacity() == 1.0f);
    }

    SetWindowPos(window.Handle(), nullptr, 0, 0, 300, 400,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    window.Pump();
    CHECK(RenderTarget.Get() == first);
    CHECK(RenderTarget->GetPixelSize().width == 300);
    CHECK(RenderTarget->GetPixelSize().height == 400);

    DiscardDeviceResources();
    CHECK_FALSE(RenderTarget);
    CHECK_FALSE(OutlineBrush);
    CHECK_FALSE(NormalFillBrush);
    CHECK_FALSE(PressedFillBrush);
    CHECK_FALSE(LatchedFillBrush);
    SetWindowPos(window.Handle(), nullptr, 0, 0, 320, 480,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    REQUIRE(CreateDeviceResources(window.Handle()) == S_OK);
    CHECK(RenderTarget->GetPixelSize().width == 320);
    CHECK(RenderTarget->GetPixelSize().height == 480);
    CHECK(LatchedFillBrush);
}

TEST_CASE("releasing the drawing resources empties all ten holders")
{
    REQUIRE(CreateDeviceIndependentResources());
    PadTestWindow window;
    REQUIRE(CreateDeviceResources(window.Handle()) == S_OK);
    ReleaseDrawingResources();
    CHECK_FALSE(D2DFactory);
    CHECK_FALSE(RenderTarget);
    CHECK_FALSE(DWriteFactory);
    CHECK_FALSE(OutlineBrush);
    CHECK_FALSE(NormalFillBrush);
    CHECK_FALSE(PressedFillBrush);
    CHECK_FALSE(LatchedFillBrush);
    CHECK_FALSE(TextFormatNormal);
    CHECK_FALSE(TextFormatLarge);
    CHECK_FALSE(TextFormatSmall);
    // Nothing left to draw with: the calls that need the factory report it and do nothing.
    CHECK(CreateDeviceResources(window.Handle()) == E_POINTER);
    CHECK_FALSE(BuildElementGeometries());
    CHECK(PaintElements() == 0);
    ClearRenderTarget();
    ResizeRenderTarget(window.Handle());
}

TEST_CASE("a factory that cannot be made: no crash, nothing drawn, the pad drawn once it can")
{
    struct Row {
        const char* what;
        bool failD2D;
        bool drawsShapes;  // while the failure lasts
    };
    const Row rows[] = {
        {"Direct2D factory", true, false},
        {"DirectWrite factory", false, true},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        ReleaseDrawingResources();
        {
            DrawingCallsSwap swap;
            if (row.failD2D)
                Drawing.CreateD2DFactory = FailingD2DFactory;
            else
                Drawing.CreateDWriteFactory = FailingDWriteFactory;
            CHECK_FALSE(CreateDeviceIndependentResources());
            CHECK_FALSE(TextFormatLarge);
            BuildTestLayout();
            CHECK(BuildElementGeometries() == !row.failD2D);
            const ContactPoint upArm = {170, 200};
            CHECK(HitTestElements(&upArm, 1) == (row.failD2D ? 0u : 0x1u));

            PadTestWindow window;
            window.Smear(RGB(255, 0, 0));
            CHECK(SUCCEEDED(RepaintPad(window.Handle())) == row.drawsShapes);
            CHECK(GeometriesOfCurrentFactory());
            window.Pump();
            if (row.drawsShapes)
                window.WaitForPixel(134, 164, 0xC0C0C0);
            else
                PumpFor(300);
            // Inside ↑ away from its label; no label format means shapes without text.
            CHECK((window.Pixel(134, 164) == 0xC0C0C0) == row.drawsShapes);
            CHECK((window.Pixel(134, 164) == 0xFF0000) == !row.drawsShapes);
            CHECK(window.Pixel(5, 5) == (row.drawsShapes ? 0xFFFFFFu : 0xFF0000u));
        }
        // The real calls again: the next paint makes what was missing and draws the pad.
        PadTestWindow window;
        window.Smear(RGB(255, 0, 0));
        CHECK(RepaintPad(window.Handle()) == S_OK);
        window.WaitForPixel(134, 164, 0xC0C0C0);
        CHECK(GeometriesOfCurrentFactory());
        CHECK(TextFormatLarge);
        CHECK(window.Pixel(134, 164) == 0xC0C0C0);
        CHECK(window.Pixel(5, 5) == 0xFFFFFF);
        const ContactPoint upArm = {170, 200};
        CHECK(HitTestElements(&upArm, 1) == 0x1);
        DestroyPadElementTable(CurrentPadTable);
    }
}
