// The settings dialog of the real Orvex.exe, driven from outside: opened by
// its command, controls found by id, typed into and left, OK and Cancel; the
// registry and the overlay show what it did. What the dialog does to its own
// working copy is tested in-process (tests/settings).
#include <doctest/doctest.h>
#include <windows.h>
#include <commctrl.h>
#include <string>
#include <vector>
#include "app/app.h"
#include "padpixels.h"
#include "support.h"

namespace {

const wchar_t DialogTitle[] = L"Orvex 設定";

// A running Orvex.exe with its settings dialog open.
class SettingsSession {
public:
    bool Start()
    {
        overlay_ = StartOrvex(orvex_);
        return overlay_ != nullptr;
    }
    HWND Overlay() const { return overlay_; }
    DWORD ProcessId() const { return orvex_.Id(); }
    ChildProcess& Process() { return orvex_; }
    bool Open()
    {
        PostMessageW(overlay_, WM_COMMAND, MAKEWPARAM(IDM_SETTINGS, 0), 0);
        dialog_ = WaitForProcessDialog(orvex_.Id(), DialogTitle);
        return dialog_ != nullptr;
    }
    HWND Dialog() const { return dialog_; }
    HWND Item(int id) const { return GetDlgItem(dialog_, id); }
    std::wstring Text(int id) const
    {
        wchar_t text[300] = L"";
        SendMessageW(Item(id), WM_GETTEXT, 300, reinterpret_cast<LPARAM>(text));
        return text;
    }
    int Position(int barId) const
    {
        return static_cast<int>(SendMessageW(Item(barId), TBM_GETPOS, 0, 0));
    }
    void Focus(int id)
    {
        SendMessageW(dialog_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE);
    }
    // The focus into a box, its text replaced, the focus on to the list box.
    void Type(int id, const wchar_t* text)
    {
        Focus(id);
        SendMessageW(Item(id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text));
        Focus(IDC_SETTINGS_RECORDLIST);
    }
    void Click(int id) { SendMessageW(Item(id), BM_CLICK, 0, 0); }
    // Clicks OK or Cancel and waits until the dialog has gone.
    bool Close(int id)
    {
        PostMessageW(Item(id), BM_CLICK, 0, 0);
        const HWND dialog = dialog_;
        return WaitUntil([&] { return !IsWindow(dialog); });
    }
    BYTE Alpha() const
    {
        BYTE alpha = 0;
        DWORD flags = 0;
        GetLayeredWindowAttributes(overlay_, nullptr, &alpha, &flags);
        return alpha;
    }

private:
    ChildProcess orvex_;
    HWND overlay_ = nullptr;
    HWND dialog_ = nullptr;
};

DWORD StoredDword(const wchar_t* name, const wchar_t* subkey = L"")
{
    DWORD value = 0xDEADBEEF;
    ReadOrvexDword(subkey, name, value);
    return value;
}

const wchar_t VendorKey[] = L"SOFTWARE\\Lumenkey Works";

// A running Orvex whose OK could not save a change to auto-start (below a
// volatile key only volatile keys can be made: the settings key cannot); the
// warning it shows.
HWND FailFirstSave(SettingsSession& session)
{
    DeleteOrvexSettings();
    RegDeleteKeyW(HKEY_CURRENT_USER, VendorKey);
    HKEY blocked = nullptr;
    REQUIRE(RegCreateKeyExW(HKEY_CURRENT_USER, VendorKey, 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &blocked, nullptr) == ERROR_SUCCESS);
    RegCloseKey(blocked);
    REQUIRE(session.Start());
    REQUIRE(session.Open());
    session.Click(IDC_SETTINGS_AUTOEXEC);
    REQUIRE(session.Close(IDOK));
    return WaitForProcessDialog(session.ProcessId(), L"Orvex");
}

void TypeWithKeyboard(const char* keys)
{
    for (const char* c = keys; *c; ++c) {
        const WORD vk = static_cast<WORD>(*c >= 'a' && *c <= 'z' ? *c - 'a' + 'A' : *c);
        PressKey(vk, true);
        PressKey(vk, false);
    }
    PumpFor(100);
}

}  // namespace

TEST_CASE("numbers typed into the real dialog are refused, clamped or taken")
{
    DeleteOrvexSettings();
    SettingsSession session;
    REQUIRE(session.Start());
    REQUIRE(session.Open());

    struct Row {
        int box, bar;
        const wchar_t* typed;
        const wchar_t* shown;
        int position;
    };
    // In order: each row starts from what the rows before it left. Which texts
    // are refused or clamped is the typed-number table's; here the box and the
    // bar show the outcome.
    const Row rows[] = {
        {IDC_SETTINGS_TRANSPARENCY, IDC_SETTINGS_TRANSPARENCYBAR, L"120", L"90", 90},
        {IDC_SETTINGS_TRANSPARENCY, IDC_SETTINGS_TRANSPARENCYBAR, L"abc", L"90", 90},
        {IDC_SETTINGS_TRANSPARENCY, IDC_SETTINGS_TRANSPARENCYBAR, L"0", L"0", 0},
    };
    for (const Row& row : rows) {
        CAPTURE(row.box);
        CAPTURE(std::wstring(row.typed).size());
        session.Type(row.box, row.typed);
        CHECK(session.Text(row.box) == row.shown);
        CHECK(session.Position(row.bar) == row.position);
    }

    // "7x" with real keys, then Tab to leave the box.
    SetForegroundWindow(session.Dialog());
    session.Focus(IDC_SETTINGS_SENSITIVITY);
    SendMessageW(session.Item(IDC_SETTINGS_SENSITIVITY), EM_SETSEL, 0, -1);
    TypeWithKeyboard("7x");
    CHECK(session.Text(IDC_SETTINGS_SENSITIVITY) == L"7x");
    TypeWithKeyboard("\t");
    CHECK(WaitUntil([&] { return session.Text(IDC_SETTINGS_SENSITIVITY) == L"7"; }, 2000));
    CHECK(session.Position(IDC_SETTINGS_SENSITIVITYBAR) == 7);

    REQUIRE(session.Close(IDOK));
    CHECK(StoredDword(L"Transparency") == 0);
    CHECK(StoredDword(L"CrossPressSensitivity") == 7);
    CHECK(WaitUntil([&] { return session.Alpha() == 255; }, 2000));
    DeleteOrvexSettings();
}

namespace {

// Paints the overlay's client area black from outside; only a repaint by the
// program brings the pad back.
void SmearOverlay(HWND overlay)
{
    const HDC dc = GetDC(overlay);
    RECT client;
    GetClientRect(overlay, &client);
    FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    ReleaseDC(overlay, dc);
    GdiFlush();
}

std::vector<std::string> PadFaults(HWND overlay, bool swapped)
{
    return FindPadPixelFaults(TakeClientSnapshot(overlay).Reader(), swapped);
}

}  // namespace

TEST_CASE("OK rebuilds and repaints the overlay only when the display settings changed")
{
    DeleteOrvexSettings();
    SettingsSession session;
    REQUIRE(session.Start());
    REQUIRE(session.Alpha() == 192);
    // A mark the program would overwrite if it reapplied its alpha.
    REQUIRE(SetLayeredWindowAttributes(session.Overlay(), 0, 77, LWA_ALPHA));
    REQUIRE(session.Alpha() == 77);

    struct Row {
        const char* name;
        int checkBox;                 // 0: none clicked
        const wchar_t* transparency;  // null: left alone
        bool rebuilt;
        BYTE alpha;
        bool swapped;
    };
    const Row rows[] = {
        {"auto-launch only", IDC_SETTINGS_AUTOEXEC, nullptr, false, 77, false},
        {"transparency", 0, L"50", true, 128, false},
        {"O/X swap", IDC_SETTINGS_SWAPOX, nullptr, true, 128, true},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        REQUIRE(session.Open());
        // Out of the overlay's way, so that closing it uncovers nothing there.
        SetWindowPos(session.Dialog(), nullptr, 20, 20, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        PumpFor(500);
        SmearOverlay(session.Overlay());
        REQUIRE_FALSE(PadFaults(session.Overlay(), false).empty());
        if (row.checkBox) session.Click(row.checkBox);
        if (row.transparency) session.Type(IDC_SETTINGS_TRANSPARENCY, row.transparency);
        REQUIRE(session.Close(IDOK));

        CHECK(WaitUntil([&] { return session.Alpha() == row.alpha; }, 1000));
        if (row.rebuilt) {
            std::vector<std::string> faults;
            CHECK(WaitUntil(
                [&] { return (faults = PadFaults(session.Overlay(), row.swapped)).empty(); },
                5000));
            INFO(DescribeFaults(faults));
        } else {
            PumpFor(700);
            CHECK(session.Alpha() == 77);
            CHECK_FALSE(PadFaults(session.Overlay(), false).empty());  // nothing repainted
        }
    }
    DeleteOrvexSettings();
}

TEST_CASE("Cancel leaves the registry untouched")
{
    DeleteOrvexSettings();
    WriteOrvexDword(L"", L"Transparency", 40);
    SettingsSession session;
    REQUIRE(session.Start());
    REQUIRE(session.Open());
    session.Click(IDC_SETTINGS_AUTOEXEC);
    session.Click(IDC_SETTINGS_SWAPOX);
    session.Type(IDC_SETTINGS_TRANSPARENCY, L"70");
    session.Type(IDC_SETTINGS_PATH, L"D:\\MGQ\\mgq.exe");
    session.Click(IDC_SETTINGS_RECORD);
    REQUIRE(session.Close(IDCANCEL));
    PumpFor(300);
    CHECK(StoredDword(L"Transparency") == 40);
    CHECK_FALSE(OrvexValueExists(L"", L"IsAutoMGQExec"));
    CHECK_FALSE(OrvexValueExists(L"", L"MGQpath"));
    CHECK_FALSE(OrvexKeyExists(L"Window"));
    CHECK(session.Alpha() == 153);  // Transparency 40 as loaded
    DeleteOrvexSettings();
}

TEST_CASE("OK without a change after a load from the registry writes nothing")
{
    DeleteOrvexSettings();
    WriteOrvexDword(L"", L"Transparency", 30);
    SettingsSession session;
    REQUIRE(session.Start());
    // Changed behind the program's back: any save would put 30 back.
    WriteOrvexDword(L"", L"Transparency", 77);
    REQUIRE(session.Open());
    REQUIRE(session.Close(IDOK));
    PumpFor(300);
    CHECK(StoredDword(L"Transparency") == 77);
    CHECK_FALSE(OrvexValueExists(L"", L"IsAutoMGQExec"));
    DeleteOrvexSettings();
}

TEST_CASE("a second request while the dialog is open opens no second dialog")
{
    DeleteOrvexSettings();
    SettingsSession session;
    REQUIRE(session.Start());
    REQUIRE(session.Open());
    session.Type(IDC_SETTINGS_TRANSPARENCY, L"60");
    PostMessageW(session.Overlay(), WM_COMMAND, MAKEWPARAM(IDM_SETTINGS, 0), 0);
    PostMessageW(session.Overlay(), WM_TRAYNOTIFY, 1, WM_LBUTTONDOWN);
    PumpFor(500);
    CHECK(CountTopWindows(L"#32770", DialogTitle) == 1);
    CHECK(session.Text(IDC_SETTINGS_TRANSPARENCY) == L"60");
    REQUIRE(session.Close(IDOK));
    CHECK(StoredDword(L"Transparency") == 60);
    PumpFor(300);
    CHECK(FindProcessDialog(session.ProcessId(), DialogTitle) == nullptr);
    CHECK(session.Process().Running());
    DeleteOrvexSettings();
}

TEST_CASE("a save that fails is told once and the change is saved at the next OK")
{
    SettingsSession session;
    const HWND told = FailFirstSave(session);
    CHECK(told);
    PostMessageW(told, WM_COMMAND, IDOK, 0);
    CHECK(WaitUntil([&] { return !IsWindow(told); }));
    CHECK_FALSE(OrvexValueExists(L"", L"IsAutoMGQExec"));

    RegDeleteKeyW(HKEY_CURRENT_USER, VendorKey);
    REQUIRE(session.Open());
    REQUIRE(session.Close(IDOK));
    CHECK(WaitUntil([] { return StoredDword(L"IsAutoMGQExec") == 1; }));
    PumpFor(300);
    CHECK(FindProcessDialog(session.ProcessId(), L"Orvex") == nullptr);
    DeleteOrvexSettings();
}

TEST_CASE("a save still pending at exit is made then; the tray opens no dialog over the warning")
{
    SettingsSession session;
    const HWND told = FailFirstSave(session);
    REQUIRE(told);
    PostMessageW(session.Overlay(), WM_TRAYNOTIFY, 1, WM_LBUTTONDOWN);
    PumpFor(500);
    CHECK(FindProcessDialog(session.ProcessId(), DialogTitle) == nullptr);
    PostMessageW(told, WM_COMMAND, IDOK, 0);
    CHECK(WaitUntil([&] { return !IsWindow(told); }));

    RegDeleteKeyW(HKEY_CURRENT_USER, VendorKey);
    PostMessageW(session.Overlay(), WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
    CHECK(session.Process().WaitExit(HangMs));
    CHECK(StoredDword(L"IsAutoMGQExec") == 1);
    DeleteOrvexSettings();
}
