// The overlay in this process, driven through the program's own window
// procedure, and a census of the hooks the hook library installs.
#pragma once
#include <windows.h>
#include <memory>
#include <set>
#include <string>
#include <vector>
#include "input/input.h"
#include "padinput.h"

// Client points of the pad's elements at their default places, and one that
// no element covers.
inline ContactPoint CircleSpot()
{
    return PadCentre(0x10);
}
inline ContactPoint UpSpot()
{
    return PadCentre(0x1);
}
inline ContactPoint SkipSpot()
{
    return PadCentre(SkipKeyBit);
}
inline ContactPoint LogSpot()
{
    return PadCentre(LogKeyBit);
}
constexpr ContactPoint NoElementSpot = {170, 500};

// A window of the overlay's size and styles whose window procedure is the
// program's MainWndProc, with the real pad, MainWindow pointing at it, touch
// records fed through the touch seam and key output through a recorder
// (passed on to the real SendInput when realKeys is set).
class InProcessOverlay {
public:
    explicit InProcessOverlay(bool realKeys);
    ~InProcessOverlay();
    InProcessOverlay(const InProcessOverlay&) = delete;
    InProcessOverlay& operator=(const InProcessOverlay&) = delete;

    HWND Handle() const { return window_; }
    bool Alive() const { return window_ && IsWindow(window_); }
    // The message straight to MainWndProc, with this extra information as
    // GetMessageExtraInfo reports it.
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0, LPARAM extraInfo = 0);
    // One touch frame with a finger down at each client point (none: all lifted).
    void Touch(const std::vector<ContactPoint>& fingers);
    void MouseDown(ContactPoint at);
    void MouseUp(ContactPoint at);
    // Press, release, double click, release: what the system sends for a double click.
    void DoubleClick(ContactPoint at);
    // Runs this thread's queue: posted WM_SKIPRELEASE, paints, hook calls.
    void Pump(DWORD milliseconds = 50);
    // Ends the window if it still lives and takes the quit message its teardown posts.
    void Destroy();

private:
    HWND window_ = nullptr;
    std::unique_ptr<KeyOutputRecorder> recorder_;
    std::unique_ptr<TouchFeed> touch_;
};

// Counts the hooks that Orvex_DLL installs and removes, by routing its imports
// of the four hook calls through counters while alive.
class HookCensus {
public:
    HookCensus();
    ~HookCensus();
    HookCensus(const HookCensus&) = delete;
    HookCensus& operator=(const HookCensus&) = delete;
    bool Patched() const { return patched_; }
    // Hooks installed and not removed since.
    static int Live();
    // Installations seen since the census began.
    static int Installed();
    // The next keyboard hook removal goes through but reports that the system
    // no longer knew the hook.
    static void FailNextRemoval();

private:
    bool patched_ = false;
};
