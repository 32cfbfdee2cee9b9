// The diagnostic log's switch: the value DiagnosticLog (REG_DWORD, nonzero)
// under the settings key, or /log on the command line for one run.
#include "app.h"
#include <cwchar>
#include "base/log.h"
#include "settings/registry.h"
#include "settings/settings.h"
#include "version.h"

namespace {

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

void StartDiagnosticLog(const wchar_t* commandLine)
{
    const bool once = HasLogSwitch(commandLine);
    if (!once && !IsLogValueSet()) return;
    const std::wstring path = DefaultDiagnosticLogPath();
    if (path.empty() || !OpenDiagnosticLog(path.c_str(), DiagnosticLogLimit)) return;
    LogEvent("Orvex " ORVEX_VERSION_TEXT " (%u-bit) started, process %lu, log switched on by %s",
             static_cast<unsigned>(sizeof(void*) * 8), GetCurrentProcessId(),
             once ? "the command line" : "the registry");
}

void StopDiagnosticLog(int exitCode)
{
    LogEvent("Orvex ended, exit code %d", exitCode);
    CloseDiagnosticLog();
}
