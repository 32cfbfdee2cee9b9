// Keys that cannot arrive: the integrity levels of the overlay and of the
// game's process, and the decision drawn from them.
#include <doctest/doctest.h>
#include <string>
#include <utility>
#include <vector>
#include "game/game.h"
#include "test_windows.h"

namespace {

constexpr DWORD Untrusted = SECURITY_MANDATORY_UNTRUSTED_RID;
constexpr DWORD Low = SECURITY_MANDATORY_LOW_RID;
constexpr DWORD Medium = SECURITY_MANDATORY_MEDIUM_RID;
constexpr DWORD MediumPlus = SECURITY_MANDATORY_MEDIUM_RID + 0x100;  // SECURITY_MANDATORY_MEDIUM_PLUS_RID
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

}  // namespace

TEST_CASE("input is blocked exactly when the game runs at a higher level than the overlay")
{
    const struct {
        DWORD overlay, game;
        bool blocked;
    } rows[] = {
        {Medium, Medium, false},  {Medium, High, true},      {High, Medium, false},
        {High, High, false},      {Low, Medium, true},       {Medium, Low, false},
        {Medium, MediumPlus, true}, {MediumPlus, Medium, false}, {High, System, true},
        {System, High, false},    {Untrusted, Low, true},    {Low, Untrusted, false},
        {Unknown, High, false},   {Medium, Unknown, false},  {Unknown, Unknown, false},
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
        {"game token otherwise failing", {Medium, Medium, 0, ERROR_INVALID_HANDLE, false}, Medium,
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
