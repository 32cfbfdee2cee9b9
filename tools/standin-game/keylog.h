// The stand-in game's event log: one line per event, flushed at once, each
// starting with the QueryPerformanceCounter value at which it was received.
#pragma once
#include <windows.h>

bool OpenEventLog(const wchar_t* path);  // null path: standard output
void LogEvent(const char* format, ...);
