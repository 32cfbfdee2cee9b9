// Contacts: touch records through the touch seam, mouse messages made for real
// with SendInput on a visible overlay-sized window run by the program's window
// procedure, which is called directly where a message cannot be produced from
// outside.
#include <doctest/doctest.h>
#include <cstdio>
#include <string>
#include <vector>
#include "app/app.h"
#include "padinput.h"
#include "support.h"

namespace {

using Keys = std::vector<std::string>;

ContactPoint Up()
{
    return PadCentre(0x1);
}
ContactPoint Circle()
{
    return PadCentre(0x10);
}
ContactPoint Cross()
{
    return PadCentre(0x20);
}
ContactPoint Skip()
{
    return PadCentre(SkipKeyBit);
}

constexpr LPARAM TouchMade = static_cast<LPARAM>(0xFF515780);

// A plain window of this thread kept in front for the whole program: Wine
// routes mouse input by the capture only for the thread in front (where the
// system does it for the window the button went down on), and with the
// overlay itself made active it stops moving the pointer.
void KeepTestThreadInFront()
{
    static const HWND front =
        CreateWindowExW(0, L"STATIC", L"front", WS_POPUP | WS_VISIBLE, 900, 700, 120, 60, nullptr,
                        nullptr, GetModuleHandleW(nullptr), nullptr);
    if (GetForegroundWindow() == front) return;
    SetForegroundWindow(front);
    WaitUntil([] { return GetForegroundWindow() == front; }, 2000);
}

// The pad built and the test overlay at a known place with room on every
// side, MainWindow set, this thread in front, nothing held.
HWND PrepareOverlay()
{
    REQUIRE(BuildTestPad());
    KeepTestThreadInFront();
    TestPadWindows& windows = UseTestPadWindows();
    REQUIRE(windows.overlay);
    SetWindowPos(windows.overlay, HWND_TOPMOST, 300, 150, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    ClearInputState();
    ClearOverlayLog();
    KeyLog.clear();
    PumpFor(20);
    return windows.overlay;
}

POINT ScreenOf(HWND window, ContactPoint p)
{
    return ClientToScreenPoint(window, p.x, p.y);
}

bool WaitLogged(const char* prefix, int count)
{
    return WaitUntil([&] { return CountOverlayLog(prefix) >= count; }, 3000);
}

}  // namespace

TEST_CASE("mouse messages made from touch are told apart by their extra information")
{
    const struct {
        DWORD extra;
        bool touchMade;
    } rows[] = {{0xFF515780, true},  {0xFF515700, true},  {0xFF515600, false}, {0xFFFFFFFF, true},
                {0x00000000, false}, {0x7F515700, false}, {0xFF515701, true}};
    for (const auto& row : rows) {
        CAPTURE(row.extra);
        CHECK(IsTouchMadeExtraInfo(static_cast<LPARAM>(row.extra)) == row.touchMade);
    }
}

TEST_CASE("only a digitizer reported ready takes the overlay's touch registration")
{
    const struct {
        int digitizer;
        bool ready;
    } rows[] = {{0, false},
                {NID_READY, true},
                {NID_INTEGRATED_TOUCH | NID_MULTI_INPUT, false},
                {NID_READY | NID_INTEGRATED_TOUCH | NID_MULTI_INPUT, true},
                {0x7F, false},
                {0xFF, true}};
    for (const auto& row : rows) {
        CAPTURE(row.digitizer);
        CHECK(IsDigitizerReady(row.digitizer) == row.ready);
    }
}

TEST_CASE("mouse coordinates are unsigned 16-bit values")
{
    const struct {
        DWORD param;
        int32_t x;
        int32_t y;
    } rows[] = {{0x00070005, 5, 7}, {0xFFFF0005, 5, 65535}, {0x8000FFEC, 65516, 32768}, {0, 0, 0}};
    for (const auto& row : rows) {
        CAPTURE(row.param);
        const ContactPoint p = MouseContactPoint(static_cast<LPARAM>(row.param));
        CHECK(p.x == row.x);
        CHECK(p.y == row.y);
    }
}

TEST_CASE("touch records become screen pixels of the fingers that are down or moving")
{
    struct Row {
        const char* name;
        std::vector<TOUCHINPUT> records;
        std::vector<std::pair<int32_t, int32_t>> points;
    };
    const Row rows[] = {
        {"down kept, up left out",
         {TouchRecord(50012, 30099, TOUCHEVENTF_DOWN), TouchRecord(1000, 1000, TOUCHEVENTF_UP)},
         {{500, 300}}},
        {"truncation toward zero", {TouchRecord(-150, -199, TOUCHEVENTF_MOVE)}, {{-1, -1}}},
        {"mixed signs", {TouchRecord(-99, 199, TOUCHEVENTF_MOVE | TOUCHEVENTF_PRIMARY)}, {{0, 1}}},
        {"only lifted fingers",
         {TouchRecord(100, 100, TOUCHEVENTF_UP), TouchRecord(200, 200, TOUCHEVENTF_UP)},
         {}},
        {"in range but not touching",
         {TouchRecord(300, 300, TOUCHEVENTF_INRANGE | TOUCHEVENTF_PRIMARY)},
         {}},
        {"order kept",
         {TouchRecord(100, 200, TOUCHEVENTF_MOVE), TouchRecord(300, 400, TOUCHEVENTF_UP),
          TouchRecord(500, 600, TOUCHEVENTF_DOWN)},
         {{1, 2}, {5, 6}}},
    };
    for (const Row& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        ContactPoint points[MaxTouchContacts] = {};
        const int32_t n = TouchRecordsToPoints(row.records.data(),
                                               static_cast<int32_t>(row.records.size()), points);
        REQUIRE(n == static_cast<int32_t>(row.points.size()));
        for (int32_t i = 0; i < n; ++i) {
            CHECK(points[i].x == row.points[i].first);
            CHECK(points[i].y == row.points[i].second);
        }
    }
}

TEST_CASE("touch messages through the touch seam")
{
    const HWND overlay = PrepareOverlay();
    KeyOutputRecorder recorder;
    TouchFeed feed;

    const POINT circle = ScreenOf(overlay, Circle());
    const POINT cross = ScreenOf(overlay, Cross());
    std::vector<TOUCHINPUT> twelveRecords = FingersAt(overlay, std::vector<ContactPoint>(10, Up()));
    twelveRecords.push_back(TouchRecord(circle.x * 100, circle.y * 100, TOUCHEVENTF_DOWN));
    twelveRecords.push_back(TouchRecord(cross.x * 100, cross.y * 100, TOUCHEVENTF_DOWN));

    struct Row {
        const char* name;
        bool fingerOnCircle;  // a finger holds ○ before the message
        std::vector<TOUCHINPUT> records;
        UINT announced;
        bool readFails;
        Keys keys;  // in order, "close" being the touch handle's closing
        KeySet touch;
        int reads;
        UINT asked;
    };
    const Row rows[] = {
        {"hundredths of a pixel, an up record adds nothing",
         false,
         {TouchRecord(circle.x * 100 + 12, circle.y * 100 + 99, TOUCHEVENTF_DOWN),
          TouchRecord(cross.x * 100, cross.y * 100, TOUCHEVENTF_UP)},
         2,
         false,
         {"close", "+Z"},
         0x10,
         1,
         2},
        {"every finger lifted empties the touch keys",
         true,
         {TouchRecord(circle.x * 100, circle.y * 100, TOUCHEVENTF_UP)},
         1,
         false,
         {"close", "-Z"},
         0,
         1,
         1},
        {"no records go to the default handling", true, {}, 0, false, {}, 0x10, 0, 0},
        {"past ten contacts nothing is asked for or read",
         false,
         twelveRecords,
         12,
         false,
         {"close", "+UP"},
         0x1,
         1,
         10},
        {"a failed read counts as no finger down",
         true,
         {TouchRecord(cross.x * 100, cross.y * 100, TOUCHEVENTF_DOWN)},
         1,
         true,
         {"close", "-Z"},
         0,
         1,
         1},
    };
    for (const Row& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        ClearInputState();
        if (row.fingerOnCircle) {
            TouchRecords = FingersAt(overlay, {Circle()});
            SendTouchFrame(overlay, 1);
            REQUIRE(TouchMask == 0x10);
        }
        KeyLog.clear();
        TouchReads = 0;
        TouchCloses = 0;
        TouchRecordsAsked = 0;
        TouchRecords = row.records;
        TouchReadFails = row.readFails;

        CHECK(SendTouchFrame(overlay, row.announced) == 0);
        CHECK(JoinWords(KeyLog) == JoinWords(row.keys));
        CHECK(TouchMask == row.touch);
        CHECK(TouchReads == row.reads);
        CHECK(TouchCloses == row.reads);
        CHECK(TouchRecordsAsked == row.asked);
        TouchReadFails = false;
    }
    ClearInputState();
}

TEST_CASE("once the window is closing no contact changes anything")
{
    const HWND overlay = PrepareOverlay();
    KeyOutputRecorder recorder;
    TouchFeed feed;
    WindowClosing = true;

    TouchRecords = FingersAt(overlay, {Circle()});
    SendTouchFrame(overlay, 1);
    MainWndProc(overlay, WM_LBUTTONDOWN, MK_LBUTTON, PointParam(Cross()));
    MainWndProc(overlay, WM_MOUSEMOVE, MK_LBUTTON, PointParam(Up()));
    MainWndProc(overlay, WM_LBUTTONDBLCLK, MK_LBUTTON, PointParam(Skip()));
    MainWndProc(overlay, WM_LBUTTONUP, 0, PointParam(Cross()));

    CHECK(TouchReads == 0);
    CHECK(TouchCloses == 0);
    CHECK(KeyLog.empty());
    CHECK(TouchMask == 0);
    CHECK(MouseMask == 0);
    CHECK_FALSE(SkipLatched);
    CHECK(GetCapture() != overlay);
    CHECK(PadMarks().empty());
    WindowClosing = false;
}

TEST_CASE("mouse messages keep the capture and leave touch-made ones out")
{
    const HWND overlay = PrepareOverlay();
    KeyOutputRecorder recorder;
    const HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP, 0, 0, 10, 10, nullptr,
                                       nullptr, GetModuleHandleW(nullptr), nullptr);

    struct Call {
        UINT message;
        WPARAM wParam;
        ContactPoint point;
        bool touchMade;
        Keys keys;  // sent by this call
        KeySet mouse;
        bool captured;
    };
    struct Row {
        const char* name;
        std::vector<Call> calls;
    };
    const Row rows[] = {
        {"a press and its release",
         {{WM_LBUTTONDOWN, MK_LBUTTON, Circle(), false, {"+Z"}, 0x10, true},
          {WM_LBUTTONUP, 0, Circle(), false, {"-Z"}, 0, false}}},
        {"a touch-made press while the mouse holds a key ends the mouse contact",
         {{WM_LBUTTONDOWN, MK_LBUTTON, Circle(), false, {"+Z"}, 0x10, true},
          {WM_LBUTTONDOWN, MK_LBUTTON, Cross(), true, {"-Z"}, 0, false}}},
        {"a move without the button while captured is a missed release",
         {{WM_LBUTTONDOWN, MK_LBUTTON, Circle(), false, {"+Z"}, 0x10, true},
          {WM_MOUSEMOVE, 0, Circle(), false, {"-Z"}, 0, false}}},
        {"a drag that came in from outside takes the capture for the keys it holds",
         {{WM_MOUSEMOVE, MK_LBUTTON, Circle(), false, {"+Z"}, 0x10, true},
          {WM_MOUSEMOVE, MK_LBUTTON, Cross(), false, {"-Z", "+X"}, 0x20, true},
          {WM_MOUSEMOVE, 0, Cross(), false, {"-X"}, 0, false}}},
        {"another window taking the capture lets the mouse keys go",
         {{WM_LBUTTONDOWN, MK_LBUTTON, Circle(), false, {"+Z"}, 0x10, true},
          {WM_CAPTURECHANGED, 1, {}, false, {"-Z"}, 0, false}}},
        {"a capture lost to nothing: the next move without the button lets the keys go",
         {{WM_LBUTTONDOWN, MK_LBUTTON, Circle(), false, {"+Z"}, 0x10, true},
          {WM_CAPTURECHANGED, 0, {}, false, {}, 0x10, false},
          {WM_MOUSEMOVE, 0, Circle(), false, {"-Z"}, 0, false}}},
        {"a drag from outside lets its keys go when the pointer leaves the overlay",
         {{WM_MOUSEMOVE, MK_LBUTTON, Circle(), false, {"+Z"}, 0x10, true},
          {WM_MOUSELEAVE, 0, {}, false, {"-Z"}, 0, false}}},
        {"a shaky double click on SKIP keeps the latch it set",
         {{WM_LBUTTONDBLCLK, MK_LBUTTON, Skip(), false, {"+CTRL"}, 0, false},
          {WM_MOUSEMOVE, MK_LBUTTON, Skip(), false, {}, 0, false},
          {WM_LBUTTONUP, 0, Skip(), false, {}, 0, false}}},
        {"touch-made messages never change the mouse keys",
         {{WM_LBUTTONDOWN, MK_LBUTTON, Circle(), true, {}, 0, false},
          {WM_MOUSEMOVE, MK_LBUTTON, Cross(), true, {}, 0, false},
          {WM_LBUTTONUP, 0, Cross(), true, {}, 0, false}}},
    };
    for (const Row& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        ClearInputState();
        ReleaseCapture();
        for (size_t i = 0; i < row.calls.size(); ++i) {
            const Call& call = row.calls[i];
            CAPTURE(i);
            KeyLog.clear();
            SetMessageExtraInfo(call.touchMade ? TouchMade : 0);
            LRESULT result = 0;
            if (call.message != WM_CAPTURECHANGED)
                result = MainWndProc(overlay, call.message, call.wParam, PointParam(call.point));
            else if (call.wParam)  // the capture changes for real: to another window or to none
                SetCapture(other);
            else
                ReleaseCapture();
            SetMessageExtraInfo(0);
            // Touch-made messages are answered here and never handed on.
            if (call.touchMade) CHECK(result == 0);
            CHECK(JoinWords(KeyLog) == JoinWords(call.keys));
            CHECK(MouseMask == call.mouse);
            CHECK((GetCapture() == overlay) == call.captured);
        }
    }
    ReleaseCapture();
    DestroyWindow(other);
    ClearInputState();
}

TEST_CASE("real clicks: touch-made ones are ignored, genuine ones press and release")
{
    const HWND overlay = PrepareOverlay();
    KeyOutputRecorder recorder;

    // Alternating places, so that no two clicks make a double click.
    const struct {
        DWORD extra;
        ContactPoint point;
        bool touchMade;
        Keys keys;  // sent by a genuine click
    } rows[] = {
        {0xFF515780, Circle(), true, {}},
        {0xFF515700, Cross(), true, {}},
        {0xFF515600, Circle(), false, {"+Z", "-Z"}},
        {0x00000000, Cross(), false, {"+X", "-X"}},
        {0xFFFFFFFF, Circle(), true, {}},
    };
    for (const auto& row : rows) {
        CAPTURE(row.extra);
        ClearInputState();
        const POINT p = ScreenOf(overlay, row.point);
        REQUIRE(SettleMouseAt(p));
        KeyLog.clear();
        ClearOverlayLog();
        ClickAt(p.x, p.y, row.extra);
        REQUIRE(WaitLogged("up", 1));
        PumpFor(50);
        const std::string seen = JoinWords(OverlayLog);
        CAPTURE(seen);
        // The press and release arrived with the mark they were sent with, so
        // the test cannot pass by the mark going missing.
        const std::string at =
            " " + std::to_string(row.point.x) + " " + std::to_string(row.point.y);
        const std::string mark = row.touchMade ? " touch =" : " =";
        CHECK(seen.find("down" + at + mark) != std::string::npos);
        CHECK(seen.find("up" + at + mark) != std::string::npos);
        if (row.touchMade) {
            // Wine echoes pointer moves late, as genuine moves that may find
            // the button down; what counts is that no touch-made message
            // changed the mouse keys.
            std::string before = "=0x0";
            for (const std::string& line : OverlayLog) {
                const std::string after = line.substr(line.rfind(' ') + 1);
                if (line.find(" touch ") != std::string::npos) CHECK(after == before);
                before = after;
            }
        } else {
            CHECK(JoinWords(KeyLog) == JoinWords(row.keys));
            CHECK(MouseMask == 0);
        }
        CHECK(GetCapture() != overlay);
    }
    ClearInputState();
}

TEST_CASE("a double click or double tap on SKIP sets the latch, elsewhere it is one click")
{
    const HWND overlay = PrepareOverlay();
    KeyOutputRecorder recorder;

    const struct {
        const char* name;
        ContactPoint point;
        DWORD extra;
        Keys keys;
        bool latched;
        const char* marks;
    } rows[] = {
        {"double click on ○", Circle(), 0, {"+Z", "-Z"}, false, ""},
        {"double click on SKIP", Skip(), 0, {"+CTRL", "-CTRL", "+CTRL"}, true, "スキップ(PL)"},
        {"double tap on SKIP", Skip(), 0xFF515780, {"+CTRL"}, true, "スキップ(PL)"},
    };
    for (const auto& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        ClearInputState();
        // Far from the last click in time, so the first click is a single one.
        PumpFor(GetDoubleClickTime() + 100);
        const POINT p = ScreenOf(overlay, row.point);
        REQUIRE(SettleMouseAt(p));
        KeyLog.clear();
        ClearOverlayLog();
        ClickAt(p.x, p.y, row.extra);
        ClickAt(p.x, p.y, row.extra);
        REQUIRE(WaitLogged("dblclk", 1));
        REQUIRE(WaitLogged("up", 2));
        CHECK(JoinWords(KeyLog) == JoinWords(row.keys));
        CHECK(SkipLatched == row.latched);
        CHECK(PadMarks() == row.marks);
        CHECK(MouseMask == 0);
    }
    ClearInputState();
    PumpFor(GetDoubleClickTime() + 100);
}

// Last of the real-mouse tests: under Wine the pointer is left behind after
// a captured drag out of the window, and later moves can be pulled back.
TEST_CASE("a drag out to the left reads as far-off coordinates and lets the keys go")
{
    const HWND overlay = PrepareOverlay();
    KeyOutputRecorder recorder;

    const POINT circle = ScreenOf(overlay, Circle());
    // Long enough after any earlier click for this press to be a single one.
    PumpFor(GetDoubleClickTime() + 100);
    REQUIRE(SettleMouseAt(circle));
    KeyLog.clear();
    ClearOverlayLog();
    MouseDown();
    REQUIRE(WaitLogged("down", 1));
    CHECK(JoinWords(KeyLog) == "+Z");
    CHECK(MouseMask == 0x10);
    CHECK(GetCapture() == overlay);

    // Wine may fold the move into a late echo of an earlier one, so the move
    // is repeated until the overlay has seen it.
    const POINT origin = ScreenOf(overlay, {0, 0});
    ClearOverlayLog();
    std::string farOff;
    for (int attempt = 0; attempt < 5 && farOff.empty(); ++attempt) {
        // A little further each time: a move to where the cursor already is sends nothing.
        MouseMoveTo(origin.x - 20 - attempt, circle.y);
        PumpTightly(200, [&] {
            for (const std::string& line : OverlayLog) {
                int x = 0, y = 0;
                if (std::sscanf(line.c_str(), "move %d %d", &x, &y) == 2 && x >= 32768)
                    farOff = line;
            }
            return !farOff.empty();
        });
    }
    const std::string seen = JoinWords(OverlayLog);
    CAPTURE(seen);
    // 20 pixels left of the client area reads as 65516 (not -20), where no
    // element is: the mouse keys are empty after that message.
    int farX = 0;
    CHECK(std::sscanf(farOff.c_str(), "move %d", &farX) == 1);
    CHECK(farX >= 65511);
    CHECK(farX <= 65516);
    CHECK(farOff.find("=0x0") != std::string::npos);
    CHECK(JoinWords(KeyLog).rfind("+Z -Z", 0) == 0);

    MouseUp();
    REQUIRE(WaitLogged("up", 1));
    CHECK(MouseMask == 0);
    CHECK(HeldKeys(KeyLog).empty());
    CHECK(GetCapture() != overlay);
}
