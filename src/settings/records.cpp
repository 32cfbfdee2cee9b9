// Window rectangles per screen resolution: the list, its registry form under
// the subkey "Window", and where both windows go at a resolution.
#include <algorithm>
#include <cwchar>
#include "base/overlay.h"
#include "base/handle.h"
#include "registry.h"
#include "settings.h"

namespace {
constexpr const wchar_t* WindowSubkey = L"Window";

// Stored order of a record's values; the numbers travel in this order too.
constexpr int RecordValueCount = 8;
constexpr const wchar_t* RecordValueNames[RecordValueCount] = {
    L"Input_x", L"Input_y", L"Input_width", L"Input_height",
    L"MGQ_x",   L"MGQ_y",   L"MGQ_width",   L"MGQ_height",
};

bool KeyFits(const wchar_t* key)
{
    return key && std::wcslen(key) < ResolutionKeyCapacity;
}

// The registry matches key names without regard to case, so the records do too:
// "1920X1080" and "1920x1080" are one subkey and must be one record.
bool SameKey(const wchar_t* a, const wchar_t* b)
{
    return CompareStringOrdinal(a, -1, b, -1, TRUE) == CSTR_EQUAL;
}

bool SameRect(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

LONG RectWidth(const RECT& r)
{
    return SaturatingSubtract(r.right, r.left);
}

LONG RectHeight(const RECT& r)
{
    return SaturatingSubtract(r.bottom, r.top);
}

// Position and size; stored values near the 32-bit limits saturate rather
// than overflow.
RECT RectFromStored(const int32_t* stored)
{
    return RECT{stored[0], stored[1], SaturatingAdd(stored[0], stored[2]),
                SaturatingAdd(stored[1], stored[3])};
}

void StoredFromRect(const RECT& r, int32_t* stored)
{
    stored[0] = r.left;
    stored[1] = r.top;
    stored[2] = RectWidth(r);
    stored[3] = RectHeight(r);
}

// A record counts only with all eight values present as REG_DWORD.
bool ReadStoredRecord(HKEY windowKey, const wchar_t* name, RECT& inputRect, RECT& mgqRect)
{
    UniqueKey recordKey;
    if (RegOpenKeyExW(windowKey, name, 0, KEY_READ, recordKey.put()) != ERROR_SUCCESS) return false;
    int32_t stored[RecordValueCount] = {};
    for (int i = 0; i < RecordValueCount; ++i) {
        if (!ReadDwordValue(recordKey.get(), RecordValueNames[i], stored[i])) return false;
    }
    inputRect = RectFromStored(stored);
    mgqRect = RectFromStored(stored + 4);
    return true;
}

bool WriteStoredRecord(HKEY windowKey, const WindowRecord& record)
{
    UniqueKey recordKey;
    if (RegCreateKeyExW(windowKey, record.ResolutionKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        recordKey.put(), nullptr) != ERROR_SUCCESS)
        return false;
    int32_t stored[RecordValueCount];
    StoredFromRect(record.InputRect, stored);
    StoredFromRect(record.MGQRect, stored + 4);
    bool written = true;
    for (int i = 0; i < RecordValueCount; ++i)
        written = WriteDwordValue(recordKey.get(), RecordValueNames[i], stored[i]) && written;
    return written;
}

// Only records this program could have loaded are deleted, and only when the
// list no longer holds them: a subkey it could not read (a long name, a value
// missing or of another type) was never shown, so no save may take it away. A
// record is deleted with whatever keys lie below it, or it would come back at
// every start. False when a record could not be deleted.
bool DeleteDroppedRecords(HKEY windowKey, const WindowRecordList& list)
{
    bool deleted = true;
    DWORD index = 0;
    for (;;) {
        wchar_t name[ResolutionKeyCapacity] = {};
        DWORD nameLength = ResolutionKeyCapacity;
        const LONG found =
            RegEnumKeyExW(windowKey, index, name, &nameLength, nullptr, nullptr, nullptr, nullptr);
        if (found == ERROR_MORE_DATA) {
            ++index;
            continue;
        }
        if (found != ERROR_SUCCESS) return deleted;
        name[ResolutionKeyCapacity - 1] = L'\0';
        RECT inputRect, mgqRect;
        if (FindWindowRecord(list, name) ||
            !ReadStoredRecord(windowKey, name, inputRect, mgqRect)) {
            ++index;
            continue;
        }
        // What lies below first; once the record has gone the next name takes this index.
        RegDeleteTreeW(windowKey, name);
        const LONG gone = RegDeleteKeyW(windowKey, name);
        if (gone == ERROR_SUCCESS || gone == ERROR_FILE_NOT_FOUND) continue;
        deleted = false;
        ++index;
    }
}

// A recorded place counts only when enough of the window shows on one
// monitor's work area to be taken hold of: as much as its caption, or a
// quarter of the window where that is less. Wide arithmetic, since stored
// rectangles may hold any 32-bit values.
bool ShowsEnoughOn(const RECT& client, LONG caption, const RECT& workArea)
{
    const int64_t top = int64_t{client.top} - caption;
    const int64_t width = int64_t{client.right} - client.left;
    const int64_t height = int64_t{client.bottom} - top;
    if (width <= 0 || height <= 0) return false;
    const int64_t shownWidth =
        int64_t{std::min(client.right, workArea.right)} - std::max(client.left, workArea.left);
    const int64_t shownHeight =
        std::min<int64_t>(client.bottom, workArea.bottom) - std::max<int64_t>(top, workArea.top);
    if (shownWidth <= 0 || shownHeight <= 0) return false;
    const int64_t needed = std::min(width * caption, width * (height / 4));
    return shownWidth * shownHeight >= std::max<int64_t>(needed, 1);
}

struct WorkAreaSearch {
    RECT Client;
    LONG Caption;
    bool Met;
};

BOOL CALLBACK MeetWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM data)
{
    WorkAreaSearch& search = *reinterpret_cast<WorkAreaSearch*>(data);
    MONITORINFO info = {};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info) &&
        ShowsEnoughOn(search.Client, search.Caption, info.rcWork))
        search.Met = true;
    return search.Met ? FALSE : TRUE;
}

bool ShowsOnAnyWorkArea(const RECT& client)
{
    WorkAreaSearch search = {client, GetSystemMetrics(SM_CYCAPTION), false};
    EnumDisplayMonitors(nullptr, nullptr, MeetWorkArea, reinterpret_cast<LPARAM>(&search));
    return search.Met;
}

// The overlay keeps its own size wherever a record puts it.
bool OverlayShowsOnAnyWorkArea(const RECT& inputRect)
{
    return ShowsOnAnyWorkArea({inputRect.left, inputRect.top,
                               SaturatingAdd(inputRect.left, OverlayClientSize.cx),
                               SaturatingAdd(inputRect.top, OverlayClientSize.cy)});
}
}  // namespace

WindowRecord* FindWindowRecord(WindowRecordList& list, const wchar_t* key)
{
    const WindowRecordList& constList = list;
    return const_cast<WindowRecord*>(FindWindowRecord(constList, key));
}

const WindowRecord* FindWindowRecord(const WindowRecordList& list, const wchar_t* key)
{
    if (!key) return nullptr;
    for (const WindowRecord& record : list) {
        if (SameKey(record.ResolutionKey, key)) return &record;
    }
    return nullptr;
}

bool PutWindowRecord(WindowRecordList& list, const wchar_t* key, const RECT& inputRect,
                     const RECT& mgqRect)
{
    if (WindowRecord* existing = FindWindowRecord(list, key)) {
        existing->InputRect = inputRect;
        existing->MGQRect = mgqRect;
        return false;
    }
    // A key longer than the buffer could never be found again; it is not stored.
    if (!KeyFits(key)) return false;
    WindowRecord record;
    std::wmemcpy(record.ResolutionKey, key, std::wcslen(key) + 1);
    record.InputRect = inputRect;
    record.MGQRect = mgqRect;
    list.push_back(record);
    return true;
}

void RemoveWindowRecord(WindowRecordList& list, const wchar_t* key)
{
    if (!key) return;
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (SameKey(it->ResolutionKey, key)) {
            list.erase(it);
            return;
        }
    }
}

void ClearWindowRecords(WindowRecordList& list)
{
    list.clear();
}

void CopyWindowRecords(WindowRecordList& target, const WindowRecordList& source)
{
    if (&target == &source) return;
    ClearWindowRecords(target);
    for (const WindowRecord& record : source)
        PutWindowRecord(target, record.ResolutionKey, record.InputRect, record.MGQRect);
}

bool WindowRecordsEqual(const WindowRecordList& a, const WindowRecordList& b)
{
    if (a.size() != b.size()) return false;
    for (const WindowRecord& record : b) {
        const WindowRecord* match = FindWindowRecord(a, record.ResolutionKey);
        if (!match || !SameRect(match->InputRect, record.InputRect) ||
            !SameRect(match->MGQRect, record.MGQRect))
            return false;
    }
    return true;
}

void ReadWindowRecords(HKEY settingsKey, WindowRecordList& list)
{
    UniqueKey windowKey;
    if (RegOpenKeyExW(settingsKey, WindowSubkey, 0, KEY_READ, windowKey.put()) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        wchar_t name[ResolutionKeyCapacity] = {};
        DWORD nameLength = ResolutionKeyCapacity;
        const LONG result = RegEnumKeyExW(windowKey.get(), index, name, &nameLength, nullptr,
                                          nullptr, nullptr, nullptr);
        // A name too long for a resolution key is no record of ours; the ones after it are.
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) return;
        name[ResolutionKeyCapacity - 1] = L'\0';
        RECT inputRect, mgqRect;
        if (ReadStoredRecord(windowKey.get(), name, inputRect, mgqRect))
            PutWindowRecord(list, name, inputRect, mgqRect);
    }
}

bool WriteWindowRecords(HKEY settingsKey, const WindowRecordList& list)
{
    UniqueKey windowKey;
    if (RegCreateKeyExW(settingsKey, WindowSubkey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        windowKey.put(), nullptr) != ERROR_SUCCESS)
        return false;
    // Written before anything is deleted: a save cut short keeps every record.
    bool written = true;
    for (const WindowRecord& record : list)
        written = WriteStoredRecord(windowKey.get(), record) && written;
    return DeleteDroppedRecords(windowKey.get(), list) && written;
}

Placement DefaultPlacement(int screenWidth, int screenHeight)
{
    // 64-bit throughout: the screen size is not trusted to be small.
    const int64_t w = screenWidth;
    const int64_t h = screenHeight;
    int64_t gameWidth = 1280;
    int64_t gameHeight = 720;
    if (w <= 1280) {
        gameWidth = w;
        gameHeight = static_cast<int64_t>(static_cast<double>(w) * 0.5625);
    }
    int64_t gameX = w - gameWidth - 350;
    if (gameX < 0) gameX = 0;
    const int64_t overlayX = w - OverlayClientSize.cx;
    int64_t overlayY = h - 870;
    // The screen's width against the game's height: a narrow screen puts the
    // overlay below the game.
    if (w - gameHeight < OverlayClientSize.cx && overlayY < gameHeight) overlayY = gameHeight;
    if (overlayY < 0) overlayY = 0;

    Placement p;
    p.OverlayPos = {SaturateToInt32(overlayX), SaturateToInt32(overlayY)};
    p.OverlaySize = OverlayClientSize;
    p.GamePos = {SaturateToInt32(gameX), 40};
    p.GameSize = {SaturateToInt32(gameWidth), SaturateToInt32(gameHeight)};
    return p;
}

Placement DefaultPlacement()
{
    return DefaultPlacement(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
}

Placement LookupPlacement(const WindowRecordList& list, const wchar_t* key)
{
    const WindowRecord* record = FindWindowRecord(list, key);
    // A record that would put the overlay where no screen shows it (a monitor
    // since removed, a damaged value) would leave the pad out of reach.
    if (!record || !OverlayShowsOnAnyWorkArea(record->InputRect)) return DefaultPlacement();
    Placement p = DefaultPlacement();
    // Only the game's width tells whether a game window was known at recording;
    // a game recorded out of reach takes its default place as well.
    if (RectWidth(record->MGQRect) != 0 && ShowsOnAnyWorkArea(record->MGQRect)) {
        p.GamePos = {record->MGQRect.left, record->MGQRect.top};
        p.GameSize = {RectWidth(record->MGQRect), RectHeight(record->MGQRect)};
    }
    p.OverlayPos = {record->InputRect.left, record->InputRect.top};
    p.OverlaySize = {RectWidth(record->InputRect), RectHeight(record->InputRect)};
    return p;
}
