#include "registry_fixture.h"
#include <doctest/doctest.h>

void WipeTestKeys()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, SettingsKeyPath);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VORNEL");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\VORNEL");
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432NODE\\VORNEL");
    RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Wow6432NODE\\VORNEL");
}

CleanRegistry::CleanRegistry()
{
    WipeTestKeys();
    REQUIRE_FALSE(KeyExists(HKEY_CURRENT_USER, SettingsKeyPath));
    REQUIRE_FALSE(KeyExists(HKEY_LOCAL_MACHINE, InstallKeyPath));
    Settings = SettingsRecord{};
}

CleanRegistry::~CleanRegistry()
{
    WipeTestKeys();
    Settings = SettingsRecord{};
}

namespace {
// The registry API adds a missing string terminator on the way in; the
// native call stores the bytes exactly as given, as a foreign writer might.
struct CountedName {
    USHORT Length;
    USHORT MaximumLength;
    PWSTR Buffer;
};
using NtSetValueKeyFunction = LONG(WINAPI*)(HANDLE, CountedName*, ULONG, ULONG, const void*, ULONG);
}  // namespace

void SetRawValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD type,
                 const void* data, DWORD size)
{
    static const auto setValue = reinterpret_cast<NtSetValueKeyFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtSetValueKey")));
    const bool found = setValue != nullptr;
    REQUIRE(found);
    HKEY key = nullptr;
    REQUIRE(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                            nullptr) == ERROR_SUCCESS);
    std::wstring nameText = name;
    CountedName counted = {static_cast<USHORT>(nameText.size() * sizeof(wchar_t)),
                           static_cast<USHORT>(nameText.size() * sizeof(wchar_t)), &nameText[0]};
    const LONG status = setValue(key, &counted, 0, type, data, size);
    RegCloseKey(key);
    REQUIRE(status == 0);
}

void SetDwordValue(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value)
{
    SetRawValue(root, path, name, REG_DWORD, &value, sizeof(value));
}

void SetStringBytes(HKEY root, const std::wstring& path, const wchar_t* name,
                    const std::wstring& data, bool oddByte)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(data.data());
    std::vector<BYTE> bytes(begin, begin + data.size() * sizeof(wchar_t));
    if (oddByte) bytes.push_back('X');
    SetRawValue(root, path, name, REG_SZ, bytes.data(), static_cast<DWORD>(bytes.size()));
}

void SetStringValue(HKEY root, const std::wstring& path, const wchar_t* name,
                    const std::wstring& text, DWORD type)
{
    SetRawValue(root, path, name, type, text.c_str(),
                static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

std::vector<StoredValue> ListValues(HKEY root, const std::wstring& path)
{
    std::vector<StoredValue> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD nameLength = 512;
        BYTE data[4096];
        DWORD size = sizeof(data);
        DWORD type = REG_NONE;
        if (RegEnumValueW(key, index, name, &nameLength, nullptr, &type, data, &size) !=
            ERROR_SUCCESS)
            break;
        values.push_back(
            {std::wstring(name, nameLength), type, std::vector<BYTE>(data, data + size)});
    }
    RegCloseKey(key);
    return values;
}

std::vector<std::wstring> ListSubkeys(HKEY root, const std::wstring& path)
{
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t name[512];
        DWORD nameLength = 512;
        if (RegEnumKeyExW(key, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, nameLength);
    }
    RegCloseKey(key);
    return names;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

bool ReadStoredDword(HKEY root, const std::wstring& path, const wchar_t* name, int32_t& value)
{
    DWORD data = 0, size = sizeof(data), type = REG_NONE;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY, &type, &data, &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != sizeof(data)) return false;
    value = static_cast<int32_t>(data);
    return true;
}

std::wstring SettingsSubkey(const std::wstring& tail)
{
    return std::wstring(SettingsKeyPath) + L"\\" + tail;
}

RECT MakeRect(LONG left, LONG top, LONG right, LONG bottom)
{
    return RECT{left, top, right, bottom};
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
