// Frames after key changes: requested on the input path, drawn over the
// picture the target keeps from the last paint, only where a mark changed. The
// keys are out before the frame starts: a change after a quiet display period
// is drawn as soon as the input handler has returned, later ones within the
// period wait for its end, so a finger sliding over the cross key costs at
// most one frame per refresh.
#include "render/render.h"
#include <cmath>
#include <vector>
#include "base/messages.h"

using Microsoft::WRL::ComPtr;

namespace {

// The window whose frame is on its way (posted or timed); null while none is.
HWND FrameWindow = nullptr;
DWORD FramePeriod = 17;  // ms; the overlay's display's refresh period as last read
HMONITOR FrameMonitor = nullptr;
ULONGLONG LastFrameAt = 0;  // FrameClock time of the last frame drawn

ULONGLONG QueryFrameClock()
{
    LARGE_INTEGER frequency = {};
    LARGE_INTEGER count = {};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) return GetTickCount64();
    QueryPerformanceCounter(&count);
    const auto ticks = static_cast<ULONGLONG>(count.QuadPart);
    const auto perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
    return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

// The refresh period of one monitor; the primary display's when it does not say.
DWORD MonitorFramePeriod(HMONITOR monitor)
{
    MONITORINFOEXW info = {};
    info.cbSize = sizeof(info);
    DEVMODEW mode = {};
    mode.dmSize = sizeof(mode);
    if (!monitor || !GetMonitorInfoW(monitor, &info) ||
        !EnumDisplaySettingsW(info.szDevice, ENUM_CURRENT_SETTINGS, &mode))
        return DisplayFramePeriod();
    return FramePeriodOf(mode.dmDisplayFrequency);
}

// The pad at rest, drawn once for the current target, DPI and geometries.
ComPtr<ID2D1BitmapRenderTarget> StillLayer;
D2D1_MATRIX_3X2_F StillLayerScale = {};

// What the target holds: each element's mark as last drawn, at ShownScale.
// Empty while the target holds no known picture of the pad (a new, resized or
// cleared target, new geometries, a failed draw).
std::vector<uint8_t> ShownMarks;
D2D1_MATRIX_3X2_F ShownScale = {};

bool SameScale(const D2D1_MATRIX_3X2_F& a, const D2D1_MATRIX_3X2_F& b)
{
    return a._11 == b._11 && a._22 == b._22;
}

uint8_t MarkOf(const PadElement& element)
{
    if (!element.Visible || !element.Geometry) return 0;
    return static_cast<uint8_t>((element.Pressed ? 1 : 0) | (element.Latched ? 2 : 0));
}

bool HoldsPictureOf(const PadElementTable& table, const D2D1_MATRIX_3X2_F& scale)
{
    return !ShownMarks.empty() && ShownMarks.size() == static_cast<size_t>(table.Count) &&
           SameScale(scale, ShownScale);
}

bool AnyMarkChanged(const PadElementTable& table)
{
    for (int32_t i = 0; i < table.Count; ++i) {
        if (MarkOf(table.Items[i]) != ShownMarks[static_cast<size_t>(i)]) return true;
    }
    return false;
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

// The whole pixels an element's drawing can touch: its bounds, widened for the
// outline and its anti-aliased edge, in the coordinates the scale cancels to.
bool ElementArea(const PadElement& element, D2D1_RECT_F& area)
{
    constexpr float EdgeReach = 2.0f;
    D2D1_RECT_F bounds = {};
    if (!element.Visible || !element.Geometry ||
        FAILED(element.Geometry->GetBounds(nullptr, &bounds)))
        return false;
    area = {std::floor(bounds.left - EdgeReach), std::floor(bounds.top - EdgeReach),
            std::ceil(bounds.right + EdgeReach), std::ceil(bounds.bottom + EdgeReach)};
    return true;
}

bool Overlaps(const D2D1_RECT_F& a, const D2D1_RECT_F& b)
{
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

// A marked element drawn over the still layer would blend its outline and
// label twice. Its area is instead cleared and drawn again from white, with
// every element reaching into it, in table order: what a full repaint gives.
void RedrawElementArea(const PadElementTable& table, const D2D1_RECT_F& area,
                       const D2D1_MATRIX_3X2_F& scale)
{
    const D2D1_COLOR_F white = {1.0f, 1.0f, 1.0f, 1.0f};
    RenderTarget->SetTransform(&scale);
    RenderTarget->PushAxisAlignedClip(&area, D2D1_ANTIALIAS_MODE_ALIASED);
    RenderTarget->Clear(&white);
    for (int32_t i = 0; i < table.Count; ++i) {
        const PadElement& element = table.Items[i];
        D2D1_RECT_F reach = {};
        if (ElementArea(element, reach) && Overlaps(area, reach))
            DrawPadElement(RenderTarget.Get(), element, FillBrushFor(element), scale);
    }
    RenderTarget->PopAxisAlignedClip();
}

}  // namespace

ULONGLONG FrameClockMilliseconds()
{
    return QueryFrameClock();
}

DWORD FramePeriodOf(DWORD hertz)
{
    if (hertz <= 1) hertz = 60;  // 0 and 1 stand for the hardware's default rate
    if (hertz >= 1000) return 1;
    return (1000 + hertz / 2) / hertz;
}

DWORD DisplayFramePeriod()
{
    const HDC screen = GetDC(nullptr);
    const int hertz = screen ? GetDeviceCaps(screen, VREFRESH) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return FramePeriodOf(hertz > 0 ? static_cast<DWORD>(hertz) : 0);
}

void ReadFramePeriod(HWND window)
{
    FrameMonitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY) : nullptr;
    FramePeriod = MonitorFramePeriod(FrameMonitor);
}

void FollowFrameMonitor(HWND window)
{
    if (MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY) != FrameMonitor)
        ReadFramePeriod(window);
}

DWORD PadFrameDelay(ULONGLONG now, ULONGLONG lastFrame, DWORD period)
{
    const ULONGLONG since = now - lastFrame;
    return since >= period ? 0 : static_cast<DWORD>(period - since);
}

void RequestPadFrame(HWND window)
{
    // A frame on its way already covers this change; re-arming it would hold
    // the frames back for as long as a slide goes on.
    if (!window || window == FrameWindow) return;
    const DWORD delay = PadFrameDelay(Drawing.FrameClock(), LastFrameAt, FramePeriod);
    // Posted rather than drawn here, so the input handler returns (and its
    // keys are out) first; a timer would wait for the system tick as well.
    const bool queued = delay == 0 ? PostMessageW(window, WM_PADFRAME, 0, 0) != FALSE
                                   : SetTimer(window, PadFrameTimer, delay, nullptr) != 0;
    if (queued)
        FrameWindow = window;
    else
        InvalidateRect(window, nullptr, FALSE);  // an ordinary repaint still shows it
}

bool IsPadFramePending()
{
    return FrameWindow != nullptr;
}

HRESULT PaintRequestedFrame(HWND window)
{
    KillTimer(window, PadFrameTimer);
    if (window == FrameWindow) FrameWindow = nullptr;
    LastFrameAt = Drawing.FrameClock();
    return PaintPadFrame(window);
}

HRESULT PaintPadFrame(HWND window)
{
    // Anything short of a ready target and layer takes the full repaint,
    // which also makes what is missing.
    if (!RenderTarget || !D2DFactory || !CurrentPadTable) return RepaintPad(window);
    const PadElementTable& table = *CurrentPadTable;
    const D2D1_MATRIX_3X2_F scale = DesktopPaintTransform();
    // Only the areas whose mark changed are drawn over the picture the target
    // keeps: drawing the whole pad again costs a software renderer most of a
    // display period. Without a known picture the still layer lays one down,
    // and so it does for a frame with nothing changed: that one is asked for to
    // put the picture back once the window is shown, and a present that drew
    // nothing shows nothing under Wine now and then.
    const bool kept = HoldsPictureOf(table, scale) && AnyMarkChanged(table);
    ComPtr<ID2D1Bitmap> still;
    if (!kept) {
        if (!StillLayer || !SameScale(scale, StillLayerScale)) {
            if (!BuildStillLayer(scale)) return RepaintPad(window);
        }
        if (FAILED(StillLayer->GetBitmap(still.GetAddressOf()))) return RepaintPad(window);
    }

    RenderTarget->BeginDraw();
    if (still) {
        const D2D1_MATRIX_3X2_F identity = D2D1::Matrix3x2F::Identity();
        RenderTarget->SetTransform(&identity);
        RenderTarget->DrawBitmap(still.Get(), nullptr, 1.0f,
                                 D2D1_BITMAP_INTERPOLATION_MODE_NEAREST_NEIGHBOR, nullptr);
    }
    for (int32_t i = 0; i < table.Count; ++i) {
        const uint8_t mark = MarkOf(table.Items[i]);
        const bool changed = kept ? mark != ShownMarks[static_cast<size_t>(i)] : mark != 0;
        D2D1_RECT_F area = {};
        if (changed && ElementArea(table.Items[i], area)) RedrawElementArea(table, area, scale);
    }
    const HRESULT hr = Drawing.EndDraw(RenderTarget.Get());
    if (SUCCEEDED(hr))
        NoteShownPicture();
    else
        ForgetShownPicture();
    if (hr == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        DiscardDeviceResources();
        InvalidateRect(window, nullptr, FALSE);
    }
    return hr;
}

void NoteShownPicture()
{
    if (!CurrentPadTable) {
        ForgetShownPicture();
        return;
    }
    const PadElementTable& table = *CurrentPadTable;
    ShownMarks.assign(static_cast<size_t>(table.Count), 0);
    for (int32_t i = 0; i < table.Count; ++i)
        ShownMarks[static_cast<size_t>(i)] = MarkOf(table.Items[i]);
    ShownScale = DesktopPaintTransform();
}

void ForgetShownPicture()
{
    ShownMarks.clear();
}

void DiscardStillLayer()
{
    StillLayer.Reset();
    ForgetShownPicture();  // whatever made the layer stale made the picture stale too
}
