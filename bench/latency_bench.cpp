// Input-to-key latency: a real left-button press on "○" of the running
// overlay, timed to the moment the stand-in game receives Z's key-down, beside
// Z injected straight into the game. Both ends stamp QueryPerformanceCounter.
#include <cstdio>
#include <random>
#include "bench.h"
#include "harness.h"
#include "input/input.h"

namespace {

constexpr DWORD ArrivalTimeoutMs = 3000;
constexpr int WarmUpPresses = 10;
// "○" covers client (10, 380) to (90, 460) at its default place.
constexpr POINT CircleCentre = {50, 420};
// Two clicks closer than the double-click distance, within the double-click
// time, make a double click, which presses nothing; the presses take turns
// between two points this far either side of the centre.
constexpr int Sidestep = 15;

// A small window on a thread of its own that never takes the foreground and
// stamps the arrival of every left-button press: what one mouse hop costs.
class PressTarget {
public:
    PressTarget()
    {
        ready_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        pressed_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        released_ = CreateEventW(nullptr, FALSE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
        WaitForSingleObject(ready_, 5000);
    }
    ~PressTarget()
    {
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        WaitForSingleObject(thread_, 5000);
        CloseHandle(thread_);
        CloseHandle(pressed_);
        CloseHandle(released_);
        CloseHandle(ready_);
    }
    PressTarget(const PressTarget&) = delete;
    PressTarget& operator=(const PressTarget&) = delete;
    HWND Window() const { return window_; }
    // The stamp of the next press, or -1 when none came in time.
    int64_t WaitForPress(DWORD timeoutMs)
    {
        return WaitForSingleObject(pressed_, timeoutMs) == WAIT_OBJECT_0 ? stamp_ : -1;
    }
    // Whether the release came in time.
    bool WaitForRelease(DWORD timeoutMs)
    {
        return WaitForSingleObject(released_, timeoutMs) == WAIT_OBJECT_0;
    }

private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
    {
        auto* self = reinterpret_cast<PressTarget*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        switch (message) {
        case WM_LBUTTONDOWN:
            self->stamp_ = NowTicks();
            SetEvent(self->pressed_);
            return 0;
        case WM_LBUTTONUP:
            SetEvent(self->released_);
            return 0;
        case WM_MOUSEACTIVATE:
            return MA_NOACTIVATE;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
        }
    }
    static DWORD WINAPI Run(void* param)
    {
        auto* self = static_cast<PressTarget*>(param);
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
        wc.lpszClassName = L"OrvexBenchPressTarget";
        RegisterClassExW(&wc);
        // Below the overlay's default place, clear of the game; layered and
        // topmost like the overlay.
        const HWND window =
            CreateWindowExW(WS_EX_NOACTIVATE | WS_EX_TOPMOST | WS_EX_LAYERED, wc.lpszClassName, L"",
                            WS_POPUP, 1600, 800, 100, 100, nullptr, nullptr, wc.hInstance, nullptr);
        if (window) {
            SetLayeredWindowAttributes(window, 0, 192, LWA_ALPHA);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
            ShowWindow(window, SW_SHOWNOACTIVATE);
        }
        self->window_ = window;
        SetEvent(self->ready_);
        MSG msg;
        while (window && GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        return 0;
    }

    HANDLE ready_ = nullptr;
    HANDLE pressed_ = nullptr;
    HANDLE released_ = nullptr;
    HANDLE thread_ = nullptr;
    HWND window_ = nullptr;
    volatile int64_t stamp_ = 0;
};

void InjectKey(WORD vk, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(INPUT));
}

// Milliseconds from the press to the game's Z key-down, or -1 when it did not
// come; the release is made either way and waited for.
double TimePress(GameLogFollower& log, bool throughOverlay, POINT at)
{
    log.Skip();
    const int64_t sent = NowTicks();
    if (throughOverlay)
        InjectButtonAt(at, true);
    else
        InjectKey('Z', true);
    const int64_t arrived = log.WaitFor("KEYDOWN vk=0x5A", ArrivalTimeoutMs);
    if (throughOverlay)
        InjectButtonAt(at, false);
    else
        InjectKey('Z', false);
    const int64_t released = log.WaitFor("KEYUP vk=0x5A", ArrivalTimeoutMs);
    if (arrived < 0 || released < 0) return -1;
    return static_cast<double>(arrived - sent) / TicksPerMs();
}

// Milliseconds from a press on the target to its arrival there, or -1.
double TimeMouseHop(PressTarget& target, POINT at)
{
    const int64_t sent = NowTicks();
    InjectButtonAt(at, true);
    const int64_t arrived = target.WaitForPress(ArrivalTimeoutMs);
    InjectButtonAt(at, false);
    // The button must be up for everyone before the next press elsewhere.
    if (!target.WaitForRelease(ArrivalTimeoutMs) || arrived < 0) return -1;
    return static_cast<double>(arrived - sent) / TicksPerMs();
}

// Milliseconds the overlay's key output takes for one press of Z with the game
// in front (the game's window lookup, the foreground test, SendInput), run here
// on the same calls; the key's arrival and its release are waited for.
double TimeKeyOutput(GameLogFollower& log)
{
    log.Skip();
    const int64_t start = NowTicks();
    const bool sent = SendKeyDown('Z');
    const double ms = static_cast<double>(NowTicks() - start) / TicksPerMs();
    const bool arrived = log.WaitFor("KEYDOWN vk=0x5A", ArrivalTimeoutMs) >= 0;
    SendKeyUp('Z');
    const bool released = log.WaitFor("KEYUP vk=0x5A", ArrivalTimeoutMs) >= 0;
    return sent && arrived && released ? ms : -1;
}

}  // namespace

void BenchLatency(const BenchOptions& options, std::vector<BenchRow>& rows)
{
    BenchRow row;
    row.Name = "input-to-key latency: press on ○ to the game's Z";
    row.Unit = "ms";
    row.BaselineName = "Z injected straight into the game";
    row.Target = 2.2;
    BenchRow hop = row;
    hop.Name = "one mouse hop: press delivered to a plain window";
    hop.Target = 0;
    BenchRow output = hop;
    output.Name = "the overlay's key output for one press (SendKeyDown)";

    RunningPair pair;
    PressTarget target;
    if (!StartPair(pair) || !target.Window()) {
        row.Note = "the overlay, the game in front and the press target could not all be started";
        rows.push_back(row);
        StopPair(pair);
        return;
    }
    GameLogFollower log(pair.LogPath);
    const POINT centre = ClientToScreenPoint(pair.Overlay, CircleCentre.x, CircleCentre.y);
    const POINT targetCentre = ClientToScreenPoint(target.Window(), 50, 50);
    PlaceCursor(centre);
    std::mt19937 random(options.Seed);
    // The overlay repaints after each press and each release (a few tens of ms
    // under Wine): the next press comes once that is surely over, as from rest.
    std::uniform_int_distribution<int> afterOverlay(150, 200), afterOther(10, 20);
    std::vector<double> overlay, mouse, sending;
    std::vector<double> straight[3];  // the straight presses beside each round
    int lost = 0;
    // Three rounds, each kind in turns with straight presses, so that a slow
    // spell of the machine hits both alike. The mouse hop has its own round:
    // under Wine a click on another program's never-activated window can make
    // the overlay's next key press go nowhere.
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < WarmUpPresses + options.Presses; ++i) {
            const int side = i % 2 ? Sidestep : -Sidestep;
            double measured = -1;
            if (round == 0) {
                const POINT onCircle = {centre.x + side, centre.y};
                // Not timed: Wine reads the cursor back from the X pointer,
                // which injected moves leave behind.
                PlaceCursor(onCircle);
                measured = TimePress(log, true, onCircle);
                Sleep(afterOverlay(random));
            } else if (round == 1) {
                const POINT onTarget = {targetCentre.x + side, targetCentre.y};
                PlaceCursor(onTarget);
                measured = TimeMouseHop(target, onTarget);
                Sleep(afterOther(random));
            } else {
                measured = TimeKeyOutput(log);
                Sleep(afterOther(random));
            }
            const double direct = TimePress(log, false, centre);
            Sleep(afterOther(random));
            if (measured < 0 || direct < 0) {
                ++lost;
                Sleep(600);  // whatever was half done settles; no double click follows
                continue;
            }
            if (i < WarmUpPresses) continue;
            (round == 0 ? overlay : round == 1 ? mouse : sending).push_back(measured);
            straight[round].push_back(direct);
        }
    }
    StopPair(pair);

    row.Figure = Summarize(overlay);
    row.Baseline = Summarize(straight[0]);
    row.Measured = !overlay.empty();
    hop.Figure = Summarize(mouse);
    hop.Baseline = Summarize(straight[1]);
    hop.Measured = !mouse.empty();
    const double own = row.Figure.Median - hop.Figure.Median - row.Baseline.Median;
    char share[200];
    std::snprintf(
        share, sizeof(share),
        "; the overlay's own share (median less one mouse hop and one key hop) is %.3f ms, "
        "%.2f of a key hop",
        own, Ratio(own, row.Baseline.Median));
    row.Note = std::to_string(overlay.size()) + " presses of each kind after " +
               std::to_string(WarmUpPresses) + " unmeasured, in turns" + share;
    if (lost)
        row.Note += "; " + std::to_string(lost) + " presses lost (no key within 3 s) and left out";
    hop.Note = "the relay's first hop on its own: the same kind of press, to a layered, "
               "never-activated window in another thread that only stamps its arrival";
    output.Figure = Summarize(sending);
    output.Baseline = Summarize(straight[2]);
    output.Measured = !sending.empty();
    output.Note =
        "the same code and calls as the overlay's, run by the benchmark with the game in front; "
        "the time until the call returns";
    rows.push_back(row);
    rows.push_back(hop);
    rows.push_back(output);
}
