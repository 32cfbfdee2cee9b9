// Layout files: JSON read by the library into the program's own layout, all
// or nothing, with the checks of meaning done here; and the layout written
// back in the same form. No exception leaves this file: the library reports
// syntax errors through its SAX interface and every value's type is checked
// before it is read.
#include <windows.h>
#include <shlobj.h>
#include <algorithm>
#include <initializer_list>
#include <set>
#include <string>
#define JSON_NOEXCEPTION
#define JSON_USE_IMPLICIT_CONVERSIONS 0
#include <nlohmann/json.hpp>
#include "base/handle.h"
#include "pad/pad.h"
#include "pad/padlayout.h"

using Json = nlohmann::json;
using OrderedJson = nlohmann::ordered_json;

namespace {

// Takes every event and keeps where the first syntax error was.
struct SyntaxErrorFinder : nlohmann::json_sax<Json> {
    size_t Position = 0;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t&) override { return true; }
    bool string(string_t&) override { return true; }
    bool binary(binary_t&) override { return true; }
    bool start_object(std::size_t) override { return true; }
    bool key(string_t&) override { return true; }
    bool end_object() override { return true; }
    bool start_array(std::size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(std::size_t position, const std::string&,
                     const nlohmann::detail::exception&) override
    {
        Position = position;
        return false;
    }
};

// Line and column (both from 1, the column in characters) of the character
// the parser stopped at: the position counts the characters read.
std::string SyntaxErrorPlace(const std::string& text, size_t position)
{
    const size_t at = position > 0 ? std::min(position - 1, text.size()) : 0;
    int line = 1;
    int column = 1;
    for (size_t i = 0; i < at; ++i) {
        if (text[i] == '\n') {
            ++line;
            column = 1;
        } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
            ++column;  // continuation bytes belong to the character before
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column);
}

bool IsUtf8(const std::string& text)
{
    if (text.empty()) return true;
    if (text.size() > static_cast<size_t>(INT32_MAX)) return false;
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                               static_cast<int>(text.size()), nullptr, 0) > 0;
}

std::string Utf8FromWide(const std::wstring& text)
{
    if (text.empty()) return std::string();
    const int size = static_cast<int>(text.size());
    std::string narrow(static_cast<size_t>(WideCharToMultiByte(CP_UTF8, 0, text.data(), size,
                                                               nullptr, 0, nullptr, nullptr)),
                       '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), size, &narrow[0], static_cast<int>(narrow.size()),
                        nullptr, nullptr);
    return narrow;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

// The checks of meaning. Each sets error to "where: what" and returns false.
struct Reader {
    std::string& Error;

    bool Fail(const std::string& where, const std::string& what)
    {
        Error = where.empty() ? what : where + ": " + what;
        return false;
    }

    bool OnlyFields(const Json& object, const std::string& where,
                    std::initializer_list<const char*> allowed)
    {
        if (!object.is_object()) return Fail(where, "must be an object");
        for (const auto& item : object.items()) {
            bool known = false;
            for (const char* name : allowed) known = known || item.key() == name;
            if (!known) return Fail(where, "unknown field " + Quoted(item.key()));
        }
        return true;
    }

    bool Integer(const Json& object, const char* field, const std::string& where, int64_t min,
                 int64_t max, int32_t& value)
    {
        const std::string place = where.empty() ? field : where + "." + field;
        if (!object.contains(field)) return Fail(where, Quoted(field) + " is missing");
        const Json& v = object[field];
        if (!v.is_number_integer()) return Fail(place, "must be a whole number");
        const bool tooLarge = v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(INT64_MAX);
        const int64_t n = tooLarge ? INT64_MAX : v.get<int64_t>();
        if (n < min || n > max)
            return Fail(place, v.dump() + " is out of range " + std::to_string(min) + " to " +
                                   std::to_string(max));
        value = static_cast<int32_t>(n);
        return true;
    }

    bool Text(const Json& v, const std::string& where, std::string& value)
    {
        if (!v.is_string()) return Fail(where, "must be a string");
        value = v.get<std::string>();
        return true;
    }

    bool KeyName(const Json& v, const std::string& where, WORD& key)
    {
        std::string name;
        if (!Text(v, where, name)) return false;
        key = KeyFromName(name);
        if (!key) return Fail(where, "unknown key name " + Quoted(name));
        return true;
    }

    bool Keys(const Json& element, const std::string& where, std::vector<WORD>& keys)
    {
        const bool one = element.contains("key");
        const bool several = element.contains("keys");
        if (one && several) return Fail(where, "\"key\" and \"keys\" both given");
        keys.clear();
        if (one) {
            WORD key = 0;
            if (!KeyName(element["key"], where + ".key", key)) return false;
            keys.push_back(key);
            return true;
        }
        if (!several) return true;
        const Json& list = element["keys"];
        if (!list.is_array() || list.empty())
            return Fail(where + ".keys", "must be an array of key names");
        for (size_t i = 0; i < list.size(); ++i) {
            WORD key = 0;
            if (!KeyName(list[i], where + ".keys[" + std::to_string(i) + "]", key)) return false;
            keys.push_back(key);
        }
        return true;
    }

    bool Game(const Json& game, PadLayout& layout)
    {
        if (!OnlyFields(game, "game", {"windowClass", "name"})) return false;
        std::string text;
        if (game.contains("windowClass")) {
            if (!Text(game["windowClass"], "game.windowClass", text)) return false;
            layout.GameWindowClass = WideFromUtf8(text);
            if (layout.GameWindowClass.empty() || layout.GameWindowClass.size() > 255)
                return Fail("game.windowClass", "must be 1 to 255 characters");
        }
        if (game.contains("name")) {
            if (!Text(game["name"], "game.name", text)) return false;
            layout.GameName = WideFromUtf8(text);
            if (layout.GameName.empty() || layout.GameName.size() > 100)
                return Fail("game.name", "must be 1 to 100 characters");
        }
        return true;
    }

    bool Pad(const Json& pad, PadLayout& layout)
    {
        if (!OnlyFields(pad, "pad", {"width", "height", "scale"})) return false;
        if (!Integer(pad, "width", "pad", MinPadSide, MaxPadSide, layout.Width)) return false;
        if (!Integer(pad, "height", "pad", MinPadSide, MaxPadSide, layout.Height)) return false;
        layout.Scale = 1.0;
        if (!pad.contains("scale")) return true;
        const Json& scale = pad["scale"];
        if (!scale.is_number()) return Fail("pad.scale", "must be a number");
        layout.Scale = scale.get<double>();
        if (layout.Scale < MinPadScale || layout.Scale > MaxPadScale)
            return Fail("pad.scale", scale.dump() + " is out of range 0.5 to 3.0");
        return true;
    }

    bool Inside(const PadLayout& layout, const std::string& where, int32_t right, int32_t bottom)
    {
        if (right <= layout.Width && bottom <= layout.Height) return true;
        return Fail(where, "reaches outside the pad (" + std::to_string(layout.Width) + " x " +
                               std::to_string(layout.Height) + ")");
    }

    bool Cross(const Json& element, const std::string& where, const PadLayout& layout,
               LayoutElement& cross)
    {
        if (!OnlyFields(element, where, {"cross", "keys"})) return false;
        const std::string place = where + ".cross";
        const Json& square = element["cross"];
        if (!OnlyFields(square, place, {"x", "y", "arm"})) return false;
        cross.IsCross = true;
        if (!Integer(square, "x", place, 0, MaxPadSide, cross.X) ||
            !Integer(square, "y", place, 0, MaxPadSide, cross.Y) ||
            !Integer(square, "arm", place, 10, MaxPadSide, cross.Arm))
            return false;
        if (!Inside(layout, place, cross.X + 3 * cross.Arm, cross.Y + 3 * cross.Arm)) return false;
        if (!element.contains("keys")) return Fail(where, "\"keys\" is missing");
        if (!Keys(element, where, cross.Keys)) return false;
        if (cross.Keys.size() != 4)
            return Fail(where + ".keys", "a cross key takes 4 key names: up, down, left, right");
        return true;
    }

    bool Button(const Json& element, const std::string& where, const PadLayout& layout,
                LayoutElement& button)
    {
        if (!OnlyFields(element, where, {"label", "text", "rect", "key", "keys", "action"}))
            return false;
        std::string text;
        if (element.contains("label")) {
            if (!Text(element["label"], where + ".label", text)) return false;
            button.Label = WideFromUtf8(text);
            if (button.Label.size() > static_cast<size_t>(MaxLayoutLabel))
                return Fail(where + ".label", "longer than 15 characters");
        }
        button.LabelStyle = 0;
        if (element.contains("text")) {
            if (!Text(element["text"], where + ".text", text)) return false;
            if (text == "small")
                button.LabelStyle = 1;
            else if (text == "large")
                button.LabelStyle = 2;
            else if (text != "normal")
                return Fail(where + ".text", "must be \"small\", \"normal\" or \"large\"");
        }
        if (!element.contains("rect")) return Fail(where, "\"rect\" is missing");
        const Json& rect = element["rect"];
        if (!rect.is_array() || rect.size() != 4)
            return Fail(where + ".rect", "must be [x, y, width, height]");
        const Json box = {{"x", rect[0]}, {"y", rect[1]}, {"width", rect[2]}, {"height", rect[3]}};
        const std::string place = where + ".rect";
        if (!Integer(box, "x", place, 0, MaxPadSide, button.X) ||
            !Integer(box, "y", place, 0, MaxPadSide, button.Y) ||
            !Integer(box, "width", place, 1, MaxPadSide, button.Width) ||
            !Integer(box, "height", place, 1, MaxPadSide, button.Height))
            return false;
        if (!Inside(layout, place, button.X + button.Width, button.Y + button.Height)) return false;
        if (!Action(element, where, button.Action)) return false;
        if (!Keys(element, where, button.Keys)) return false;
        if (button.Action == ElementAction::Place) {
            if (!button.Keys.empty()) return Fail(where, "a \"place\" element sends no key");
        } else if (button.Keys.empty()) {
            return Fail(where, "\"key\" or \"keys\" is missing");
        }
        if (button.Action == ElementAction::Latch && button.Keys.size() != 1)
            return Fail(where + ".keys", "a \"latch\" element holds one key");
        return true;
    }

    bool Action(const Json& element, const std::string& where, ElementAction& action)
    {
        action = ElementAction::Key;
        if (!element.contains("action")) return true;
        std::string name;
        if (!Text(element["action"], where + ".action", name)) return false;
        if (name == "key")
            action = ElementAction::Key;
        else if (name == "latch")
            action = ElementAction::Latch;
        else if (name == "place")
            action = ElementAction::Place;
        else if (name == "ends-latch")
            action = ElementAction::EndsLatch;
        else
            return Fail(where + ".action",
                        "must be \"key\", \"latch\", \"place\" or \"ends-latch\"");
        return true;
    }

    bool Elements(const Json& elements, PadLayout& layout)
    {
        if (!elements.is_array()) return Fail("elements", "must be an array");
        if (elements.size() > static_cast<size_t>(MaxLayoutElements))
            return Fail("elements", "more than 64 elements");
        int latch = -1;
        std::set<WORD> keys(std::begin(BuiltInPadKeys), std::end(BuiltInPadKeys));
        size_t used = 0;
        std::set<WORD> seen;
        for (size_t i = 0; i < elements.size(); ++i) {
            const std::string where = "elements[" + std::to_string(i) + "]";
            const Json& element = elements[i];
            LayoutElement read;
            if (element.is_object() && element.contains("cross")) {
                if (!Cross(element, where, layout, read)) return false;
            } else if (!Button(element, where, layout, read)) {
                return false;
            }
            if (read.Action == ElementAction::Latch) {
                if (latch >= 0)
                    return Fail(where + ".action", "a second \"latch\" element (the first is "
                                                   "elements[" +
                                                       std::to_string(latch) + "])");
                latch = static_cast<int>(i);
            }
            for (WORD key : read.Keys) seen.insert(key);
            layout.Elements.push_back(read);
        }
        // Bit 12 is SIZE; every other bit can hold a key.
        for (WORD key : seen) used += keys.count(key) ? 0 : 1;
        if (used > static_cast<size_t>(PadKeyBits - BuiltInPadKeyCount - 1))
            return Fail("elements", "more than 51 keys besides the built-in pad's 12");
        return true;
    }

    bool Layout(const Json& root, PadLayout& layout)
    {
        if (!OnlyFields(root, "", {"$schema", "version", "game", "pad", "elements"})) return false;
        if (!root.contains("version")) return Fail("", "\"version\" is missing");
        const Json& version = root["version"];
        if (!version.is_number_integer() || version.get<int64_t>() != 1)
            return Fail("version", "must be 1");
        layout.GameWindowClass = BuiltInGameWindowClass;
        layout.GameName = BuiltInGameName;
        if (root.contains("game") && !Game(root["game"], layout)) return false;
        if (!root.contains("pad")) return Fail("", "\"pad\" is missing");
        if (!Pad(root["pad"], layout)) return false;
        if (!root.contains("elements")) return Fail("", "\"elements\" is missing");
        return Elements(root["elements"], layout);
    }
};

const char* TextName(int32_t labelStyle)
{
    switch (labelStyle) {
    case 1:
        return "small";
    case 2:
        return "large";
    default:
        return "normal";
    }
}

const char* ActionName(ElementAction action)
{
    switch (action) {
    case ElementAction::Latch:
        return "latch";
    case ElementAction::Place:
        return "place";
    case ElementAction::EndsLatch:
        return "ends-latch";
    default:
        return "key";
    }
}

OrderedJson KeysOf(const LayoutElement& element)
{
    OrderedJson names = OrderedJson::array();
    for (WORD key : element.Keys) names.push_back(NameOfKey(key));
    return names;
}

OrderedJson ElementJson(const LayoutElement& element)
{
    OrderedJson json;
    if (element.IsCross) {
        json["cross"] = {{"x", element.X}, {"y", element.Y}, {"arm", element.Arm}};
        json["keys"] = KeysOf(element);
        return json;
    }
    json["label"] = Utf8FromWide(element.Label);
    json["text"] = TextName(element.LabelStyle);
    json["rect"] = {element.X, element.Y, element.Width, element.Height};
    if (element.Keys.size() == 1) json["key"] = NameOfKey(element.Keys[0]);
    if (element.Keys.size() > 1) json["keys"] = KeysOf(element);
    if (element.Action != ElementAction::Key) json["action"] = ActionName(element.Action);
    return json;
}

std::string Dump(const OrderedJson& json)
{
    return json.dump(-1, ' ', false, OrderedJson::error_handler_t::replace);
}

}  // namespace

std::wstring WideFromUtf8(const std::string& text)
{
    if (text.empty()) return std::wstring();
    const int size = static_cast<int>(text.size());
    std::wstring wide(
        static_cast<size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), size, &wide[0], static_cast<int>(wide.size()));
    return wide;
}

bool ParsePadLayout(const std::string& text, PadLayout& layout, std::string& error)
{
    if (text.size() > MaxLayoutFileBytes) {
        error = "larger than 1 MB";
        return false;
    }
    std::string body = text;
    if (body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);  // Notepad's mark
    if (!IsUtf8(body)) {
        error = "not UTF-8 text";
        return false;
    }
    SyntaxErrorFinder finder;
    if (!Json::sax_parse(body, &finder)) {
        error = SyntaxErrorPlace(body, finder.Position) + ": not valid JSON here";
        return false;
    }
    const Json root = Json::parse(body, nullptr, false);
    if (root.is_discarded()) {
        error = "not valid JSON";
        return false;
    }
    PadLayout read;
    Reader reader = {error};
    if (!reader.Layout(root, read)) return false;
    layout = read;
    return true;
}

bool ReadPadLayoutFile(const std::wstring& path, PadLayout& layout, std::string& error)
{
    const std::string name = Utf8FromWide(path) + ": ";
    UniqueHandleObject file(NullIfInvalid(CreateFileW(
        path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        error = name + "cannot be read (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (size.QuadPart > static_cast<LONGLONG>(MaxLayoutFileBytes)) {
        error = name + "larger than 1 MB";
        return false;
    }
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!text.empty() &&
        (!ReadFile(file.get(), &text[0], static_cast<DWORD>(text.size()), &read, nullptr) ||
         read != text.size())) {
        error = name + "cannot be read (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    if (ParsePadLayout(text, layout, error)) return true;
    error = name + error;
    return false;
}

std::string FormatPadLayout(const PadLayout& layout)
{
    OrderedJson game;
    game["windowClass"] = Utf8FromWide(layout.GameWindowClass);
    game["name"] = Utf8FromWide(layout.GameName);
    OrderedJson pad;
    pad["width"] = layout.Width;
    pad["height"] = layout.Height;
    pad["scale"] = layout.Scale;
    std::string text = "{\n  \"version\": 1,\n  \"game\": " + Dump(game) +
                       ",\n  \"pad\": " + Dump(pad) + ",\n  \"elements\": [\n";
    for (size_t i = 0; i < layout.Elements.size(); ++i) {
        text += "    " + Dump(ElementJson(layout.Elements[i]));
        text += i + 1 < layout.Elements.size() ? ",\n" : "\n";
    }
    return text + "  ]\n}\n";
}

bool WritePadLayoutFile(const std::wstring& path, const PadLayout& layout)
{
    const std::string text = FormatPadLayout(layout);
    UniqueHandleObject file(NullIfInvalid(CreateFileW(
        path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

std::wstring LayoutFolder()
{
    wchar_t folder[MAX_PATH] = L"";
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)))
        return std::wstring();
    return std::wstring(folder) + L"\\Orvex";
}

std::wstring LayoutFilePath()
{
    const std::wstring folder = LayoutFolder();
    return folder.empty() ? folder : folder + L"\\layout.json";
}

LayoutFileState LoadLayoutFile(const std::wstring& path, std::string& error)
{
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        const DWORD why = GetLastError();
        if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND) {
            HasLayoutFile = false;
            return LayoutFileState::Missing;
        }
    }
    PadLayout layout;
    if (!ReadPadLayoutFile(path, layout, error)) return LayoutFileState::Broken;
    FileLayout = layout;
    HasLayoutFile = true;
    return LayoutFileState::Loaded;
}
