#include "recording.h"
#include "app/app.h"
#include "support.h"

RecordingWindow::~RecordingWindow()
{
    Destroy();
}

bool RecordingWindow::Create(const wchar_t* className, bool foreground)
{
    Destroy();
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (!GetClassInfoExW(GetModuleHandleW(nullptr), className, &wc)) {
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        wc.lpszClassName = className;
        if (!RegisterClassExW(&wc)) return false;
    }
    window_ = CreateWindowExW(0, className, L"recording", WS_OVERLAPPEDWINDOW, 100, 100, 300, 200,
                              nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!window_) return false;
    ShowWindow(window_, foreground ? SW_SHOW : SW_SHOWNOACTIVATE);
    if (foreground) {
        SetForegroundWindow(window_);
        SetFocus(window_);
        WaitUntil([&] { return GetForegroundWindow() == window_; }, 2000);
    }
    PumpFor(50);
    return true;
}

void RecordingWindow::Destroy()
{
    if (!window_) return;
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
    window_ = nullptr;
}

int RecordingWindow::Count(UINT message) const
{
    int n = 0;
    for (const RecordedMessage& m : Messages) n += m.message == message;
    return n;
}

LRESULT CALLBACK RecordingWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<RecordingWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    const bool isKey = message == WM_KEYDOWN || message == WM_KEYUP || message == WM_SYSKEYDOWN ||
                       message == WM_SYSKEYUP;
    if (self && (isKey || message >= WM_USER)) self->Messages.push_back({message, wParam, lParam});
    return DefWindowProcW(window, message, wParam, lParam);
}

const char EscapeSwallowed[] = "arrived 0, posts 1";
const char EscapePasses[] = "arrived 2, posts 0";

bool HookProbe::Create()
{
    return overlay.Create(L"ProbeOverlay", false) && focused.Create(L"ProbeFocused") &&
           GetForegroundWindow() == focused.Handle();
}

void HookProbe::Clear()
{
    overlay.Messages.clear();
    focused.Messages.clear();
}

int HookProbe::KeyMessagesFor(WPARAM vk) const
{
    int n = 0;
    for (const RecordedMessage& m : focused.Messages)
        n += m.message >= WM_KEYDOWN && m.message <= WM_SYSKEYUP && m.wParam == vk;
    return n;
}

void HookProbe::TypeKey(WORD vk)
{
    PressKey(vk, true);
    PressKey(vk, false);
    PumpFor(200);
}

std::string HookProbe::TypeEscape()
{
    Clear();
    TypeKey(VK_ESCAPE);
    return "arrived " + std::to_string(KeyMessagesFor(VK_ESCAPE)) + ", posts " +
           std::to_string(overlay.Count(WM_SKIPRELEASE));
}
