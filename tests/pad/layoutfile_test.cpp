// The layout file: the built-in pad through a file and back, broken files with
// the message each gives, key names, the scale, and a layout of many keys.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "pad/pad.h"
#include "pad/padlayout.h"
#include "render/render.h"

namespace {

// Every field of every element in use, and the keys of the bits.
std::string DescribeTable()
{
    std::string text;
    const PadElementTable& table = *CurrentPadTable;
    for (int32_t i = 0; i < table.Count; ++i) {
        const PadElement& e = table.Items[i];
        text += std::to_string(i) + ":";
        for (int c = 0; c < PadLabelCapacity && e.Label[c]; ++c)
            text += std::to_string(e.Label[c]) + " ";
        text += "," + std::to_string(e.LabelStyle) + "," + std::to_string(e.KeyMask) + "," +
                std::to_string(e.OriginX) + "," + std::to_string(e.OriginY) + "," +
                std::to_string(e.Visible) + "," + std::to_string(e.ShapeKind) + ",";
        for (const OutlinePoint& p : e.OutlinePoints)
            text += std::to_string(p.x) + " " + std::to_string(p.y) + ";";
        text += "\n";
    }
    for (WORD key : PadKeyTable) text += std::to_string(key) + " ";
    return text + std::to_string(PadLatchKeys) + " " + std::to_string(PadLatchKey) + " " +
           std::to_string(PadLatchEndingKeys);
}

// A layout file in force for one test.
struct FileInForce {
    explicit FileInForce(const std::string& text)
    {
        std::string error;
        REQUIRE_MESSAGE(ParsePadLayout(text, FileLayout, error), error);
        HasLayoutFile = true;
        REQUIRE(CreateDeviceIndependentResources());
        BuildPadLayout();
        REQUIRE(BuildElementGeometries());
    }
    ~FileInForce()
    {
        HasLayoutFile = false;
        BuildPadLayout();
        DestroyPadElementTable(CurrentPadTable);
    }
};

}  // namespace

TEST_CASE("the built-in pad exported and read back gives the same element table")
{
    for (bool swapped : {false, true}) {
        CAPTURE(swapped);
        const PadLayout builtIn = BuiltInPadLayout(swapped);
        FillPadTable(builtIn, 7);
        const std::string before = DescribeTable();
        PadLayout read;
        std::string error;
        REQUIRE_MESSAGE(ParsePadLayout(FormatPadLayout(builtIn), read, error), error);
        FillPadTable(read, 7);
        CHECK(DescribeTable() == before);
        CHECK(read.GameWindowClass == builtIn.GameWindowClass);
        CHECK(read.GameName == builtIn.GameName);
        CHECK((read.Width == 340 && read.Height == 520 && read.Scale == 1.0));
    }
    DestroyPadElementTable(CurrentPadTable);
}

TEST_CASE("a broken layout is refused whole, saying what and where")
{
    const std::string pad = R"("version": 1, "pad": {"width": 300, "height": 300})";
    const std::string button = R"({"rect": [0, 0, 10, 10], "key": "Z")";
    std::string many;
    for (int i = 0; i < 65; ++i) many += (i ? "," : "") + button + "}";
    struct Row {
        std::string text;
        std::string error;
    };
    const Row rows[] = {
        {"{\n  \"version\": 1,,\n}", "line 2, column 16: not valid JSON here"},
        {"{" + pad + R"(, "elements": {}})", "elements: must be an array"},
        {"{" + pad + R"(, "elements": [)" + button + R"(, "lable": "a"}]})",
         "elements[0]: unknown field \"lable\""},
        {"{" + pad + R"(, "elements": [{"rect": [0, 0, 10, 10], "key": "ENTRE"}]})",
         "elements[0].key: unknown key name \"ENTRE\""},
        {R"({"version": 1, "pad": {"width": 300, "height": 300, "scale": 3.5}, "elements": []})",
         "pad.scale: 3.5 is out of range 0.5 to 3.0"},
        {"{" + pad + R"(, "elements": [{"rect": [0, 0, -5, 10], "key": "Z"}]})",
         "elements[0].rect.width: -5 is out of range 1 to 2000"},
        {"{" + pad + R"(, "elements": [)" + many + "]}", "elements: more than 64 elements"},
        {"{" + pad + R"(, "elements": [)" + button + R"(, "action": "latch"}, )" + button +
             R"(, "action": "latch"}]})",
         "elements[1].action: a second \"latch\" element (the first is elements[0])"},
        {std::string(MaxLayoutFileBytes + 1, ' '), "larger than 1 MB"},
        {"{\"version\": 1, \"pad\": \"\xE9t\xE9\"}", "not UTF-8 text"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.error);
        PadLayout layout;
        layout.Width = 123;
        std::string error;
        CHECK_FALSE(ParsePadLayout(row.text, layout, error));
        CHECK(error == row.error);
        CHECK(layout.Width == 123);
    }
}

TEST_CASE("a broken file leaves the layout in force and names the file")
{
    wchar_t folder[MAX_PATH] = L"";
    REQUIRE(GetTempPathW(MAX_PATH, folder));
    const std::wstring path = std::wstring(folder) + L"orvex-broken-layout.json";
    PadLayout written = BuiltInPadLayout(false);
    REQUIRE(WritePadLayoutFile(path, written));
    std::string error;
    REQUIRE(LoadLayoutFile(path, error) == LayoutFileState::Loaded);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD bytes = 0;
    REQUIRE(WriteFile(file, "{\"version\": 2}", 14, &bytes, nullptr));
    CloseHandle(file);
    CHECK(LoadLayoutFile(path, error) == LayoutFileState::Broken);
    CHECK(HasLayoutFile);
    CHECK(FileLayout.Elements.size() == written.Elements.size());
    CHECK(error.find("orvex-broken-layout.json: version: must be 1") != std::string::npos);
    DeleteFileW(path.c_str());
    CHECK(LoadLayoutFile(path, error) == LayoutFileState::Missing);
    CHECK_FALSE(HasLayoutFile);
}

TEST_CASE("key names: letters, digits and virtual-key names in any case, and the aliases")
{
    struct Row {
        const char* name;
        WORD key;
    };
    const Row rows[] = {{"z", 'Z'},           {"7", '7'},         {"return", VK_RETURN},
                        {"ENTER", VK_RETURN}, {"Esc", VK_ESCAPE}, {"ctrl", VK_CONTROL},
                        {"ALT", VK_MENU},     {"F24", VK_F24},    {"oem_plus", VK_OEM_PLUS},
                        {"F25", 0},           {"VK_RETURN", 0},   {"ENTRE", 0}};
    for (const Row& row : rows) {
        CAPTURE(row.name);
        CHECK(KeyFromName(row.name) == row.key);
    }
    CHECK(NameOfKey(VK_RETURN) == "RETURN");
    CHECK(NameOfKey(VK_F12) == "F12");
}

TEST_CASE("a scaled pad is hit where it is drawn: at a button's centre and its edges")
{
    FileInForce file(R"({"version": 1, "pad": {"width": 200, "height": 100, "scale": 1.5},
        "elements": [{"rect": [10, 20, 40, 30], "key": "Z"}]})");
    const SIZE client = ActiveClientSize();
    CHECK((client.cx == 300 && client.cy == 150));
    struct Row {
        ContactPoint at;
        KeySet keys;
    };
    // The rectangle is (15, 30)-(75, 75) in client pixels: its left and top
    // edges and its last pixel inside hit, a pixel beyond them does not.
    const Row rows[] = {{{45, 52}, 0x10}, {{15, 52}, 0x10}, {{45, 30}, 0x10}, {{74, 74}, 0x10},
                        {{14, 52}, 0},    {{45, 29}, 0},    {{76, 52}, 0}};
    for (const Row& row : rows) {
        CAPTURE(row.at.x);
        CAPTURE(row.at.y);
        CHECK(HitTestElements(&row.at, 1) == row.keys);
    }
    const float scaled = DesktopPaintTransform()._11;
    HasLayoutFile = false;
    CHECK(scaled == doctest::Approx(1.5f * DesktopPaintTransform()._11));
}

TEST_CASE("a layout holds 40 distinct keys, each on a bit of its own")
{
    const char* names[] = {"A", "B", "C", "D", "E", "F", "G",  "H",  "I",  "J",
                           "K", "L", "M", "N", "O", "P", "Q",  "R",  "S",  "T",
                           "U", "V", "W", "X", "Y", "Z", "0",  "1",  "2",  "3",
                           "4", "5", "6", "7", "8", "9", "F1", "F2", "F3", "RETURN"};
    std::string elements;
    for (int i = 0; i < 40; ++i) {
        elements += std::string(i ? "," : "") + "{\"rect\": [" + std::to_string(i * 10) +
                    ", 0, 10, 10], \"key\": \"" + names[i] + "\"}";
    }
    FileInForce file(R"({"version": 1, "pad": {"width": 400, "height": 100}, "elements": [)" +
                     elements + "]}");
    KeySet all = 0;
    for (int i = 0; i < 40; ++i) {
        CAPTURE(names[i]);
        const ContactPoint centre = {i * 10 + 5, 5};
        const KeySet keys = HitTestElements(&centre, 1);
        REQUIRE(keys != 0);
        CHECK((keys & (keys - 1)) == 0);
        CHECK((keys & all) == 0);
        all |= keys;
        int bit = 0;
        while (!(keys & (KeySet{1} << bit))) ++bit;
        CHECK(PadKeyTable[bit] == KeyFromName(names[i]));
    }
}
