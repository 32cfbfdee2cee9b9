// Registry helpers for the settings tests: each test run has its own Wine
// prefix, so the tests write the keys they need and wipe them afterwards.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "settings/settings.h"

constexpr const wchar_t* InstallKeyPath = L"SOFTWARE\\VORNEL\\MGQ_RM_DL";
constexpr const wchar_t* InstallKeyPath2 = L"SOFTWARE\\Wow6432NODE\\VORNEL\\MGQ_RM_DL";

// Removes the settings key and both install records before and after a case,
// and leaves the global Settings zeroed as at program start.
struct CleanRegistry {
    CleanRegistry();
    ~CleanRegistry();
};

void WipeTestKeys();

// Stores exactly the given bytes under any type (no terminator is added to
// strings); creates the key on the way.
void SetRawValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                 const void* data, DWORD size);
void SetDwordValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value);
// A REG_SZ of exactly the text's code units, no terminator added (the text may
// carry its own), and one stray byte more when oddByte is set.
void SetStringBytes(HKEY root, const std::wstring& path, const wchar_t* name,
                    const std::wstring& data, bool oddByte);
void SetStringValue(HKEY root, const std::wstring& path, const wchar_t* name,
                    const std::wstring& text, DWORD type = REG_SZ);

struct StoredValue {
    std::wstring Name;
    DWORD Type;
    std::vector<BYTE> Data;
};
// Every value of a key (empty when the key is missing), in enumeration order.
std::vector<StoredValue> ListValues(HKEY root, const std::wstring& path);
// Every subkey name of a key, however long, in enumeration order.
std::vector<std::wstring> ListSubkeys(HKEY root, const std::wstring& path);
bool KeyExists(HKEY root, const std::wstring& path);
// The value's data as a signed number when it is a 4-byte REG_DWORD.
bool ReadStoredDword(HKEY root, const std::wstring& path, const wchar_t* name, int32_t& value);

std::wstring SettingsSubkey(const std::wstring& tail);
RECT MakeRect(LONG left, LONG top, LONG right, LONG bottom);
bool SameRect(const RECT& a, const RECT& b);
