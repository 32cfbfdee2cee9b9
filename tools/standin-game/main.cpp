// A stand-in for the game: a window of the game's class that logs every key,
// left-button press, close request and placement it receives, shows the keys
// it holds, and asks "quit?" on a close request the way the game does (Left
// selects yes, Z confirms).
//
//   standin-game.exe [--log FILE] [--pos X Y] [--client W H] [--window-delay MS]
//                    [--poll-hz N] [--splash MS] [--show-delay MS]
//   (without --log: the file named by ORVEX_STANDIN_LOG, else standard output;
//   without --window-delay, --splash or --show-delay: the milliseconds in
//   ORVEX_STANDIN_WINDOW_DELAY, ORVEX_STANDIN_SPLASH or ORVEX_STANDIN_SHOW_DELAY,
//   else none). --splash shows a small window of the same class for that long
//   first; --show-delay makes the window hidden, centres it and shows it that
//   much later, as games that load before they show do.
//   With --poll-hz: like a game that reads the keyboard's state N times a second
//   instead of its key messages, it logs each read (READ) and each change it sees
//   as POLLDOWN/POLLUP; the key messages are still logged, to tell what was sent
//   from what was seen.
#include <windows.h>
#include <shellapi.h>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include "keylog.h"

namespace {

const wchar_t GameClass[] = L"MoonGlass_Class";
constexpr DWORD GameStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

bool KeyHeld[256];
enum class QuitState { None, Asked, YesSelected, Confirmed } Quit = QuitState::None;
// Once confirmed, the window stays until Z is let go (or this long has passed),
// so the release of the confirming key still reaches it.
constexpr UINT_PTR ExitTimer = 1;
constexpr UINT ExitDelayMs = 1000;
bool FirstPaintLogged = false;
// Polling mode: reads of the keyboard's state at fixed points in time, on
// threads of their own as a game's frame loop makes them (a timer message would
// wait behind every key message and paint). Wine keeps a thread's reading of a
// key that is up for 50 ms, so the reads take turns among enough threads that
// each one's last reading is always older than that, and every read sees the
// state of its moment, as on Windows.
constexpr ULONGLONG ReadingKeptMs = 50;
struct PollTurn {
    ULONGLONG First;  // GetTickCount64 of this reader's first read
    ULONGLONG Step;   // between this reader's reads
};
PollTurn PollTurns[64];
CRITICAL_SECTION PollLock;
bool PolledDown[256];

// The splash window while it shows: it logs nothing and its end ends nothing.
HWND Splash = nullptr;

const char* KeyEventName(UINT message)
{
    switch (message) {
    case WM_KEYDOWN: return "KEYDOWN";
    case WM_KEYUP: return "KEYUP";
    case WM_SYSKEYDOWN: return "SYSKEYDOWN";
    default: return "SYSKEYUP";
    }
}

void LogKey(UINT message, WPARAM vk, LPARAM info)
{
    const unsigned bits = static_cast<unsigned>(info);
    LogEvent("%s vk=0x%02X scan=0x%02X ext=%u repeat=%u prev=%u trans=%u", KeyEventName(message),
             static_cast<unsigned>(vk), (bits >> 16) & 0xFF, (bits >> 24) & 1, bits & 0xFFFF,
             (bits >> 30) & 1, (bits >> 31) & 1);
}

void LogClientRect(HWND window)
{
    RECT client;
    GetClientRect(window, &client);
    POINT origin = {0, 0};
    ClientToScreen(window, &origin);
    LogEvent("PLACE x=%ld y=%ld w=%ld h=%ld", origin.x, origin.y, client.right, client.bottom);
}

// The game's quit question: Left selects "yes", then Z confirms; anything else
// leaves the question open.
void AnswerQuitQuestion(HWND window, WPARAM vk)
{
    if (Quit == QuitState::Asked && vk == VK_LEFT) {
        Quit = QuitState::YesSelected;
        LogEvent("QUIT-YES");
    } else if (Quit == QuitState::YesSelected && vk == 'Z') {
        LogEvent("EXIT");
        Quit = QuitState::Confirmed;
        SetTimer(window, ExitTimer, ExitDelayMs, nullptr);
    }
    InvalidateRect(window, nullptr, TRUE);
}

void OnKey(HWND window, UINT message, WPARAM vk, LPARAM info)
{
    LogKey(message, vk, info);
    const bool down = message == WM_KEYDOWN || message == WM_SYSKEYDOWN;
    if (vk < 256) KeyHeld[vk] = down;
    InvalidateRect(window, nullptr, TRUE);
    if (down && Quit != QuitState::None) AnswerQuitQuestion(window, vk);
    if (!down && Quit == QuitState::Confirmed && vk == 'Z') DestroyWindow(window);
}

// Only the state at the moment of the read counts: the "pressed since the
// last call" bit is what a frame-reading game does not look at.
void ReadKeyboard()
{
    EnterCriticalSection(&PollLock);
    LogEvent("READ");
    for (int vk = 1; vk < 256; ++vk) {
        const bool down = (GetAsyncKeyState(vk) & 0x8000) != 0;
        if (down == PolledDown[vk]) continue;
        PolledDown[vk] = down;
        LogEvent("%s vk=0x%02X", down ? "POLLDOWN" : "POLLUP", static_cast<unsigned>(vk));
    }
    LeaveCriticalSection(&PollLock);
}

// One late read does not shift the later ones; a turn already past is left to
// the next reader.
DWORD WINAPI ReadInTurn(void* parameter)
{
    const PollTurn turn = *static_cast<const PollTurn*>(parameter);
    for (ULONGLONG next = turn.First;; next += turn.Step) {
        ULONGLONG now = GetTickCount64();
        while (next + turn.Step <= now) next += turn.Step;
        if (next > now) Sleep(static_cast<DWORD>(next - now));
        ReadKeyboard();
    }
}

bool StartPolling(int hz)
{
    const ULONGLONG period = 1000 / static_cast<ULONGLONG>(hz < 1 ? 1 : hz > 1000 ? 1000 : hz);
    const ULONGLONG readers = ReadingKeptMs / period + 2;
    if (readers > sizeof(PollTurns) / sizeof(PollTurns[0])) return false;
    InitializeCriticalSection(&PollLock);
    const ULONGLONG start = GetTickCount64();
    for (ULONGLONG i = 0; i < readers; ++i) {
        PollTurns[i] = {start + i * period, readers * period};
        const HANDLE reader = CreateThread(nullptr, 0, ReadInTurn, &PollTurns[i], 0, nullptr);
        if (!reader) return false;
        CloseHandle(reader);
    }
    return true;
}

void OnPaint(HWND window)
{
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(window, &ps);
    std::wstring text = L"Stand-in game. Keys held:";
    for (int vk = 0; vk < 256; ++vk) {
        if (!KeyHeld[vk]) continue;
        wchar_t name[64] = L"";
        const UINT scan = MapVirtualKeyW(vk, MAPVK_VK_TO_VSC);
        const bool extended = vk >= VK_PRIOR && vk <= VK_DOWN;
        if (!GetKeyNameTextW(static_cast<LONG>((scan << 16) | (extended ? 1u << 24 : 0u)), name, 64))
            std::swprintf(name, 64, L"0x%02X", vk);
        text += L" [";
        text += name;
        text += L"]";
    }
    if (Quit == QuitState::Asked) text += L"\r\nQuit? (Left = yes)";
    if (Quit == QuitState::YesSelected) text += L"\r\nQuit? > yes (Z to confirm)";
    RECT area;
    GetClientRect(window, &area);
    InflateRect(&area, -10, -10);
    DrawTextW(dc, text.c_str(), -1, &area, DT_LEFT | DT_WORDBREAK);
    EndPaint(window, &ps);
    if (!FirstPaintLogged) {
        FirstPaintLogged = true;
        LogEvent("PAINT first");
    }
}

LRESULT CALLBACK GameWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        OnKey(window, message, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        // Benchmarks time a click's way here against a key's.
        LogEvent("%s x=%d y=%d", message == WM_LBUTTONDOWN ? "MOUSEDOWN" : "MOUSEUP",
                 static_cast<int>(static_cast<short>(LOWORD(lParam))),
                 static_cast<int>(static_cast<short>(HIWORD(lParam))));
        return 0;
    case WM_CLOSE:
        LogEvent("CLOSE");
        Quit = QuitState::Asked;
        InvalidateRect(window, nullptr, TRUE);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (window != Splash &&
            (pos->flags & (SWP_NOMOVE | SWP_NOSIZE)) != (SWP_NOMOVE | SWP_NOSIZE))
            LogClientRect(window);
        return DefWindowProcW(window, message, wParam, lParam);
    }
    case WM_SETFOCUS:
        LogEvent("FOCUS");
        return 0;
    case WM_KILLFOCUS:
        LogEvent("BLUR");
        return 0;
    case WM_PAINT:
        OnPaint(window);
        return 0;
    case WM_TIMER:
        if (wParam == ExitTimer) DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        if (window != Splash) PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// How long this process has existed: a launcher that waits only briefly for
// the window can then tell whether it could have seen it.
long long MillisecondsSinceProcessStart()
{
    FILETIME created, exited, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return -1;
    GetSystemTimeAsFileTime(&now);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return (ticks(now) - ticks(created)) / 10000;  // 100 ns units
}

struct Options {
    const wchar_t* logPath = nullptr;
    int x = 100, y = 100, width = 800, height = 600;
    int windowDelay = -1;  // ms before the window is made, like a game that loads first
    int pollHz = 0;        // reads of the keyboard's state a second; 0: key messages
    int splash = -1;       // ms a splash window shows first
    int showDelay = -1;    // ms the window stays hidden once made
};

Options ParseOptions()
{
    Options options;
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    for (int i = 1; argv && i < argc; ++i) {
        if (!std::wcscmp(argv[i], L"--log") && i + 1 < argc) {
            options.logPath = argv[++i];
        } else if (!std::wcscmp(argv[i], L"--pos") && i + 2 < argc) {
            options.x = _wtoi(argv[++i]);
            options.y = _wtoi(argv[++i]);
        } else if (!std::wcscmp(argv[i], L"--client") && i + 2 < argc) {
            options.width = _wtoi(argv[++i]);
            options.height = _wtoi(argv[++i]);
        } else if (!std::wcscmp(argv[i], L"--window-delay") && i + 1 < argc) {
            options.windowDelay = _wtoi(argv[++i]);
        } else if (!std::wcscmp(argv[i], L"--poll-hz") && i + 1 < argc) {
            options.pollHz = _wtoi(argv[++i]);
        } else if (!std::wcscmp(argv[i], L"--splash") && i + 1 < argc) {
            options.splash = _wtoi(argv[++i]);
        } else if (!std::wcscmp(argv[i], L"--show-delay") && i + 1 < argc) {
            options.showDelay = _wtoi(argv[++i]);
        }
    }
    return options;  // argv stays alive for the log path: the process owns it until exit
}

// A launcher passes no command line, so a slow game is asked for through the environment.
int MillisecondsOption(int given, const wchar_t* variable)
{
    if (given >= 0) return given;
    wchar_t text[16] = L"";
    const DWORD length = GetEnvironmentVariableW(variable, text, 16);
    return length > 0 && length < 16 ? _wtoi(text) : -1;
}

// Runs this thread's messages for a while.
void PumpMessagesFor(int milliseconds)
{
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(milliseconds);
    for (ULONGLONG now = GetTickCount64(); now < end; now = GetTickCount64()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
}

void ShowSplash(HINSTANCE instance, int milliseconds)
{
    Splash = CreateWindowExW(0, GameClass, L"Stand-in splash", WS_POPUP | WS_BORDER, 300, 300, 320,
                             180, nullptr, nullptr, instance, nullptr);
    if (!Splash) return;
    LogEvent("SPLASH shown");
    ShowWindow(Splash, SW_SHOWNOACTIVATE);
    PumpMessagesFor(milliseconds);
    DestroyWindow(Splash);
    Splash = nullptr;
    LogEvent("SPLASH gone");
}

void CentreWindow(HWND window)
{
    RECT outer = {};
    GetWindowRect(window, &outer);
    const int width = outer.right - outer.left;
    const int height = outer.bottom - outer.top;
    SetWindowPos(window, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    const Options options = ParseOptions();
    // Started without a command line (as a launcher does), the log path can
    // come from the environment instead.
    wchar_t environmentLog[MAX_PATH] = L"";
    const DWORD length = GetEnvironmentVariableW(L"ORVEX_STANDIN_LOG", environmentLog, MAX_PATH);
    const bool useEnvironment = !options.logPath && length > 0 && length < MAX_PATH;
    OpenEventLog(useEnvironment ? environmentLog : options.logPath);

    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    wchar_t cwd[MAX_PATH] = L"";
    GetCurrentDirectoryW(MAX_PATH, cwd);
    char cwdUtf8[MAX_PATH * 3] = "";
    WideCharToMultiByte(CP_UTF8, 0, cwd, -1, cwdUtf8, sizeof(cwdUtf8), nullptr, nullptr);
    LogEvent("START pid=%lu freq=%lld cwd=%s", GetCurrentProcessId(),
             static_cast<long long>(frequency.QuadPart), cwdUtf8);

    const int windowDelay = MillisecondsOption(options.windowDelay, L"ORVEX_STANDIN_WINDOW_DELAY");
    if (windowDelay > 0) Sleep(static_cast<DWORD>(windowDelay));

    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = GameWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = GameClass;
    if (!RegisterClassExW(&wc)) return 1;
    const int splash = MillisecondsOption(options.splash, L"ORVEX_STANDIN_SPLASH");
    if (splash > 0) ShowSplash(instance, splash);

    RECT outer = {0, 0, options.width, options.height};
    AdjustWindowRectEx(&outer, GameStyle, FALSE, 0);
    const HWND window = CreateWindowExW(
        0, GameClass, L"Stand-in game", GameStyle, options.x + outer.left, options.y + outer.top,
        outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    LogEvent("WINDOW after=%lld", MillisecondsSinceProcessStart());
    if (options.pollHz > 0) {
        const bool polling = StartPolling(options.pollHz);
        LogEvent("POLL hz=%d %s", options.pollHz, polling ? "started" : "failed");
    }
    const int showDelay = MillisecondsOption(options.showDelay, L"ORVEX_STANDIN_SHOW_DELAY");
    if (showDelay > 0) {
        CentreWindow(window);
        PumpMessagesFor(showDelay);
        LogEvent("SHOWN");
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);
    SetForegroundWindow(window);

    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
