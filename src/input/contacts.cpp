// Touch and left-mouse contacts on the overlay: each message becomes a list of
// contact points in client pixels for the key-state update. Mouse messages the
// system makes from touch and pen input are left out, the mouse capture is
// kept while the button is down, and a double click on SKIP sets the latch.
#include "input.h"
#include "base/overlay.h"
#include "render/render.h"

TouchInputCalls TouchInput = {GetTouchInputInfo, CloseTouchInputHandle};

namespace {

// The system marks mouse messages it made from touch or pen input with this
// signature in the message's extra information.
constexpr DWORD TouchMadeSignature = 0xFF515700;

bool IsTouchMadeMessage()
{
    return IsTouchMadeExtraInfo(GetMessageExtraInfo());
}

bool OverlayHoldsCapture()
{
    return MainWindow && GetCapture() == MainWindow;
}

// The button went down over the overlay: only then does the capture cover
// the pointer outside it.
bool MousePressSeen = false;

void ReleaseMouseKeys()
{
    // A point no element covers: every key the mouse alone holds is released.
    const ContactPoint nowhere = {-1, -1};
    UpdateKeyState(&nowhere, 1, false);
}

void EndMouseContact()
{
    MousePressSeen = false;
    MouseWithheldKeys = 0;
    ReleaseCapture();
    ReleaseMouseKeys();
}

// A press dragged in from outside: its leaving the overlay is the last
// thing that may be heard of it.
void TrackMouseLeave(HWND window)
{
    TRACKMOUSEEVENT track = {};
    track.cbSize = sizeof(track);
    track.dwFlags = TME_LEAVE;
    track.hwndTrack = window;
    TrackMouseEvent(&track);
}

}  // namespace

bool IsTouchMadeExtraInfo(LPARAM extraInfo)
{
    return (static_cast<DWORD>(extraInfo) & TouchMadeSignature) == TouchMadeSignature;
}

ContactPoint MouseContactPoint(LPARAM lParam)
{
    // Unsigned on purpose: a drag left of or above the client area gives
    // 32768 or more, which no element covers, so the held keys are released.
    const DWORD bits = static_cast<DWORD>(lParam);
    return {static_cast<int32_t>(bits & 0xFFFF), static_cast<int32_t>(bits >> 16)};
}

int32_t TouchRecordsToPoints(const TOUCHINPUT* records, int32_t count, ContactPoint* points)
{
    int32_t found = 0;
    for (int32_t i = 0; i < count; ++i) {
        // A record with neither flag is a finger that has just lifted.
        if (!(records[i].dwFlags & (TOUCHEVENTF_MOVE | TOUCHEVENTF_DOWN))) continue;
        // Hundredths of a pixel; the division truncates toward zero.
        points[found++] = {records[i].x / 100, records[i].y / 100};
    }
    return found;
}

LRESULT OnTouch(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (WindowClosing) return DefWindowProcW(window, WM_TOUCH, wParam, lParam);
    const UINT records = LOWORD(wParam);
    if (records == 0) return DefWindowProcW(window, WM_TOUCH, wParam, lParam);

    // Each message is the whole picture of the fingers on the glass; more than
    // MaxTouchContacts of them are not followed.
    const UINT count = records < MaxTouchContacts ? records : MaxTouchContacts;
    TOUCHINPUT inputs[MaxTouchContacts] = {};
    const auto touch = reinterpret_cast<HTOUCHINPUT>(lParam);
    const bool filled =
        TouchInput.GetTouchInputInfo(touch, count, inputs, sizeof(TOUCHINPUT)) != FALSE;
    // Closed before the update, which may wait for the game to come to front.
    TouchInput.CloseTouchInputHandle(touch);

    // Records the system did not fill are never read: a failed read counts as
    // no finger down, so nothing stays pressed because of it; the next touch
    // message presses again what is still held.
    ContactPoint points[MaxTouchContacts];
    const int32_t pointCount =
        filled ? TouchRecordsToPoints(inputs, static_cast<int32_t>(count), points) : 0;
    for (int32_t i = 0; i < pointCount; ++i) {
        POINT p = {points[i].x, points[i].y};
        ScreenToClient(window, &p);
        points[i] = {p.x, p.y};
    }
    UpdateKeyState(points, pointCount, true);
    return 0;
}

LRESULT OnLButtonDown(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (WindowClosing) return DefWindowProcW(window, WM_LBUTTONDOWN, wParam, lParam);
    if (IsTouchMadeMessage()) {
        // A finger on the glass while the mouse still holds keys: the button's
        // release was missed.
        if (OverlayHoldsCapture()) {
            SetMessageExtraInfo(0);
            OnLButtonUp(window, wParam, lParam);
        }
        return 0;
    }
    MousePressSeen = true;
    MouseWithheldKeys = 0;
    const ContactPoint point = MouseContactPoint(lParam);
    UpdateKeyState(&point, 1, false);
    SetCapture(window);
    return DefWindowProcW(window, WM_LBUTTONDOWN, wParam, lParam);
}

LRESULT OnLButtonDblClk(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (WindowClosing) return DefWindowProcW(window, WM_LBUTTONDBLCLK, wParam, lParam);
    // The first click of the pair already pressed and released the key; the
    // second one only sets the latch, for a finger's double tap as well.
    const ContactPoint point = MouseContactPoint(lParam);
    const bool touchMade = IsTouchMadeMessage();
    if (HitTestElements(&point, 1) & PadLatchKeys) {
        // Until the button comes up, a shaky move of this very click does
        // not press the latch key again, which would end the latch just set.
        if (SetSkipLatch() && !touchMade) MouseWithheldKeys = PadLatchKeys;
        RequestPadFrame(MainWindow);
    }
    if (touchMade) return 0;
    MousePressSeen = true;
    return DefWindowProcW(window, WM_LBUTTONDBLCLK, wParam, lParam);
}

LRESULT OnLButtonUp(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (WindowClosing) return DefWindowProcW(window, WM_LBUTTONUP, wParam, lParam);
    if (IsTouchMadeMessage()) return 0;
    EndMouseContact();
    return DefWindowProcW(window, WM_LBUTTONUP, wParam, lParam);
}

LRESULT OnMouseMove(HWND window, WPARAM wParam, LPARAM lParam)
{
    if (WindowClosing) return DefWindowProcW(window, WM_MOUSEMOVE, wParam, lParam);
    if (IsTouchMadeMessage()) return 0;
    if (wParam & MK_LBUTTON) {
        // Also when the button went down outside the overlay (or after a
        // double click) and was dragged in: a key it now holds needs the
        // capture, or its release outside the overlay would never be seen.
        const ContactPoint point = MouseContactPoint(lParam);
        UpdateKeyState(&point, 1, false);
        if (MouseMask && !OverlayHoldsCapture()) SetCapture(window);
        if (MouseMask && !MousePressSeen) TrackMouseLeave(window);
        return DefWindowProcW(window, WM_MOUSEMOVE, wParam, lParam);
    }
    // The button came up where the overlay did not see it: with the capture
    // lost or never honoured, the keys the mouse holds still say so.
    if (OverlayHoldsCapture() || MouseMask) {
        SetMessageExtraInfo(0);
        OnLButtonUp(window, wParam, lParam);
    }
    return 0;
}

LRESULT OnMouseLeave(HWND window)
{
    // The capture of a press that began elsewhere does not follow the
    // pointer out of the overlay, so its release out there is never seen.
    if (!WindowClosing && !MousePressSeen && MouseMask) EndMouseContact();
    return DefWindowProcW(window, WM_MOUSELEAVE, 0, 0);
}

LRESULT OnCaptureChanged(HWND window, HWND newCapture)
{
    // Another window (a dialog, a prompt) took the capture while the mouse
    // holds keys: the button's release goes there.
    if (!WindowClosing && newCapture && newCapture != window && MouseMask) ReleaseMouseKeys();
    return 0;
}
