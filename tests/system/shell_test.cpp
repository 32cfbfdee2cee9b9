// The real Orvex.exe beside the stand-in game, observed from outside.
#include <doctest/doctest.h>
#include <tpcshrd.h>
#include "support.h"

TEST_CASE("the overlay window is a captioned, layered, never-activated 340 x 520 window")
{
    DeleteOrvexSettings();
    const std::wstring log = TempFilePath(L"shell");
    ChildProcess game, orvex;
    const HWND gameWindow = StartStandinGame(game, log);
    REQUIRE(gameWindow);
    const HWND overlay = StartOrvex(orvex);
    REQUIRE(overlay);

    wchar_t title[64] = L"";
    GetWindowTextW(overlay, title, 64);
    CHECK(std::wstring(title) == L"Orvex");

    RECT client;
    GetClientRect(overlay, &client);
    CHECK(client.right == 340);
    CHECK(client.bottom == 520);

    const LONG style = GetWindowLongW(overlay, GWL_STYLE);
    CHECK((style & WS_CAPTION) == WS_CAPTION);
    CHECK((style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME)) == 0);
    const LONG exStyle = GetWindowLongW(overlay, GWL_EXSTYLE);
    CHECK((exStyle & WS_EX_NOACTIVATE) != 0);
    CHECK((exStyle & WS_EX_LAYERED) != 0);

    BYTE alpha = 0;
    DWORD flags = 0;
    REQUIRE(GetLayeredWindowAttributes(overlay, nullptr, &alpha, &flags));
    CHECK(alpha == 192);
    CHECK(flags == LWA_ALPHA);
    // Press-and-hold and flicks are off: the tablet service reads this property.
    CHECK(reinterpret_cast<ULONG_PTR>(GetPropW(overlay, L"MicrosoftTabletPenServiceProperty")) ==
          (TABLET_DISABLE_PRESSANDHOLD | TABLET_DISABLE_PENTAPFEEDBACK |
           TABLET_DISABLE_PENBARRELFEEDBACK | TABLET_DISABLE_FLICKS));

    SUBCASE("neither showing the overlay nor a click on it takes the game's place in front")
    {
        CHECK(GetForegroundWindow() == gameWindow);
        // A spot inside the client area that no pad element covers.
        const POINT p = ClientToScreenPoint(overlay, 170, 500);
        ClickAt(p.x, p.y);
        PumpFor(500);
        CHECK(GetForegroundWindow() == gameWindow);
    }

    SUBCASE("WM_CLOSE ends the program with exit code 0")
    {
        PostMessageW(overlay, WM_CLOSE, 0, 0);
        DWORD code = 1234;
        CHECK(orvex.WaitExit(HangMs, &code));
        CHECK(code == 0);
    }
}

TEST_CASE(
    "a second start beside a running copy ends with 0 and leaves one overlay and one tray icon")
{
    DeleteOrvexSettings();
    ChildProcess first, second;
    const HWND overlay = StartOrvex(first);
    REQUIRE(overlay);
    REQUIRE(WaitUntil([&] { return TrayIconPresent(overlay, 1); }));
    // Out of view: the second start must bring it back, without activating it.
    ShowWindow(overlay, SW_HIDE);
    REQUIRE(CountTopWindows(L"ORVEX") == 0);

    REQUIRE(second.Start(L"\"" + BinDir() + L"\\Orvex.exe\""));
    DWORD code = 1234;
    CHECK(second.WaitExit(HangMs, &code));
    CHECK(code == 0);
    CHECK(WaitUntil([&] { return IsWindowVisible(overlay) != FALSE; }));
    CHECK(CountTopWindows(L"ORVEX") == 1);
    CHECK(GetForegroundWindow() != overlay);
    CHECK(TrayIconPresent(overlay, 1));
    CHECK_FALSE(OrvexKeyExists(L""));  // neither copy wrote settings

    PostMessageW(overlay, WM_CLOSE, 0, 0);
    CHECK(first.WaitExit(HangMs));
}
