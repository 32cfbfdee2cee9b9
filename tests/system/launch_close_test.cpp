// The real Orvex.exe starting and ending the stand-in game: through the menu
// commands, at start-up and at exit, answering its own confirmation box.
#include <doctest/doctest.h>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>
#include "app/app.h"
#include "settings/settings.h"
#include "support.h"

namespace {

const wchar_t CloseQuestion[] = L"ムーン グラス 銀砂工房物語を終了します。";

std::vector<std::string> LinesStartingWith(const std::wstring& log, const std::string& prefix)
{
    std::vector<std::string> lines;
    for (const std::string& line : ReadGameLog(log))
        if (line.rfind(prefix, 0) == 0) lines.push_back(line);
    return lines;
}

std::string DefaultGamePlacement()
{
    const Placement placement = DefaultPlacement();
    char text[96];
    std::snprintf(text, sizeof(text), "PLACE x=%ld y=%ld w=%ld h=%ld", placement.GamePos.x,
                  placement.GamePos.y, placement.GameSize.cx, placement.GameSize.cy);
    return text;
}

// The static text of a message box.
bool DialogShowsText(HWND dialog, const wchar_t* text)
{
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t shown[256] = L"";
        GetWindowTextW(child, shown, 256);
        if (std::wstring(shown) == text) return true;
    }
    return false;
}

void PostCommand(HWND overlay, WORD command)
{
    PostMessageW(overlay, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

// The stand-in game (logging to log), then Orvex, which finds it at start-up;
// then the command, which must ask the close question. Returns the question's
// box, or null.
HWND AskAboutTheGame(ChildProcess& game, ChildProcess& orvex, const std::wstring& log, WORD command)
{
    if (!StartStandinGame(game, log)) return nullptr;
    const HWND overlay = StartOrvex(orvex);
    if (!overlay) return nullptr;
    PostCommand(overlay, command);
    const HWND box = WaitForProcessDialog(orvex.Id(), L"Orvex");
    if (!box) return nullptr;
    CHECK(DialogShowsText(box, CloseQuestion));
    CHECK(GetWindow(box, GW_OWNER) == overlay);
    CHECK(ReadGameEvents(log).empty());  // nothing is sent before the answer
    return box;
}

// Process ids from the stand-in's START lines.
std::vector<DWORD> StartedProcesses(const std::wstring& log)
{
    std::vector<DWORD> ids;
    for (const std::string& line : LinesStartingWith(log, "START pid="))
        ids.push_back(static_cast<DWORD>(std::strtoul(line.c_str() + 10, nullptr, 10)));
    return ids;
}

// How long after its process was created the stand-in's window existed; -1
// while it does not.
long long WindowDelay(const std::wstring& log)
{
    const std::vector<std::string> lines = LinesStartingWith(log, "WINDOW after=");
    return lines.empty() ? -1 : std::atoll(lines[0].c_str() + 13);
}

// The stand-in installed as the game and named by the settings; its log path
// goes through the environment, which Orvex and the launched game inherit.
// Whatever was started from it is ended with it.
struct InstalledGame {
    std::wstring Exe = InstallStandinGameCopy(L"orvex-game");
    std::wstring Folder = Exe.substr(0, Exe.rfind(L'\\'));
    std::wstring Log = TempFilePath(L"launched");
    InstalledGame()
    {
        SetEnvironmentVariableW(L"ORVEX_STANDIN_LOG", Log.c_str());
        WriteOrvexText(L"", L"MGQpath", Exe);
    }
    ~InstalledGame()
    {
        SetEnvironmentVariableW(L"ORVEX_STANDIN_LOG", nullptr);
        for (DWORD id : StartedProcesses(Log)) {
            const HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id);
            if (!process) continue;
            TerminateProcess(process, 1);
            WaitForSingleObject(process, 5000);
            CloseHandle(process);
        }
    }
};

}  // namespace

TEST_CASE("with auto-launch on, the game starts at start-up and is placed once its window shows")
{
    // A quick game is placed by the launch's short wait (or, on a loaded machine, by the
    // watch); a slow one, whose window comes 1.5 s after its start, by the watch.
    // A game with a splash, whose window is then made hidden and shown a second later, is
    // placed once that window shows.
    struct Row {
        const char* name;
        const wchar_t* windowDelay;
        const wchar_t* splash = nullptr;
        const wchar_t* showDelay = nullptr;
    };
    const Row rows[] = {{"a quick game", nullptr},
                        {"a slow game", L"1500"},
                        {"a splash, then a hidden window shown later", nullptr, L"300", L"1000"}};
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        DeleteOrvexSettings();
        InstalledGame game;
        REQUIRE(!game.Exe.empty());
        WriteOrvexDword(L"", L"IsAutoMGQExec", 1);
        SetEnvironmentVariableW(L"ORVEX_STANDIN_WINDOW_DELAY", row.windowDelay);
        SetEnvironmentVariableW(L"ORVEX_STANDIN_SPLASH", row.splash);
        SetEnvironmentVariableW(L"ORVEX_STANDIN_SHOW_DELAY", row.showDelay);
        ChildProcess orvex;
        const HWND overlay = StartOrvex(orvex);
        SetEnvironmentVariableW(L"ORVEX_STANDIN_WINDOW_DELAY", nullptr);
        SetEnvironmentVariableW(L"ORVEX_STANDIN_SPLASH", nullptr);
        SetEnvironmentVariableW(L"ORVEX_STANDIN_SHOW_DELAY", nullptr);
        REQUIRE(overlay);

        const auto placed = [&] {
            const std::vector<std::string> places = LinesStartingWith(game.Log, "PLACE");
            return !places.empty() && places.back() == DefaultGamePlacement() &&
                   (!row.showDelay || !LinesStartingWith(game.Log, "SHOWN").empty());
        };
        REQUIRE_MESSAGE(WaitUntil(placed, 20000), "the launched game was never placed");
        const std::vector<std::string> starts = LinesStartingWith(game.Log, "START");
        REQUIRE(starts.size() == 1);
        CHECK(starts[0].substr(starts[0].find("cwd=")) == "cwd=" + Narrow(game.Folder));
        if (row.windowDelay) CHECK(WindowDelay(game.Log) >= 1500);

        // Placed once: a window the user moves afterwards stays where it was put.
        const HWND window = WaitForTopWindow(L"MoonGlass_Class", 0, 1000);
        REQUIRE(window);
        SetWindowPos(window, nullptr, 7, 9, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        PumpFor(500);
        RECT moved = {};
        GetWindowRect(window, &moved);
        CHECK(moved.left == 7);
        CHECK(moved.top == 9);
    }
    DeleteOrvexSettings();
}

TEST_CASE("グラス起動 starts the game, and nothing when the game already runs")
{
    DeleteOrvexSettings();
    SUBCASE("no game running: started in its own folder")
    {
        InstalledGame game;
        ChildProcess orvex;
        const HWND overlay = StartOrvex(orvex);
        REQUIRE(overlay);
        PostCommand(overlay, IDM_LAUNCHGAME);
        CHECK(WaitUntil([&] { return !LinesStartingWith(game.Log, "START").empty(); }));
        const std::vector<std::string> starts = LinesStartingWith(game.Log, "START");
        REQUIRE(starts.size() == 1);
        CHECK(starts[0].substr(starts[0].find("cwd=")) == "cwd=" + Narrow(game.Folder));
        CHECK(WaitForTopWindow(L"MoonGlass_Class", 0, 5000) != nullptr);
    }
    SUBCASE("the game already running: nothing is started")
    {
        InstalledGame game;
        ChildProcess running;
        REQUIRE(StartStandinGame(running, TempFilePath(L"running")));
        ChildProcess orvex;
        const HWND overlay = StartOrvex(orvex);
        REQUIRE(overlay);
        PostCommand(overlay, IDM_LAUNCHGAME);
        PumpFor(1500);
        CHECK(LinesStartingWith(game.Log, "START").empty());
        CHECK(CountTopWindows(L"MoonGlass_Class") == 1);
    }
    DeleteOrvexSettings();
}

TEST_CASE("グラス終了 asks, and on OK closes the game through its quit question")
{
    DeleteOrvexSettings();
    struct Row {
        const char* name;
        int button;
        bool closes;
    };
    const Row rows[] = {{"OK", IDOK, true}, {"Cancel", IDCANCEL, false}};
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        const std::wstring log = TempFilePath(L"closegame");
        ChildProcess game, orvex;
        const HWND box = AskAboutTheGame(game, orvex, log, IDM_CLOSEGAME);
        REQUIRE(box);
        PostMessageW(GetDlgItem(box, row.button), BM_CLICK, 0, 0);

        CHECK(game.WaitExit(5000) == row.closes);
        PumpFor(300);
        const std::vector<std::string> expected =
            row.closes ? std::vector<std::string>{"CLOSE",      "KEYDOWN 0x25", "QUIT-YES",
                                                  "KEYUP 0x25", "KEYDOWN 0x5A", "EXIT",
                                                  "KEYUP 0x5A"}
                       : std::vector<std::string>{};
        CHECK(JoinLines(ReadGameEvents(log)) == JoinLines(expected));
        CHECK(orvex.Running());
    }
    DeleteOrvexSettings();
}

TEST_CASE("グラス終了 with no game window known asks nothing")
{
    DeleteOrvexSettings();
    ChildProcess orvex;
    const HWND overlay = StartOrvex(orvex);
    REQUIRE(overlay);
    PostCommand(overlay, IDM_CLOSEGAME);
    PumpFor(1000);
    CHECK(FindProcessDialog(orvex.Id(), L"Orvex") == nullptr);
    CHECK(orvex.Running());
    DeleteOrvexSettings();
}

TEST_CASE("終了 with auto-close asks about the game and ends the program whatever the answer")
{
    DeleteOrvexSettings();
    struct Row {
        const char* name;
        int button;
        bool gameCloses;
    };
    const Row rows[] = {{"OK", IDOK, true}, {"Cancel", IDCANCEL, false}};
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        WriteOrvexDword(L"", L"IsAutoMGQClose", 1);
        const std::wstring log = TempFilePath(L"exitclose");
        ChildProcess game, orvex;
        const HWND box = AskAboutTheGame(game, orvex, log, IDM_EXIT);
        REQUIRE(box);
        CHECK(orvex.Running());  // the question comes before the end
        PostMessageW(GetDlgItem(box, row.button), BM_CLICK, 0, 0);
        DWORD code = 1234;
        CHECK(orvex.WaitExit(HangMs, &code));
        CHECK(code == 0);
        CHECK(game.WaitExit(3000) == row.gameCloses);
        CHECK(LinesStartingWith(log, "CLOSE").size() == (row.gameCloses ? 1u : 0u));
        if (!row.gameCloses) CHECK(ReadGameEvents(log).empty());
    }
    DeleteOrvexSettings();
}

TEST_CASE("終了 without auto-close ends the program at once and leaves the game alone")
{
    DeleteOrvexSettings();
    const std::wstring log = TempFilePath(L"exitplain");
    ChildProcess game, orvex;
    REQUIRE(StartStandinGame(game, log));
    const HWND overlay = StartOrvex(orvex);
    REQUIRE(overlay);
    PostCommand(overlay, IDM_EXIT);
    DWORD code = 1234;
    CHECK(orvex.WaitExit(HangMs, &code));
    CHECK(code == 0);
    CHECK(game.Running());
    CHECK(ReadGameEvents(log).empty());
    DeleteOrvexSettings();
}
