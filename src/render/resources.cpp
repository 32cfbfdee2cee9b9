// Drawing resources: factories and text formats made once, the render target
// and brushes made on demand and thrown away on device loss.
#include "render/render.h"

using Microsoft::WRL::ComPtr;

ComPtr<ID2D1Factory> D2DFactory;
ComPtr<ID2D1HwndRenderTarget> RenderTarget;
ComPtr<IDWriteFactory> DWriteFactory;
ComPtr<ID2D1SolidColorBrush> OutlineBrush;
ComPtr<ID2D1SolidColorBrush> NormalFillBrush;
ComPtr<ID2D1SolidColorBrush> PressedFillBrush;
ComPtr<ID2D1SolidColorBrush> LatchedFillBrush;
ComPtr<IDWriteTextFormat> TextFormatNormal;
ComPtr<IDWriteTextFormat> TextFormatLarge;
ComPtr<IDWriteTextFormat> TextFormatSmall;

namespace {

HRESULT EndDrawOf(ID2D1RenderTarget* target)
{
    return target->EndDraw();
}

constexpr float Channel(int value)
{
    return static_cast<float>(value) / 255.0f;
}

HRESULT CreateCentredTextFormat(float size, ComPtr<IDWriteTextFormat>& format)
{
    format.Reset();
    const HRESULT hr = DWriteFactory->CreateTextFormat(
        L"メイリオ", nullptr, DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STYLE_NORMAL,
        DWRITE_FONT_STRETCH_NORMAL, size, L"ja-jp", format.ReleaseAndGetAddressOf());
    if (FAILED(hr)) return hr;
    format->SetTextAlignment(DWRITE_TEXT_ALIGNMENT_CENTER);
    format->SetParagraphAlignment(DWRITE_PARAGRAPH_ALIGNMENT_CENTER);
    return S_OK;
}

HRESULT CreateBrush(int red, int green, int blue, ComPtr<ID2D1SolidColorBrush>& brush)
{
    const D2D1_COLOR_F colour = {Channel(red), Channel(green), Channel(blue), 1.0f};
    return RenderTarget->CreateSolidColorBrush(&colour, nullptr, brush.ReleaseAndGetAddressOf());
}

D2D1_SIZE_U ClientPixelSize(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    return D2D1::SizeU(static_cast<UINT32>(client.right - client.left),
                       static_cast<UINT32>(client.bottom - client.top));
}

}  // namespace

DrawingCalls Drawing = {D2D1CreateFactory, DWriteCreateFactory, EndDrawOf, FrameClockMilliseconds};

bool CreateDeviceIndependentResources()
{
    D2DFactory.Reset();
    if (FAILED(Drawing.CreateD2DFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory),
                                        nullptr,
                                        reinterpret_cast<void**>(D2DFactory.GetAddressOf()))))
        return false;

    DWriteFactory.Reset();
    if (FAILED(Drawing.CreateDWriteFactory(
            DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
            reinterpret_cast<IUnknown**>(DWriteFactory.GetAddressOf()))))
        return false;

    if (FAILED(CreateCentredTextFormat(18.0f, TextFormatNormal))) return false;
    if (FAILED(CreateCentredTextFormat(23.0f, TextFormatLarge))) return false;
    if (FAILED(CreateCentredTextFormat(13.0f, TextFormatSmall))) return false;
    return true;
}

HRESULT CreateDeviceResources(HWND window)
{
    if (RenderTarget) return S_OK;
    // Without a factory there is nothing to create a target with; painting waits for one.
    if (!D2DFactory) return E_POINTER;

    // DPI 0 x 0: the target takes the desktop DPI.
    const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
        D2D1_RENDER_TARGET_TYPE_DEFAULT,
        D2D1::PixelFormat(DXGI_FORMAT_UNKNOWN, D2D1_ALPHA_MODE_UNKNOWN), 0.0f, 0.0f,
        D2D1_RENDER_TARGET_USAGE_NONE, D2D1_FEATURE_LEVEL_DEFAULT);
    // Kept through a present, so a frame draws only what changed.
    const auto present = static_cast<D2D1_PRESENT_OPTIONS>(D2D1_PRESENT_OPTIONS_IMMEDIATELY |
                                                           D2D1_PRESENT_OPTIONS_RETAIN_CONTENTS);
    const D2D1_HWND_RENDER_TARGET_PROPERTIES windowProperties =
        D2D1::HwndRenderTargetProperties(window, ClientPixelSize(window), present);
    if (FAILED(D2DFactory->CreateHwndRenderTarget(&properties, &windowProperties,
                                                  RenderTarget.ReleaseAndGetAddressOf()))) {
        RenderTarget.Reset();
        return E_FAIL;
    }

    HRESULT hr = CreateBrush(0, 0, 0, OutlineBrush);
    if (SUCCEEDED(hr)) hr = CreateBrush(192, 192, 192, NormalFillBrush);
    if (SUCCEEDED(hr)) hr = CreateBrush(16, 16, 16, PressedFillBrush);
    if (SUCCEEDED(hr)) hr = CreateBrush(192, 64, 64, LatchedFillBrush);
    // Painting needs every brush; without one the next repaint starts over.
    if (FAILED(hr)) {
        DiscardDeviceResources();
        return hr;
    }
    return S_OK;
}

void DiscardDeviceResources()
{
    DiscardStillLayer();
    OutlineBrush.Reset();
    NormalFillBrush.Reset();
    PressedFillBrush.Reset();
    LatchedFillBrush.Reset();
    RenderTarget.Reset();
}

void ResizeRenderTarget(HWND window)
{
    if (!RenderTarget) return;
    DiscardStillLayer();
    const D2D1_SIZE_U size = ClientPixelSize(window);
    RenderTarget->Resize(&size);
}

void ClearRenderTarget()
{
    if (!RenderTarget) return;
    ForgetShownPicture();
    RenderTarget->BeginDraw();
    const D2D1_COLOR_F white = {1.0f, 1.0f, 1.0f, 1.0f};
    RenderTarget->Clear(&white);
    // A lost device shows up again at the element pass's EndDraw, which acts on it.
    RenderTarget->EndDraw();
}

void ReleaseDrawingResources()
{
    DiscardStillLayer();
    TextFormatSmall.Reset();
    TextFormatLarge.Reset();
    TextFormatNormal.Reset();
    LatchedFillBrush.Reset();
    PressedFillBrush.Reset();
    NormalFillBrush.Reset();
    OutlineBrush.Reset();
    DWriteFactory.Reset();
    RenderTarget.Reset();
    D2DFactory.Reset();
}
