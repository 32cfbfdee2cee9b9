// Rendering: Direct2D and DirectWrite resources, element geometries, painting,
// device-loss recovery, and the point-in-shape test that hit testing rests on.
#pragma once
#include <windows.h>
#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>
#include <cstdint>
#include "pad/pad.h"

// The drawing objects, declared in this order and released in the reverse one.
extern Microsoft::WRL::ComPtr<ID2D1Factory> D2DFactory;
extern Microsoft::WRL::ComPtr<ID2D1HwndRenderTarget> RenderTarget;
extern Microsoft::WRL::ComPtr<IDWriteFactory> DWriteFactory;
extern Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> OutlineBrush;
extern Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> NormalFillBrush;
extern Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> PressedFillBrush;
extern Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> LatchedFillBrush;
extern Microsoft::WRL::ComPtr<IDWriteTextFormat> TextFormatNormal;
extern Microsoft::WRL::ComPtr<IDWriteTextFormat> TextFormatLarge;
extern Microsoft::WRL::ComPtr<IDWriteTextFormat> TextFormatSmall;

// The calls that make the factories, end the element pass and tell the frames'
// time; tests swap in failing, device-losing or standing clocks and restore these.
struct DrawingCalls {
    HRESULT(WINAPI* CreateD2DFactory)(D2D1_FACTORY_TYPE type, REFIID iid,
                                      const D2D1_FACTORY_OPTIONS* options, void** factory);
    HRESULT(WINAPI* CreateDWriteFactory)(DWRITE_FACTORY_TYPE type, REFIID iid, IUnknown** factory);
    HRESULT (*EndDraw)(ID2D1RenderTarget* target);
    ULONGLONG (*FrameClock)();  // ms, finer than the system tick
};
extern DrawingCalls Drawing;

// Factories and text formats; false when any of them could not be made.
bool CreateDeviceIndependentResources();
// Render target and brushes for the window, unless they exist already.
HRESULT CreateDeviceResources(HWND window);
void DiscardDeviceResources();
void ResizeRenderTarget(HWND window);
// The first pass of a repaint: the whole target in opaque white.
void ClearRenderTarget();
void ReleaseDrawingResources();

// Path geometries for every element of CurrentPadTable; false when the table
// is empty, the factory is missing or an element got no geometry.
bool BuildElementGeometries();
bool ElementContainsAnyPoint(const PadElement& element, const ContactPoint* points, int32_t count);
// OR of the KeyMasks of every element of CurrentPadTable whose shape holds at
// least one point.
KeySet HitTestElements(const ContactPoint* points, int32_t count);
// Draws the visible elements between BeginDraw and EndDraw; returns how many it drew.
int32_t PaintElements();
// The WM_PAINT sequence; returns the element pass's EndDraw result or why nothing was drawn.
HRESULT RepaintPad(HWND window);

// The scale that cancels the render target's DIP scaling, so drawn and hit pixels coincide.
D2D1_MATRIX_3X2_F PaintTransform(float dpiX, float dpiY);
// The same for the desktop DPI the factory reports now.
D2D1_MATRIX_3X2_F DesktopPaintTransform();
// One element's fill, outline and label on a target (inside BeginDraw and EndDraw).
void DrawPadElement(ID2D1RenderTarget* target, const PadElement& element, ID2D1Brush* fill,
                    const D2D1_MATRIX_3X2_F& scale);

// Frames after key changes. The input path sends its keys first and then only
// requests a frame. With no frame drawn within the last display period the
// frame comes at once, on WM_PADFRAME posted to the window (after the input
// handler has returned); requests within the period are gathered into one
// frame at its end (WM_TIMER PadFrameTimer). The target keeps its picture
// through a present, so a frame draws again only the areas of the elements
// whose mark changed since the last paint, pixel for pixel what a full repaint
// gives. Without a known picture (a new, resized or cleared target, new
// geometries or DPI), and when nothing changed (the frame that puts the picture
// back when the window is shown), it starts from the cached still layer of the
// pad at rest, which is rebuilt on the same events. WM_PAINT still repaints
// everything.
constexpr UINT_PTR PadFrameTimer = 2;
// The real FrameClock.
ULONGLONG FrameClockMilliseconds();
// A refresh rate's period in whole ms, rounded; 60 Hz's when the rate is 0 or 1.
DWORD FramePeriodOf(DWORD hertz);
// The primary display's refresh period in ms.
DWORD DisplayFramePeriod();
// Takes the refresh period of the window's monitor for the frames to come: at
// start and after a display change, so that neither the input path nor a frame
// asks the display.
void ReadFramePeriod(HWND window);
// The window moved: the period is read again when it is on another monitor now.
void FollowFrameMonitor(HWND window);
// How long a change at now waits for its frame: 0 when the last frame is a
// period old or more, else the rest of that period.
DWORD PadFrameDelay(ULONGLONG now, ULONGLONG lastFrame, DWORD period);
void RequestPadFrame(HWND window);
bool IsPadFramePending();
// The posted message's or the timer's end: one frame, drawn now.
HRESULT PaintRequestedFrame(HWND window);
// The frame itself: the changed areas drawn again over the kept picture, or
// the still layer and every marked area; falls back to RepaintPad.
HRESULT PaintPadFrame(HWND window);
// The target now holds the pad as CurrentPadTable marks it (after a paint that
// drew it all), or no known picture of it.
void NoteShownPicture();
void ForgetShownPicture();
// Drops the still layer and the kept picture with it.
void DiscardStillLayer();
// Latched wins over pressed.
ID2D1SolidColorBrush* FillBrushFor(const PadElement& element);
// The text format of a LabelStyle, or null for a style that draws no label.
IDWriteTextFormat* LabelFormatFor(int32_t labelStyle);
