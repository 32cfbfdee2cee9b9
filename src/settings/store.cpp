// The settings record and its registry store.
#include <utility>
#include "base/handle.h"
#include "base/log.h"
#include "registry.h"
#include "settings.h"

SettingsRecord Settings;

namespace {
constexpr bool DefaultAutoMGQExec = false;
constexpr bool DefaultAutoMGQClose = false;
constexpr int32_t DefaultTransparency = 25;
constexpr int32_t DefaultCrossPressSensitivity = 10;
constexpr bool DefaultOKCancelChange = false;
constexpr int32_t MaxTransparency = 90;
constexpr int32_t MaxCrossPressSensitivity = 10;
constexpr DWORD PathByteBudget = PathCapacity * sizeof(wchar_t);

template <typename T>
void SetField(SettingsRecord& settings, T& field, T value)
{
    if (field != value) settings.IsModified = true;
    field = value;
}

int32_t ClampNumber(int32_t value, int32_t low, int32_t high)
{
    if (value > high) return high;
    if (value < low) return low;
    return value;
}

// The text of a path buffer, never past its last character even when a
// writer left it without a terminator.
std::wstring BoundedPath(const wchar_t* path)
{
    size_t length = 0;
    while (path && length < PathCapacity - 1 && path[length] != L'\0') ++length;
    return std::wstring(path ? path : L"", length);
}

void ReadBoolValue(HKEY key, const wchar_t* name, bool& field)
{
    int32_t data = 0;
    if (ReadDwordValue(key, name, data)) field = data != 0;
}

void ReadNumberValue(HKEY key, const wchar_t* name, int32_t high, int32_t& field)
{
    int32_t data = 0;
    if (ReadDwordValue(key, name, data)) field = ClampNumber(data, 0, high);
}
}  // namespace

SettingsRecord MakeSettings()
{
    SettingsRecord settings;
    ResetToDefaults(settings);
    settings.IsDisplayChanged = false;
    settings.IsModified = false;
    return settings;
}

void ResetToDefaults(SettingsRecord& settings)
{
    SetField(settings, settings.IsAutoMGQExec, DefaultAutoMGQExec);
    SetField(settings, settings.IsAutoMGQClose, DefaultAutoMGQClose);
    SetField(settings, settings.Transparency, DefaultTransparency);
    SetField(settings, settings.CrossPressSensitivity, DefaultCrossPressSensitivity);
    SetField(settings, settings.IsOKCancelChange, DefaultOKCancelChange);
    SetMGQpath(settings, LookupInstallPath().c_str());
}

// A text longer than 259 characters keeps its first 259.
void SetMGQpath(SettingsRecord& settings, const wchar_t* path)
{
    const std::wstring text = BoundedPath(path);
    if (text != BoundedPath(settings.MGQpath)) settings.IsModified = true;
    text.copy(settings.MGQpath, text.size());
    settings.MGQpath[text.size()] = L'\0';
}

void AssignSettings(SettingsRecord& target, const SettingsRecord& source)
{
    SetField(target, target.IsAutoMGQExec, source.IsAutoMGQExec);
    SetField(target, target.IsAutoMGQClose, source.IsAutoMGQClose);
    SetField(target, target.Transparency, source.Transparency);
    SetField(target, target.CrossPressSensitivity, source.CrossPressSensitivity);
    SetField(target, target.IsOKCancelChange, source.IsOKCancelChange);
    SetMGQpath(target, source.MGQpath);
    if (!WindowRecordsEqual(target.WindowRecords, source.WindowRecords)) {
        target.IsModified = true;
        CopyWindowRecords(target.WindowRecords, source.WindowRecords);
    }
}

void LoadSettings()
{
    // The install record is consulted at every start, even when a path is stored.
    ResetToDefaults(Settings);
    UniqueKey key;
    const LSTATUS opened =
        RegOpenKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, KEY_READ, key.put());
    if (opened != ERROR_SUCCESS) {
        LogEvent("settings key not opened (error %ld): defaults used", static_cast<long>(opened));
        return;
    }
    ReadBoolValue(key.get(), L"IsAutoMGQExec", Settings.IsAutoMGQExec);
    ReadBoolValue(key.get(), L"IsAutoMGQClose", Settings.IsAutoMGQClose);
    ReadBoolValue(key.get(), L"IsOKCancelChange", Settings.IsOKCancelChange);
    ReadNumberValue(key.get(), L"Transparency", MaxTransparency, Settings.Transparency);
    ReadNumberValue(key.get(), L"CrossPressSensitivity", MaxCrossPressSensitivity,
                    Settings.CrossPressSensitivity);
    // A stored empty text wins over the install record.
    std::wstring path;
    if (ReadStringValue(key.get(), L"MGQpath", PathByteBudget, path)) {
        path.copy(Settings.MGQpath, path.size());
        Settings.MGQpath[path.size()] = L'\0';
    }
    ReadWindowRecords(key.get(), Settings.WindowRecords);
    Settings.IsModified = false;
    LogEvent("settings loaded");
}

bool SaveSettings(SettingsRecord& settings)
{
    UniqueKey key;
    const LSTATUS created = RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, 0,
                                            KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
    if (created != ERROR_SUCCESS) {
        LogEvent("settings not saved: key not created (error %ld)", static_cast<long>(created));
        return false;
    }
    // Every number, also those at their defaults, in the stored order.
    const std::pair<const wchar_t*, int32_t> numbers[] = {
        {L"IsAutoMGQExec", settings.IsAutoMGQExec ? 1 : 0},
        {L"IsAutoMGQClose", settings.IsAutoMGQClose ? 1 : 0},
        {L"IsOKCancelChange", settings.IsOKCancelChange ? 1 : 0},
        {L"Transparency", settings.Transparency},
        {L"CrossPressSensitivity", settings.CrossPressSensitivity},
    };
    bool written = true;
    for (const auto& number : numbers)
        written = WriteDwordValue(key.get(), number.first, number.second) && written;
    const std::wstring path = BoundedPath(settings.MGQpath);
    if (!path.empty()) {
        written = WriteStringValue(key.get(), L"MGQpath", path.c_str()) && written;
    } else {
        const LONG deleted = RegDeleteValueW(key.get(), L"MGQpath");
        written = (deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND) && written;
    }
    written = WriteWindowRecords(key.get(), settings.WindowRecords) && written;
    // Only a complete save clears the flag: what was not written goes out again
    // at the next save instead of being lost at the next start.
    if (written) settings.IsModified = false;
    LogEvent(written ? "settings saved"
                     : "settings not saved in full: a value could not be written");
    return written;
}
