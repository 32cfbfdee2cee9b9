#include "registry.h"
#include <cwchar>
#include <limits>
#include <vector>

bool ReadDwordValue(HKEY key, const wchar_t* name, int32_t& value)
{
    DWORD type = REG_NONE;
    BYTE data[4] = {};
    DWORD size = sizeof(data);
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) return false;
    if (type != REG_DWORD) return false;
    DWORD bits = 0;
    for (int i = 3; i >= 0; --i) bits = (bits << 8) | data[i];
    value = static_cast<int32_t>(bits);
    return true;
}

bool WriteDwordValue(HKEY key, const wchar_t* name, int32_t value)
{
    const DWORD data = static_cast<DWORD>(value);
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                          sizeof(data)) == ERROR_SUCCESS;
}

bool ReadStringValue(HKEY key, const wchar_t* name, DWORD byteBudget, std::wstring& text)
{
    // One character more than the budget holds, so there is always room to
    // terminate whatever the query left.
    const size_t budgetChars = byteBudget / sizeof(wchar_t);
    std::vector<wchar_t> buffer(budgetChars + 1, L'\0');
    DWORD type = REG_NONE;
    DWORD size = static_cast<DWORD>(budgetChars * sizeof(wchar_t));
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                         &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_SZ) return false;
    const size_t dataChars = size / sizeof(wchar_t);
    buffer[dataChars] = L'\0';
    const size_t length = std::wcslen(buffer.data());
    if (budgetChars == 0 || length > budgetChars - 1) return false;
    text.assign(buffer.data(), length);
    return true;
}

bool WriteStringValue(HKEY key, const wchar_t* name, const wchar_t* text)
{
    const DWORD size = static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(wchar_t));
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), size) ==
           ERROR_SUCCESS;
}

int32_t SaturateToInt32(int64_t value)
{
    if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(value);
}

int32_t SaturatingAdd(int32_t a, int32_t b)
{
    return SaturateToInt32(static_cast<int64_t>(a) + b);
}

int32_t SaturatingSubtract(int32_t a, int32_t b)
{
    return SaturateToInt32(static_cast<int64_t>(a) - b);
}
