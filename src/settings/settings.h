// Settings: the settings record and its registry store, per-resolution window
// records, the game's install path lookup, and the settings dialog.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <cstdint>
#include <string>
#include <vector>

// HKEY_CURRENT_USER key that holds the settings.
constexpr const wchar_t* SettingsKeyPath = L"SOFTWARE\\Lumenkey Works\\Orvex";

constexpr int ResolutionKeyCapacity = 16;  // "%dx%d", 15 characters and the terminator
constexpr int PathCapacity = 260;          // 259 characters and the terminator

// Rectangles of the overlay's and the game's client areas, in screen
// coordinates, for one screen resolution.
struct WindowRecord {
    wchar_t ResolutionKey[ResolutionKeyCapacity] = {};
    RECT InputRect = {};
    RECT MGQRect = {};  // all zero when no game window was known at recording
};

// In insertion order; keys unique, compared without regard to case as the
// registry compares its key names.
using WindowRecordList = std::vector<WindowRecord>;

// The largest values the numbers take; the smallest is 0.
constexpr int32_t MaxTransparency = 90;
constexpr int32_t MaxCrossPressSensitivity = 10;
constexpr int32_t MaxMinimumHoldMs = 200;

struct SettingsRecord {
    bool IsDisplayChanged = false;
    bool IsModified = false;
    bool IsAutoMGQExec = false;
    bool IsAutoMGQClose = false;
    int32_t Transparency = 0;
    int32_t CrossPressSensitivity = 0;
    int32_t MinimumHoldMs = 0;  // shortest press the game is sent, in ms; 0 = off
    bool IsOKCancelChange = false;
    wchar_t MGQpath[PathCapacity] = {};
    WindowRecordList WindowRecords;
};

// The one settings record of the program; starts zeroed, filled by LoadSettings.
extern SettingsRecord Settings;

// Window records
WindowRecord* FindWindowRecord(WindowRecordList& list, const wchar_t* key);
const WindowRecord* FindWindowRecord(const WindowRecordList& list, const wchar_t* key);
// True when a record was added, false when an existing one was overwritten
// (or the key does not fit 15 characters, in which case nothing is stored).
bool PutWindowRecord(WindowRecordList& list, const wchar_t* key, const RECT& inputRect,
                     const RECT& mgqRect);
void RemoveWindowRecord(WindowRecordList& list, const wchar_t* key);
void ClearWindowRecords(WindowRecordList& list);
void CopyWindowRecords(WindowRecordList& target, const WindowRecordList& source);
bool WindowRecordsEqual(const WindowRecordList& a, const WindowRecordList& b);
void ReadWindowRecords(HKEY settingsKey, WindowRecordList& list);
// False when a record could not be written or a stored one not deleted.
bool WriteWindowRecords(HKEY settingsKey, const WindowRecordList& list);

// Client-area positions and sizes of both windows, in screen coordinates.
struct Placement {
    POINT OverlayPos;
    SIZE OverlaySize;
    POINT GamePos;
    SIZE GameSize;
};
Placement DefaultPlacement(int screenWidth, int screenHeight);
Placement DefaultPlacement();  // for the primary screen's current size
// The record's places, or the defaults when there is none or when the
// overlay would not show enough on any one monitor's work area there (as much
// as its caption, or a quarter of the window where that is less); the game's
// recorded place follows the same rule and falls back to its default alone.
Placement LookupPlacement(const WindowRecordList& list, const wchar_t* key);

// The game's executable path from its install record, or empty.
std::wstring LookupInstallPath();

// Settings record
SettingsRecord MakeSettings();  // defaults, both flags cleared
void ResetToDefaults(SettingsRecord& settings);
void SetMGQpath(SettingsRecord& settings, const wchar_t* path);
void AssignSettings(SettingsRecord& target, const SettingsRecord& source);
void LoadSettings();
// False when anything could not be written; the record then stays modified,
// so the next save writes it all again.
bool SaveSettings(SettingsRecord& settings);

// The settings dialog (resource 131); modal, owned by the overlay.
INT_PTR CALLBACK SettingsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// The settings dialog that holds the working copy, or null when none is open.
HWND CurrentSettingsDialog();

// The file dialog of "参照..."; tests swap in a scripted version and restore it.
struct FileDialogCalls {
    BOOL(WINAPI* GetOpenFileNameW)(LPOPENFILENAMEW dialog);
};
extern FileDialogCalls FileDialog;

// A typed number, base 10: leading white space and a sign accepted, stops at
// the first non-digit, 0 when nothing converts; saturates at the 32-bit limits.
int32_t ConvertTypedNumber(const wchar_t* text);
// False when the text is refused (nothing convertible other than "0");
// otherwise value is the number clamped to 0..maximum.
bool AcceptTypedNumber(const wchar_t* text, int32_t maximum, int32_t& value);
// Whether the pad must be rebuilt: transparency, sensitivity or the O/X swap differ.
bool DisplaySettingsDiffer(const SettingsRecord& a, const SettingsRecord& b);
// A window's client area in screen coordinates; all zero when there is no
// window or it has gone (a stale cached game window records as no game).
RECT ClientRectOnScreen(HWND window);
