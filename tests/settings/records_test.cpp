// Window records: the list rules, where both windows go, and the stored form.
#include <doctest/doctest.h>
#include <algorithm>
#include <climits>
#include <cwchar>
#include "base/handle.h"
#include "registry_fixture.h"

namespace {
const RECT InputA = MakeRect(100, 50, 440, 570);
const RECT GameA = MakeRect(290, 40, 1570, 760);

std::vector<std::wstring> Keys(const WindowRecordList& list)
{
    std::vector<std::wstring> keys;
    for (const WindowRecord& record : list) keys.emplace_back(record.ResolutionKey);
    return keys;
}

UniqueKey CreateSettingsKey()
{
    UniqueKey key;
    REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, key.put(), nullptr) == ERROR_SUCCESS);
    return key;
}

void StoreRecordValues(const std::wstring& name, const int32_t (&values)[8], int count = 8)
{
    static const wchar_t* const names[8] = {L"Input_x", L"Input_y", L"Input_width", L"Input_height",
                                            L"MGQ_x",   L"MGQ_y",   L"MGQ_width",   L"MGQ_height"};
    for (int i = 0; i < count; ++i)
        SetDwordValue(HKEY_CURRENT_USER, SettingsSubkey(L"Window\\" + name), names[i],
                      static_cast<DWORD>(values[i]));
}

WindowRecordList ReadStored()
{
    WindowRecordList list;
    UniqueKey key = CreateSettingsKey();
    ReadWindowRecords(key.get(), list);
    return list;
}

bool SamePlacement(const Placement& a, const Placement& b)
{
    return a.OverlayPos.x == b.OverlayPos.x && a.OverlayPos.y == b.OverlayPos.y &&
           a.OverlaySize.cx == b.OverlaySize.cx && a.OverlaySize.cy == b.OverlaySize.cy &&
           a.GamePos.x == b.GamePos.x && a.GamePos.y == b.GamePos.y &&
           a.GameSize.cx == b.GameSize.cx && a.GameSize.cy == b.GameSize.cy;
}
}  // namespace

TEST_CASE("putting, finding and removing window records")
{
    WindowRecordList list;
    CHECK(PutWindowRecord(list, L"1920x1080", InputA, GameA));
    CHECK(PutWindowRecord(list, L"1280x720", InputA, MakeRect(0, 0, 0, 0)));
    CHECK(PutWindowRecord(list, L"640x480", MakeRect(1, 2, 3, 4), GameA));
    CHECK(Keys(list) == std::vector<std::wstring>{L"1920x1080", L"1280x720", L"640x480"});

    SUBCASE("overwriting keeps the record's place and reports no addition")
    {
        CHECK_FALSE(PutWindowRecord(list, L"1280x720", MakeRect(5, 6, 7, 8), GameA));
        CHECK(Keys(list) == std::vector<std::wstring>{L"1920x1080", L"1280x720", L"640x480"});
        const WindowRecord* record = FindWindowRecord(list, L"1280x720");
        REQUIRE(record);
        CHECK(SameRect(record->InputRect, MakeRect(5, 6, 7, 8)));
        CHECK(SameRect(record->MGQRect, GameA));
    }
    SUBCASE("keys are compared as the registry compares key names, without regard to case")
    {
        CHECK(FindWindowRecord(list, L"1920X1080") == &list[0]);
        CHECK(FindWindowRecord(list, L"1920x108") == nullptr);
        CHECK(FindWindowRecord(list, L"") == nullptr);
        CHECK(FindWindowRecord(list, nullptr) == nullptr);
        CHECK_FALSE(PutWindowRecord(list, L"1920X1080", MakeRect(5, 6, 7, 8), GameA));
        CHECK(Keys(list) == std::vector<std::wstring>{L"1920x1080", L"1280x720", L"640x480"});
        CHECK(SameRect(list[0].InputRect, MakeRect(5, 6, 7, 8)));
        RemoveWindowRecord(list, L"1280X720");
        CHECK(list.size() == 2);
    }
    SUBCASE("removing takes out only the named record")
    {
        RemoveWindowRecord(list, L"800x600");
        RemoveWindowRecord(list, nullptr);
        CHECK(list.size() == 3);
        RemoveWindowRecord(list, L"1280x720");
        CHECK(Keys(list) == std::vector<std::wstring>{L"1920x1080", L"640x480"});
        ClearWindowRecords(list);
        CHECK(list.empty());
    }
    SUBCASE("a key longer than 15 characters is never stored")
    {
        CHECK(PutWindowRecord(list, L"123456789012345", InputA, GameA));
        CHECK_FALSE(PutWindowRecord(list, L"1234567890123456", InputA, GameA));
        CHECK(list.size() == 4);
        CHECK(FindWindowRecord(list, L"123456789012345") != nullptr);
    }
    SUBCASE("a copy replaces the target's records in the source's order")
    {
        WindowRecordList target;
        PutWindowRecord(target, L"800x600", InputA, GameA);
        PutWindowRecord(target, L"640x480", InputA, InputA);
        CopyWindowRecords(target, list);
        CHECK(Keys(target) == Keys(list));
        CHECK(WindowRecordsEqual(target, list));
        CopyWindowRecords(target, target);
        CHECK(Keys(target) == Keys(list));
    }
}

TEST_CASE("comparing window record lists")
{
    WindowRecordList a;
    PutWindowRecord(a, L"1920x1080", InputA, GameA);
    PutWindowRecord(a, L"1280x720", MakeRect(1, 2, 3, 4), MakeRect(5, 6, 7, 8));
    WindowRecordList reversed;
    PutWindowRecord(reversed, L"1280x720", MakeRect(1, 2, 3, 4), MakeRect(5, 6, 7, 8));
    PutWindowRecord(reversed, L"1920x1080", InputA, GameA);

    CHECK(WindowRecordsEqual(a, reversed));
    CHECK(WindowRecordsEqual(WindowRecordList{}, WindowRecordList{}));

    WindowRecordList longer = a;
    PutWindowRecord(longer, L"640x480", InputA, GameA);
    CHECK_FALSE(WindowRecordsEqual(a, longer));
    CHECK_FALSE(WindowRecordsEqual(longer, a));

    WindowRecordList otherKey = a;
    std::wmemcpy(otherKey[1].ResolutionKey, L"1280x800", 9);
    CHECK_FALSE(WindowRecordsEqual(a, otherKey));
    CHECK_FALSE(WindowRecordsEqual(otherKey, a));

    // Every one of the eight coordinates, one at a time.
    for (int coordinate = 0; coordinate < 8; ++coordinate) {
        CAPTURE(coordinate);
        WindowRecordList changed = reversed;
        LONG* fields[8] = {&changed[1].InputRect.left,  &changed[1].InputRect.top,
                           &changed[1].InputRect.right, &changed[1].InputRect.bottom,
                           &changed[1].MGQRect.left,    &changed[1].MGQRect.top,
                           &changed[1].MGQRect.right,   &changed[1].MGQRect.bottom};
        *fields[coordinate] += 1;
        CHECK_FALSE(WindowRecordsEqual(a, changed));
        CHECK_FALSE(WindowRecordsEqual(changed, a));
    }
}

TEST_CASE("default placement at the worked screen sizes")
{
    struct Row {
        int w, h;
        Placement expected;
    };
    const Row rows[] = {
        {1920, 1080, {{1580, 210}, {340, 520}, {290, 40}, {1280, 720}}},
        {1280, 720, {{940, 0}, {340, 520}, {0, 40}, {1280, 720}}},
        {1024, 600, {{684, 0}, {340, 520}, {0, 40}, {1024, 576}}},
        {640, 480, {{300, 360}, {340, 520}, {0, 40}, {640, 360}}},
        {2560, 1440, {{2220, 570}, {340, 520}, {930, 40}, {1280, 720}}},
        {1366, 768, {{1026, 0}, {340, 520}, {0, 40}, {1280, 720}}},
    };
    for (const Row& row : rows) {
        CAPTURE(row.w);
        CAPTURE(row.h);
        const Placement p = DefaultPlacement(row.w, row.h);
        CHECK(p.OverlayPos.x == row.expected.OverlayPos.x);
        CHECK(p.OverlayPos.y == row.expected.OverlayPos.y);
        CHECK(p.OverlaySize.cx == row.expected.OverlaySize.cx);
        CHECK(p.OverlaySize.cy == row.expected.OverlaySize.cy);
        CHECK(p.GamePos.x == row.expected.GamePos.x);
        CHECK(p.GamePos.y == row.expected.GamePos.y);
        CHECK(p.GameSize.cx == row.expected.GameSize.cx);
        CHECK(p.GameSize.cy == row.expected.GameSize.cy);
    }
    CHECK(SamePlacement(DefaultPlacement(), DefaultPlacement(GetSystemMetrics(SM_CXSCREEN),
                                                             GetSystemMetrics(SM_CYSCREEN))));
}

TEST_CASE("placement looked up for a resolution")
{
    WindowRecordList list;
    PutWindowRecord(list, L"full", InputA, GameA);
    PutWindowRecord(list, L"nogame", MakeRect(10, 20, 350, 540), MakeRect(0, 0, 0, 0));
    // Only the game's width says whether a game window was recorded.
    PutWindowRecord(list, L"zerowidth", MakeRect(10, 20, 350, 540), MakeRect(7, 8, 7, 500));
    PutWindowRecord(list, L"extreme", MakeRect(-1, 0, INT_MAX, INT_MAX),
                    MakeRect(INT_MAX, 0, INT_MIN, -1));
    // Where no monitor's work area is (a monitor since removed, a damaged value).
    PutWindowRecord(list, L"offscreen", MakeRect(-30000, 50, -29660, 570), GameA);
    PutWindowRecord(list, L"gameaway", InputA, MakeRect(-30000, 40, -28720, 760));
    // One pixel column on the work area is no place a finger can reach.
    RECT work = {};
    REQUIRE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    PutWindowRecord(list, L"sliver", MakeRect(work.right - 1, 50, work.right + 339, 570), GameA);
    const Placement defaults = DefaultPlacement();

    CHECK(SamePlacement(LookupPlacement(list, L"800x600"), defaults));
    CHECK(SamePlacement(LookupPlacement(list, L"offscreen"), defaults));
    CHECK(SamePlacement(LookupPlacement(list, L"sliver"), defaults));
    CHECK(SamePlacement(LookupPlacement(list, L"gameaway"),
                        Placement{{100, 50}, {340, 520}, defaults.GamePos, defaults.GameSize}));
    CHECK(SamePlacement(LookupPlacement(WindowRecordList{}, L"full"), defaults));

    const Placement full = LookupPlacement(list, L"full");
    CHECK(SamePlacement(full, Placement{{100, 50}, {340, 520}, {290, 40}, {1280, 720}}));

    for (const wchar_t* key : {L"nogame", L"zerowidth"}) {
        CAPTURE(std::string(key, key + std::wcslen(key)));
        const Placement p = LookupPlacement(list, key);
        CHECK(
            SamePlacement(p, Placement{{10, 20}, {340, 520}, defaults.GamePos, defaults.GameSize}));
    }

    // Sizes of rectangles spanning the whole 32-bit range saturate; a game
    // rectangle with no width on any screen takes the default place.
    const Placement extreme = LookupPlacement(list, L"extreme");
    CHECK(extreme.OverlaySize.cx == INT_MAX);
    CHECK(extreme.OverlaySize.cy == INT_MAX);
    CHECK(extreme.GameSize.cx == defaults.GameSize.cx);
    CHECK(extreme.GamePos.x == defaults.GamePos.x);
}

TEST_CASE("window records in the registry")
{
    CleanRegistry clean;

    SUBCASE("a stored record loads as rectangles and is written back unchanged")
    {
        StoreRecordValues(L"1920x1080", {100, 50, 340, 520, 290, 40, 1280, 720});
        WindowRecordList list = ReadStored();
        REQUIRE(list.size() == 1);
        CHECK(std::wstring(list[0].ResolutionKey) == L"1920x1080");
        CHECK(SameRect(list[0].InputRect, MakeRect(100, 50, 440, 570)));
        CHECK(SameRect(list[0].MGQRect, MakeRect(290, 40, 1570, 760)));

        WipeTestKeys();
        WriteWindowRecords(CreateSettingsKey().get(), list);
        const std::vector<StoredValue> values =
            ListValues(HKEY_CURRENT_USER, SettingsSubkey(L"Window\\1920x1080"));
        const wchar_t* names[8] = {L"Input_x", L"Input_y", L"Input_width", L"Input_height",
                                   L"MGQ_x",   L"MGQ_y",   L"MGQ_width",   L"MGQ_height"};
        const int32_t data[8] = {100, 50, 340, 520, 290, 40, 1280, 720};
        REQUIRE(values.size() == 8);
        for (int i = 0; i < 8; ++i) {
            CAPTURE(i);
            int32_t stored = 0;
            CHECK(ReadStoredDword(HKEY_CURRENT_USER, SettingsSubkey(L"Window\\1920x1080"), names[i],
                                  stored));
            CHECK(stored == data[i]);
        }
    }

    SUBCASE("a record missing a value or holding another type is skipped, others load")
    {
        StoreRecordValues(L"1280x720", {1, 2, 3, 4, 5, 6, 7, 8});
        StoreRecordValues(L"1920x1080", {1, 2, 3, 4, 5, 6, 7, 8}, 7);
        StoreRecordValues(L"1024x600", {1, 2, 3, 4, 5, 6, 7, 8});
        SetStringValue(HKEY_CURRENT_USER, SettingsSubkey(L"Window\\1024x600"), L"MGQ_y", L"6");
        StoreRecordValues(L"640x480", {1, 2, 3, 4, 5, 6, 7, 8});
        const uint64_t wide = 6;
        SetRawValue(HKEY_CURRENT_USER, SettingsSubkey(L"Window\\640x480"), L"Input_y", REG_DWORD,
                    &wide, sizeof(wide));
        StoreRecordValues(L"800x600", {1, 2, 3, 4, 5, 6, 7, 8});
        const WindowRecordList list = ReadStored();
        CHECK(Keys(list) == std::vector<std::wstring>{L"1280x720", L"800x600"});
    }

    SUBCASE("stored numbers near the 32-bit limits saturate instead of overflowing")
    {
        StoreRecordValues(L"max", {INT_MAX, INT_MAX - 5, 10, 5, INT_MIN, INT_MIN + 3, -10, -3});
        StoreRecordValues(L"min", {INT_MIN, -1, -1, INT_MIN, -5, 0, INT_MAX, INT_MAX});
        const WindowRecordList list = ReadStored();
        REQUIRE(list.size() == 2);
        const WindowRecord* max = FindWindowRecord(list, L"max");
        const WindowRecord* min = FindWindowRecord(list, L"min");
        REQUIRE(max);
        REQUIRE(min);
        CHECK(SameRect(max->InputRect, MakeRect(INT_MAX, INT_MAX - 5, INT_MAX, INT_MAX)));
        CHECK(SameRect(max->MGQRect, MakeRect(INT_MIN, INT_MIN + 3, INT_MIN, INT_MIN)));
        CHECK(SameRect(min->InputRect, MakeRect(INT_MIN, -1, INT_MIN, INT_MIN)));
        CHECK(SameRect(min->MGQRect, MakeRect(-5, 0, INT_MAX - 5, INT_MAX)));

        // Widths of rectangles wider than 32 bits can hold saturate as well.
        WindowRecordList wide;
        PutWindowRecord(wide, L"wide", MakeRect(INT_MIN, INT_MAX, INT_MAX, INT_MIN),
                        MakeRect(-2, -2, INT_MAX, -1));
        WriteWindowRecords(CreateSettingsKey().get(), wide);
        const std::wstring path = SettingsSubkey(L"Window\\wide");
        int32_t width = 0, height = 0, gameWidth = 0, gameHeight = 0;
        CHECK(ReadStoredDword(HKEY_CURRENT_USER, path, L"Input_width", width));
        CHECK(ReadStoredDword(HKEY_CURRENT_USER, path, L"Input_height", height));
        CHECK(ReadStoredDword(HKEY_CURRENT_USER, path, L"MGQ_width", gameWidth));
        CHECK(ReadStoredDword(HKEY_CURRENT_USER, path, L"MGQ_height", gameHeight));
        CHECK(width == INT_MAX);
        CHECK(height == INT_MIN);
        CHECK(gameWidth == INT_MAX);
        CHECK(gameHeight == 1);
    }

    SUBCASE("a subkey name of 16 or more characters is passed over, the names after it read")
    {
        const wchar_t* names[] = {L"1920x1080",         L"123456789012345",
                                  L"5555555555555555x", L"555555555555555555555555555555555555",
                                  L"800x600",           L"9999x9999"};
        for (const wchar_t* name : names) StoreRecordValues(name, {1, 2, 3, 4, 5, 6, 7, 8});
        // In the registry's order, every name that fits.
        std::vector<std::wstring> expected;
        for (const std::wstring& name : ListSubkeys(HKEY_CURRENT_USER, SettingsSubkey(L"Window")))
            if (name.size() < 16) expected.push_back(name);
        CHECK(expected.size() == 4);
        CHECK(Keys(ReadStored()) == expected);
    }

    SUBCASE("writing leaves exactly the list's records, except those it could not read")
    {
        for (const wchar_t* name :
             {L"1024x600", L"1280x720", L"5555555555555555x", L"800x600", L"640x480"})
            StoreRecordValues(name, {1, 2, 3, 4, 5, 6, 7, 8});
        // A record with a key below it goes with that key.
        StoreRecordValues(L"640x480\\child", {1, 2, 3, 4, 5, 6, 7, 8});
        StoreRecordValues(L"2560x1440", {1, 2, 3, 4, 5, 6, 7, 8}, 7);
        // A record still in the list is written over, never deleted first.
        SetDwordValue(HKEY_CURRENT_USER, SettingsSubkey(L"Window\\1280x720"), L"Kept", 1);
        WindowRecordList list;
        PutWindowRecord(list, L"1920x1080", InputA, GameA);
        PutWindowRecord(list, L"1280x720", InputA, MakeRect(0, 0, 0, 0));
        WriteWindowRecords(CreateSettingsKey().get(), list);

        std::vector<std::wstring> stored =
            ListSubkeys(HKEY_CURRENT_USER, SettingsSubkey(L"Window"));
        std::sort(stored.begin(), stored.end());
        CHECK(stored == std::vector<std::wstring>{L"1280x720", L"1920x1080", L"2560x1440",
                                                  L"5555555555555555x"});
        CHECK(ListValues(HKEY_CURRENT_USER, SettingsSubkey(L"Window\\1280x720")).size() == 9);
        const WindowRecordList back = ReadStored();
        const WindowRecord* record = FindWindowRecord(back, L"1280x720");
        REQUIRE(record);
        CHECK(SameRect(record->InputRect, InputA));
        CHECK(SameRect(record->MGQRect, MakeRect(0, 0, 0, 0)));
    }
}
