// The settings dialog's typed numbers and display changes, and the About
// box's template.
#include <doctest/doctest.h>
#include <windows.h>
#include <commctrl.h>
#include <climits>
#include <cstring>
#include <cwchar>
#include <cwctype>
#include <iterator>
#include <string>
#include <vector>
#include "app/app.h"
#include "game/game.h"
#include "registry_fixture.h"

TEST_CASE("typed numbers convert like a base-10 wcstol that saturates")
{
    struct Row {
        const wchar_t* text;
        int32_t value;
    };
    const Row rows[] = {
        {L"120", 120},
        {L"-3", -3},
        {L"+7", 7},
        {L"7x", 7},
        {L"  42", 42},
        {L"\t\r\n 5", 5},
        {L"0", 0},
        {L"00", 0},
        {L"-0", 0},
        {L"", 0},
        {L"abc", 0},
        {L"x7", 0},
        {L"- 5", 0},
        {L"+-5", 0},
        {L"4 2", 4},
        {L"2147483647", INT32_MAX},
        {L"2147483648", INT32_MAX},
        {L"999999999999999", INT32_MAX},
        {L"-2147483648", INT32_MIN},
        {L"-999999999999999", INT32_MIN},
        {L"\u30005", 0},  // an ideographic space is no white space here
    };
    for (const Row& row : rows) {
        CAPTURE(std::wstring(row.text).size());
        CHECK(ConvertTypedNumber(row.text) == row.value);
    }
}

TEST_CASE("a typed number is refused, or clamped into its range")
{
    struct Row {
        const wchar_t* text;
        int32_t maximum;
        bool accepted;
        int32_t value;
    };
    const Row rows[] = {
        {L"120", 90, true, 90},
        {L"90", 90, true, 90},
        {L"89", 90, true, 89},
        {L"-3", 10, true, 0},
        {L"0", 10, true, 0},
        {L"7x", 10, true, 7},
        {L"11", 10, true, 10},
        {L" 4", 10, true, 4},
        {L"999999999999999", 90, true, 90},
        {L"-2147483648", 90, true, 0},
        // Nothing convertible other than exactly "0" keeps the previous value.
        {L"abc", 90, false, -1},
        {L"00", 90, false, -1},
        {L"", 90, false, -1},
        {L" 0", 90, false, -1},
        {L"-0", 90, false, -1},
        {L"+0", 10, false, -1},
    };
    for (const Row& row : rows) {
        CAPTURE(row.maximum);
        int32_t value = -1;
        CHECK(AcceptTypedNumber(row.text, row.maximum, value) == row.accepted);
        CHECK(value == row.value);
    }
}

TEST_CASE("only transparency, sensitivity and the O/X swap ask for a new pad")
{
    struct Row {
        void (*change)(SettingsRecord&);
        bool differ;
    };
    const Row rows[] = {
        {[](SettingsRecord&) {}, false},
        {[](SettingsRecord& s) { s.Transparency = 40; }, true},
        {[](SettingsRecord& s) { s.CrossPressSensitivity = 3; }, true},
        {[](SettingsRecord& s) { s.IsOKCancelChange = true; }, true},
        {[](SettingsRecord& s) { s.IsAutoMGQExec = true; }, false},
        {[](SettingsRecord& s) { s.IsAutoMGQClose = true; }, false},
        {[](SettingsRecord& s) { SetMGQpath(s, L"C:\\Games\\mgq.exe"); }, false},
        {[](SettingsRecord& s) { PutWindowRecord(s.WindowRecords, L"1x1", RECT{}, RECT{}); },
         false},
    };
    int index = 0;
    for (const Row& row : rows) {
        CAPTURE(index++);
        SettingsRecord a;
        a.Transparency = 25;
        a.CrossPressSensitivity = 10;
        SettingsRecord b;
        b.Transparency = 25;
        b.CrossPressSensitivity = 10;
        row.change(b);
        CHECK(DisplaySettingsDiffer(a, b) == row.differ);
        CHECK(DisplaySettingsDiffer(b, a) == row.differ);
    }
}

// ---------------------------------------------------------------------------
// The About box's template as compiled into the program.

namespace {

// A name in a template: 0xFFFF and an ordinal (0x82 is the static class), or
// a terminated string; p is moved past it.
std::wstring ReadTemplateName(const WORD*& p)
{
    if (*p == 0xFFFF) {
        const WORD ordinal = p[1];
        p += 2;
        return ordinal == 0x82 ? L"STATIC" : L"#" + std::to_wstring(ordinal);
    }
    std::wstring name;
    for (; *p; ++p) name += static_cast<wchar_t>(std::towupper(*p));
    ++p;
    return name;
}

}  // namespace

// The resource compiler drops the size of an ICON statement; the CONTROL form keeps it.
TEST_CASE("the About box's icon keeps the place and size of its layout")
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(IDD_ABOUTBOX), RT_DIALOG);
    REQUIRE(resource);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    REQUIRE(data);
    const auto* words = reinterpret_cast<const WORD*>(data);
    REQUIRE(words[0] == 1);       // version of an extended template
    REQUIRE(words[1] == 0xFFFF);  // its signature
    DWORD style = 0;
    std::memcpy(&style, data + 12, sizeof(style));
    REQUIRE(words[8] > 0);  // controls
    // Past help id, extended style, style, count and the box: menu, class, caption, font.
    const WORD* p = words + 13;
    for (int name = 0; name < 3; ++name) ReadTemplateName(p);
    if (style & DS_SETFONT) {
        p += 3;  // point size, weight, italic and character set
        ReadTemplateName(p);
    }
    // The first control, on a DWORD boundary: help id, extended style, style, box, id, class.
    const size_t offset = (reinterpret_cast<const BYTE*>(p) - data + 3) & ~size_t{3};
    const BYTE* item = data + offset;
    DWORD itemStyle = 0;
    short box[4] = {};
    std::memcpy(&itemStyle, item + 8, sizeof(itemStyle));
    std::memcpy(box, item + 12, sizeof(box));
    const WORD* className = reinterpret_cast<const WORD*>(item + 24);
    CHECK(ReadTemplateName(className) == L"STATIC");
    CHECK((itemStyle & SS_TYPEMASK) == SS_ICON);
    CHECK(box[0] == 14);
    CHECK(box[1] == 14);
    CHECK(box[2] == 18);
    CHECK(box[3] == 21);
}
