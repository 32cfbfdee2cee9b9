// Key names of layout files: Windows' virtual-key names without "VK_", letters
// and digits as themselves, and a few aliases players expect.
#include <cctype>
#include <cstdio>
#include <iterator>
#include <string>
#include "pad/padlayout.h"

namespace {

struct KeyName {
    const char* Name;
    WORD Key;
};

// The first name of a key is the one export writes.
const KeyName KeyNames[] = {
    {"BACK", VK_BACK},
    {"TAB", VK_TAB},
    {"CLEAR", VK_CLEAR},
    {"RETURN", VK_RETURN},
    {"SHIFT", VK_SHIFT},
    {"CONTROL", VK_CONTROL},
    {"MENU", VK_MENU},
    {"PAUSE", VK_PAUSE},
    {"CAPITAL", VK_CAPITAL},
    {"KANA", VK_KANA},
    {"KANJI", VK_KANJI},
    {"ESCAPE", VK_ESCAPE},
    {"CONVERT", VK_CONVERT},
    {"NONCONVERT", VK_NONCONVERT},
    {"SPACE", VK_SPACE},
    {"PRIOR", VK_PRIOR},
    {"NEXT", VK_NEXT},
    {"END", VK_END},
    {"HOME", VK_HOME},
    {"LEFT", VK_LEFT},
    {"UP", VK_UP},
    {"RIGHT", VK_RIGHT},
    {"DOWN", VK_DOWN},
    {"SNAPSHOT", VK_SNAPSHOT},
    {"INSERT", VK_INSERT},
    {"DELETE", VK_DELETE},
    {"LWIN", VK_LWIN},
    {"RWIN", VK_RWIN},
    {"APPS", VK_APPS},
    {"NUMPAD0", VK_NUMPAD0},
    {"NUMPAD1", VK_NUMPAD1},
    {"NUMPAD2", VK_NUMPAD2},
    {"NUMPAD3", VK_NUMPAD3},
    {"NUMPAD4", VK_NUMPAD4},
    {"NUMPAD5", VK_NUMPAD5},
    {"NUMPAD6", VK_NUMPAD6},
    {"NUMPAD7", VK_NUMPAD7},
    {"NUMPAD8", VK_NUMPAD8},
    {"NUMPAD9", VK_NUMPAD9},
    {"MULTIPLY", VK_MULTIPLY},
    {"ADD", VK_ADD},
    {"SEPARATOR", VK_SEPARATOR},
    {"SUBTRACT", VK_SUBTRACT},
    {"DECIMAL", VK_DECIMAL},
    {"DIVIDE", VK_DIVIDE},
    {"NUMLOCK", VK_NUMLOCK},
    {"SCROLL", VK_SCROLL},
    {"LSHIFT", VK_LSHIFT},
    {"RSHIFT", VK_RSHIFT},
    {"LCONTROL", VK_LCONTROL},
    {"RCONTROL", VK_RCONTROL},
    {"LMENU", VK_LMENU},
    {"RMENU", VK_RMENU},
    {"OEM_1", VK_OEM_1},
    {"OEM_PLUS", VK_OEM_PLUS},
    {"OEM_COMMA", VK_OEM_COMMA},
    {"OEM_MINUS", VK_OEM_MINUS},
    {"OEM_PERIOD", VK_OEM_PERIOD},
    {"OEM_2", VK_OEM_2},
    {"OEM_3", VK_OEM_3},
    {"OEM_4", VK_OEM_4},
    {"OEM_5", VK_OEM_5},
    {"OEM_6", VK_OEM_6},
    {"OEM_7", VK_OEM_7},
    {"OEM_8", VK_OEM_8},
    {"OEM_102", VK_OEM_102},
    {"ENTER", VK_RETURN},
    {"ESC", VK_ESCAPE},
    {"CTRL", VK_CONTROL},
    {"ALT", VK_MENU},
};

std::string UpperCase(const std::string& name)
{
    std::string upper = name;
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

}  // namespace

WORD KeyFromName(const std::string& name)
{
    const std::string upper = UpperCase(name);
    if (upper.size() == 1 && std::isalnum(static_cast<unsigned char>(upper[0])))
        return static_cast<WORD>(upper[0]);
    // F1 to F24
    if (upper.size() >= 2 && upper.size() <= 3 && upper[0] == 'F' && upper[1] != '0') {
        int number = 0;
        for (size_t i = 1; i < upper.size(); ++i) {
            if (!std::isdigit(static_cast<unsigned char>(upper[i]))) return 0;
            number = number * 10 + (upper[i] - '0');
        }
        return number >= 1 && number <= 24 ? static_cast<WORD>(VK_F1 + number - 1) : 0;
    }
    for (const KeyName& entry : KeyNames) {
        if (upper == entry.Name) return entry.Key;
    }
    return 0;
}

std::string NameOfKey(WORD vk)
{
    if ((vk >= '0' && vk <= '9') || (vk >= 'A' && vk <= 'Z'))
        return std::string(1, static_cast<char>(vk));
    if (vk >= VK_F1 && vk <= VK_F24) return "F" + std::to_string(vk - VK_F1 + 1);
    for (const KeyName& entry : KeyNames) {
        if (entry.Key == vk) return entry.Name;
    }
    return std::string();
}
