// The settings dialog: every change goes into a working copy of the settings,
// which OK hands back to the global record (and saves) and Cancel drops.
#include "settings.h"
#include <commctrl.h>
#include <algorithm>
#include <cwchar>
#include <memory>
#include "base/overlay.h"
#include "resource.h"

FileDialogCalls FileDialog = {GetOpenFileNameW};

namespace {

constexpr int NumberTextCapacity = 16;  // at most 15 typed characters

// A number shown in an edit box and, where it has one, on a trackbar.
struct NumberSetting {
    int BoxId;
    int BarId;  // 0: the box alone
    int32_t Maximum;
    WPARAM TickFrequency;
    LPARAM PageSize;
    int32_t SettingsRecord::*Field;
};
constexpr NumberSetting NumberSettings[] = {
    {IDC_SETTINGS_TRANSPARENCY, IDC_SETTINGS_TRANSPARENCYBAR, MaxTransparency, 5, 5,
     &SettingsRecord::Transparency},
    {IDC_SETTINGS_SENSITIVITY, IDC_SETTINGS_SENSITIVITYBAR, MaxCrossPressSensitivity, 1, 1,
     &SettingsRecord::CrossPressSensitivity},
    {IDC_SETTINGS_MINIMUMHOLD, 0, MaxMinimumHoldMs, 0, 0, &SettingsRecord::MinimumHoldMs},
};

struct CheckSetting {
    int Id;
    bool SettingsRecord::*Field;
};
constexpr CheckSetting CheckSettings[] = {
    {IDC_SETTINGS_AUTOEXEC, &SettingsRecord::IsAutoMGQExec},
    {IDC_SETTINGS_AUTOCLOSE, &SettingsRecord::IsAutoMGQClose},
    {IDC_SETTINGS_SWAPOX, &SettingsRecord::IsOKCancelChange},
};

// One dialog at a time owns the working copy. A message for any other dialog,
// or one that arrives after OK or Cancel dropped the copy, finds none.
struct DialogState {
    HWND Dialog = nullptr;
    std::unique_ptr<SettingsRecord> WorkingCopy;
    int ScreenWidth = 0;
    int ScreenHeight = 0;
};
DialogState State;

SettingsRecord* WorkingCopyOf(HWND dialog)
{
    return dialog && dialog == State.Dialog ? State.WorkingCopy.get() : nullptr;
}

void DropWorkingCopy()
{
    State.WorkingCopy.reset();
    State.Dialog = nullptr;
}

const NumberSetting* NumberSettingOfBox(int id)
{
    for (const NumberSetting& setting : NumberSettings)
        if (setting.BoxId == id) return &setting;
    return nullptr;
}

const NumberSetting* NumberSettingOfBar(HWND dialog, HWND bar)
{
    for (const NumberSetting& setting : NumberSettings)
        if (bar && setting.BarId && GetDlgItem(dialog, setting.BarId) == bar) return &setting;
    return nullptr;
}

const CheckSetting* CheckSettingOf(int id)
{
    for (const CheckSetting& setting : CheckSettings)
        if (setting.Id == id) return &setting;
    return nullptr;
}

void SetNumberText(HWND dialog, int id, int32_t value)
{
    wchar_t text[NumberTextCapacity] = L"";
    if (std::swprintf(text, NumberTextCapacity, L"%d", static_cast<int>(value)) < 0)
        text[0] = L'\0';
    SetDlgItemTextW(dialog, id, text);
}

void StoreNumber(SettingsRecord& copy, const NumberSetting& setting, int32_t value)
{
    if (copy.*setting.Field != value) copy.IsModified = true;
    copy.*setting.Field = value;
}

void CaptureScreenSize(HWND dialog)
{
    State.ScreenWidth = GetSystemMetrics(SM_CXSCREEN);
    State.ScreenHeight = GetSystemMetrics(SM_CYSCREEN);
    wchar_t text[32] = L"";
    if (std::swprintf(text, 32, L"%d x %d", State.ScreenWidth, State.ScreenHeight) < 0)
        text[0] = L'\0';
    SetDlgItemTextW(dialog, IDC_SETTINGS_RESOLUTION, text);
}

void FillControls(HWND dialog, const SettingsRecord& copy)
{
    for (const CheckSetting& setting : CheckSettings)
        CheckDlgButton(dialog, setting.Id, copy.*setting.Field ? BST_CHECKED : BST_UNCHECKED);
    // The boxes take no more than what is read back from them, so nothing
    // shown is silently cut.
    SendDlgItemMessageW(dialog, IDC_SETTINGS_PATH, EM_SETLIMITTEXT, PathCapacity - 1, 0);
    for (const NumberSetting& setting : NumberSettings) {
        const int32_t value = copy.*setting.Field;
        SendDlgItemMessageW(dialog, setting.BoxId, EM_SETLIMITTEXT, NumberTextCapacity - 1, 0);
        SetNumberText(dialog, setting.BoxId, value);
        if (!setting.BarId) continue;
        const HWND bar = GetDlgItem(dialog, setting.BarId);
        SendMessageW(bar, TBM_SETRANGE, TRUE, MAKELPARAM(0, setting.Maximum));
        SendMessageW(bar, TBM_SETTICFREQ, setting.TickFrequency, 0);
        SendMessageW(bar, TBM_SETPAGESIZE, 0, setting.PageSize);
        SendMessageW(bar, TBM_SETPOS, TRUE, value);
    }
    SetDlgItemTextW(dialog, IDC_SETTINGS_PATH, copy.MGQpath);
    for (const WindowRecord& record : copy.WindowRecords)
        SendDlgItemMessageW(dialog, IDC_SETTINGS_RECORDLIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(record.ResolutionKey));
}

INT_PTR OnInitDialog(HWND dialog)
{
    // Only one working copy may exist; a second dialog ends before it shows.
    if (State.WorkingCopy) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    }
    Settings.IsDisplayChanged = false;
    State.WorkingCopy = std::make_unique<SettingsRecord>(MakeSettings());
    AssignSettings(*State.WorkingCopy, Settings);
    State.Dialog = dialog;
    CaptureScreenSize(dialog);
    FillControls(dialog, *State.WorkingCopy);
    return TRUE;
}

void OnCheckBoxClicked(HWND dialog, const CheckSetting& setting, SettingsRecord& copy)
{
    const bool checked = IsDlgButtonChecked(dialog, setting.Id) == BST_CHECKED;
    if (copy.*setting.Field != checked) copy.IsModified = true;
    copy.*setting.Field = checked;
}

// The box shows what it typed only once it is taken; a refused entry shows
// the current value again and leaves the trackbar alone.
void OnNumberBoxLeft(HWND dialog, const NumberSetting& setting, SettingsRecord& copy)
{
    wchar_t text[NumberTextCapacity] = L"";
    GetDlgItemTextW(dialog, setting.BoxId, text, NumberTextCapacity);
    int32_t value = 0;
    if (!AcceptTypedNumber(text, setting.Maximum, value)) {
        SetNumberText(dialog, setting.BoxId, copy.*setting.Field);
        return;
    }
    StoreNumber(copy, setting, value);
    SetNumberText(dialog, setting.BoxId, value);
    if (setting.BarId) SendDlgItemMessageW(dialog, setting.BarId, TBM_SETPOS, TRUE, value);
}

void OnPathBoxLeft(HWND dialog, SettingsRecord& copy)
{
    wchar_t path[PathCapacity] = L"";
    GetDlgItemTextW(dialog, IDC_SETTINGS_PATH, path, PathCapacity);
    SetMGQpath(copy, path);
}

void OnBoxLeft(HWND dialog, int id, SettingsRecord& copy)
{
    if (id == IDC_SETTINGS_PATH) {
        OnPathBoxLeft(dialog, copy);
    } else if (const NumberSetting* setting = NumberSettingOfBox(id)) {
        OnNumberBoxLeft(dialog, *setting, copy);
    }
}

void FillPathFromInstallRecord(HWND dialog, SettingsRecord& copy)
{
    SetMGQpath(copy, LookupInstallPath().c_str());
    SetDlgItemTextW(dialog, IDC_SETTINGS_PATH, copy.MGQpath);
}

void BrowseForGame(HWND dialog, const SettingsRecord& copy)
{
    wchar_t initialDirectory[PathCapacity];
    std::wmemcpy(initialDirectory, copy.MGQpath, PathCapacity);
    initialDirectory[PathCapacity - 1] = L'\0';
    wchar_t file[PathCapacity] = L"";
    OPENFILENAMEW request = {};
    request.lStructSize = sizeof(request);
    request.hwndOwner = dialog;
    request.lpstrFilter = L"実行ファイル\0*.exe\0";  // the literal's own terminator ends the list
    request.lpstrFile = file;
    request.nMaxFile = PathCapacity;
    request.lpstrInitialDir = initialDirectory;
    request.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;
    if (!FileDialog.GetOpenFileNameW(&request)) return;

    // The file dialog ran its own message loop: look the copy up again.
    SettingsRecord* current = WorkingCopyOf(dialog);
    if (!current) return;
    file[PathCapacity - 1] = L'\0';
    SetMGQpath(*current, file);
    SetDlgItemTextW(dialog, IDC_SETTINGS_PATH, current->MGQpath);
}

void RecordWindows(HWND dialog, SettingsRecord& copy)
{
    wchar_t key[ResolutionKeyCapacity] = L"";
    if (std::swprintf(key, ResolutionKeyCapacity, L"%dx%d", State.ScreenWidth, State.ScreenHeight) <
        0)
        return;
    const RECT inputRect = ClientRectOnScreen(MainWindow);
    // The cached game window is taken as it is; one that has gone records as none.
    const RECT mgqRect = ClientRectOnScreen(CachedGameWindow);
    copy.IsModified = true;
    if (PutWindowRecord(copy.WindowRecords, key, inputRect, mgqRect))
        SendDlgItemMessageW(dialog, IDC_SETTINGS_RECORDLIST, LB_ADDSTRING, 0,
                            reinterpret_cast<LPARAM>(key));
}

void DeleteSelectedRecord(HWND dialog, SettingsRecord& copy)
{
    const HWND list = GetDlgItem(dialog, IDC_SETTINGS_RECORDLIST);
    const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return;
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return;
    std::wstring key(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(&key[0]));
    copy.IsModified = true;
    RemoveWindowRecord(copy.WindowRecords, key.c_str());
    SendMessageW(list, LB_DELETESTRING, index, 0);
}

void OnButtonClicked(HWND dialog, int id, SettingsRecord& copy)
{
    if (const CheckSetting* setting = CheckSettingOf(id)) {
        OnCheckBoxClicked(dialog, *setting, copy);
        return;
    }
    switch (id) {
    case IDC_SETTINGS_RECORD:
        RecordWindows(dialog, copy);
        break;
    case IDC_SETTINGS_DELETERECORD:
        DeleteSelectedRecord(dialog, copy);
        break;
    case IDC_SETTINGS_REGISTRY:
        FillPathFromInstallRecord(dialog, copy);
        break;
    case IDC_SETTINGS_BROWSE:
        BrowseForGame(dialog, copy);
        break;
    default:
        break;
    }
}

// Enter in an edit box chooses OK while the box still has the focus; its
// text counts as if the focus had moved on first.
void TakeFocusedBox(HWND dialog, SettingsRecord& copy)
{
    const HWND focus = GetFocus();
    if (!focus || GetParent(focus) != dialog) return;
    OnBoxLeft(dialog, GetDlgCtrlID(focus), copy);
}

void OnOk(HWND dialog)
{
    SettingsRecord* copy = WorkingCopyOf(dialog);
    if (!copy) return;  // already ended
    TakeFocusedBox(dialog, *copy);
    if (DisplaySettingsDiffer(*copy, Settings)) Settings.IsDisplayChanged = true;
    AssignSettings(Settings, *copy);
    DropWorkingCopy();
    EndDialog(dialog, IDOK);
    if (Settings.IsModified) SaveSettings(Settings);
}

void OnCancel(HWND dialog)
{
    if (!WorkingCopyOf(dialog)) return;  // already ended
    DropWorkingCopy();
    EndDialog(dialog, IDCANCEL);
}

INT_PTR OnCommand(HWND dialog, int id, int code)
{
    switch (id) {
    case IDOK:
        OnOk(dialog);
        return TRUE;
    case IDCANCEL:
        OnCancel(dialog);
        return TRUE;
    default:
        break;
    }
    SettingsRecord* copy = WorkingCopyOf(dialog);
    if (!copy) return FALSE;
    if (code == BN_CLICKED) OnButtonClicked(dialog, id, *copy);
    if (code == EN_KILLFOCUS) OnBoxLeft(dialog, id, *copy);
    return FALSE;
}

// The box follows the thumb all the time; the setting only when it is let go.
// Another program can move a bar outside its range; the setting stays within it.
INT_PTR OnHScroll(HWND dialog, int code, HWND bar)
{
    SettingsRecord* copy = WorkingCopyOf(dialog);
    const NumberSetting* setting = NumberSettingOfBar(dialog, bar);
    if (!copy || !setting) return FALSE;
    const LRESULT reported = SendMessageW(bar, TBM_GETPOS, 0, 0);
    const int32_t position =
        static_cast<int32_t>(std::clamp<LRESULT>(reported, 0, setting->Maximum));
    SetNumberText(dialog, setting->BoxId, position);
    if (code == TB_ENDTRACK) StoreNumber(*copy, *setting, position);
    return TRUE;
}

INT_PTR OnDisplayChange(HWND dialog)
{
    if (!WorkingCopyOf(dialog)) return FALSE;
    CaptureScreenSize(dialog);
    return TRUE;
}

// A dialog torn down without OK or Cancel (its owner destroyed) leaves no copy behind.
void OnDestroy(HWND dialog)
{
    if (WorkingCopyOf(dialog)) DropWorkingCopy();
}

}  // namespace

int32_t ConvertTypedNumber(const wchar_t* text)
{
    const wchar_t* p = text;
    while (*p == L' ' || (*p >= L'\t' && *p <= L'\r')) ++p;
    bool negative = false;
    if (*p == L'+' || *p == L'-') negative = *p++ == L'-';
    constexpr int64_t Limit = int64_t{INT32_MAX} + 1;
    int64_t magnitude = 0;
    for (; *p >= L'0' && *p <= L'9'; ++p) {
        magnitude = magnitude * 10 + (*p - L'0');
        if (magnitude > Limit) magnitude = Limit;
    }
    if (negative) return static_cast<int32_t>(-magnitude);
    return static_cast<int32_t>(magnitude > INT32_MAX ? INT32_MAX : magnitude);
}

bool AcceptTypedNumber(const wchar_t* text, int32_t maximum, int32_t& value)
{
    const int32_t number = ConvertTypedNumber(text);
    if (number == 0 && std::wcscmp(text, L"0") != 0) return false;
    value = std::clamp<int32_t>(number, 0, maximum);
    return true;
}

bool DisplaySettingsDiffer(const SettingsRecord& a, const SettingsRecord& b)
{
    return a.Transparency != b.Transparency || a.CrossPressSensitivity != b.CrossPressSensitivity ||
           a.IsOKCancelChange != b.IsOKCancelChange;
}

RECT ClientRectOnScreen(HWND window)
{
    RECT client = {};
    POINT origin = {0, 0};
    if (!window || !GetClientRect(window, &client) || !ClientToScreen(window, &origin)) return {};
    OffsetRect(&client, origin.x, origin.y);
    return client;
}

HWND CurrentSettingsDialog()
{
    return State.Dialog;
}

INT_PTR CALLBACK SettingsDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog(dialog);
    case WM_COMMAND:
        return OnCommand(dialog, LOWORD(wParam), HIWORD(wParam));
    case WM_HSCROLL:
        return OnHScroll(dialog, LOWORD(wParam), reinterpret_cast<HWND>(lParam));
    case WM_DISPLAYCHANGE:
        return OnDisplayChange(dialog);
    case WM_DESTROY:
        OnDestroy(dialog);
        return FALSE;
    default:
        return FALSE;
    }
}
