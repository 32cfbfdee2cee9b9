// The diagnostic log's switch: the value DiagnosticLog (REG_DWORD, nonzero)
// under the settings key, or /log on the command line for one run.
#include "app.h"
#include <cwchar>
#include <string>
#include "base/log.h"
#include "game/game.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "version.h"

namespace {

const wchar_t LogRefusedTitle[] = L"診断ログを開けません";
const wchar_t LogRefusedText[] =
    L"診断ログのファイル（%LOCALAPPDATA%\\Orvex\\orvex.log）を開けないため、"
    L"この実行ではログは記録されません。";
static_assert(sizeof(LogRefusedTitle) <= sizeof(NOTIFYICONDATAW::szInfoTitle), "title fits");
static_assert(sizeof(LogRefusedText) <= sizeof(NOTIFYICONDATAW::szInfo), "text fits");

// Asked for but not opened: told once the tray icon is there.
bool LogRefused = false;

// The account the program runs as, in UTF-8: started elevated with another
// account's credentials, the log is that account's, not the desktop's user's.
std::string RunningUserName()
{
    wchar_t name[257] = L"";
    DWORD length = ARRAYSIZE(name);
    if (!GetUserNameW(name, &length)) return "unknown";
    char text[3 * ARRAYSIZE(name)] = "";
    if (!WideCharToMultiByte(CP_UTF8, 0, name, -1, text, sizeof(text), nullptr, nullptr))
        return "unknown";
    return text;
}

const char* IntegrityName(DWORD level)
{
    if (level == UnknownIntegrityLevel) return "unknown";
    if (level >= SECURITY_MANDATORY_SYSTEM_RID) return "system";
    if (level >= SECURITY_MANDATORY_HIGH_RID) return "high";
    if (level >= SECURITY_MANDATORY_MEDIUM_RID) return "medium";
    return "low";
}

bool IsLogValueSet()
{
    UniqueKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return false;
    int32_t value = 0;
    return ReadDwordValue(key.get(), L"DiagnosticLog", value) && value != 0;
}

// "/log" or "-log", in any case, as a word of its own.
bool HasLogSwitch(const wchar_t* commandLine)
{
    const wchar_t* at = commandLine ? commandLine : L"";
    while (*at) {
        while (*at == L' ' || *at == L'\t') ++at;
        const wchar_t* end = at;
        while (*end && *end != L' ' && *end != L'\t') ++end;
        if (end - at == 4 && (*at == L'/' || *at == L'-') && _wcsnicmp(at + 1, L"log", 3) == 0)
            return true;
        at = end;
    }
    return false;
}

}  // namespace

void StartDiagnosticLog(const wchar_t* commandLine, const wchar_t* path)
{
    LogRefused = false;
    const bool once = HasLogSwitch(commandLine);
    if (!once && !IsLogValueSet()) return;
    const std::wstring file = path ? std::wstring(path) : DefaultDiagnosticLogPath();
    LogRefused = file.empty() || !OpenDiagnosticLog(file.c_str(), DiagnosticLogLimit);
    if (LogRefused) return;
    const DWORD level = OverlayIntegrityLevel();
    LogEvent("Orvex " ORVEX_VERSION_TEXT
             " (%u-bit) started, process %lu, user %s, integrity %s (0x%lX), log switched on "
             "by %s",
             static_cast<unsigned>(sizeof(void*) * 8), GetCurrentProcessId(),
             RunningUserName().c_str(), IntegrityName(level), level,
             once ? "the command line" : "the registry");
}

void TellDiagnosticLogRefused()
{
    if (LogRefused) ShowTrayBalloon(LogRefusedTitle, LogRefusedText);
}

void StopDiagnosticLog(int exitCode)
{
    LogEvent("Orvex ended, exit code %d", exitCode);
    CloseDiagnosticLog();
}
