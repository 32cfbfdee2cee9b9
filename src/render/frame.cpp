// Frames after key changes: requested on the input path, drawn a display frame
// later from a cached layer of the pad's still parts plus the marks. The keys
// are out before the frame starts, and a finger sliding over the cross key
// costs at most one frame per refresh, whatever its message rate.
#include "render/render.h"

using Microsoft::WRL::ComPtr;

namespace {

// The window whose frame timer runs; null while no frame is requested.
HWND FrameWindow = nullptr;
DWORD FramePeriod = 16;  // ms; the display's refresh period as last read

// The pad at rest, drawn once for the current target, DPI and geometries.
ComPtr<ID2D1BitmapRenderTarget> StillLayer;
D2D1_MATRIX_3X2_F StillLayerScale = {};

bool SameScale(const D2D1_MATRIX_3X2_F& a, const D2D1_MATRIX_3X2_F& b)
{
    return a._11 == b._11 && a._22 == b._22;
}

bool BuildStillLayer(const D2D1_MATRIX_3X2_F& scale)
{
    DiscardStillLayer();
    if (!RenderTarget || !NormalFillBrush || !OutlineBrush || !CurrentPadTable) return false;
    ComPtr<ID2D1BitmapRenderTarget> layer;
    if (FAILED(RenderTarget->CreateCompatibleRenderTarget(layer.GetAddressOf()))) return false;

    layer->BeginDraw();
    const D2D1_COLOR_F white = {1.0f, 1.0f, 1.0f, 1.0f};
    layer->Clear(&white);
    const PadElementTable& table = *CurrentPadTable;
    for (int32_t i = 0; i < table.Count; ++i) {
        const PadElement& element = table.Items[i];
        if (element.Visible && element.Geometry)
            DrawPadElement(layer.Get(), element, NormalFillBrush.Get(), scale);
    }
    if (FAILED(layer->EndDraw())) return false;
    StillLayer = layer;
    StillLayerScale = scale;
    return true;
}

bool IsMarked(const PadElement& element)
{
    return element.Visible && element.Geometry && (element.Pressed || element.Latched);
}

}  // namespace

DWORD DisplayFramePeriod()
{
    const HDC screen = GetDC(nullptr);
    const int hertz = screen ? GetDeviceCaps(screen, VREFRESH) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    if (hertz <= 1) return 16;  // 0 and 1 stand for the hardware's default rate
    return hertz >= 1000 ? 1 : static_cast<DWORD>(1000 / hertz);
}

void ReadFramePeriod()
{
    FramePeriod = DisplayFramePeriod();
}

void RequestPadFrame(HWND window)
{
    if (!window || window == FrameWindow) return;
    if (SetTimer(window, PadFrameTimer, FramePeriod, nullptr))
        FrameWindow = window;
    else
        InvalidateRect(window, nullptr, FALSE);  // no timer: an ordinary repaint still shows it
}

bool IsPadFramePending()
{
    return FrameWindow != nullptr;
}

HRESULT PaintRequestedFrame(HWND window)
{
    KillTimer(window, PadFrameTimer);
    if (window == FrameWindow) FrameWindow = nullptr;
    return PaintPadFrame(window);
}

HRESULT PaintPadFrame(HWND window)
{
    // Anything short of a ready target and layer takes the full repaint,
    // which also makes what is missing.
    if (!RenderTarget || !D2DFactory || !CurrentPadTable) return RepaintPad(window);
    const D2D1_MATRIX_3X2_F scale = DesktopPaintTransform();
    if (!StillLayer || !SameScale(scale, StillLayerScale)) {
        if (!BuildStillLayer(scale)) return RepaintPad(window);
    }
    ComPtr<ID2D1Bitmap> still;
    if (FAILED(StillLayer->GetBitmap(still.GetAddressOf()))) return RepaintPad(window);

    RenderTarget->BeginDraw();
    const D2D1_MATRIX_3X2_F identity = D2D1::Matrix3x2F::Identity();
    RenderTarget->SetTransform(&identity);
    RenderTarget->DrawBitmap(still.Get(), nullptr, 1.0f,
                             D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, nullptr);
    const PadElementTable& table = *CurrentPadTable;
    for (int32_t i = 0; i < table.Count; ++i) {
        const PadElement& element = table.Items[i];
        if (IsMarked(element))
            DrawPadElement(RenderTarget.Get(), element, FillBrushFor(element), scale);
    }
    const HRESULT hr = Drawing.EndDraw(RenderTarget.Get());
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        DiscardDeviceResources();
        InvalidateRect(window, nullptr, FALSE);
    }
    return hr;
}

void DiscardStillLayer()
{
    StillLayer.Reset();
}
