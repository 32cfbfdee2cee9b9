// Registry value access shared by the settings store, the window records and
// the install path lookup. Registry data comes from outside the program, so
// every read checks type and size and never trusts a string's terminator.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>

// A REG_DWORD of at most 4 bytes (a shorter one is zero-extended). Any other
// type, a larger value or a failed query leaves `value` untouched.
bool ReadDwordValue(HKEY key, const wchar_t* name, int32_t& value);
bool WriteDwordValue(HKEY key, const wchar_t* name, int32_t value);

// A REG_SZ whose data fits `byteBudget` bytes. The text ends at its first
// terminator; data without one ends where the data ends (an odd trailing byte
// is dropped). Accepted only when the text is at most byteBudget / 2 - 1
// characters, the room the budget leaves beside a terminator.
bool ReadStringValue(HKEY key, const wchar_t* name, DWORD byteBudget, std::wstring& text);
// Writes the text with its terminator, (length + 1) * 2 bytes.
bool WriteStringValue(HKEY key, const wchar_t* name, const wchar_t* text);

// Signed 32-bit results of sums and differences of stored coordinates: the
// exact value where it fits, INT32_MIN or INT32_MAX where it does not.
int32_t SaturateToInt32(int64_t value);
int32_t SaturatingAdd(int32_t a, int32_t b);
int32_t SaturatingSubtract(int32_t a, int32_t b);
