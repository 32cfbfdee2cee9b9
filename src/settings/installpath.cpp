// The game's executable path, derived from the install record its installer
// leaves in the machine-wide hive.
#include "base/handle.h"
#include "registry.h"
#include "settings.h"

namespace {
constexpr const wchar_t* InstallKey = L"SOFTWARE\\VORNEL\\MGQ_RM_DL";
constexpr const wchar_t* InstallKeyWow = L"SOFTWARE\\Wow6432NODE\\VORNEL\\MGQ_RM_DL";
constexpr const wchar_t* ExecutableName = L"mgq.exe";
// Bytes, not characters: a directory of at most 129 characters, so the
// executable's name always fits beside it in a path buffer.
constexpr DWORD InstallDirByteBudget = 260;
}  // namespace

std::wstring LookupInstallPath()
{
    UniqueKey key;
    // The second key is only a fallback for a missing first key, not for a
    // first key without the value.
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, InstallKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS &&
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, InstallKeyWow, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring directory;
    if (!ReadStringValue(key.get(), L"InstallDir", InstallDirByteBudget, directory))
        return std::wstring();
    // Nothing goes between the two: the directory carries its own backslash.
    return directory + ExecutableName;
}
