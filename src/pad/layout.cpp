// The built-in pad as a layout, and the element table made from a layout:
// buttons as rectangles, a cross key as four arms and four invisible diagonal
// zones, in client pixels of the unscaled pad.
#include <algorithm>
#include <cmath>
#include <cwchar>
#include <iterator>
#include "base/overlay.h"
#include "pad/pad.h"
#include "pad/padlayout.h"
#include "settings/settings.h"

const wchar_t BuiltInGameWindowClass[] = L"MoonGlass_Class";
const wchar_t BuiltInGameName[] = L"ムーン グラス 銀砂工房物語";

PadLayout FileLayout;
bool HasLayoutFile = false;

namespace {

constexpr int32_t LabelSmall = 1;
constexpr int32_t LabelLarge = 2;
constexpr int32_t BuiltInArm = 80;

LayoutElement Button(const wchar_t* label, int32_t style, int32_t x, int32_t y, int32_t width,
                     int32_t height, WORD key, ElementAction action = ElementAction::Key)
{
    LayoutElement element = {false, label, style, x, y, width, height, 0, {}, action};
    if (key) element.Keys = {key};
    return element;
}

void AddRectangle(const wchar_t* label, int32_t labelStyle, KeyMask keyMask, int32_t x, int32_t y,
                  int32_t width, int32_t height)
{
    const OutlinePoint size[] = {{width, height}};
    AddPadElement(label, labelStyle, keyMask, x, y, true, ShapeRectangle, size, 1);
}

// A diagonal zone is invisible: it only widens where the cross key yields two keys.
void AddDiagonalZone(const wchar_t* label, KeyMask keyMask, int32_t x, int32_t y,
                     const OutlinePoint (&points)[6])
{
    AddPadElement(label, LabelLarge, keyMask, x, y, false, ShapePolygon, points, 6);
}

// The arms lie around the empty centre square (x + a, y + a)-(x + 2a, y + 2a).
// Each zone: the diamond of half-diagonal d around an inner corner, then the
// far corners of the two arms that meet there.
void AddCrossKey(const LayoutElement& cross, const KeyMask (&bits)[4], int32_t d)
{
    const int32_t a = cross.Arm;
    const int32_t x = cross.X;
    const int32_t y = cross.Y;
    const KeyMask up = bits[0], down = bits[1], left = bits[2], right = bits[3];
    AddRectangle(L"↑", LabelLarge, up, x + a, y, a, a);
    AddRectangle(L"↓", LabelLarge, down, x + a, y + 2 * a, a, a);
    AddRectangle(L"←", LabelLarge, left, x, y + a, a, a);
    AddRectangle(L"→", LabelLarge, right, x + 2 * a, y + a, a, a);
    AddDiagonalZone(L"↑→", up | right, x + 2 * a, y + a,
                    {{0, -d}, {-d, 0}, {0, d}, {d, 0}, {a, 0}, {0, -a}});
    AddDiagonalZone(L"↓→", down | right, x + 2 * a, y + 2 * a,
                    {{d, 0}, {0, -d}, {-d, 0}, {0, d}, {0, a}, {a, 0}});
    AddDiagonalZone(L"←↓", left | down, x + a, y + 2 * a,
                    {{-d, 0}, {0, -d}, {d, 0}, {0, d}, {0, a}, {-a, 0}});
    AddDiagonalZone(L"←↑", left | up, x + a, y + a,
                    {{-d, 0}, {0, d}, {d, 0}, {0, -d}, {0, -a}, {-a, 0}});
}

KeyMask MaskOfBit(int bit)
{
    return static_cast<KeyMask>(KeySet{1} << bit);
}

// The built-in keys keep their bits in every layout, so a layout that uses
// them behaves as the built-in pad; other keys take the free bits in order.
KeyMask BitOfKey(WORD vk)
{
    for (int bit = 0; bit < PadKeyBits; ++bit) {
        if (PadKeyTable[bit] == vk) return MaskOfBit(bit);
    }
    for (int bit = BuiltInPadKeyCount + 1; bit < PadKeyBits; ++bit) {
        if (PadKeyTable[bit] == 0) {
            PadKeyTable[bit] = vk;
            return MaskOfBit(bit);
        }
    }
    return 0;  // the reader refuses a layout with more keys than bits
}

KeyMask MaskOfKeys(const std::vector<WORD>& keys)
{
    KeyMask mask = 0;
    for (WORD vk : keys) mask |= BitOfKey(vk);
    return mask;
}

void ResetKeyTable()
{
    std::fill(std::begin(PadKeyTable), std::end(PadKeyTable), WORD{0});
    std::copy(std::begin(BuiltInPadKeys), std::end(BuiltInPadKeys), PadKeyTable);
    PadLatchKeys = 0;
    PadLatchKey = 0;
    PadLatchEndingKeys = 0;
}

}  // namespace

int32_t DiagonalReach(int32_t crossPressSensitivity)
{
    // A record set by hand may hold anything; the reach stays within the dialog's range.
    int32_t sensitivity = crossPressSensitivity;
    if (sensitivity < 0) sensitivity = 0;
    if (sensitivity > MaxCrossPressSensitivity) sensitivity = MaxCrossPressSensitivity;
    return 80 * sensitivity / 20;
}

PadLayout BuiltInPadLayout(bool swapped)
{
    PadLayout layout;
    layout.GameWindowClass = BuiltInGameWindowClass;
    layout.GameName = BuiltInGameName;
    layout.Width = OverlayClientWidth;
    layout.Height = OverlayClientHeight;
    layout.Scale = 1.0;

    LayoutElement cross;
    cross.IsCross = true;
    cross.X = 50;
    cross.Y = 160;
    cross.Arm = BuiltInArm;
    cross.Keys = {VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT};
    // × always comes before ○; the swap moves them, each keeps its own key.
    layout.Elements = {
        cross,
        Button(L"×", LabelLarge, swapped ? 10 : 250, 380, 80, 80, 'X'),
        Button(L"○", LabelLarge, swapped ? 250 : 10, 380, 80, 80, 'Z'),
        Button(L"システム", LabelSmall, 25, 10, 80, 53, 'S'),
        Button(L"経営ノート", LabelSmall, 130, 10, 80, 53, 'A'),
        Button(L"1時間送る", LabelSmall, 235, 10, 80, 53, VK_F1),
        Button(L"ログ", LabelSmall, 25, 73, 80, 53, VK_ESCAPE, ElementAction::EndsLatch),
        Button(L"スキップ", LabelSmall, 130, 73, 80, 53, VK_CONTROL, ElementAction::Latch),
        Button(L"タブ移動", LabelSmall, 235, 73, 80, 53, VK_SHIFT),
        Button(L"サイズ調整", LabelSmall, 10, 150, 80, 40, 0, ElementAction::Place),
    };
    return layout;
}

void FillPadTable(const PadLayout& layout, int32_t sensitivity)
{
    DestroyPadElementTable(CurrentPadTable);
    CurrentPadTable = CreatePadElementTable();
    ResetKeyTable();
    const int32_t reach = DiagonalReach(sensitivity);

    for (const LayoutElement& element : layout.Elements) {
        if (element.IsCross) {
            KeyMask bits[4] = {};
            for (size_t i = 0; i < 4 && i < element.Keys.size(); ++i)
                bits[i] = BitOfKey(element.Keys[i]);
            // The reach grows with the arm: d at an arm of 80 pixels.
            AddCrossKey(element, bits, reach * element.Arm / BuiltInArm);
            continue;
        }
        KeyMask mask = MaskOfKeys(element.Keys);
        if (element.Action == ElementAction::Place) mask = SizeKeyBit;
        if (element.Action == ElementAction::Latch && !element.Keys.empty()) {
            PadLatchKeys = ToKeySet(mask);
            PadLatchKey = element.Keys.front();
        }
        if (element.Action == ElementAction::EndsLatch) PadLatchEndingKeys |= ToKeySet(mask);
        AddRectangle(element.Label.c_str(), element.LabelStyle, mask, element.X, element.Y,
                     element.Width, element.Height);
    }
    // Pressing the latched key again ends the latch too.
    PadLatchEndingKeys |= PadLatchKeys;
}

PadLayout ActivePadLayout()
{
    return HasLayoutFile ? FileLayout : BuiltInPadLayout(Settings.IsOKCancelChange);
}

const wchar_t* ActiveGameWindowClass()
{
    return HasLayoutFile ? FileLayout.GameWindowClass.c_str() : BuiltInGameWindowClass;
}

const wchar_t* ActiveGameName()
{
    return HasLayoutFile ? FileLayout.GameName.c_str() : BuiltInGameName;
}

bool IsBuiltInGameActive()
{
    return std::wcscmp(ActiveGameWindowClass(), BuiltInGameWindowClass) == 0;
}

SIZE LayoutClientSize(const PadLayout& layout)
{
    return {static_cast<LONG>(std::lround(layout.Width * layout.Scale)),
            static_cast<LONG>(std::lround(layout.Height * layout.Scale))};
}

SIZE ActiveClientSize()
{
    if (!HasLayoutFile) return {OverlayClientWidth, OverlayClientHeight};
    return LayoutClientSize(FileLayout);
}

float ActivePadScale()
{
    return HasLayoutFile ? static_cast<float>(FileLayout.Scale) : 1.0f;
}

void BuildPadLayout()
{
    FillPadTable(ActivePadLayout(), Settings.CrossPressSensitivity);
}
