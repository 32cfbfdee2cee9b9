// A window of the test process that records the messages it is sent.
#pragma once
#include <windows.h>
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
