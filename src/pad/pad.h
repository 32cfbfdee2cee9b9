// Virtual pad model: the table of pad elements and the fixed layout that fills it.
#pragma once
#include <windows.h>
#include <d2d1.h>
#include <wrl/client.h>
#include <cstdint>
#include <memory>
#include <vector>

// Bit n stands for pad key n (see PadKeyTable). The built-in keys keep bits
// 0..11 and SIZE bit 12 in every layout; other keys of a layout take bits
// 13..63 in the order they first appear.
using KeyMask = int64_t;
// Key sets of input handling: a KeyMask enters them as it is.
using KeySet = uint64_t;

constexpr KeyMask SkipKeyBit = 0x80;    // SKIP, the key the built-in skip latch holds
constexpr KeyMask LogKeyBit = 0x100;    // LOG
constexpr KeyMask SizeKeyBit = 0x1000;  // SIZE: places the windows, sends no key
constexpr int PadKeyBits = 64;          // bits a key set can hold
constexpr int PadKeyCount = PadKeyBits;
constexpr int BuiltInPadKeyCount = 12;  // ↑ ↓ ← → ○(Z) ×(X) TAB(Shift) SKIP(Ctrl) LOG(Esc)
                                        // HOUR(F1) NOTE(A) SYS(S)

// Virtual key of each key bit, 0 for a bit that sends no key (SIZE, unused).
// Set with the layout; starts as the built-in pad's keys.
extern WORD PadKeyTable[PadKeyBits];
extern const WORD BuiltInPadKeys[BuiltInPadKeyCount];
// The skip latch of the layout: the bit a double tap latches (0 when the
// layout has no latch), its virtual key, and the bits whose press ends it.
extern KeySet PadLatchKeys;
extern WORD PadLatchKey;
extern KeySet PadLatchEndingKeys;

inline KeySet ToKeySet(KeyMask mask)
{
    return static_cast<KeySet>(mask);
}

// A contact in client pixels of the overlay window.
struct ContactPoint {
    int32_t x;
    int32_t y;
};

struct OutlinePoint {
    int32_t x;
    int32_t y;
};

constexpr int PadLabelCapacity = 16;  // 15 characters and the terminator

enum ShapeKind : int32_t { ShapeNone = 0, ShapeRectangle = 1, ShapePolygon = 2 };

struct PadElement {
    bool Pressed = false;
    bool Latched = false;
    wchar_t Label[PadLabelCapacity] = {};
    int64_t KeyMask = 0;
    bool Visible = false;
    int32_t LabelStyle = 0;  // 0 normal, 1 small, 2 large text; other values draw no label
    int32_t OriginX = 0;
    int32_t OriginY = 0;
    int32_t ShapeKind = ShapeNone;
    // A rectangle's single point is (width, height); a polygon's points are
    // vertices relative to the origin.
    std::vector<OutlinePoint> OutlinePoints;
    int32_t PointCount = 0;
    Microsoft::WRL::ComPtr<ID2D1PathGeometry> Geometry;
};

constexpr int32_t PadTableGrowth = 30;

struct PadElementTable {
    std::vector<PadElement> Items;  // Capacity records; those from Count on stay fresh
    int32_t Capacity = 0;
    int32_t Count = 0;
};

// The one table of the process; every layout replaces it.
extern std::unique_ptr<PadElementTable> CurrentPadTable;

void InitPadElement(PadElement& element);
void DestroyPadElement(PadElement& element);
std::unique_ptr<PadElementTable> CreatePadElementTable();
void DestroyPadElementTable(std::unique_ptr<PadElementTable>& table);
// Adds an element to CurrentPadTable; returns its index, or -1 without a table.
// A label longer than 15 characters is cut to 15; a missing points array or a
// count below 1 leaves the element without points (and so without a shape).
int32_t AddPadElement(const wchar_t* label, int32_t labelStyle, KeyMask keyMask, int32_t originX,
                      int32_t originY, bool visible, int32_t shapeKind, const OutlinePoint* points,
                      int32_t pointCount);

void PressElements(KeySet keys);
void ReleaseElements(KeySet keys);
void LatchSkipElements();
void UnlatchSkipElements();

// Diagonal reach of the cross key's corner zones for a sensitivity of 0..10.
int32_t DiagonalReach(int32_t crossPressSensitivity);
// Replaces CurrentPadTable with the elements of the active layout (the 17 of
// the built-in pad unless a layout file is in force), from the settings.
void BuildPadLayout();
