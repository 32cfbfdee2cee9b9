// The real Orvex.exe places itself and the stand-in game for the screen size,
// at start-up and again when the screen size changes.
#include <doctest/doctest.h>
#include <string>
#include <vector>
#include "support.h"

namespace {

RECT ClientOnScreen(HWND window)
{
    RECT client = {};
    GetClientRect(window, &client);
    const POINT origin = ClientToScreenPoint(window, 0, 0);
    OffsetRect(&client, origin.x, origin.y);
    return client;
}

std::string Describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ") " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
}

std::string PlaceLine(const RECT& r)
{
    return "PLACE x=" + std::to_string(r.left) + " y=" + std::to_string(r.top) +
           " w=" + std::to_string(r.right - r.left) + " h=" + std::to_string(r.bottom - r.top);
}

std::vector<std::string> PlaceLines(const std::wstring& log)
{
    std::vector<std::string> lines;
    for (const std::string& line : ReadGameLog(log))
        if (line.rfind("PLACE ", 0) == 0) lines.push_back(line);
    return lines;
}

// Resizes the Wine virtual desktop (Wine tells every top-level window with
// WM_DISPLAYCHANGE); the registry's mode comes back at the end of the scope.
struct ScreenSizeScope {
    ~ScreenSizeScope() { ChangeDisplaySettingsExW(nullptr, nullptr, nullptr, 0, nullptr); }
    static bool Change(int width, int height)
    {
        DEVMODEW mode = {};
        mode.dmSize = sizeof(mode);
        mode.dmPelsWidth = width;
        mode.dmPelsHeight = height;
        mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
        return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) ==
               DISP_CHANGE_SUCCESSFUL;
    }
};

}  // namespace

TEST_CASE("the overlay and the game land at their default places, at two screen sizes")
{
    REQUIRE(GetSystemMetrics(SM_CXSCREEN) == 1920);
    REQUIRE(GetSystemMetrics(SM_CYSCREEN) == 1080);
    DeleteOrvexSettings();
    ScreenSizeScope screen;
    const std::wstring log = TempFilePath(L"placement");
    ChildProcess game, orvex;
    // The game starts elsewhere and at another size, so it must be resized too.
    const HWND gameWindow = StartStandinGame(game, log, L"--pos 100 100 --client 800 600");
    REQUIRE(gameWindow);
    size_t placesBefore = PlaceLines(log).size();
    const HWND overlay = StartOrvex(orvex);
    REQUIRE(overlay);

    struct Row {
        const char* screen;
        int width, height;
        RECT game, overlay;
    };
    const Row rows[] = {
        {"1920 x 1080 at start-up", 1920, 1080, {290, 40, 1570, 760}, {1580, 210, 1920, 730}},
        {"1280 x 720 after a display change", 1280, 720, {0, 40, 1280, 760}, {940, 0, 1280, 520}},
        {"back to 1920 x 1080", 1920, 1080, {290, 40, 1570, 760}, {1580, 210, 1920, 730}},
    };
    for (const Row& row : rows) {
        INFO(std::string(row.screen));
        if (GetSystemMetrics(SM_CXSCREEN) != row.width ||
            GetSystemMetrics(SM_CYSCREEN) != row.height) {
            REQUIRE(ScreenSizeScope::Change(row.width, row.height));
            REQUIRE(GetSystemMetrics(SM_CXSCREEN) == row.width);
            REQUIRE(GetSystemMetrics(SM_CYSCREEN) == row.height);
        }
        const bool placed = WaitUntil([&] {
            const RECT g = ClientOnScreen(gameWindow), o = ClientOnScreen(overlay);
            return EqualRect(&row.game, &g) && EqualRect(&row.overlay, &o);
        });
        CHECK_MESSAGE(placed, "game " << Describe(ClientOnScreen(gameWindow)) << ", overlay "
                                      << Describe(ClientOnScreen(overlay)));
        CHECK((GetWindowLongW(overlay, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0);
        CHECK(GetForegroundWindow() != overlay);

        // The game saw its move last: start-up resized it first, a display
        // change only moves it (its size already fits), once.
        const std::vector<std::string> places = PlaceLines(log);
        const size_t expectedPlaces = &row == rows ? 2 : 1;
        CHECK(places.size() == placesBefore + expectedPlaces);
        REQUIRE_FALSE(places.empty());
        CHECK(places.back() == PlaceLine(row.game));
        placesBefore = places.size();
    }
}
