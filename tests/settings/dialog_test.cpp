// The settings dialog: typed numbers, its template, and the dialog itself
// opened modeless in this process so that each control can be driven and the
// file dialog replaced.
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
// The template as compiled into the program.

namespace {

struct TemplateItem {
    DWORD Style;
    short X, Y, Width, Height;
    DWORD Id;
    std::wstring Class;
    std::wstring Text;
};

struct DialogTemplate {
    DWORD Style;
    short Width, Height;
    std::wstring Caption;
    WORD PointSize;
    WORD Weight;
    std::wstring Font;
    std::vector<TemplateItem> Items;
};

class TemplateReader {
public:
    explicit TemplateReader(const BYTE* data) : data_(data) {}
    template <typename T>
    T Read()
    {
        T value;
        std::memcpy(&value, data_ + offset_, sizeof(T));
        offset_ += sizeof(T);
        return value;
    }
    std::wstring ReadText()
    {
        std::wstring text;
        for (wchar_t c; (c = Read<wchar_t>()) != 0;) text += c;
        return text;
    }
    // A class or menu: a text, or 0xFFFF and an ordinal.
    std::wstring ReadName()
    {
        if (Peek() != 0xFFFF) return ReadText();
        Read<WORD>();
        switch (Read<WORD>()) {
        case 0x80:
            return L"BUTTON";
        case 0x81:
            return L"EDIT";
        case 0x82:
            return L"STATIC";
        case 0x83:
            return L"LISTBOX";
        default:
            return L"?";
        }
    }
    void AlignDword() { offset_ = (offset_ + 3) & ~size_t{3}; }
    void Skip(size_t bytes) { offset_ += bytes; }

private:
    WORD Peek() const
    {
        WORD value;
        std::memcpy(&value, data_ + offset_, sizeof(value));
        return value;
    }
    const BYTE* data_;
    size_t offset_ = 0;
};

DialogTemplate ReadDialogTemplate(WORD id)
{
    const HMODULE module = GetModuleHandleW(nullptr);
    const HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(id), RT_DIALOG);
    REQUIRE(resource);
    const auto* data = static_cast<const BYTE*>(LockResource(LoadResource(module, resource)));
    REQUIRE(data);
    TemplateReader reader(data);
    DialogTemplate result;
    REQUIRE(reader.Read<WORD>() == 1);       // version of an extended template
    REQUIRE(reader.Read<WORD>() == 0xFFFF);  // its signature
    reader.Read<DWORD>();                    // help id
    reader.Read<DWORD>();                    // extended style
    result.Style = reader.Read<DWORD>();
    const WORD count = reader.Read<WORD>();
    reader.Read<short>();
    reader.Read<short>();
    result.Width = reader.Read<short>();
    result.Height = reader.Read<short>();
    CHECK(reader.ReadName().empty());  // no menu
    CHECK(reader.ReadName().empty());  // the standard dialog class
    result.Caption = reader.ReadText();
    result.PointSize = reader.Read<WORD>();
    result.Weight = reader.Read<WORD>();
    reader.Read<BYTE>();  // italic
    reader.Read<BYTE>();  // character set
    result.Font = reader.ReadText();
    for (WORD i = 0; i < count; ++i) {
        reader.AlignDword();
        TemplateItem item;
        reader.Read<DWORD>();  // help id
        reader.Read<DWORD>();  // extended style
        item.Style = reader.Read<DWORD>();
        item.X = reader.Read<short>();
        item.Y = reader.Read<short>();
        item.Width = reader.Read<short>();
        item.Height = reader.Read<short>();
        item.Id = reader.Read<DWORD>();
        item.Class = reader.ReadName();
        item.Text = reader.ReadName();
        reader.Skip(reader.Read<WORD>());  // creation data
        result.Items.push_back(item);
    }
    return result;
}

std::wstring Upper(std::wstring text)
{
    for (wchar_t& c : text) c = static_cast<wchar_t>(std::towupper(c));
    return text;
}

}  // namespace

TEST_CASE("dialog 131 is built exactly as designed, in tab order")
{
    const DialogTemplate dialog = ReadDialogTemplate(IDD_SETTINGS);
    CHECK(dialog.Style ==
          (WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT | DS_FIXEDSYS));
    CHECK(dialog.Width == 221);
    CHECK(dialog.Height == 248);
    CHECK(dialog.Caption == L"Orvex 設定");
    CHECK(dialog.Font == L"MS Shell Dlg");
    CHECK(dialog.PointSize == 8);
    CHECK(dialog.Weight == 400);

    const DWORD Base = WS_CHILD | WS_VISIBLE;
    const DWORD Static = static_cast<DWORD>(-1);
    const TemplateItem expected[] = {
        {Base | WS_TABSTOP | BS_DEFPUSHBUTTON, 97, 227, 50, 14, 1, L"BUTTON", L"OK"},
        {Base | WS_TABSTOP, 164, 227, 50, 14, 2, L"BUTTON", L"キャンセル"},
        {Base | WS_TABSTOP | BS_AUTOCHECKBOX, 10, 77, 204, 10, 1001, L"BUTTON",
         L"起動時にムーングラスを起動する"},
        {Base | WS_TABSTOP | BS_AUTOCHECKBOX, 10, 90, 204, 10, 1002, L"BUTTON",
         L"終了時にムーングラスも終了する"},
        {Base | WS_TABSTOP, 7, 152, 79, 14, 1003, L"BUTTON", L"ウィンドウ位置を記録"},
        {Base | ES_READONLY | ES_AUTOHSCROLL, 152, 154, 62, 12, 1004, L"EDIT", L""},
        {Base | WS_GROUP, 92, 154, 56, 8, Static, L"STATIC", L"現在の解像度: "},
        {Base | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_SORT | LBS_NOINTEGRALHEIGHT,
         7, 180, 97, 40, 1005, L"LISTBOX", L""},
        {Base | WS_GROUP, 7, 169, 99, 8, Static, L"STATIC", L"記録されている解像度一覧"},
        {Base | WS_TABSTOP, 114, 180, 50, 14, 1006, L"BUTTON", L"記録の削除"},
        {Base | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 7, 124, 172, 14, 1007, L"EDIT", L""},
        {Base | WS_GROUP, 11, 111, 149, 8, Static, L"STATIC", L"ムーングラスのパス:"},
        {Base | WS_TABSTOP, 168, 108, 46, 14, 1008, L"BUTTON", L"レジストリ"},
        {Base | WS_TABSTOP, 184, 124, 29, 14, 1009, L"BUTTON", L"参照..."},
        {Base | WS_GROUP, 11, 14, 86, 8, Static, L"STATIC", L"ウィンドウの透明度:"},
        {Base | WS_TABSTOP | TBS_AUTOTICKS | TBS_BOTH, 100, 5, 81, 22, 1012, L"MSCTLS_TRACKBAR32",
         L""},
        {Base | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 183, 10, 31, 14, 1013, L"EDIT", L""},
        {Base | WS_GROUP, 11, 36, 89, 8, Static, L"STATIC", L"十字キー斜め押し感度:"},
        {Base | WS_TABSTOP | TBS_AUTOTICKS | TBS_BOTH, 100, 27, 81, 23, 1014, L"MSCTLS_TRACKBAR32",
         L""},
        {Base | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 183, 33, 31, 14, 1015, L"EDIT", L""},
        {Base | WS_TABSTOP | BS_AUTOCHECKBOX, 10, 53, 103, 10, 1016, L"BUTTON",
         L"○キーと×キーを入れ変える"},
    };
    REQUIRE(dialog.Items.size() == std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        const TemplateItem& want = expected[i];
        const TemplateItem& got = dialog.Items[i];
        CAPTURE(i);
        CHECK(got.Id == want.Id);
        CHECK(Upper(got.Class) == want.Class);
        CHECK(got.Text == want.Text);
        CHECK(got.Style == want.Style);
        CHECK(got.X == want.X);
        CHECK(got.Y == want.Y);
        CHECK(got.Width == want.Width);
        CHECK(got.Height == want.Height);
    }
}

TEST_CASE("the About box's icon keeps the place and size of its layout")
{
    const DialogTemplate about = ReadDialogTemplate(IDD_ABOUTBOX);
    REQUIRE_FALSE(about.Items.empty());
    const TemplateItem& icon = about.Items[0];
    CHECK(Upper(icon.Class) == L"STATIC");
    CHECK((icon.Style & SS_TYPEMASK) == SS_ICON);
    CHECK(icon.X == 14);
    CHECK(icon.Y == 14);
    CHECK(icon.Width == 18);
    CHECK(icon.Height == 21);
}
