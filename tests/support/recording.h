// A window of the test process that records the messages it is sent.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// A visible top-level window of this process that records the key messages
// (WM_KEYDOWN to WM_SYSKEYUP, WM_CHAR family left out) and private messages
// (WM_USER and above) it receives while the test pumps.
struct RecordedMessage {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
class RecordingWindow {
public:
    RecordingWindow() = default;
    RecordingWindow(const RecordingWindow&) = delete;
    RecordingWindow& operator=(const RecordingWindow&) = delete;
    ~RecordingWindow();
    // Creates the window with the class name given (registered on first use)
    // and, when asked, brings it to the front with the keyboard focus.
    bool Create(const wchar_t* className, bool foreground = true);
    void Destroy();
    HWND Handle() const { return window_; }
    // How many messages of this value arrived.
    int Count(UINT message) const;
    std::vector<RecordedMessage> Messages;

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    HWND window_ = nullptr;
};

// An overlay that counts WM_SKIPRELEASE and a focused window that logs keys:
// with the skip latch's hooks in, a typed Escape never reaches the focused
// window and the overlay is told to end the latch.
struct HookProbe {
    RecordingWindow overlay;
    RecordingWindow focused;
    // Both windows, the focused one in front.
    bool Create();
    void Clear();
    // Key messages for vk at the focused window (WM_KEYDOWN to WM_SYSKEYUP).
    int KeyMessagesFor(WPARAM vk) const;
    // Types vk for real (press, release) and lets both windows see the result.
    void TypeKey(WORD vk);
    // Types Escape: "arrived N, posts M" counts Escape's key messages at the
    // focused window and the notifications at the overlay.
    std::string TypeEscape();
};
// What TypeEscape reports with the hooks in, and without them.
extern const char EscapeSwallowed[];
extern const char EscapePasses[];
