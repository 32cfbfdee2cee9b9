#include <doctest/doctest.h>
#include "app/app.h"
#include "input/input.h"
#include "pad/pad.h"
#include "render/render.h"
#include "settings/settings.h"

namespace {

// A layered popup standing in for the overlay; MainWndProc is called on it directly.
struct LayeredWindow {
    LayeredWindow()
    {
        handle = CreateWindowExW(WS_EX_LAYERED | WS_EX_NOACTIVATE, L"STATIC", L"", WS_POPUP, 50, 50,
                                 340, 520, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        SetLayeredWindowAttributes(handle, 0, 192, LWA_ALPHA);
        // Only a shown window collects an update region.
        ShowWindow(handle, SW_SHOWNOACTIVATE);
    }
    ~LayeredWindow()
    {
        DiscardDeviceResources();
        DestroyWindow(handle);
    }
    HWND handle;
};

struct SavedSettings {
    SavedSettings()
        : transparency(Settings.Transparency), sensitivity(Settings.CrossPressSensitivity),
          swapped(Settings.IsOKCancelChange)
    {}
    ~SavedSettings()
    {
        Settings.Transparency = transparency;
        Settings.CrossPressSensitivity = sensitivity;
        Settings.IsOKCancelChange = swapped;
        DestroyPadElementTable(CurrentPadTable);
        MouseMask = 0;
        SkipLatched = false;
    }
    int32_t transparency, sensitivity;
    bool swapped;
};

KeySet HitAt(int32_t x, int32_t y)
{
    const ContactPoint point = {x, y};
    return HitTestElements(&point, 1);
}

}  // namespace

TEST_CASE(
    "a display change in the settings: new alpha, new pad, new device resources at the next paint")
{
    SavedSettings saved;
    LayeredWindow window;
    REQUIRE(CreateDeviceIndependentResources());
    Settings.Transparency = 25;
    Settings.CrossPressSensitivity = 10;
    Settings.IsOKCancelChange = false;
    BuildPadLayout();
    REQUIRE(BuildElementGeometries());
    REQUIRE(CreateDeviceResources(window.handle) == S_OK);
    ValidateRect(window.handle, nullptr);
    PressElements(~KeySet{0});
    LatchSkipElements();
    // Still held while the settings change: ○ by the mouse, Ctrl by the latch.
    MouseMask = 0x10;
    SkipLatched = true;
    const Microsoft::WRL::ComPtr<ID2D1PathGeometry> oldGeometry =
        CurrentPadTable->Items[0].Geometry;
    REQUIRE(HitAt(200, 230) == 0x9);

    Settings.Transparency = 50;
    Settings.CrossPressSensitivity = 0;
    Settings.IsOKCancelChange = true;
    ApplyDisplaySettings(window.handle);

    BYTE alpha = 0;
    DWORD flags = 0;
    REQUIRE(GetLayeredWindowAttributes(window.handle, nullptr, &alpha, &flags));
    CHECK(alpha == 128);
    CHECK(flags == LWA_ALPHA);
    REQUIRE(CurrentPadTable);
    CHECK(CurrentPadTable->Count == 17);
    for (int32_t i = 0; i < 17; ++i) {
        const PadElement& element = CurrentPadTable->Items[i];
        CAPTURE(i);
        CHECK(element.Pressed == (element.KeyMask == 0x10 || element.KeyMask == SkipKeyBit));
        CHECK(element.Latched == (element.KeyMask == SkipKeyBit));
        CHECK(element.Geometry);
    }
    oldGeometry->AddRef();
    CHECK(oldGeometry->Release() == 1);
    CHECK(HitAt(200, 230) == 0x1);
    CHECK(HitAt(290, 420) == 0x10);
    CHECK_FALSE(RenderTarget);
    CHECK(GetUpdateRect(window.handle, nullptr, FALSE));

    // The paint that follows makes the target again and leaves nothing to repaint.
    CHECK(MainWndProc(window.handle, WM_PAINT, 0, 0) == 0);
    CHECK(RenderTarget);
    CHECK_FALSE(GetUpdateRect(window.handle, nullptr, FALSE));
}

TEST_CASE("the window procedure's drawing messages")
{
    SavedSettings saved;
    LayeredWindow window;
    REQUIRE(CreateDeviceIndependentResources());
    BuildPadLayout();
    BuildElementGeometries();
    DiscardDeviceResources();

    CHECK(MainWndProc(window.handle, WM_ERASEBKGND, 0, 0) == 0);
    // No target yet: a size change has nothing to resize.
    CHECK(MainWndProc(window.handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(340, 520)) == 0);
    CHECK_FALSE(RenderTarget);

    InvalidateRect(window.handle, nullptr, FALSE);
    CHECK(MainWndProc(window.handle, WM_PAINT, 0, 0) == 0);
    REQUIRE(RenderTarget);
    CHECK(RenderTarget->GetPixelSize().width == 340);

    SetWindowPos(window.handle, nullptr, 0, 0, 200, 300,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    CHECK(MainWndProc(window.handle, WM_SIZE, SIZE_RESTORED, MAKELPARAM(200, 300)) == 0);
    CHECK(RenderTarget->GetPixelSize().width == 200);
    CHECK(RenderTarget->GetPixelSize().height == 300);

    // A show asks for one more frame, in case the first was lost while mapping.
    CHECK(MainWndProc(window.handle, WM_SHOWWINDOW, FALSE, 0) == 0);
    CHECK_FALSE(IsPadFramePending());
    CHECK(MainWndProc(window.handle, WM_SHOWWINDOW, TRUE, 0) == 0);
    CHECK(IsPadFramePending());
    CHECK(MainWndProc(window.handle, WM_PADFRAME, 0, 0) == 0);
    CHECK_FALSE(IsPadFramePending());
    // A second start shows the overlay without WM_SHOWWINDOW, and asks for the frame itself.
    OnAnotherStart(window.handle);
    CHECK(IsPadFramePending());
    PaintRequestedFrame(window.handle);
}
