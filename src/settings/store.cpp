// The settings record and its registry store.
#include <algorithm>
#include "base/handle.h"
#include "base/log.h"
#include "registry.h"
#include "settings.h"

SettingsRecord Settings;

namespace {
constexpr DWORD PathByteBudget = PathCapacity * sizeof(wchar_t);

// The flags and numbers as stored: each a DWORD under its value name. A flag
// is any nonzero value; a number is clamped to 0..Maximum when read. Saved in
// the order listed, flags first.
struct FlagField {
    const wchar_t* ValueName;
    bool SettingsRecord::*Field;
    bool Default;
};
struct NumberField {
    const wchar_t* ValueName;
    int32_t SettingsRecord::*Field;
    int32_t Default;
    int32_t Maximum;
};
constexpr FlagField FlagFields[] = {
    {L"IsAutoMGQExec", &SettingsRecord::IsAutoMGQExec, false},
    {L"IsAutoMGQClose", &SettingsRecord::IsAutoMGQClose, false},
    {L"IsOKCancelChange", &SettingsRecord::IsOKCancelChange, false},
};
constexpr NumberField NumberFields[] = {
    {L"Transparency", &SettingsRecord::Transparency, 25, MaxTransparency},
    {L"CrossPressSensitivity", &SettingsRecord::CrossPressSensitivity, 10,
     MaxCrossPressSensitivity},
    // More than one frame of a game that reads the keyboard 30 times a second.
    {L"MinimumHoldMs", &SettingsRecord::MinimumHoldMs, 40, MaxMinimumHoldMs},
};

template <typename T>
void SetField(SettingsRecord& settings, T& field, T value)
{
    if (field != value) settings.IsModified = true;
    field = value;
}

// The text of a path buffer, never past its last character even when a
// writer left it without a terminator.
std::wstring BoundedPath(const wchar_t* path)
{
    size_t length = 0;
    while (path && length < PathCapacity - 1 && path[length] != L'\0') ++length;
    return std::wstring(path ? path : L"", length);
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
    for (const FlagField& flag : FlagFields) SetField(settings, settings.*flag.Field, flag.Default);
    for (const NumberField& number : NumberFields)
        SetField(settings, settings.*number.Field, number.Default);
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
    for (const FlagField& flag : FlagFields)
        SetField(target, target.*flag.Field, source.*flag.Field);
    for (const NumberField& number : NumberFields)
        SetField(target, target.*number.Field, source.*number.Field);
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
    int32_t data = 0;
    for (const FlagField& flag : FlagFields)
        if (ReadDwordValue(key.get(), flag.ValueName, data)) Settings.*flag.Field = data != 0;
    for (const NumberField& number : NumberFields)
        if (ReadDwordValue(key.get(), number.ValueName, data))
            Settings.*number.Field = std::clamp<int32_t>(data, 0, number.Maximum);
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
    // Every flag and number, also those at their defaults.
    bool written = true;
    for (const FlagField& flag : FlagFields)
        written = WriteDwordValue(key.get(), flag.ValueName, settings.*flag.Field) && written;
    for (const NumberField& number : NumberFields)
        written = WriteDwordValue(key.get(), number.ValueName, settings.*number.Field) && written;
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
