// The diagnostic log's file: kept open while the log is on, its size counted
// here so that no line asks the system for it.
#include "base/log.h"
#include <shlobj.h>
#include <cstdarg>
#include <cstdio>

namespace {

HANDLE LogFile = INVALID_HANDLE_VALUE;
std::wstring LogPath;
DWORD LogLimit = 0;
ULONGLONG LogSize = 0;
// The size past which the next line turns the file over: the limit, or a
// step beyond the size at which a turnover could not rename the file.
ULONGLONG TurnOverSize = 0;

constexpr int LineCapacity = 512;

bool OpenLogFile(DWORD disposition)
{
    LogFile = CreateFileW(LogPath.c_str(), FILE_APPEND_DATA,
                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                          disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (LogFile == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size = {};
    if (!GetFileSizeEx(LogFile, &size)) size.QuadPart = 0;
    // A file past the limit (a larger limit before) is turned over at the first line.
    LogSize = static_cast<ULONGLONG>(size.QuadPart);
    TurnOverSize = LogLimit;
    return true;
}

void CloseLogFile()
{
    if (LogFile != INVALID_HANDLE_VALUE) CloseHandle(LogFile);
    LogFile = INVALID_HANDLE_VALUE;
}

// The full file is kept once as "<name>.1", replacing the one kept before. It
// is renamed while still open (it is opened sharing deletion), so a viewer
// that holds it without that share only makes the rename fail: the lines then
// go on into the current file, past the limit, and the rename is tried again
// a sixteenth of the limit later. The full log is never truncated.
bool TurnOverLogFile()
{
    if (!MoveFileExW(LogPath.c_str(), (LogPath + L".1").c_str(), MOVEFILE_REPLACE_EXISTING)) {
        TurnOverSize = LogSize + LogLimit / 16;
        return true;
    }
    CloseLogFile();
    return OpenLogFile(CREATE_ALWAYS);
}

// "2026-12-08 02:10:11.123 ": local time to the millisecond.
int FormatTimeStamp(char* line, size_t capacity)
{
    SYSTEMTIME now = {};
    GetLocalTime(&now);
    return std::snprintf(line, capacity, "%04u-%02u-%02u %02u:%02u:%02u.%03u ", now.wYear,
                         now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond,
                         now.wMilliseconds);
}

}  // namespace

bool OpenDiagnosticLog(const wchar_t* path, DWORD limitBytes)
{
    CloseDiagnosticLog();
    LogPath = path;
    LogLimit = limitBytes;
    return OpenLogFile(OPEN_ALWAYS);
}

void CloseDiagnosticLog()
{
    CloseLogFile();
}

void LogEvent(const char* format, ...)
{
    if (LogFile == INVALID_HANDLE_VALUE) return;
    char line[LineCapacity];
    const int stamp = FormatTimeStamp(line, sizeof(line));
    if (stamp < 0) return;
    // Room for the line end is kept back; a cut text keeps what fitted.
    const size_t room = sizeof(line) - static_cast<size_t>(stamp) - 2;
    va_list args;  // NOLINT(cppcoreguidelines-init-variables): va_start fills it
    va_start(args, format);
    const int text = std::vsnprintf(line + stamp, room, format, args);
    va_end(args);
    if (text < 0) return;
    const size_t textLength =
        static_cast<size_t>(text) < room ? static_cast<size_t>(text) : room - 1;
    size_t length = static_cast<size_t>(stamp) + textLength;
    line[length++] = '\r';
    line[length++] = '\n';
    const DWORD size = static_cast<DWORD>(length);
    if (LogSize + size > TurnOverSize && !TurnOverLogFile()) return;
    DWORD written = 0;
    if (WriteFile(LogFile, line, size, &written, nullptr)) LogSize += written;
}

std::wstring DefaultDiagnosticLogPath()
{
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    std::wstring path = std::wstring(folder) + L"\\Orvex";
    CreateDirectoryW(path.c_str(), nullptr);  // already there is no failure
    return path + L"\\orvex.log";
}
