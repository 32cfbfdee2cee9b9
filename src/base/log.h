// The diagnostic log: one line per event, with a time stamp, for finding out
// why a key did not arrive. Off unless asked for; then each line is formatted
// on the stack and written with one WriteFile to a file kept open, and when it
// is off a call costs one test of a flag. Lines are plain text, ASCII but for
// the account name of the first line (UTF-8).
#pragma once
#include <windows.h>
#include <string>

// About 1 MB; past that the file is kept once as "<name>.1" and a new one begun.
constexpr DWORD DiagnosticLogLimit = 1024 * 1024;

// Appends to the file at path (made when missing); false when it cannot be opened.
bool OpenDiagnosticLog(const wchar_t* path, DWORD limitBytes);
void CloseDiagnosticLog();
// printf-style text of one event; the time stamp and the line end are added.
// A line longer than about 400 characters is cut.
void LogEvent(const char* format, ...);

// %LOCALAPPDATA%\Orvex\orvex.log, its folder made when missing; empty when
// the folder is unknown.
std::wstring DefaultDiagnosticLogPath();
