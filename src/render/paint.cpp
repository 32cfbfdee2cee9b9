// Painting the pad and the WM_PAINT sequence with its device-loss recovery.
#include "render/render.h"
#include <cwchar>
#include "pad/padlayout.h"

namespace {

bool HaveDeviceIndependentResources()
{
    return D2DFactory && DWriteFactory && TextFormatNormal && TextFormatLarge && TextFormatSmall;
}

// When start-up could not make the factories or text formats, every paint tries
// again. Each try makes a new Direct2D factory, whether or not the rest
// follows, and Direct2D draws no geometry made by another factory: the
// geometries are built anew with every new factory.
void RecreateMissingDeviceIndependentResources()
{
    if (HaveDeviceIndependentResources()) return;
    DiscardDeviceResources();
    CreateDeviceIndependentResources();
    BuildElementGeometries();
}

void DrawLabel(ID2D1RenderTarget* target, const PadElement& element)
{
    IDWriteTextFormat* format = LabelFormatFor(element.LabelStyle);
    const UINT32 length = static_cast<UINT32>(wcsnlen(element.Label, PadLabelCapacity));
    if (!format || length == 0) return;
    D2D1_RECT_F bounds = {};
    if (FAILED(element.Geometry->GetBounds(nullptr, &bounds))) return;
    target->DrawText(element.Label, length, format, &bounds, OutlineBrush.Get(),
                     D2D1_DRAW_TEXT_OPTIONS_NONE, DWRITE_MEASURING_MODE_NATURAL);
}

}  // namespace

void DrawPadElement(ID2D1RenderTarget* target, const PadElement& element, ID2D1Brush* fill,
                    const D2D1_MATRIX_3X2_F& scale)
{
    const D2D1_MATRIX_3X2_F identity = D2D1::Matrix3x2F::Identity();
    target->SetTransform(&scale);
    target->FillGeometry(element.Geometry.Get(), fill, nullptr);
    target->DrawGeometry(element.Geometry.Get(), OutlineBrush.Get(), 1.0f, nullptr);
    DrawLabel(target, element);
    target->SetTransform(&identity);
}

D2D1_MATRIX_3X2_F DesktopPaintTransform()
{
    float dpiX = 96.0f;
    float dpiY = 96.0f;
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // the target itself scales by the desktop DPI, so cancel that one
#endif
    if (D2DFactory) D2DFactory->GetDesktopDpi(&dpiX, &dpiY);
    // The pad is drawn at the layout's scale, as hit testing takes it.
    const float pad = ActivePadScale();
    return D2D1::Matrix3x2F::Scale(pad, pad) * PaintTransform(dpiX, dpiY);
}

D2D1_MATRIX_3X2_F PaintTransform(float dpiX, float dpiY)
{
    if (dpiX <= 0.0f || dpiY <= 0.0f) return D2D1::Matrix3x2F::Identity();
    return D2D1::Matrix3x2F::Scale(96.0f / dpiX, 96.0f / dpiY);
}

ID2D1SolidColorBrush* FillBrushFor(const PadElement& element)
{
    if (element.Latched) return LatchedFillBrush.Get();
    if (element.Pressed) return PressedFillBrush.Get();
    return NormalFillBrush.Get();
}

IDWriteTextFormat* LabelFormatFor(int32_t labelStyle)
{
    switch (labelStyle) {
    case 0:
        return TextFormatNormal.Get();
    case 1:
        return TextFormatSmall.Get();
    case 2:
        return TextFormatLarge.Get();
    default:
        return nullptr;
    }
}

int32_t PaintElements()
{
    if (!CurrentPadTable || CurrentPadTable->Items.empty() || CurrentPadTable->Count == 0) return 0;
    if (!D2DFactory || !RenderTarget || !OutlineBrush) return 0;

    const D2D1_MATRIX_3X2_F scale = DesktopPaintTransform();
    const PadElementTable& table = *CurrentPadTable;
    int32_t drawn = 0;
    for (int32_t i = 0; i < table.Count; ++i) {
        const PadElement& element = table.Items[i];
        if (!element.Visible || !element.Geometry) continue;
        DrawPadElement(RenderTarget.Get(), element, FillBrushFor(element), scale);
        ++drawn;
    }
    return drawn;
}

HRESULT RepaintPad(HWND window)
{
    ValidateRect(window, nullptr);
    RecreateMissingDeviceIndependentResources();
    const HRESULT created = CreateDeviceResources(window);
    if (FAILED(created)) return created;

    ClearRenderTarget();
    RenderTarget->BeginDraw();
    if (CurrentPadTable) PaintElements();
    const HRESULT hr = Drawing.EndDraw(RenderTarget.Get());
    if (SUCCEEDED(hr) && CurrentPadTable) NoteShownPicture();
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        // The next WM_PAINT makes a new target and brushes; geometries belong to the factory and
        // stay.
        DiscardDeviceResources();
        InvalidateRect(window, nullptr, FALSE);
    }
    return hr;
}
