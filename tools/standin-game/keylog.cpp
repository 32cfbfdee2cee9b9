#include "keylog.h"
#include <cstdarg>
#include <cstdio>

namespace {
HANDLE LogFile = INVALID_HANDLE_VALUE;
bool LogOwned = false;
}

bool OpenEventLog(const wchar_t* path)
{
    if (!path) {
        LogFile = GetStdHandle(STD_OUTPUT_HANDLE);
        return LogFile != INVALID_HANDLE_VALUE && LogFile != nullptr;
    }
    // Readers (the tests) follow the file while the game runs.
    LogFile = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                          nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    LogOwned = LogFile != INVALID_HANDLE_VALUE;
    return LogOwned;
}

void LogEvent(const char* format, ...)
{
    if (LogFile == INVALID_HANDLE_VALUE || LogFile == nullptr) return;
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    char line[512];
    int used = std::snprintf(line, sizeof(line), "%lld ", static_cast<long long>(now.QuadPart));
    va_list args;
    va_start(args, format);
    const int body = std::vsnprintf(line + used, sizeof(line) - used - 1, format, args);
    va_end(args);
    if (body < 0) return;
    used += body;
    if (used > static_cast<int>(sizeof(line)) - 2) used = sizeof(line) - 2;
    line[used++] = '\n';
    DWORD written = 0;
    WriteFile(LogFile, line, static_cast<DWORD>(used), &written, nullptr);
}
