// Starting and ending the game, with the stand-in game as the game: launches
// are counted through the seams, the stand-in's log shows what it received.
#include <doctest/doctest.h>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>
#include "app/app.h"
#include "game/game.h"
#include "input/input.h"
#include "settings/settings.h"
#include "support.h"
#include "test_windows.h"

TEST_CASE("the game runs in the folder of its executable")
{
    struct Row {
        const wchar_t* path;
        bool found;
        const wchar_t* directory;
    };
    const Row rows[] = {
        {L"C:\\Games\\MGQ\\mgq.exe", true, L"C:\\Games\\MGQ"},
        {L"C:\\mgq.exe", true, L"C:\\"},
        {L"D:\\Program Files (x86)\\VORNEL\\MGQ\\mgq.exe", true,
         L"D:\\Program Files (x86)\\VORNEL\\MGQ"},
        {L"\\\\server\\share\\mgq.exe", true, L"\\\\server\\share"},
        {L"C:\\Games\\", true, L"C:\\Games"},
        {L"mgq.exe", false, L"untouched"},
        {L"C:/Games/mgq.exe", false, L"untouched"},
        {L"", false, L"untouched"},
    };
    for (const Row& row : rows) {
        CAPTURE(std::wstring(row.path).size());
        std::wstring directory = L"untouched";
        CHECK(GameWorkingDirectory(row.path, directory) == row.found);
        CHECK(directory == row.directory);
    }
}

namespace {

struct CreateRecord {
    int Calls = 0;
    std::wstring Application;
    bool CommandLineGiven = false;
    bool SecurityGiven = false;
    BOOL Inherit = TRUE;
    DWORD Flags = 0;
    bool EnvironmentGiven = false;
    std::wstring Directory;
    STARTUPINFOW Startup = {};
};
CreateRecord Created;
std::vector<DWORD> Sleeps;
int Enumerations = 0;
struct BoxRecord {
    int Calls = 0;
    HWND Owner = nullptr;
    std::wstring Text, Caption;
    UINT Type = 0;
    int Answer = IDCANCEL;
};
BoxRecord Box;

BOOL WINAPI FailingCreateProcess(LPCWSTR application, LPWSTR commandLine,
                                 LPSECURITY_ATTRIBUTES processAttributes,
                                 LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags,
                                 LPVOID environment, LPCWSTR directory, LPSTARTUPINFOW startup,
                                 LPPROCESS_INFORMATION)
{
    ++Created.Calls;
    Created.Application = application ? application : L"(none)";
    Created.CommandLineGiven = commandLine != nullptr;
    Created.SecurityGiven = processAttributes || threadAttributes;
    Created.Inherit = inherit;
    Created.Flags = flags;
    Created.EnvironmentGiven = environment != nullptr;
    Created.Directory = directory ? directory : L"(none)";
    Created.Startup = *startup;
    SetLastError(ERROR_FILE_NOT_FOUND);
    return FALSE;
}

void WINAPI RecordingSleep(DWORD milliseconds)
{
    Sleeps.push_back(milliseconds);
    Sleep(milliseconds);
}

// A new process may need longer than the launch wait under a loaded Wine: the
// first wait here lasts until a game window exists (or 10 s have passed).
void WINAPI SleepUntilGameWindow(DWORD milliseconds)
{
    if (Sleeps.empty()) WaitForTopWindow(GameWindowClass, 0, 10000);
    RecordingSleep(milliseconds);
}

// A process that never shows a window: handles of this test's own process.
PROCESS_INFORMATION LastWindowless = {};
BOOL WINAPI WindowlessCreateProcess(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                    BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                    LPPROCESS_INFORMATION info)
{
    ++Created.Calls;
    const HANDLE self = GetCurrentProcess();
    DuplicateHandle(self, self, self, &info->hProcess, 0, FALSE, DUPLICATE_SAME_ACCESS);
    DuplicateHandle(self, GetCurrentThread(), self, &info->hThread, 0, FALSE,
                    DUPLICATE_SAME_ACCESS);
    info->dwProcessId = GetCurrentProcessId();
    info->dwThreadId = GetCurrentThreadId();
    LastWindowless = *info;
    return TRUE;
}

int WINAPI ScriptedMessageBox(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type)
{
    ++Box.Calls;
    Box.Owner = owner;
    Box.Text = text;
    Box.Caption = caption;
    Box.Type = type;
    return Box.Answer;
}

// Keys and posted messages in the order they went out, as "DOWN 0x25", "POST CLOSE".
std::vector<std::string> Sent;

UINT WINAPI RecordingSendInput(UINT count, LPINPUT inputs, int size)
{
    for (UINT i = 0; i < count; ++i) {
        char text[32];
        std::snprintf(text, sizeof(text), "%s 0x%02X",
                      (inputs[i].ki.dwFlags & KEYEVENTF_KEYUP) ? "UP" : "DOWN", inputs[i].ki.wVk);
        Sent.push_back(text);
    }
    return SendInput(count, inputs, size);
}

BOOL WINAPI RecordingPostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    Sent.push_back(message == WM_CLOSE ? "POST CLOSE" : "POST other");
    return PostMessageW(window, message, wParam, lParam);
}

BOOL WINAPI CountingEnumWindows(WNDENUMPROC callback, LPARAM param)
{
    ++Enumerations;
    return EnumWindows(callback, param);
}

// Recording seams, an overlay-like MainWindow, zeroed settings and an empty
// cache for one case; everything restored afterwards.
struct GameScope {
    GameControlCalls savedControl = GameControl;
    DiscoveryCalls savedDiscovery = Discovery;
    KeyOutputCalls savedKeyOutput = KeyOutput;
    UniqueWindow overlay = CreateOverlayLikeWindow();
    GameScope()
    {
        GameControl.Sleep = RecordingSleep;
        GameControl.MessageBoxW = ScriptedMessageBox;
        GameControl.PostMessageW = RecordingPostMessage;
        Discovery.EnumWindows = CountingEnumWindows;
        KeyOutput.SendInput = RecordingSendInput;
        Created = CreateRecord{};
        Sent.clear();
        Sleeps.clear();
        Enumerations = 0;
        Box = BoxRecord{};
        MainWindow = overlay.get();
        CachedGameWindow = nullptr;
        Settings = SettingsRecord{};
    }
    ~GameScope()
    {
        EndGameWatch();
        if (SkipLatched) ReleaseSkipLatch();
        GameControl = savedControl;
        Discovery = savedDiscovery;
        KeyOutput = savedKeyOutput;
        MainWindow = nullptr;
        CachedGameWindow = nullptr;
        Settings = SettingsRecord{};
        SetEnvironmentVariableW(L"ORVEX_STANDIN_LOG", nullptr);
    }
};

std::string LastLineStartingWith(const std::wstring& log, const std::string& prefix)
{
    std::string found;
    for (const std::string& line : ReadGameLog(log))
        if (line.rfind(prefix, 0) == 0) found = line;
    return found;
}

// Ends the process that shows the game's window, at the end of a case.
struct LaunchedGame {
    ~LaunchedGame()
    {
        const HWND window = WaitForTopWindow(GameWindowClass, 0, 3000);
        DWORD id = 0;
        if (window) GetWindowThreadProcessId(window, &id);
        const UniqueHandleObject process(OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (!process) return;
        TerminateProcess(process.get(), 1);
        WaitForSingleObject(process.get(), 5000);
    }
};

}  // namespace

TEST_CASE("a launch is not tried with a game window cached or without a usable path")
{
    struct Row {
        const char* name;
        bool cached;
        const wchar_t* path;
        int creations;
    };
    const Row rows[] = {
        {"game window cached", true, L"C:\\Games\\MGQ\\mgq.exe", 0},
        {"empty path", false, L"", 0},
        {"no backslash", false, L"mgq.exe", 0},
        {"usable path", false, L"C:\\Games\\MGQ\\mgq.exe", 1},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        GameScope scope;
        GameControl.CreateProcessW = FailingCreateProcess;
        if (row.cached) CachedGameWindow = scope.overlay.get();  // read without validation
        SetMGQpath(Settings, row.path);
        LaunchGame();
        CHECK(Created.Calls == row.creations);
        // A failed creation ends the launch: no search, no wait.
        CHECK(Enumerations == 0);
        CHECK(Sleeps.empty());
    }
}

TEST_CASE("the game is started with its path, no command line and its own folder")
{
    GameScope scope;
    GameControl.CreateProcessW = FailingCreateProcess;
    SetMGQpath(Settings, L"C:\\Program Files\\MGQ\\mgq.exe");
    LaunchGame();
    REQUIRE(Created.Calls == 1);
    CHECK(Created.Application == L"C:\\Program Files\\MGQ\\mgq.exe");
    CHECK_FALSE(Created.CommandLineGiven);
    CHECK_FALSE(Created.SecurityGiven);
    CHECK(Created.Inherit == FALSE);
    CHECK(Created.Flags == NORMAL_PRIORITY_CLASS);
    CHECK_FALSE(Created.EnvironmentGiven);
    CHECK(Created.Directory == L"C:\\Program Files\\MGQ");
    CHECK(Created.Startup.cb == sizeof(STARTUPINFOW));
    CHECK(Created.Startup.dwFlags == STARTF_USESHOWWINDOW);
    CHECK(Created.Startup.wShowWindow == SW_SHOWDEFAULT);
}

TEST_CASE("a missing executable ends the launch without any window search")
{
    GameScope scope;
    // A window of the game's class that any search would find and cache.
    UniqueWindow decoy = CreateGameClassWindow(100, 100, 320, 200);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    SetMGQpath(Settings, (std::wstring(temp) + L"orvex-absent-game.exe").c_str());
    LaunchGame();
    CHECK(Enumerations == 0);
    CHECK(Sleeps.empty());
    CHECK(CachedGameWindow == nullptr);
}

TEST_CASE("a game whose window does not show is searched for 21 times over 200 ms, then watched")
{
    GameScope scope;
    GameControl.CreateProcessW = WindowlessCreateProcess;
    SetMGQpath(Settings, L"C:\\Games\\MGQ\\mgq.exe");
    LaunchGame();
    CHECK(Created.Calls == 1);
    CHECK(Enumerations == 21);
    CHECK(Sleeps == std::vector<DWORD>(20, 10));
    CHECK(CachedGameWindow == nullptr);
    CHECK(IsWatchingForGame());
    EndGameWatch();
    // The thread's handle was closed at once, the process's with the watch.
    DWORD flags = 0;
    CHECK_FALSE(GetHandleInformation(LastWindowless.hProcess, &flags));
    CHECK_FALSE(GetHandleInformation(LastWindowless.hThread, &flags));
}

namespace {

std::vector<std::pair<HWND, UINT>> Moves;
BOOL WINAPI RecordingSetWindowPos(HWND window, HWND, int, int, int, int, UINT flags)
{
    Moves.push_back({window, flags});
    return TRUE;
}

// The placement calls of one case recorded in Moves, not made.
struct RecordedPlacement {
    PlacementCalls saved = WindowPlacement;
    RecordedPlacement()
    {
        WindowPlacement.SetWindowPos = RecordingSetWindowPos;
        Moves.clear();
    }
    ~RecordedPlacement() { WindowPlacement = saved; }
};

}  // namespace

TEST_CASE("the watch places a late game window once, without activation, within a minute")
{
    struct Row {
        const char* name;
        bool windowShows;
        ULONGLONG after;  // ms after the launch
        bool closedFirst;
        bool placed;
        bool watching;  // afterwards
    };
    const Row rows[] = {
        {"the window shows after 5 s", true, 5000, false, true, true},
        {"no window yet after 5 s", false, 5000, false, false, true},
        {"no window within the minute", false, GameWatchSpan + 1, false, false, false},
        {"a window after the minute", true, GameWatchSpan + 1, false, false, false},
        {"グラス終了 before the window shows", true, 5000, true, false, false},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        GameScope scope;
        const RecordedPlacement placement;
        GameControl.CreateProcessW = WindowlessCreateProcess;
        SetMGQpath(Settings, L"C:\\Games\\MGQ\\mgq.exe");
        LaunchGame();
        const ULONGLONG launched = GetTickCount64();
        REQUIRE(IsWatchingForGame());
        if (row.closedFirst) CloseGame();
        UniqueWindow game;
        if (row.windowShows) game = CreateGameClassWindow(100, 100, 320, 200);

        CheckGameWatch(launched + row.after);
        CheckGameWatch(launched + row.after + GameWatchPeriod);
        CHECK(IsWatchingForGame() == row.watching);
        size_t gameMoves = 0;
        for (const auto& move : Moves) {
            CHECK((move.second & SWP_NOACTIVATE) != 0);
            if (move.first == game.get()) ++gameMoves;
        }
        CHECK((gameMoves > 0) == row.placed);
        CHECK(Moves.size() == (row.placed ? gameMoves + 1 : 0));  // once, with the overlay
        EndGameWatch();
    }
}

namespace {

// A game that ended before its window showed: its process handle is signalled.
BOOL WINAPI EndedCreateProcess(LPCWSTR application, LPWSTR commandLine,
                               LPSECURITY_ATTRIBUTES processAttributes,
                               LPSECURITY_ATTRIBUTES threadAttributes, BOOL inherit, DWORD flags,
                               LPVOID environment, LPCWSTR directory, LPSTARTUPINFOW startup,
                               LPPROCESS_INFORMATION info)
{
    WindowlessCreateProcess(application, commandLine, processAttributes, threadAttributes, inherit,
                            flags, environment, directory, startup, info);
    CloseHandle(info->hProcess);
    info->hProcess = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    return TRUE;
}

bool WasPlaced(HWND window)
{
    for (const auto& move : Moves)
        if (move.first == window) return true;
    return false;
}

}  // namespace

TEST_CASE("the watch places the window the player sees, and a starting game is started once")
{
    struct Row {
        const char* name;
        bool splash;  // shown, placed and gone before the main window
        bool hidden;
        bool launchAgain;
        bool exited;
        bool placed;
        bool watching;  // afterwards
    };
    const Row rows[] = {
        {"a hidden window", false, true, false, false, false, true},
        {"a splash, then the main window", true, false, false, false, true, true},
        {"グラス起動 again while the game starts", false, true, true, false, false, true},
        {"the game exits before its window shows", false, false, false, true, false, false},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        GameScope scope;
        const RecordedPlacement placement;
        GameControl.CreateProcessW = row.exited ? EndedCreateProcess : WindowlessCreateProcess;
        SetMGQpath(Settings, L"C:\\Games\\MGQ\\mgq.exe");
        LaunchGame();
        ULONGLONG now = GetTickCount64();
        const auto lookTwice = [&] {
            CheckGameWatch(now += GameWatchPeriod);
            CheckGameWatch(now += GameWatchPeriod);
        };
        if (row.splash) {
            const UniqueWindow splash = CreateGameClassWindow(300, 300, 200, 100);
            lookTwice();
            CHECK(WasPlaced(splash.get()));
        }
        UniqueWindow game = CreateGameClassWindow(100, 100, 320, 200);
        if (row.hidden) ShowWindow(game.get(), SW_HIDE);
        if (row.launchAgain) {
            CHECK(IsGameStarting());
            LaunchGame();
            CHECK(Created.Calls == 1);
        }
        lookTwice();
        CHECK(WasPlaced(game.get()) == row.placed);
        CHECK(IsWatchingForGame() == row.watching);
        EndGameWatch();
    }
}

TEST_CASE("the launched game starts in its folder and is placed once its window shows")
{
    GameScope scope;
    GameControl.Sleep = SleepUntilGameWindow;
    const std::wstring exe = InstallStandinGameCopy(L"orvex-launch");
    REQUIRE(!exe.empty());
    const std::wstring folder = exe.substr(0, exe.rfind(L'\\'));
    const std::wstring log = TempFilePath(L"launch");
    SetEnvironmentVariableW(L"ORVEX_STANDIN_LOG", log.c_str());
    SetMGQpath(Settings, exe.c_str());

    const LaunchedGame launched;
    LaunchGame();
    const HWND game = CachedGameWindow;
    // One search at once; the window was there for the next one.
    CHECK(Enumerations == 2);
    CHECK(Sleeps == std::vector<DWORD>{10});

    CHECK(WaitUntil([&] { return !LastLineStartingWith(log, "START").empty(); }));
    const std::string start = LastLineStartingWith(log, "START");
    CHECK(start.substr(start.find("cwd=")) == "cwd=" + Narrow(folder));

    REQUIRE_MESSAGE(game, "the stand-in game's window did not show within the launch wait");
    wchar_t key[ResolutionKeyCapacity];
    std::swprintf(key, ResolutionKeyCapacity, L"%dx%d", GetSystemMetrics(SM_CXSCREEN),
                  GetSystemMetrics(SM_CYSCREEN));
    const Placement placement = LookupPlacement(Settings.WindowRecords, key);
    char expected[96];
    std::snprintf(expected, sizeof(expected), "PLACE x=%ld y=%ld w=%ld h=%ld", placement.GamePos.x,
                  placement.GamePos.y, placement.GameSize.cx, placement.GameSize.cy);
    CHECK(WaitUntil([&] { return LastLineStartingWith(log, "PLACE") == expected; }, 2000));
}

using Events = std::vector<std::string>;

namespace {

const Events SentOnClose = {"POST CLOSE", "DOWN 0x25", "UP 0x25", "DOWN 0x5A", "UP 0x5A"};
const Events ReceivedOnClose = {"CLOSE",        "KEYDOWN 0x25", "QUIT-YES",  "KEYUP 0x25",
                                "KEYDOWN 0x5A", "EXIT",         "KEYUP 0x5A"};

Events Without(const Events& events, const std::string& dropped)
{
    Events kept;
    for (const std::string& event : events)
        if (event.find(dropped) == std::string::npos) kept.push_back(event);
    return kept;
}

Events Joined(Events first, const Events& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

size_t IndexOf(const Events& events, const std::string& event)
{
    for (size_t i = 0; i < events.size(); ++i)
        if (events[i] == event) return i;
    return events.size();
}

}  // namespace

TEST_CASE("closing asks first, then posts the close request and answers the quit question")
{
    struct Row {
        const char* name;
        int answer;
        bool latched;
        Events sent;  // after the latch was set
        bool exits;
    };
    const Row rows[] = {
        {"OK", IDOK, false, SentOnClose, true},
        {"OK with the skip latch on", IDOK, true, Joined({"UP 0x11"}, SentOnClose), true},
        {"Cancel", IDCANCEL, false, {}, false},
        {"Cancel with the skip latch on", IDCANCEL, true, {}, false},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        GameScope scope;
        const std::wstring log = TempFilePath(L"close");
        ChildProcess game;
        const HWND window = StartStandinGame(game, log);
        REQUIRE(window);
        REQUIRE(FindGameWindow() == window);
        if (row.latched) {
            REQUIRE(SetSkipLatch());
            // Wait for the press itself: an empty log has no first event.
            REQUIRE(WaitUntil([&] {
                const Events events = ReadGameEvents(log);
                return !events.empty() && events[0] == "KEYDOWN 0x11";
            }));
        }
        Sleeps.clear();
        Sent.clear();
        Box.Answer = row.answer;

        CloseGame();
        CHECK(Box.Calls == 1);
        CHECK(Box.Owner == MainWindow);
        CHECK(Box.Text == L"ムーン グラス 銀砂工房物語を終了します。");
        CHECK(Box.Caption == L"Orvex");
        CHECK(Box.Type == MB_OKCANCEL);
        CHECK(JoinLines(Sent) == JoinLines(row.sent));
        CHECK(game.WaitExit(3000) == row.exits);
        PumpFor(200);

        // A posted close request overtakes key input still queued for the game,
        // so the latch's Ctrl release is only sure to arrive before the first key.
        const Events received = ReadGameEvents(log);
        INFO(JoinLines(received));
        CHECK(JoinLines(Without(received, "0x11")) ==
              JoinLines(row.answer == IDOK ? ReceivedOnClose : Events{}));
        if (row.latched) {
            CHECK(IndexOf(received, "KEYDOWN 0x11") == 0);
            const bool released = row.answer == IDOK;
            CHECK((IndexOf(received, "KEYUP 0x11") < IndexOf(received, "KEYDOWN 0x25")) ==
                  released);
            CHECK((IndexOf(received, "KEYUP 0x11") < received.size()) == released);
        }
        if (row.answer == IDOK) {
            CHECK(Sleeps == std::vector<DWORD>{100, 30, 30, 30, 100});
            CHECK_FALSE(SkipLatched);
        } else {
            CHECK(Sleeps.empty());
            CHECK(SkipLatched == row.latched);
        }
    }
}

TEST_CASE("closing with no game window cached asks nothing and sends nothing")
{
    GameScope scope;
    const std::wstring log = TempFilePath(L"close-none");
    ChildProcess game;
    REQUIRE(StartStandinGame(game, log));  // running, but not found yet
    CloseGame();
    CHECK(Box.Calls == 0);
    CHECK(Sleeps.empty());
    CHECK(Sent.empty());
    PumpFor(200);
    CHECK(JoinLines(ReadGameEvents(log)).empty());
    CHECK(game.Running());
}
