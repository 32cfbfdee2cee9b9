// Keys that cannot arrive: the integrity levels of the overlay and of the
// game's process, the decision drawn from them, and the tray balloon that
// tells the user once per game window.
#include <doctest/doctest.h>
#include <string>
#include <utility>
#include <vector>
#include "app/app.h"
#include "game/game.h"
#include "notifyrecorder.h"
#include "support.h"
#include "test_windows.h"

namespace {

constexpr DWORD Untrusted = SECURITY_MANDATORY_UNTRUSTED_RID;
constexpr DWORD Low = SECURITY_MANDATORY_LOW_RID;
constexpr DWORD Medium = SECURITY_MANDATORY_MEDIUM_RID;
constexpr DWORD MediumPlus =
    SECURITY_MANDATORY_MEDIUM_RID + 0x100;  // SECURITY_MANDATORY_MEDIUM_PLUS_RID
constexpr DWORD High = SECURITY_MANDATORY_HIGH_RID;
constexpr DWORD System = SECURITY_MANDATORY_SYSTEM_RID;
constexpr DWORD Unknown = UnknownIntegrityLevel;

// What the fake process and token calls report.
struct FakeLevels {
    DWORD overlay = Medium;
    DWORD game = Medium;
    DWORD openProcessError = 0;  // the game's process refuses with this error
    DWORD openTokenError = 0;    // the game's token refuses with this error
    bool informationFails = false;
};
FakeLevels Levels;
std::vector<std::pair<HANDLE, DWORD>> TokenLevels;  // newest last
std::vector<DWORD> OpenedProcesses;
std::vector<DWORD> OpenAccess;

// Real handles to this process, so that the code under test closes real ones.
HANDLE WINAPI FakeOpenProcess(DWORD access, BOOL, DWORD processId)
{
    OpenedProcesses.push_back(processId);
    OpenAccess.push_back(access);
    if (Levels.openProcessError) {
        SetLastError(Levels.openProcessError);
        return nullptr;
    }
    return OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, GetCurrentProcessId());
}

BOOL WINAPI FakeOpenProcessToken(HANDLE process, DWORD access, PHANDLE token)
{
    const bool own = process == GetCurrentProcess();
    if (!own && Levels.openTokenError) {
        SetLastError(Levels.openTokenError);
        return FALSE;
    }
    if (!OpenProcessToken(GetCurrentProcess(), access, token)) return FALSE;
    TokenLevels.emplace_back(*token, own ? Levels.overlay : Levels.game);
    return TRUE;
}

BOOL WINAPI FakeGetTokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID info,
                                    DWORD size, PDWORD returned)
{
    if (kind != TokenIntegrityLevel || Levels.informationFails) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    DWORD level = Unknown;
    for (auto i = TokenLevels.rbegin(); i != TokenLevels.rend(); ++i)
        if (i->first == token) {
            level = i->second;
            break;
        }
    REQUIRE(level != Unknown);
    const DWORD needed = sizeof(TOKEN_MANDATORY_LABEL) + GetSidLengthRequired(1);
    *returned = needed;
    if (size < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    auto* label = static_cast<TOKEN_MANDATORY_LABEL*>(info);
    const PSID sid = label + 1;
    SID_IDENTIFIER_AUTHORITY authority = SECURITY_MANDATORY_LABEL_AUTHORITY;
    InitializeSid(sid, &authority, 1);
    *GetSidSubAuthority(sid, 0) = level;
    label->Label.Sid = sid;
    label->Label.Attributes = SE_GROUP_INTEGRITY;
    return TRUE;
}

struct FakeIntegrity {
    IntegrityCalls saved = ProcessIntegrity;
    explicit FakeIntegrity(FakeLevels levels)
    {
        Levels = levels;
        TokenLevels.clear();
        OpenedProcesses.clear();
        OpenAccess.clear();
        ProcessIntegrity = {FakeOpenProcess, FakeOpenProcessToken, FakeGetTokenInformation};
    }
    ~FakeIntegrity() { ProcessIntegrity = saved; }
};

// A hidden window standing in for the overlay, whose posted notices are handed
// to the real window procedure, as the message loop would; tray calls recorded.
struct NoticeScope {
    NotifyIconRecorder tray;
    HWND savedMain = MainWindow;
    HWND savedCache = CachedGameWindow;
    UniqueWindow overlay = CreateOverlayLikeWindow();
    NoticeScope()
    {
        MainWindow = overlay.get();
        CachedGameWindow = nullptr;
    }
    ~NoticeScope()
    {
        DeliverNotices();
        MainWindow = savedMain;
        CachedGameWindow = savedCache;
    }
    // How many "game input blocked" notices were waiting.
    int DeliverNotices() const
    {
        int n = 0;
        MSG msg;
        while (PeekMessageW(&msg, overlay.get(), WM_GAMEINPUTBLOCKED, WM_GAMEINPUTBLOCKED,
                            PM_REMOVE)) {
            ++n;
            MainWndProc(msg.hwnd, msg.message, msg.wParam, msg.lParam);
        }
        return n;
    }
};

}  // namespace

TEST_CASE("input is blocked exactly when the game runs at a higher level than the overlay")
{
    const struct {
        DWORD overlay, game;
        bool blocked;
    } rows[] = {
        {Medium, Medium, false},    {Medium, High, true},        {High, Medium, false},
        {High, High, false},        {Low, Medium, true},         {Medium, Low, false},
        {Medium, MediumPlus, true}, {MediumPlus, Medium, false}, {High, System, true},
        {System, High, false},      {Untrusted, Low, true},      {Low, Untrusted, false},
        {Unknown, High, false},     {Medium, Unknown, false},    {Unknown, Unknown, false},
    };
    for (const auto& row : rows) {
        CAPTURE(row.overlay);
        CAPTURE(row.game);
        CHECK(IsGameInputBlocked(row.overlay, row.game) == row.blocked);
    }
}

TEST_CASE("levels come from the token's label; a refusal counts as elevated")
{
    struct Row {
        const char* name;
        FakeLevels levels;
        DWORD overlay, game;
    };
    const Row rows[] = {
        {"both medium", {Medium, Medium, 0, 0, false}, Medium, Medium},
        {"game elevated", {Medium, High, 0, 0, false}, Medium, High},
        {"overlay elevated", {High, Medium, 0, 0, false}, High, Medium},
        {"game process refuses", {Medium, Medium, ERROR_ACCESS_DENIED, 0, false}, Medium, High},
        {"game process gone", {Medium, Medium, ERROR_INVALID_PARAMETER, 0, false}, Medium, Unknown},
        {"game token refuses", {Medium, Medium, 0, ERROR_ACCESS_DENIED, false}, Medium, High},
        {"game token otherwise failing",
         {Medium, Medium, 0, ERROR_INVALID_HANDLE, false},
         Medium,
         Unknown},
        {"no label to read", {Medium, High, 0, 0, true}, Unknown, Unknown},
    };
    for (const Row& row : rows) {
        const std::string name = row.name;
        CAPTURE(name);
        FakeIntegrity fake(row.levels);
        CHECK(OverlayIntegrityLevel() == row.overlay);
        CHECK(ProcessIntegrityLevel(4321) == row.game);
        // Only the limited query, which an elevated game still answers.
        REQUIRE(OpenedProcesses.size() == 1);
        CHECK(OpenedProcesses[0] == 4321);
        CHECK(OpenAccess[0] == PROCESS_QUERY_LIMITED_INFORMATION);
    }
}

TEST_CASE("an elevated game is reported once per game window, in the tray icon's balloon")
{
    const struct {
        DWORD overlay, game;
        int notices;
    } rows[] = {
        {Medium, High, 1}, {Medium, Medium, 0}, {High, High, 0},
        {Low, Medium, 1},  {High, Medium, 0},
    };
    NoticeScope scope;
    REQUIRE(scope.overlay);
    HWND previous = nullptr;
    for (const auto& row : rows) {
        CAPTURE(row.overlay);
        CAPTURE(row.game);
        FakeIntegrity fake({row.overlay, row.game, 0, 0, false});
        scope.tray.Clear();
        UniqueWindow game = CreateGameClassWindow(300, 200, 320, 240);
        REQUIRE(game);
        REQUIRE(game.get() != previous);
        previous = game.get();

        CachedGameWindow = nullptr;
        REQUIRE(FindGameWindow() == game.get());
        CHECK(scope.DeliverNotices() == row.notices);
        // Found again, or reached through the cache: nothing more is said.
        CHECK(FindGameWindow() == game.get());
        CHECK(GetGameWindow() == game.get());
        CHECK(scope.DeliverNotices() == 0);

        CHECK(scope.tray.CountBalloons() == row.notices);
        if (row.notices == 0) continue;
        REQUIRE(scope.tray.Records.size() == 1);
        const NOTIFYICONDATAW& data = scope.tray.Records[0];
        CHECK(scope.tray.Messages[0] == static_cast<DWORD>(NIM_MODIFY));
        CHECK(data.cbSize == sizeof(NOTIFYICONDATAW));
        CHECK(data.hWnd == scope.overlay.get());
        CHECK(data.uID == 1);
        CHECK(data.uFlags == static_cast<UINT>(NIF_INFO));
        CHECK(data.dwInfoFlags == static_cast<DWORD>(NIIF_WARNING));
        // Both texts whole: terminated within their buffers and ending where a sentence ends.
        const std::wstring title = data.szInfoTitle;
        const std::wstring text = data.szInfo;
        CHECK(!title.empty());
        CHECK(title.size() < ARRAYSIZE(data.szInfoTitle) - 1);
        CHECK(text.size() < ARRAYSIZE(data.szInfo) - 1);
        CHECK(text.back() == L'。');
    }
}

TEST_CASE("under this system the stand-in game runs at the overlay's level and no balloon is shown")
{
    NoticeScope scope;
    REQUIRE(scope.overlay);
    ChildProcess process;
    const HWND game = StartStandinGame(process, TempFilePath(L"integrity-game"));
    REQUIRE(game);

    const DWORD own = OverlayIntegrityLevel();
    CHECK(own != Unknown);
    CHECK(own >= Low);
    CHECK(own <= System);
    CHECK(ProcessIntegrityLevel(process.Id()) == own);

    REQUIRE(FindGameWindow() == game);
    CHECK(scope.DeliverNotices() == 0);
    CHECK(scope.tray.CountBalloons() == 0);
    CHECK(scope.tray.Records.empty());
}
