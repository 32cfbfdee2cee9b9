#include "padinput.h"
#include <cstdio>
#include "app/app.h"
#include "game/game.h"
#include "render/render.h"
#include "settings/settings.h"
#include "support.h"

std::vector<std::string> OverlayLog;
HWND GameForeground = nullptr;
std::vector<std::string> KeyLog;
std::vector<INPUT> KeyRecords;
int ForegroundRequests = 0;
int SleepCalls = 0;
std::vector<TOUCHINPUT> TouchRecords;
bool TouchReadFails = false;
UINT TouchRecordsAsked = 0;
int TouchReads = 0;
int TouchCloses = 0;

bool BuildTestPad()
{
    if (!D2DFactory && !CreateDeviceIndependentResources()) return false;
    Settings.CrossPressSensitivity = 10;
    Settings.IsOKCancelChange = false;
    BuildPadLayout();
    return BuildElementGeometries();
}

namespace {

struct KeyRect {
    KeyMask key;
    RECT rect;
};

std::vector<KeyRect> ReadPadRects()
{
    std::unique_ptr<PadElementTable> current = std::move(CurrentPadTable);
    const SettingsRecord saved = Settings;
    Settings.CrossPressSensitivity = 10;
    Settings.IsOKCancelChange = false;
    BuildPadLayout();
    std::vector<KeyRect> rects;
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
        const PadElement& e = CurrentPadTable->Items[i];
        if (!e.Visible || e.ShapeKind != ShapeRectangle) continue;
        const OutlinePoint size = e.OutlinePoints[0];
        rects.push_back(
            {e.KeyMask, {e.OriginX, e.OriginY, e.OriginX + size.x, e.OriginY + size.y}});
    }
    DestroyPadElementTable(CurrentPadTable);
    CurrentPadTable = std::move(current);
    Settings = saved;
    return rects;
}

}  // namespace

RECT PadRect(KeyMask key)
{
    static const std::vector<KeyRect> rects = ReadPadRects();
    for (const KeyRect& r : rects)
        if (r.key == key) return r.rect;
    return {};
}

ContactPoint PadCentre(KeyMask key)
{
    const RECT r = PadRect(key);
    if (IsRectEmpty(&r)) return {-1, -1};
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

POINT PadCentreOnScreen(HWND overlay, KeyMask key)
{
    const ContactPoint p = PadCentre(key);
    POINT screen = {p.x, p.y};
    ClientToScreen(overlay, &screen);
    return screen;
}

LPARAM PointParam(ContactPoint p)
{
    return MAKELPARAM(static_cast<WORD>(p.x), static_cast<WORD>(p.y));
}

namespace {

ATOM RegisterTestClass(const wchar_t* name, WNDPROC proc, UINT style)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc)) return 1;
    wc.cbSize = sizeof(wc);
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = name;
    return RegisterClassExW(&wc);
}

// What the overlay saw, one line per message; the mouse messages with the
// mouse keys the real window procedure left behind.
void LogOverlayMessage(UINT message, LPARAM lParam, bool touchMade)
{
    const char* what = nullptr;
    switch (message) {
    case WM_LBUTTONDOWN:
        what = "down";
        break;
    case WM_LBUTTONUP:
        what = "up";
        break;
    case WM_LBUTTONDBLCLK:
        what = "dblclk";
        break;
    case WM_MOUSEMOVE:
        what = "move";
        break;
    case WM_WINDOWPOSCHANGING:
        OverlayLog.push_back("poschanging");
        return;
    default:
        return;
    }
    const ContactPoint p = MouseContactPoint(lParam);
    char line[80];
    std::snprintf(line, sizeof(line), "%s %d %d%s =0x%X", what, static_cast<int>(p.x),
                  static_cast<int>(p.y), touchMade ? " touch" : "",
                  static_cast<unsigned>(MouseMask));
    OverlayLog.push_back(line);
}

// The program's own window procedure; the log is written after it ran.
LRESULT CALLBACK LoggedOverlayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    // Read first: a handler may clear the extra information.
    const bool touchMade = IsTouchMadeExtraInfo(GetMessageExtraInfo());
    const LRESULT result = MainWndProc(window, message, wParam, lParam);
    LogOverlayMessage(message, lParam, touchMade);
    return result;
}

}  // namespace

HWND CreateTestGameWindow(bool visible)
{
    if (!RegisterTestClass(GameWindowClass, DefWindowProcW, 0)) return nullptr;
    const HWND window =
        CreateWindowExW(0, GameWindowClass, L"test game", WS_OVERLAPPEDWINDOW, 600, 300, 640, 480,
                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window && visible) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

HWND CreateTestOverlayWindow(int x, int y, bool visible)
{
    const wchar_t name[] = L"OrvexTestOverlay";
    if (!RegisterTestClass(name, LoggedOverlayProc, CS_DBLCLKS)) return nullptr;
    const HWND window = CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST, name, L"test overlay",
                                        WS_POPUP, x, y, OverlayClientWidth, OverlayClientHeight,
                                        nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (window && visible) ShowWindow(window, SW_SHOWNOACTIVATE);
    return window;
}

TestPadWindows& UseTestPadWindows()
{
    static TestPadWindows windows;
    if (!windows.overlay) windows.overlay = CreateTestOverlayWindow(100, 100, true);
    if (!windows.game || !IsWindow(windows.game)) windows.game = CreateTestGameWindow();
    MainWindow = windows.overlay;
    return windows;
}

void ClearOverlayLog()
{
    OverlayLog.clear();
}

int CountOverlayLog(const char* prefix)
{
    int n = 0;
    for (const std::string& line : OverlayLog) n += line.rfind(prefix, 0) == 0;
    return n;
}

std::vector<std::string> HeldKeys(const std::vector<std::string>& log)
{
    std::vector<std::string> held;
    for (const std::string& line : log) {
        if (line.empty() || (line[0] != '+' && line[0] != '-')) continue;
        const std::string key = line.substr(1);
        for (auto i = held.begin(); i != held.end();) i = *i == key ? held.erase(i) : i + 1;
        if (line[0] == '+') held.push_back(key);
    }
    return held;
}

std::string KeyRecordName(const INPUT& input)
{
    const char* name = nullptr;
    switch (input.ki.wVk) {
    case VK_UP:
        name = "UP";
        break;
    case VK_DOWN:
        name = "DOWN";
        break;
    case VK_LEFT:
        name = "LEFT";
        break;
    case VK_RIGHT:
        name = "RIGHT";
        break;
    case VK_SHIFT:
        name = "SHIFT";
        break;
    case VK_CONTROL:
        name = "CTRL";
        break;
    case VK_ESCAPE:
        name = "ESC";
        break;
    case VK_F1:
        name = "F1";
        break;
    default:
        break;
    }
    char text[16];
    if (name) {
        std::snprintf(text, sizeof(text), "%s", name);
    } else if (input.ki.wVk >= 'A' && input.ki.wVk <= 'Z') {
        std::snprintf(text, sizeof(text), "%c", static_cast<char>(input.ki.wVk));
    } else {
        std::snprintf(text, sizeof(text), "0x%02X", static_cast<unsigned>(input.ki.wVk));
    }
    return std::string(input.ki.dwFlags & KEYEVENTF_KEYUP ? "-" : "+") + text;
}

namespace {

bool ForwardKeys = false;

UINT WINAPI RecordSendInput(UINT count, LPINPUT inputs, int size)
{
    for (UINT i = 0; i < count; ++i) {
        KeyLog.push_back(KeyRecordName(inputs[i]));
        KeyRecords.push_back(inputs[i]);
    }
    return ForwardKeys ? SendInput(count, inputs, size) : count;
}

BOOL WINAPI CountSetForegroundWindow(HWND window)
{
    ++ForegroundRequests;
    return ForwardKeys ? SetForegroundWindow(window) : TRUE;
}

// The game is in front: whichever game window the key output just looked up.
HWND WINAPI ReportGameForeground()
{
    return GameForeground ? GameForeground : CachedGameWindow;
}

void WINAPI CountSleep(DWORD milliseconds)
{
    ++SleepCalls;
    if (ForwardKeys) Sleep(milliseconds);
}

}  // namespace

KeyOutputRecorder::KeyOutputRecorder(bool passThrough) : saved_(KeyOutput)
{
    ForwardKeys = passThrough;
    KeyLog.clear();
    KeyRecords.clear();
    ForegroundRequests = 0;
    SleepCalls = 0;
    KeyOutput.SendInput = RecordSendInput;
    KeyOutput.SetForegroundWindow = CountSetForegroundWindow;
    KeyOutput.GetForegroundWindow = passThrough ? saved_.GetForegroundWindow : ReportGameForeground;
    KeyOutput.Sleep = CountSleep;
}

KeyOutputRecorder::~KeyOutputRecorder()
{
    KeyOutput = saved_;
    ForwardKeys = false;
}

namespace {

BOOL WINAPI FeedTouchInputInfo(HTOUCHINPUT, UINT count, PTOUCHINPUT inputs, int size)
{
    ++TouchReads;
    TouchRecordsAsked = count;
    if (size != static_cast<int>(sizeof(TOUCHINPUT))) return FALSE;
    if (TouchReadFails) {
        // What a failed read leaves behind must never be taken for fingers:
        // fill the buffer with a finger that would press whatever lies at the
        // first record's place.
        for (UINT i = 0; i < count && !TouchRecords.empty(); ++i) inputs[i] = TouchRecords.front();
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    for (UINT i = 0; i < count && i < TouchRecords.size(); ++i) inputs[i] = TouchRecords[i];
    return TRUE;
}

BOOL WINAPI CountCloseTouchInputHandle(HTOUCHINPUT)
{
    ++TouchCloses;
    KeyLog.push_back("close");
    return TRUE;
}

}  // namespace

TouchFeed::TouchFeed() : saved_(TouchInput)
{
    TouchRecords.clear();
    TouchReadFails = false;
    TouchRecordsAsked = 0;
    TouchReads = 0;
    TouchCloses = 0;
    TouchInput.GetTouchInputInfo = FeedTouchInputInfo;
    TouchInput.CloseTouchInputHandle = CountCloseTouchInputHandle;
}

TouchFeed::~TouchFeed()
{
    TouchInput = saved_;
}

TOUCHINPUT TouchRecord(LONG x100, LONG y100, DWORD flags)
{
    TOUCHINPUT record = {};
    record.x = x100;
    record.y = y100;
    record.dwFlags = flags;
    return record;
}

LRESULT SendTouchFrame(HWND window, UINT announced)
{
    // Any non-null value serves as the handle: the feed does not look at it.
    return SendMessageW(window, WM_TOUCH, MAKEWPARAM(announced, 0), static_cast<LPARAM>(0x5A5A));
}

std::vector<TOUCHINPUT> FingersAt(HWND window, const std::vector<ContactPoint>& points)
{
    std::vector<TOUCHINPUT> records;
    for (const ContactPoint& p : points) {
        POINT screen = {p.x, p.y};
        ClientToScreen(window, &screen);
        records.push_back(
            TouchRecord(screen.x * 100, screen.y * 100, TOUCHEVENTF_DOWN | TOUCHEVENTF_MOVE));
    }
    return records;
}

void TouchFingers(HWND window, const std::vector<ContactPoint>& points)
{
    TouchRecords = FingersAt(window, points);
    if (TouchRecords.empty()) TouchRecords.push_back(TouchRecord(0, 0, TOUCHEVENTF_UP));
    SendTouchFrame(window, static_cast<UINT>(TouchRecords.size()));
}

namespace {

bool CursorAt(POINT screen)
{
    CURSORINFO cursor = {};
    cursor.cbSize = sizeof(cursor);
    return GetCursorInfo(&cursor) && cursor.ptScreenPos.x == screen.x &&
           cursor.ptScreenPos.y == screen.y;
}

// A move by nothing: the next input after a pointer move is when Wine acts on
// that move's late echo, so this takes that turn instead of a press.
void NudgeMouse()
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE;
    SendInput(1, &input, sizeof(INPUT));
}

}  // namespace

bool SettleMouseAt(POINT screen)
{
    // Wine on X echoes a pointer move late, as a move back to where an earlier
    // one left the cursor, and GetCursorPos re-reads the X pointer, which may
    // lag behind; so the echoes are drawn out with nudges and the cursor is
    // asked for with GetCursorInfo, which reports where input is routed.
    for (int attempt = 0; attempt < 8; ++attempt) {
        MouseMoveTo(screen.x, screen.y);
        PumpTightly(40, [] { return false; });
        bool stayed = true;
        for (int nudge = 0; nudge < 2 && stayed; ++nudge) {
            NudgeMouse();
            PumpTightly(40, [] { return false; });
            stayed = CursorAt(screen);
        }
        if (stayed) return true;
    }
    return false;
}

std::string PadMarks()
{
    std::string marks;
    if (!CurrentPadTable) return marks;
    for (int32_t i = 0; i < CurrentPadTable->Count; ++i) {
        const PadElement& element = CurrentPadTable->Items[i];
        if (!element.Pressed && !element.Latched) continue;
        char label[64] = "";
        WideCharToMultiByte(CP_UTF8, 0, element.Label, -1, label, sizeof(label), nullptr, nullptr);
        if (!marks.empty()) marks += ' ';
        marks += label;
        if (element.Latched) marks += element.Pressed ? "(PL)" : "(L)";
    }
    return marks;
}

void ClearInputState()
{
    if (SkipLatched) ReleaseSkipLatch();
    TouchMask = 0;
    MouseMask = 0;
    KeysHeldWhenLeft = 0;
    MouseWithheldKeys = 0;
    ClearHeldMark();
    UnlatchSkipElements();
    ReleaseElements(~KeySet{0});
    WindowClosing = false;
}
