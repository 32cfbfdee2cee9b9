// Whether the pad's keys can reach the game at all: the system drops input
// aimed at a process of a higher integrity level (an elevated game) without
// any error, so the user is told once per game window instead.
#include "game.h"
#include "base/messages.h"
#include "base/overlay.h"
#include "base/handle.h"
#include "base/log.h"

IntegrityCalls ProcessIntegrity = {OpenProcess, OpenProcessToken, GetTokenInformation};

namespace {

// The last game window looked at: one notice per window, not per search.
HWND CheckedGameWindow = nullptr;

// Limited queries are granted across levels to the same user, so a refusal
// means the game runs above us; any other failure (the game has just ended)
// tells nothing.
DWORD RefusedIntegrityLevel()
{
    return GetLastError() == ERROR_ACCESS_DENIED ? SECURITY_MANDATORY_HIGH_RID
                                                 : UnknownIntegrityLevel;
}

DWORD ReadTokenIntegrity(HANDLE process)
{
    UniqueHandleObject token;
    if (!ProcessIntegrity.OpenProcessToken(process, TOKEN_QUERY, token.put()))
        return RefusedIntegrityLevel();
    // The label and its SID in one aligned buffer.
    union {
        TOKEN_MANDATORY_LABEL label;
        // cppcheck-suppress unusedStructMember ; it only sizes the buffer
        BYTE bytes[sizeof(TOKEN_MANDATORY_LABEL) + SECURITY_MAX_SID_SIZE];
    } buffer = {};
    DWORD size = 0;
    if (!ProcessIntegrity.GetTokenInformation(token.get(), TokenIntegrityLevel, &buffer,
                                              sizeof(buffer), &size))
        return UnknownIntegrityLevel;
    const PSID sid = buffer.label.Label.Sid;
    if (!sid || !IsValidSid(sid)) return UnknownIntegrityLevel;
    const UCHAR count = *GetSidSubAuthorityCount(sid);
    if (count == 0) return UnknownIntegrityLevel;
    return *GetSidSubAuthority(sid, count - 1u);
}

}  // namespace

bool IsGameInputBlocked(DWORD overlayLevel, DWORD gameLevel)
{
    if (overlayLevel == UnknownIntegrityLevel || gameLevel == UnknownIntegrityLevel) return false;
    return gameLevel > overlayLevel;
}

DWORD OverlayIntegrityLevel()
{
    return ReadTokenIntegrity(GetCurrentProcess());
}

DWORD ProcessIntegrityLevel(DWORD processId)
{
    const UniqueHandleObject process(
        ProcessIntegrity.OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return RefusedIntegrityLevel();
    return ReadTokenIntegrity(process.get());
}

void CheckGameInputReach(HWND game)
{
    if (!game || game == CheckedGameWindow) return;
    DWORD processId = 0;
    // A window gone already says nothing about the next one.
    if (!GetWindowThreadProcessId(game, &processId) || !processId) return;
    CheckedGameWindow = game;
    const DWORD overlayLevel = OverlayIntegrityLevel();
    const DWORD gameLevel = ProcessIntegrityLevel(processId);
    const bool blocked = IsGameInputBlocked(overlayLevel, gameLevel);
    LogEvent("integrity levels: overlay 0x%lX, game 0x%lX (process %lu): %s", overlayLevel,
             gameLevel, processId, blocked ? "keys blocked" : "keys can arrive");
    if (!blocked) return;
    // Posted: at start-up the game is searched for before the tray icon exists.
    if (MainWindow) PostMessageW(MainWindow, WM_GAMEINPUTBLOCKED, 0, 0);
}
