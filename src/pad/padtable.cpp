// The pad element table: records, growth, and the table-wide operations that
// hit testing, key state and the skip latch use.
#include "pad/pad.h"

std::unique_ptr<PadElementTable> CurrentPadTable;

const WORD BuiltInPadKeys[BuiltInPadKeyCount] = {
    VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, 'Z', 'X', VK_SHIFT, VK_CONTROL, VK_ESCAPE, VK_F1, 'A', 'S',
};
WORD PadKeyTable[PadKeyBits] = {
    VK_UP, VK_DOWN, VK_LEFT, VK_RIGHT, 'Z', 'X', VK_SHIFT, VK_CONTROL, VK_ESCAPE, VK_F1, 'A', 'S',
};
KeySet PadLatchKeys = ToKeySet(SkipKeyBit);
WORD PadLatchKey = VK_CONTROL;
KeySet PadLatchEndingKeys = ToKeySet(SkipKeyBit | LogKeyBit);

namespace {

bool HasItems(const std::unique_ptr<PadElementTable>& table)
{
    return table && !table->Items.empty();
}

// Copies at most 15 characters and always terminates, whatever the caller passed.
void CopyLabel(wchar_t (&target)[PadLabelCapacity], const wchar_t* label)
{
    int i = 0;
    for (; label && i < PadLabelCapacity - 1 && label[i] != L'\0'; ++i) target[i] = label[i];
    target[i] = L'\0';
}

// Moves the records into a table 30 larger; the old places are left owning nothing.
void GrowPadElementTable(PadElementTable& table)
{
    std::vector<PadElement> grown(static_cast<size_t>(table.Capacity) + PadTableGrowth);
    for (PadElement& element : grown) InitPadElement(element);
    for (int32_t i = 0; i < table.Count; ++i) grown[i] = std::move(table.Items[i]);
    table.Items.swap(grown);
    table.Capacity += PadTableGrowth;
}

}  // namespace

void InitPadElement(PadElement& element)
{
    element.Pressed = false;
    element.Latched = false;
    element.Label[0] = L'\0';
    element.KeyMask = 0;
    element.Visible = false;
    element.LabelStyle = 0;
    element.ShapeKind = ShapeNone;
    element.OutlinePoints.clear();
    element.PointCount = 0;
    element.Geometry.Reset();
}

void DestroyPadElement(PadElement& element)
{
    std::vector<OutlinePoint>().swap(element.OutlinePoints);
    element.PointCount = 0;
    element.Geometry.Reset();
}

std::unique_ptr<PadElementTable> CreatePadElementTable()
{
    auto table = std::make_unique<PadElementTable>();
    table->Items.resize(PadTableGrowth);
    for (PadElement& element : table->Items) InitPadElement(element);
    table->Capacity = PadTableGrowth;
    table->Count = 0;
    return table;
}

void DestroyPadElementTable(std::unique_ptr<PadElementTable>& table)
{
    if (!table) return;
    for (PadElement& element : table->Items) DestroyPadElement(element);
    table.reset();
}

int32_t AddPadElement(const wchar_t* label, int32_t labelStyle, KeyMask keyMask, int32_t originX,
                      int32_t originY, bool visible, int32_t shapeKind, const OutlinePoint* points,
                      int32_t pointCount)
{
    if (!CurrentPadTable) return -1;
    PadElementTable& table = *CurrentPadTable;
    if (table.Count >= table.Capacity) GrowPadElementTable(table);

    PadElement& element = table.Items[table.Count];
    element.LabelStyle = labelStyle;
    element.KeyMask = keyMask;
    element.OriginX = originX;
    element.OriginY = originY;
    element.Visible = visible;
    element.ShapeKind = shapeKind;
    if (label) CopyLabel(element.Label, label);
    // A negative count or a missing array leaves the element without points, so it gets no shape.
    if (points && pointCount > 0) {
        element.OutlinePoints.assign(points, points + pointCount);
    } else {
        element.OutlinePoints.clear();
    }
    element.PointCount = static_cast<int32_t>(element.OutlinePoints.size());
    return table.Count++;
}

namespace {

// Runs change on every element in use whose KeyMask shares a bit with keys.
template <typename Change>
void ChangeElementsWithKeys(KeySet keys, Change change)
{
    if (!HasItems(CurrentPadTable)) return;
    PadElementTable& table = *CurrentPadTable;
    for (int32_t i = 0; i < table.Count; ++i) {
        PadElement& element = table.Items[i];
        if ((ToKeySet(element.KeyMask) & keys) != 0) change(element);
    }
}

}  // namespace

void PressElements(KeySet keys)
{
    ChangeElementsWithKeys(keys, [](PadElement& element) { element.Pressed = true; });
}

void ReleaseElements(KeySet keys)
{
    ChangeElementsWithKeys(keys, [](PadElement& element) { element.Pressed = false; });
}

void LatchSkipElements()
{
    ChangeElementsWithKeys(PadLatchKeys, [](PadElement& element) {
        element.Pressed = true;
        element.Latched = true;
    });
}

void UnlatchSkipElements()
{
    ChangeElementsWithKeys(PadLatchKeys, [](PadElement& element) {
        element.Pressed = false;
        element.Latched = false;
    });
}
