// The game's executable path from its install record in the machine-wide hive.
#include <doctest/doctest.h>
#include "registry_fixture.h"

namespace {
struct StoredDir {
    const wchar_t* Key;  // null: this key is not created
    bool HasValue;
    DWORD Type;
    std::wstring Text;
};

void Store(const StoredDir& dir)
{
    if (!dir.Key) return;
    if (dir.HasValue)
        SetStringValue(HKEY_LOCAL_MACHINE, dir.Key, L"InstallDir", dir.Text, dir.Type);
    else
        SetStringValue(HKEY_LOCAL_MACHINE, dir.Key, L"Other", L"x");
}
}  // namespace

TEST_CASE("install path lookup")
{
    const std::wstring dir129 = L"C:\\" + std::wstring(125, L'a') + L"\\";
    const std::wstring dir130 = L"C:\\" + std::wstring(126, L'a') + L"\\";
    REQUIRE(dir129.size() == 129);
    REQUIRE(dir130.size() == 130);
    const StoredDir none = {nullptr, false, REG_NONE, L""};
    struct Row {
        const char* name;
        StoredDir first, second;
        std::wstring expected;
    };
    const Row rows[] = {
        {"trailing backslash",
         {InstallKeyPath, true, REG_SZ, L"C:\\Games\\Game\\"},
         none,
         L"C:\\Games\\Game\\mgq.exe"},
        {"no trailing backslash",
         {InstallKeyPath, true, REG_SZ, L"C:\\Games\\Game"},
         none,
         L"C:\\Games\\Gamemgq.exe"},
        {"neither key", none, none, L""},
        {"only the second key",
         none,
         {InstallKeyPath2, true, REG_SZ, L"D:\\MGQ\\"},
         L"D:\\MGQ\\mgq.exe"},
        {"first key wins",
         {InstallKeyPath, true, REG_SZ, L"C:\\A\\"},
         {InstallKeyPath2, true, REG_SZ, L"D:\\B\\"},
         L"C:\\A\\mgq.exe"},
        {"first key without the value",
         {InstallKeyPath, false, REG_SZ, L""},
         {InstallKeyPath2, true, REG_SZ, L"D:\\MGQ\\"},
         L""},
        {"expandable string", {InstallKeyPath, true, REG_EXPAND_SZ, L"C:\\Games\\"}, none, L""},
        {"expandable string in the second key",
         none,
         {InstallKeyPath2, true, REG_EXPAND_SZ, L"C:\\Games\\"},
         L""},
        {"129 characters", {InstallKeyPath, true, REG_SZ, dir129}, none, dir129 + L"mgq.exe"},
        {"130 characters", {InstallKeyPath, true, REG_SZ, dir130}, none, L""},
        {"130 characters in the second key", none, {InstallKeyPath2, true, REG_SZ, dir130}, L""},
    };
    for (const Row& row : rows) {
        INFO(row.name);
        CleanRegistry clean;
        Store(row.first);
        Store(row.second);
        CHECK(LookupInstallPath() == row.expected);
    }
}

TEST_CASE("install directory data that is not a well-formed string")
{
    const std::wstring dir129 = L"C:\\" + std::wstring(126, L'b');
    const std::wstring dir130 = dir129 + L"c";
    struct Row {
        const char* name;
        std::wstring data;  // stored exactly, without any terminator added
        bool oddByte;
        std::wstring expected;
    };
    const Row rows[] = {
        {"no terminator", L"C:\\Games\\", false, L"C:\\Games\\mgq.exe"},
        {"odd byte count", L"C:\\Games\\", true, L"C:\\Games\\mgq.exe"},
        {"text ends at an inner terminator", std::wstring(L"C:\\A\\\0junk", 10), 0,
         L"C:\\A\\mgq.exe"},
        {"129 characters filling the budget but one", dir129, false, dir129 + L"mgq.exe"},
        {"130 characters filling the budget exactly", dir130, false, L""},
        {"129 characters and an odd byte", dir129, true, dir129 + L"mgq.exe"},
        {"empty data", L"", false, L"mgq.exe"},
    };
    for (const Row& row : rows) {
        INFO(row.name);
        CleanRegistry clean;
        SetStringBytes(HKEY_LOCAL_MACHINE, InstallKeyPath, L"InstallDir", row.data, row.oddByte);
        CHECK(LookupInstallPath() == row.expected);
    }
}
