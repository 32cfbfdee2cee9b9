// The settings record: defaults, the modified flag, and its registry store.
#include <doctest/doctest.h>
#include <algorithm>
#include <climits>
#include <cwchar>
#include "base/handle.h"
#include "registry_fixture.h"

namespace {
const std::wstring InstalledPath = L"C:\\Games\\MGQ\\mgq.exe";

void StoreInstallRecord()
{
    SetStringValue(HKEY_LOCAL_MACHINE, InstallKeyPath, L"InstallDir", L"C:\\Games\\MGQ\\");
}

void StoreSetting(const wchar_t* name, DWORD value)
{
    SetDwordValue(HKEY_CURRENT_USER, SettingsKeyPath, name, value);
}

bool SameSettings(const SettingsRecord& a, const SettingsRecord& b)
{
    return a.IsAutoMGQExec == b.IsAutoMGQExec && a.IsAutoMGQClose == b.IsAutoMGQClose &&
           a.Transparency == b.Transparency && a.CrossPressSensitivity == b.CrossPressSensitivity &&
           a.MinimumHoldMs == b.MinimumHoldMs && a.IsOKCancelChange == b.IsOKCancelChange &&
           std::wcscmp(a.MGQpath, b.MGQpath) == 0 &&
           WindowRecordsEqual(a.WindowRecords, b.WindowRecords);
}

void CheckDefaults(const SettingsRecord& s, const std::wstring& path)
{
    CHECK_FALSE(s.IsAutoMGQExec);
    CHECK_FALSE(s.IsAutoMGQClose);
    CHECK(s.Transparency == 25);
    CHECK(s.CrossPressSensitivity == 10);
    CHECK(s.MinimumHoldMs == 40);
    CHECK_FALSE(s.IsOKCancelChange);
    CHECK(std::wstring(s.MGQpath) == path);
}

SettingsRecord OffDefaults()
{
    SettingsRecord s;
    s.IsAutoMGQExec = true;
    s.IsAutoMGQClose = true;
    s.Transparency = 60;
    s.CrossPressSensitivity = 3;
    s.MinimumHoldMs = 120;
    s.IsOKCancelChange = true;
    SetMGQpath(s, L"E:\\Elsewhere\\mgq.exe");
    PutWindowRecord(s.WindowRecords, L"1920x1080", MakeRect(1580, 210, 1920, 730),
                    MakeRect(290, 40, 1570, 760));
    PutWindowRecord(s.WindowRecords, L"1280x720", MakeRect(940, 0, 1280, 520),
                    MakeRect(0, 0, 0, 0));
    PutWindowRecord(s.WindowRecords, L"640x480", MakeRect(-300, -20, 40, 500),
                    MakeRect(0, 40, 640, 400));
    return s;
}

int32_t StoredNumber(const wchar_t* name)
{
    int32_t value = INT_MIN;
    CHECK(ReadStoredDword(HKEY_CURRENT_USER, SettingsKeyPath, name, value));
    return value;
}
}  // namespace

TEST_CASE("without a settings key the defaults stand and the record is modified")
{
    for (bool installed : {false, true}) {
        CAPTURE(installed);
        CleanRegistry clean;
        if (installed) StoreInstallRecord();
        LoadSettings();
        CheckDefaults(Settings, installed ? InstalledPath : L"");
        CHECK(Settings.WindowRecords.empty());
        CHECK(Settings.IsModified);
    }
}

TEST_CASE("settings saved and loaded back")
{
    CleanRegistry clean;
    StoreInstallRecord();
    SettingsRecord saved = OffDefaults();
    saved.IsModified = true;
    SaveSettings(saved);
    CHECK_FALSE(saved.IsModified);

    LoadSettings();
    CHECK(SameSettings(Settings, saved));
    CHECK(Settings.WindowRecords.size() == 3);
    CHECK_FALSE(Settings.IsModified);

    // Exactly these values and subkeys, with these types.
    std::vector<StoredValue> values = ListValues(HKEY_CURRENT_USER, SettingsKeyPath);
    std::vector<std::pair<std::wstring, DWORD>> found;
    for (const StoredValue& v : values) found.emplace_back(v.Name, v.Type);
    std::sort(found.begin(), found.end());
    const std::vector<std::pair<std::wstring, DWORD>> expected = {
        {L"CrossPressSensitivity", REG_DWORD},
        {L"IsAutoMGQClose", REG_DWORD},
        {L"IsAutoMGQExec", REG_DWORD},
        {L"IsOKCancelChange", REG_DWORD},
        {L"MGQpath", REG_SZ},
        {L"MinimumHoldMs", REG_DWORD},
        {L"Transparency", REG_DWORD},
    };
    CHECK(found == expected);
    for (const StoredValue& v : values) {
        CAPTURE(std::string(v.Name.begin(), v.Name.end()));
        if (v.Type == REG_DWORD) CHECK(v.Data.size() == 4);
    }
    CHECK(StoredNumber(L"IsAutoMGQExec") == 1);
    CHECK(StoredNumber(L"IsAutoMGQClose") == 1);
    CHECK(StoredNumber(L"IsOKCancelChange") == 1);
    CHECK(StoredNumber(L"Transparency") == 60);
    CHECK(StoredNumber(L"CrossPressSensitivity") == 3);
    CHECK(StoredNumber(L"MinimumHoldMs") == 120);
    const auto path = std::find_if(values.begin(), values.end(),
                                   [](const StoredValue& v) { return v.Name == L"MGQpath"; });
    REQUIRE(path != values.end());
    const std::wstring text = L"E:\\Elsewhere\\mgq.exe";
    CHECK(path->Data.size() == (text.size() + 1) * 2);
    CHECK(std::wstring(reinterpret_cast<const wchar_t*>(path->Data.data())) == text);

    CHECK(ListSubkeys(HKEY_CURRENT_USER, SettingsKeyPath) == std::vector<std::wstring>{L"Window"});
    std::vector<std::wstring> records = ListSubkeys(HKEY_CURRENT_USER, SettingsSubkey(L"Window"));
    std::sort(records.begin(), records.end());
    CHECK(records == std::vector<std::wstring>{L"1280x720", L"1920x1080", L"640x480"});
    for (const std::wstring& record : records) {
        CAPTURE(std::string(record.begin(), record.end()));
        const std::wstring recordPath = SettingsSubkey(L"Window\\" + record);
        CHECK(ListSubkeys(HKEY_CURRENT_USER, recordPath).empty());
        std::vector<std::wstring> names;
        for (const StoredValue& v : ListValues(HKEY_CURRENT_USER, recordPath)) {
            CHECK(v.Type == REG_DWORD);
            CHECK(v.Data.size() == 4);
            names.push_back(v.Name);
        }
        std::sort(names.begin(), names.end());
        CHECK(names == std::vector<std::wstring>{L"Input_height", L"Input_width", L"Input_x",
                                                 L"Input_y", L"MGQ_height", L"MGQ_width", L"MGQ_x",
                                                 L"MGQ_y"});
    }
}

TEST_CASE("stored numbers are clamped and stored bools are any nonzero value")
{
    struct Row {
        const wchar_t* name;
        int32_t stored;
        int32_t loaded;
    };
    const Row rows[] = {
        {L"Transparency", 95, 90},          {L"Transparency", -5, 0},
        {L"Transparency", 90, 90},          {L"Transparency", 0, 0},
        {L"Transparency", INT_MIN, 0},      {L"Transparency", INT_MAX, 90},
        {L"CrossPressSensitivity", 11, 10}, {L"CrossPressSensitivity", -1, 0},
        {L"CrossPressSensitivity", 7, 7},   {L"CrossPressSensitivity", INT_MAX, 10},
        {L"IsAutoMGQExec", 2, 1},           {L"IsAutoMGQClose", -1, 1},
        {L"IsOKCancelChange", 256, 1},      {L"IsAutoMGQExec", 0, 0},
        {L"MinimumHoldMs", 201, 200},       {L"MinimumHoldMs", -1, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name, row.name + std::wcslen(row.name)));
        CAPTURE(row.stored);
        CleanRegistry clean;
        StoreSetting(row.name, static_cast<DWORD>(row.stored));
        LoadSettings();
        const std::pair<const wchar_t*, int32_t> fields[] = {
            {L"Transparency", Settings.Transparency},
            {L"CrossPressSensitivity", Settings.CrossPressSensitivity},
            {L"MinimumHoldMs", Settings.MinimumHoldMs},
            {L"IsAutoMGQExec", Settings.IsAutoMGQExec},
            {L"IsAutoMGQClose", Settings.IsAutoMGQClose},
            {L"IsOKCancelChange", Settings.IsOKCancelChange},
        };
        for (const auto& field : fields) {
            if (std::wcscmp(field.first, row.name) == 0) CHECK(field.second == row.loaded);
        }
        CHECK_FALSE(Settings.IsModified);

        // Written back as the loaded value: a bool of 2 goes out as 1.
        SaveSettings(Settings);
        CHECK(StoredNumber(row.name) == row.loaded);
    }
}

TEST_CASE("stored values of the wrong type or size are ignored")
{
    const uint64_t qword = 1;
    const BYTE fiveBytes[5] = {50, 0, 0, 0, 0};
    const BYTE twoBytes[2] = {50, 0};
    const DWORD fifty = 50;
    const wchar_t text[] = L"50";
    const wchar_t expandable[] = L"%ProgramFiles%\\mgq.exe";
    struct Row {
        const char* name;
        const wchar_t* value;
        DWORD type;
        const void* data;
        DWORD size;
        bool accepted;
    };
    const Row rows[] = {
        {"REG_SZ number", L"Transparency", REG_SZ, text, sizeof(text), false},
        {"REG_QWORD bool", L"IsAutoMGQExec", REG_QWORD, &qword, sizeof(qword), false},
        {"REG_BINARY number", L"Transparency", REG_BINARY, &fifty, sizeof(fifty), false},
        {"REG_DWORD_BIG_ENDIAN bool", L"IsOKCancelChange", REG_DWORD_BIG_ENDIAN, &fifty,
         sizeof(fifty), false},
        {"REG_DWORD of five bytes", L"Transparency", REG_DWORD, fiveBytes, 5, false},
        {"REG_EXPAND_SZ path", L"MGQpath", REG_EXPAND_SZ, expandable, sizeof(expandable), false},
        {"REG_MULTI_SZ path", L"MGQpath", REG_MULTI_SZ, expandable, sizeof(expandable), false},
        {"REG_DWORD path", L"MGQpath", REG_DWORD, &fifty, sizeof(fifty), false},
        // Shorter data fits the 4 bytes and is read zero-extended.
        {"REG_DWORD of two bytes", L"Transparency", REG_DWORD, twoBytes, 2, true},
        {"REG_DWORD bool", L"IsOKCancelChange", REG_DWORD, &fifty, sizeof(fifty), true},
    };
    for (const Row& row : rows) {
        INFO(row.name);
        CleanRegistry clean;
        StoreInstallRecord();
        SetRawValue(HKEY_CURRENT_USER, SettingsKeyPath, row.value, row.type, row.data, row.size);
        LoadSettings();
        CHECK_FALSE(Settings.IsModified);
        if (!row.accepted) {
            CheckDefaults(Settings, InstalledPath);
            continue;
        }
        SettingsRecord expected = MakeSettings();
        if (std::wcscmp(row.value, L"Transparency") == 0) expected.Transparency = 50;
        if (std::wcscmp(row.value, L"IsOKCancelChange") == 0) expected.IsOKCancelChange = true;
        CHECK(SameSettings(Settings, expected));
    }
}

TEST_CASE("the stored path and the install record")
{
    CleanRegistry clean;
    StoreInstallRecord();

    SUBCASE("a stored path replaces the install record's")
    {
        SetStringValue(HKEY_CURRENT_USER, SettingsKeyPath, L"MGQpath", L"F:\\mgq.exe");
        LoadSettings();
        CHECK(std::wstring(Settings.MGQpath) == L"F:\\mgq.exe");
    }
    SUBCASE("a stored empty path wins over the install record")
    {
        SetStringValue(HKEY_CURRENT_USER, SettingsKeyPath, L"MGQpath", L"");
        LoadSettings();
        CHECK(Settings.MGQpath[0] == L'\0');
        CHECK_FALSE(Settings.IsModified);
    }
    SUBCASE("saving an empty path deletes the value; the next load looks it up again")
    {
        SetStringValue(HKEY_CURRENT_USER, SettingsKeyPath, L"MGQpath", L"F:\\mgq.exe");
        LoadSettings();
        SetMGQpath(Settings, L"");
        SaveSettings(Settings);
        for (const StoredValue& v : ListValues(HKEY_CURRENT_USER, SettingsKeyPath))
            CHECK(v.Name != L"MGQpath");
        CHECK(ListValues(HKEY_CURRENT_USER, SettingsKeyPath).size() == 6);
        // Saving again with the value already gone is no error.
        SaveSettings(Settings);
        CHECK(ListValues(HKEY_CURRENT_USER, SettingsKeyPath).size() == 6);
        Settings = SettingsRecord{};
        LoadSettings();
        CHECK(std::wstring(Settings.MGQpath) == InstalledPath);
    }
    SUBCASE("a save writes every number, also those at their defaults")
    {
        LoadSettings();
        SaveSettings(Settings);
        const struct {
            const wchar_t* name;
            int32_t value;
        } rows[] = {{L"IsAutoMGQExec", 0},
                    {L"IsAutoMGQClose", 0},
                    {L"IsOKCancelChange", 0},
                    {L"Transparency", 25},
                    {L"CrossPressSensitivity", 10}};
        for (const auto& row : rows) {
            CAPTURE(std::string(row.name, row.name + std::wcslen(row.name)));
            CHECK(StoredNumber(row.name) == row.value);
        }
    }
}

TEST_CASE("stored path data that is not a well-formed string")
{
    const std::wstring path259 = L"C:\\" + std::wstring(256, L'p');
    const std::wstring path260 = path259 + L"q";
    struct Row {
        const char* name;
        std::wstring data;  // stored exactly, without any terminator added
        bool oddByte;
        bool accepted;
        std::wstring expected;
    };
    const Row rows[] = {
        {"no terminator", L"F:\\mgq.exe", false, true, L"F:\\mgq.exe"},
        {"odd byte count", L"F:\\mgq.exe", true, true, L"F:\\mgq.exe"},
        {"inner terminator", std::wstring(L"F:\\a.exe\0F:\\b.exe", 17), false, true, L"F:\\a.exe"},
        {"259 characters and the terminator", path259 + L'\0', false, true, path259},
        {"259 characters without terminator", path259, false, true, path259},
        {"259 characters and an odd byte", path259, true, true, path259},
        {"260 characters without terminator", path260, false, false, L""},
        {"260 characters and the terminator", path260 + L'\0', false, false, L""},
        {"1000 characters", std::wstring(1000, L'x'), false, false, L""},
    };
    for (const Row& row : rows) {
        INFO(row.name);
        CleanRegistry clean;
        StoreInstallRecord();
        SetStringBytes(HKEY_CURRENT_USER, SettingsKeyPath, L"MGQpath", row.data, row.oddByte);
        LoadSettings();
        CHECK(std::wstring(Settings.MGQpath) == (row.accepted ? row.expected : InstalledPath));
    }
}

TEST_CASE("a removed window record's subkey is gone after the next save")
{
    CleanRegistry clean;
    SettingsRecord stored = OffDefaults();
    SaveSettings(stored);
    LoadSettings();
    REQUIRE(Settings.WindowRecords.size() == 3);

    SettingsRecord working = MakeSettings();
    AssignSettings(working, Settings);
    RemoveWindowRecord(working.WindowRecords, L"1280x720");
    AssignSettings(Settings, working);
    CHECK(Settings.IsModified);
    SaveSettings(Settings);

    std::vector<std::wstring> records = ListSubkeys(HKEY_CURRENT_USER, SettingsSubkey(L"Window"));
    std::sort(records.begin(), records.end());
    CHECK(records == std::vector<std::wstring>{L"1920x1080", L"640x480"});
    Settings = SettingsRecord{};
    LoadSettings();
    CHECK(WindowRecordsEqual(Settings.WindowRecords, working.WindowRecords));
}

TEST_CASE("construction and reset")
{
    CleanRegistry clean;
    StoreInstallRecord();

    SettingsRecord made = MakeSettings();
    CheckDefaults(made, InstalledPath);
    CHECK_FALSE(made.IsModified);
    CHECK_FALSE(made.IsDisplayChanged);
    CHECK(made.WindowRecords.empty());

    // A record already at its defaults is not modified by a reset.
    ResetToDefaults(made);
    CHECK_FALSE(made.IsModified);

    // Any single field off its default marks it; the records stay.
    for (int field = 0; field < 6; ++field) {
        CAPTURE(field);
        SettingsRecord s = MakeSettings();
        PutWindowRecord(s.WindowRecords, L"800x600", MakeRect(1, 2, 3, 4), MakeRect(0, 0, 0, 0));
        switch (field) {
        case 0:
            s.IsAutoMGQExec = true;
            break;
        case 1:
            s.IsAutoMGQClose = true;
            break;
        case 2:
            s.Transparency = 0;
            break;
        case 3:
            s.CrossPressSensitivity = 9;
            break;
        case 4:
            s.IsOKCancelChange = true;
            break;
        case 5:
            SetMGQpath(s, L"c:\\games\\mgq\\mgq.exe");
            break;
        }
        s.IsModified = false;
        ResetToDefaults(s);
        CHECK(s.IsModified);
        CheckDefaults(s, InstalledPath);
        CHECK(s.WindowRecords.size() == 1);
    }
}

TEST_CASE("setting the path")
{
    const std::wstring path259 = L"C:\\" + std::wstring(256, L'p');
    SettingsRecord s;
    SetMGQpath(s, L"C:\\Game\\mgq.exe");
    CHECK(s.IsModified);

    struct Row {
        const char* name;
        const wchar_t* path;
        bool modified;
        std::wstring stored;
    };
    const std::wstring path300 = path259 + std::wstring(41, L'z');
    const Row rows[] = {
        {"same text", L"C:\\Game\\mgq.exe", false, L"C:\\Game\\mgq.exe"},
        {"differs in case only", L"c:\\game\\mgq.exe", true, L"c:\\game\\mgq.exe"},
        {"empty", L"", true, L""},
        {"null", nullptr, true, L""},
        {"259 characters", path259.c_str(), true, path259},
        {"300 characters keep the first 259", path300.c_str(), true, path259},
    };
    for (const Row& row : rows) {
        INFO(row.name);
        SetMGQpath(s, L"C:\\Game\\mgq.exe");
        s.IsModified = false;
        SetMGQpath(s, row.path);
        CHECK(s.IsModified == row.modified);
        CHECK(std::wstring(s.MGQpath) == row.stored);
    }
    // Truncated text equal to what is stored is no change.
    s.IsModified = false;
    SetMGQpath(s, path300.c_str());
    CHECK_FALSE(s.IsModified);
}

TEST_CASE("assigning one record to another")
{
    SettingsRecord source;
    SetMGQpath(source, L"C:\\Game\\mgq.exe");
    PutWindowRecord(source.WindowRecords, L"1920x1080", MakeRect(1, 2, 3, 4), MakeRect(5, 6, 7, 8));
    source.Transparency = 25;
    source.CrossPressSensitivity = 10;

    SUBCASE("records that agree leave the modified flag as it was")
    {
        for (bool before : {false, true}) {
            SettingsRecord target = source;
            target.IsModified = before;
            AssignSettings(target, source);
            CHECK(target.IsModified == before);
        }
    }
    SUBCASE("any single difference marks the target and is copied")
    {
        for (int field = 0; field < 8; ++field) {
            CAPTURE(field);
            SettingsRecord changed = source;
            switch (field) {
            case 0:
                changed.IsAutoMGQExec = true;
                break;
            case 1:
                changed.IsAutoMGQClose = true;
                break;
            case 2:
                changed.Transparency = 26;
                break;
            case 3:
                changed.CrossPressSensitivity = 0;
                break;
            case 4:
                changed.IsOKCancelChange = true;
                break;
            case 5:
                changed.MGQpath[0] = L'D';
                break;
            case 6:
                changed.WindowRecords[0].MGQRect.bottom = 9;
                break;
            case 7:
                PutWindowRecord(changed.WindowRecords, L"800x600", MakeRect(0, 0, 1, 1),
                                MakeRect(0, 0, 0, 0));
                break;
            }
            changed.IsModified = false;
            changed.IsDisplayChanged = true;
            const SettingsRecord before = changed;
            SettingsRecord target = source;
            target.IsModified = false;
            AssignSettings(target, changed);
            CHECK(target.IsModified);
            CHECK(SameSettings(target, changed));
            CHECK_FALSE(target.IsDisplayChanged);  // never copied
            CHECK(SameSettings(changed, before));  // the source is left alone
            CHECK_FALSE(changed.IsModified);
        }
    }
}

TEST_CASE("a save that cannot write everything says so and keeps the record modified")
{
    // A key below a volatile key must be volatile too, so these refuse what a save creates.
    const std::wstring vendor = L"SOFTWARE\\Lumenkey Works";
    struct Row {
        const char* name;
        std::wstring volatileKey;
    };
    const Row rows[] = {
        {"settings key", vendor},
        {"window records", SettingsSubkey(L"Window")},
    };
    for (const Row& row : rows) {
        INFO(row.name);
        CleanRegistry clean;
        RegDeleteKeyW(HKEY_CURRENT_USER, vendor.c_str());
        UniqueKey blocked;
        REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, row.volatileKey.c_str(), 0, nullptr,
                                REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, blocked.put(),
                                nullptr) == ERROR_SUCCESS);
        SettingsRecord s = OffDefaults();
        CHECK_FALSE(SaveSettings(s));
        CHECK(s.IsModified);

        blocked.reset();
        WipeTestKeys();
        RegDeleteKeyW(HKEY_CURRENT_USER, vendor.c_str());
        CHECK(SaveSettings(s));
        CHECK_FALSE(s.IsModified);
    }
}
