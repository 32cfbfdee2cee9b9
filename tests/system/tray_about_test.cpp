// The tray icon, the popup menu and the About box of the real Orvex.exe.
#include <doctest/doctest.h>
#include "app/app.h"
#include "support.h"
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

namespace {

// Starts Orvex and moves the overlay away from the screen's edges, so the menu
// has room to open up and to the left of the cursor.
HWND StartPlacedOrvex(ChildProcess& orvex)
{
    DeleteOrvexSettings();
    const HWND overlay = StartOrvex(orvex);
    if (!overlay) return nullptr;
    SetWindowPos(overlay, nullptr, 900, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpFor(200);
    return overlay;
}

POINT CaptionPoint(HWND overlay)
{
    RECT frame;
    GetWindowRect(overlay, &frame);
    const POINT clientOrigin = ClientToScreenPoint(overlay, 0, 0);
    return {(frame.left + frame.right) / 2, (frame.top + clientOrigin.y) / 2};
}

// Asked of the control itself: an edit control of another process keeps its
// text where GetWindowTextW does not look.
std::wstring TextOf(HWND window)
{
    wchar_t text[256] = L"";
    DWORD_PTR length = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        2000, &length);
    return text;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

HWND WaitForAboutBox(DWORD processId)
{
    HWND dialog = nullptr;
    WaitUntil([&] {
        dialog = FindTopWindow(L"#32770", processId);
        return dialog && TextOf(dialog) == L"バージョン情報 Orvex";
    });
    return dialog && TextOf(dialog) == L"バージョン情報 Orvex" ? dialog : nullptr;
}

void CloseWithEscape(HWND dialog)
{
    SetForegroundWindow(dialog);
    WaitUntil([&] { return GetForegroundWindow() == dialog; }, 2000);
    PressKey(VK_ESCAPE, true);
    PressKey(VK_ESCAPE, false);
}

// Columns of a picture that hold ink, and how many of them differ. Text drawn
// with real glyphs gives many different columns; boxes standing in for missing
// glyphs repeat the same few (a box's two sides and its top-and-bottom column).
struct InkColumns {
    size_t inked = 0;
    size_t distinct = 0;
};

InkColumns InkColumnsOnScreen(const RECT& rect)
{
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const std::vector<unsigned> pixels = ScreenPixels(rect);
    std::set<std::vector<bool>> columns;
    InkColumns ink;
    for (int x = 0; x < width && !pixels.empty(); ++x) {
        std::vector<bool> column(height);
        bool inked = false;
        for (int y = 0; y < height; ++y) {
            const unsigned c = pixels[static_cast<size_t>(y) * width + x];
            const unsigned luminance =
                ((c >> 16 & 0xFF) * 3 + (c >> 8 & 0xFF) * 6 + (c & 0xFF)) / 10;
            column[y] = luminance < 110;
            inked = inked || column[y];
        }
        if (!inked) continue;
        ++ink.inked;
        columns.insert(column);
    }
    ink.distinct = columns.size();
    return ink;
}

// Real glyphs: at least 40 different columns, and at least a third of the inked
// columns different. Measured here: with the Japanese font missing the menu had
// 4 different columns of 40 inked and the game notice 28 of 100; drawn
// properly, 56 of 58 and 92 of 122.
void CheckGlyphsDrawn(const RECT& rect)
{
    const InkColumns ink = InkColumnsOnScreen(rect);
    CAPTURE(ink.inked);
    CAPTURE(ink.distinct);
    CHECK(ink.distinct >= 40);
    CHECK(ink.distinct * 3 >= ink.inked);
}

struct ChildSearch {
    const wchar_t* textPart;
    HWND found;
};

BOOL CALLBACK MatchChildText(HWND child, LPARAM param)
{
    auto* search = reinterpret_cast<ChildSearch*>(param);
    if (TextOf(child).find(search->textPart) == std::wstring::npos) return TRUE;
    search->found = child;
    return FALSE;
}

HWND FindChildWithText(HWND parent, const wchar_t* textPart)
{
    ChildSearch search = {textPart, nullptr};
    EnumChildWindows(parent, MatchChildText, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// Client size in pixels of a dialog of the given size in dialog units, with
// the base units of "MS UI Gothic" 9 pt as the dialog manager derives them.
SIZE DialogUnitsToPixels(int width, int height)
{
    const HDC screen = GetDC(nullptr);
    const HFONT font =
        CreateFontW(-MulDiv(9, GetDeviceCaps(screen, LOGPIXELSY), 72), 0, 0, 0, FW_NORMAL, FALSE,
                    FALSE, FALSE, DEFAULT_CHARSET, 0, 0, 0, 0, L"MS UI Gothic");
    const HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(screen, &metrics);
    SIZE alphabet = {};
    GetTextExtentPoint32W(screen, L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz", 52,
                          &alphabet);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    const int baseX = (alphabet.cx / 26 + 1) / 2;
    const int baseY = metrics.tmHeight;
    return {MulDiv(width, baseX, 4), MulDiv(height, baseY, 8)};
}

}  // namespace

TEST_CASE("the tray icon is there, a right press on the caption opens the menu, and 終了 ends the "
          "program")
{
    ChildProcess orvex;
    const HWND overlay = StartPlacedOrvex(orvex);
    REQUIRE(overlay);
    CHECK(WaitUntil([&] { return TrayIconPresent(overlay, 1); }));

    const POINT caption = CaptionPoint(overlay);
    MouseButtonAt(caption.x, caption.y, MOUSEEVENTF_RIGHTDOWN);
    const HWND menu = WaitForTopWindow(L"#32768", orvex.Id(), 5000);
    MouseButtonAt(caption.x, caption.y, MOUSEEVENTF_RIGHTUP);
    REQUIRE(menu);

    // Up and to the left of the cursor: its bottom-right corner sits there.
    RECT box;
    GetWindowRect(menu, &box);
    CHECK(std::abs(box.right - caption.x) <= 2);
    CHECK(std::abs(box.bottom - caption.y) <= 2);

    PumpFor(300);
    SaveScreenBmp(ArtifactDir() + L"\\tray-menu.bmp");
    // Seven Japanese items, drawn as glyphs rather than boxes.
    CheckGlyphsDrawn(box);

    // "終了" is the last entry, just above the menu's bottom border.
    const POINT exitItem = {(box.left + box.right) / 2, box.bottom - 8};
    MouseButtonAt(exitItem.x, exitItem.y, MOUSEEVENTF_LEFTDOWN);
    MouseButtonAt(exitItem.x, exitItem.y, MOUSEEVENTF_LEFTUP);

    // Wine's shell drops the icons of a destroyed window by itself, so the
    // removal at teardown is checked on the window procedure in the app tests.
    DWORD code = 1234;
    REQUIRE(orvex.WaitExit(HangMs, &code));
    CHECK(code == 0);
}

TEST_CASE("only a right press on the caption or on the tray icon opens the menu")
{
    ChildProcess orvex;
    const HWND overlay = StartPlacedOrvex(orvex);
    REQUIRE(overlay);
    const POINT caption = CaptionPoint(overlay);
    const LPARAM at = MAKELPARAM(caption.x, caption.y);

    struct Row {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool opens;
    };
    const Row rows[] = {
        {"tray: mouse move", WM_TRAYNOTIFY, 1, WM_MOUSEMOVE, false},
        {"tray: right release", WM_TRAYNOTIFY, 1, WM_RBUTTONUP, false},
        {"tray: right double click", WM_TRAYNOTIFY, 1, WM_RBUTTONDBLCLK, false},
        {"tray: left release", WM_TRAYNOTIFY, 1, WM_LBUTTONUP, false},
        {"tray: left double click", WM_TRAYNOTIFY, 1, WM_LBUTTONDBLCLK, false},
        {"tray: middle press", WM_TRAYNOTIFY, 1, WM_MBUTTONDOWN, false},
        {"frame: border", WM_NCRBUTTONDOWN, HTBORDER, at, false},
        {"frame: top edge", WM_NCRBUTTONDOWN, HTTOP, at, false},
        {"frame: client", WM_NCRBUTTONDOWN, HTCLIENT, at, false},
        {"tray: right press", WM_TRAYNOTIFY, 1, WM_RBUTTONDOWN, true},
        {"frame: caption", WM_NCRBUTTONDOWN, HTCAPTION, at, true},
    };
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        PostMessageW(overlay, row.message, row.wParam, row.lParam);
        if (!row.opens) {
            PumpFor(300);
            CHECK(FindTopWindow(L"#32768", orvex.Id()) == nullptr);
            continue;
        }
        REQUIRE(WaitForTopWindow(L"#32768", orvex.Id(), 5000));
        // The overlay stays in the background, so a click on the overlay (not
        // anywhere else) is what closes the menu.
        const POINT away = ClientToScreenPoint(overlay, 170, 500);
        MouseButtonAt(away.x, away.y, MOUSEEVENTF_LEFTDOWN);
        MouseButtonAt(away.x, away.y, MOUSEEVENTF_LEFTUP);
        CHECK(WaitUntil([&] { return FindTopWindow(L"#32768", orvex.Id()) == nullptr; }));
        // That click stays queued for the overlay after the menu has gone; a message
        // posted now would overtake it and the next menu would close at once.
        WaitForInputIdle(orvex.Handle(), 2000);
    }
    CHECK(orvex.Running());
}

TEST_CASE("Alt+/ and Alt+? open the About box, Esc closes it")
{
    ChildProcess orvex;
    const HWND overlay = StartPlacedOrvex(orvex);
    REQUIRE(overlay);

    struct Row {
        const char* name;
        bool shift;
    };
    const Row rows[] = {{"Alt+/", false}, {"Alt+?", true}};
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        SetForegroundWindow(overlay);
        REQUIRE(WaitUntil([&] { return GetForegroundWindow() == overlay; }, 2000));
        PressKey(VK_MENU, true);
        if (row.shift) PressKey(VK_SHIFT, true);
        PressKey(VK_OEM_2, true);
        PressKey(VK_OEM_2, false);
        if (row.shift) PressKey(VK_SHIFT, false);
        PressKey(VK_MENU, false);

        const HWND dialog = WaitForAboutBox(orvex.Id());
        REQUIRE(dialog);
        CHECK(GetWindow(dialog, GW_OWNER) == overlay);
        CloseWithEscape(dialog);
        CHECK(WaitUntil([&] { return !IsWindow(dialog); }));
    }
    CHECK(orvex.Running());
}

TEST_CASE("the About box shows the version, its link and the Japanese notices")
{
    ChildProcess orvex;
    const HWND overlay = StartPlacedOrvex(orvex);
    REQUIRE(overlay);

    PostMessageW(overlay, WM_COMMAND, IDM_ABOUT, 0);
    const HWND dialog = WaitForAboutBox(orvex.Id());
    REQUIRE(dialog);
    CHECK(GetWindow(dialog, GW_OWNER) == overlay);
    // Modal: the overlay takes no input while the box is open.
    CHECK_FALSE(IsWindowEnabled(overlay));

    const HWND version = GetDlgItem(dialog, IDC_ABOUT_VERSION);
    REQUIRE(version);
    CHECK(TextOf(version) == L"0.6 D2D");
    CHECK(ClassOf(version) == L"Edit");
    const LONG versionStyle = GetWindowLongW(version, GWL_STYLE);
    CHECK((versionStyle & ES_READONLY) != 0);
    CHECK((versionStyle & (WS_BORDER | WS_TABSTOP)) == 0);

    const HWND link = GetDlgItem(dialog, IDC_ABOUT_LINK);
    REQUIRE(link);
    CHECK(lstrcmpiW(ClassOf(link).c_str(), L"SysLink") == 0);
    CHECK(TextOf(GetDlgItem(dialog, IDOK)) == L"OK");

    RECT client;
    GetClientRect(dialog, &client);
    const SIZE expected = DialogUnitsToPixels(171, 121);
    CHECK(std::abs(client.right - expected.cx) <= 1);
    CHECK(std::abs(client.bottom - expected.cy) <= 1);

    SetForegroundWindow(dialog);
    PumpFor(500);
    REQUIRE(SaveScreenBmp(ArtifactDir() + L"\\about-box.bmp"));

    // The game notice: two lines of Japanese, drawn as glyphs rather than boxes.
    const HWND notice = FindChildWithText(dialog, L"ムーングラス 銀砂工房物語");
    REQUIRE(notice);
    RECT area;
    GetWindowRect(notice, &area);
    CheckGlyphsDrawn(area);

    CloseWithEscape(dialog);
    CHECK(WaitUntil([&] { return !IsWindow(dialog); }));
    CHECK(IsWindowEnabled(overlay));
}

TEST_CASE("OK, Esc and the close box each end the About box")
{
    ChildProcess orvex;
    const HWND overlay = StartPlacedOrvex(orvex);
    REQUIRE(overlay);

    enum class Close { OkClick, Escape, CloseBox };
    struct Row {
        const char* name;
        Close how;
    };
    const Row rows[] = {
        {"OK clicked", Close::OkClick}, {"Esc", Close::Escape}, {"close box", Close::CloseBox}};
    for (const Row& row : rows) {
        CAPTURE(std::string(row.name));
        PostMessageW(overlay, WM_COMMAND, IDM_ABOUT, 0);
        const HWND dialog = WaitForAboutBox(orvex.Id());
        REQUIRE(dialog);
        SetForegroundWindow(dialog);
        WaitUntil([&] { return GetForegroundWindow() == dialog; }, 2000);
        switch (row.how) {
        case Close::OkClick: {
            RECT ok;
            GetWindowRect(GetDlgItem(dialog, IDOK), &ok);
            const POINT center = {(ok.left + ok.right) / 2, (ok.top + ok.bottom) / 2};
            MouseButtonAt(center.x, center.y, MOUSEEVENTF_LEFTDOWN);
            MouseButtonAt(center.x, center.y, MOUSEEVENTF_LEFTUP);
            break;
        }
        case Close::Escape:
            PressKey(VK_ESCAPE, true);
            PressKey(VK_ESCAPE, false);
            break;
        case Close::CloseBox:
            PostMessageW(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
            break;
        }
        CHECK(WaitUntil([&] { return !IsWindow(dialog); }));
        CHECK(IsWindowEnabled(overlay));
        if (IsWindow(dialog))
            PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);  // next row starts clean
        // The rest of the closing input may still be queued; let it go before the next post.
        WaitForInputIdle(orvex.Handle(), 2000);
    }
    CHECK(orvex.Running());
}
