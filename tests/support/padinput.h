// In-process stand-ins for the overlay and the game, for tests of contacts and
// key state: the real pad layout and geometries, a window of the game's class,
// an overlay-sized window run by the program's own window procedure, and
// recorders behind the key-output and touch-input seams.
#pragma once
#include <windows.h>
#include <string>
#include <vector>
#include "input/input.h"
#include "support.h"

// Drawing factories, default layout settings, BuildPadLayout and
// BuildElementGeometries; false when the pad could not be built.
bool BuildTestPad();
// The client rectangle of the visible element with this key mask as
// BuildPadLayout places it with the default settings (empty when there is
// none); the current table and settings are left alone.
RECT PadRect(KeyMask key);
// Its centre ({-1, -1} when there is none), in client and screen pixels.
ContactPoint PadCentre(KeyMask key);
POINT PadCentreOnScreen(HWND overlay, KeyMask key);
// A mouse message's lParam for a client point.
LPARAM PointParam(ContactPoint p);

// A top-level window of the game's class ("MoonGlass_Class") in this process,
// hidden unless asked; null when it could not be made.
HWND CreateTestGameWindow(bool visible = false);

// A 340 x 520 captionless, topmost, never-activated window whose client area
// starts at (x, y) on the screen, run by MainWndProc and logged to OverlayLog;
// it is hidden unless asked. Never destroyed: its teardown is the program's.
HWND CreateTestOverlayWindow(int x, int y, bool visible);
// One test overlay (visible, at (100, 100) until something places it) and one
// hidden test game window for the whole test program; the game window is made
// again when a test destroyed it. Sets MainWindow to the overlay.
struct TestPadWindows {
    HWND overlay = nullptr;
    HWND game = nullptr;
};
TestPadWindows& UseTestPadWindows();
// What the test overlay saw since the last ClearOverlayLog: one line per
// message, "down x y", "up x y", "move x y", "dblclk x y", "poschanging".
extern std::vector<std::string> OverlayLog;
void ClearOverlayLog();
int CountOverlayLog(const char* prefix);

// Swaps KeyOutput for a recorder while alive and restores it after. Every key
// record is logged as "+UP", "-Z" ...; the game window given (or whatever
// GameForeground names) is reported as the foreground window, so presses never
// wait. With passThrough the records also go to the real SendInput.
class KeyOutputRecorder {
public:
    explicit KeyOutputRecorder(bool passThrough = false);
    ~KeyOutputRecorder();
    KeyOutputRecorder(const KeyOutputRecorder&) = delete;
    KeyOutputRecorder& operator=(const KeyOutputRecorder&) = delete;

private:
    KeyOutputCalls saved_;
};
extern HWND GameForeground;
extern std::vector<std::string> KeyLog;  // key records in order, plus "close" from TouchFeed
extern std::vector<INPUT> KeyRecords;    // the key records themselves
extern int ForegroundRequests;
extern int SleepCalls;
// "+UP" / "-UP" style name of a key record.
std::string KeyRecordName(const INPUT& input);

// Swaps TouchInput for a feed of test records while alive and restores it after.
class TouchFeed {
public:
    TouchFeed();
    ~TouchFeed();
    TouchFeed(const TouchFeed&) = delete;
    TouchFeed& operator=(const TouchFeed&) = delete;

private:
    TouchInputCalls saved_;
};
extern std::vector<TOUCHINPUT> TouchRecords;  // what GetTouchInputInfo hands out
extern bool TouchReadFails;                   // GetTouchInputInfo fails without filling
extern UINT TouchRecordsAsked;                // the count of the last request
extern int TouchReads;
extern int TouchCloses;
// A touch record at a screen point given in hundredths of a pixel.
TOUCHINPUT TouchRecord(LONG x100, LONG y100, DWORD flags);
// Sends WM_TOUCH with n records announced to the window; returns its result.
LRESULT SendTouchFrame(HWND window, UINT announced);
// Touch records (down) at client points of the window, whole pixels.
std::vector<TOUCHINPUT> FingersAt(HWND window, const std::vector<ContactPoint>& points);
// One touch frame with a finger down at each client point; with none, one
// record of a finger that has just lifted.
void TouchFingers(HWND window, const std::vector<ContactPoint>& points);

// Pumps this thread's messages with the shortest sleeps until the condition
// holds or the time is up; returns the condition's last value.
template <typename Condition>
bool PumpTightly(DWORD timeoutMs, Condition condition)
{
    const DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return condition();
        Sleep(1);
    }
}
// Keys pressed and not released again in a record log ("+Z", "-Z" ...).
std::vector<std::string> HeldKeys(const std::vector<std::string>& log);

// Moves the mouse (for real) to a screen point and waits until the cursor has
// stayed there a while; false when it would not stay.
bool SettleMouseAt(POINT screen);

// Labels of the elements shown pressed or latched, in table order, as UTF-8:
// "↑ ○ スキップ(L)"; "(L)" latched only, "(PL)" latched and pressed.
std::string PadMarks();
// Empties both key sets, the keys left at a lock, the latch and every mark;
// WindowClosing false.
void ClearInputState();
