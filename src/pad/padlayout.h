// A pad described as data. The built-in pad and a player's layout file
// (%APPDATA%\Orvex\layout.json) take this one form; BuildPadLayout fills the
// element table from the layout in force. Files are read all or nothing: a
// file with any error leaves the layout in force as it was.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

enum class ElementAction : int32_t {
    Key,        // presses its keys while touched
    Latch,      // also latched by a double tap, as "スキップ" holds Ctrl
    Place,      // places the windows, as "サイズ調整"; sends no key
    EndsLatch,  // its press ends the latch, as "ログ"
};

// A button, or a cross key: four arms around an empty square, with the four
// invisible diagonal zones between them.
struct LayoutElement {
    bool IsCross = false;
    std::wstring Label;      // a button's, up to 15 characters
    int32_t LabelStyle = 0;  // 0 normal, 1 small, 2 large text
    // A button's rectangle, or for a cross key the top-left corner of its
    // square three arms wide (Width and Height unused).
    int32_t X = 0, Y = 0, Width = 0, Height = 0;
    int32_t Arm = 0;
    std::vector<WORD> Keys;  // a cross key's four: up, down, left, right
    ElementAction Action = ElementAction::Key;
};

struct PadLayout {
    std::wstring GameWindowClass;
    std::wstring GameName;  // in the close question
    int32_t Width = 0;      // pad pixels
    int32_t Height = 0;
    double Scale = 1.0;  // client pixels per pad pixel
    std::vector<LayoutElement> Elements;
};

constexpr int32_t MaxLayoutElements = 64;
constexpr int32_t MinPadSide = 100;
constexpr int32_t MaxPadSide = 2000;
constexpr double MinPadScale = 0.5;
constexpr double MaxPadScale = 3.0;
constexpr size_t MaxLayoutFileBytes = 1024 * 1024;
constexpr int32_t MaxLayoutLabel = 15;

extern const wchar_t BuiltInGameWindowClass[];  // "MoonGlass_Class"
extern const wchar_t BuiltInGameName[];

// The built-in pad, with ○ and × in their places or swapped.
PadLayout BuiltInPadLayout(bool swapped);

// The layout read from the file, in force while HasLayoutFile is true.
extern PadLayout FileLayout;
extern bool HasLayoutFile;
// The layout BuildPadLayout uses: the file's, or the built-in one from the settings.
PadLayout ActivePadLayout();
// The game the active layout drives, and whether it is the built-in game
// (whose close question the close sequence answers).
const wchar_t* ActiveGameWindowClass();
const wchar_t* ActiveGameName();
bool IsBuiltInGameActive();
// The overlay's client size and the pad's scale under the active layout.
SIZE ActiveClientSize();
float ActivePadScale();
// Client size of a layout: pad size times scale, rounded.
SIZE LayoutClientSize(const PadLayout& layout);

// Fills CurrentPadTable from a layout and sets the key table and latch keys;
// the sensitivity (0..10) sizes the cross keys' diagonal zones.
void FillPadTable(const PadLayout& layout, int32_t sensitivity);

// Key names: letters and digits as themselves, Windows' virtual-key names
// without "VK_", any case, and ENTER, ESC, CTRL and ALT. 0 for an unknown name.
WORD KeyFromName(const std::string& name);
// The name export writes for a key, empty for one without a name.
std::string NameOfKey(WORD vk);

// UTF-16 of UTF-8 text, as layouts and their messages are kept.
std::wstring WideFromUtf8(const std::string& text);

// Reads layout text. False with why and where (line and column, or the
// element's index and field) in error; layout is then left as it was.
bool ParsePadLayout(const std::string& text, PadLayout& layout, std::string& error);
// The same for a file; the error then starts with the file's path.
bool ReadPadLayoutFile(const std::wstring& path, PadLayout& layout, std::string& error);
// The layout as file text (UTF-8, one element per line).
std::string FormatPadLayout(const PadLayout& layout);
bool WritePadLayoutFile(const std::wstring& path, const PadLayout& layout);

// %APPDATA%\Orvex and the layout file in it; empty when the folder is unknown.
std::wstring LayoutFolder();
std::wstring LayoutFilePath();
// Reads the layout file into FileLayout. A missing file puts the built-in pad
// back; a broken one keeps what was in force and gives the error.
enum class LayoutFileState { Missing, Loaded, Broken };
LayoutFileState LoadLayoutFile(const std::wstring& path, std::string& error);
