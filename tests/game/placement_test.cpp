// Placing the overlay and the game's window: the planned calls from plain
// values, then the real thing on windows made by this test.
#include <doctest/doctest.h>
#include <climits>
#include <cwchar>
#include <string>
#include <vector>
#include "app/app.h"
#include "game/game.h"
#include "settings/settings.h"
#include "support.h"
#include "test_windows.h"

namespace {

const HWND Overlay = reinterpret_cast<HWND>(0x1000);
const HWND Game = reinterpret_cast<HWND>(0x2000);

Placement MakePlacement(POINT overlayPos, SIZE overlaySize, POINT gamePos, SIZE gameSize)
{
    Placement p;
    p.OverlayPos = overlayPos;
    p.OverlaySize = overlaySize;
    p.GamePos = gamePos;
    p.GameSize = gameSize;
    return p;
}

std::string Describe(const WindowMove& m)
{
    char text[160];
    std::snprintf(text, sizeof(text), "window=%p after=%p pos=(%d,%d) size=(%d,%d) flags=0x%X",
                  static_cast<void*>(m.Window), static_cast<void*>(m.InsertAfter), m.X, m.Y,
                  m.Width, m.Height, m.Flags);
    return text;
}

std::vector<std::string> Describe(const std::vector<WindowMove>& moves)
{
    std::vector<std::string> lines;
    for (const WindowMove& m : moves) lines.push_back(Describe(m));
    return lines;
}

std::vector<WindowMove> RecordedMoves;

BOOL WINAPI RecordingSetWindowPos(HWND window, HWND insertAfter, int x, int y, int width,
                                  int height, UINT flags)
{
    RecordedMoves.push_back({window, insertAfter, x, y, width, height, flags});
    return SetWindowPos(window, insertAfter, x, y, width, height, flags);
}

// Records every SetWindowPos of the placement and puts back the globals the
// placement reads.
struct PlacementScope {
    PlacementCalls savedCalls = WindowPlacement;
    HWND savedMain = MainWindow;
    HWND savedCache = CachedGameWindow;
    WindowRecordList savedRecords = Settings.WindowRecords;
    PlacementScope()
    {
        WindowPlacement.SetWindowPos = RecordingSetWindowPos;
        RecordedMoves.clear();
        CachedGameWindow = nullptr;
        Settings.WindowRecords.clear();
    }
    ~PlacementScope()
    {
        WindowPlacement = savedCalls;
        MainWindow = savedMain;
        CachedGameWindow = savedCache;
        Settings.WindowRecords = savedRecords;
    }
};

std::wstring CurrentResolutionKey()
{
    wchar_t key[ResolutionKeyCapacity];
    std::swprintf(key, ResolutionKeyCapacity, L"%dx%d", GetSystemMetrics(SM_CXSCREEN),
                  GetSystemMetrics(SM_CYSCREEN));
    return key;
}

bool IsTopmost(HWND window)
{
    return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

}  // namespace

TEST_CASE("the planned calls size the game only when needed and never size the overlay")
{
    // A caption of 23 and dialog frames of 3: a client area at (x, y) sized (w, h)
    // belongs to a window at (x - 3, y - 26) sized (w + 6, h + 29).
    const WindowFrame frame = {23, 3, 3};
    const Placement defaults = MakePlacement({1580, 210}, {340, 520}, {290, 40}, {1280, 720});
    const WindowMove gameMove = {Game, HWND_TOP, 287, 14, 1280, 720, SWP_NOSIZE};
    const WindowMove gameResize = {Game, HWND_TOP, 0, 0, 1286, 749, SWP_NOMOVE};
    const WindowMove overlayMove = {
        Overlay, HWND_TOPMOST, 1577, 184, 340, 520, SWP_NOSIZE | SWP_NOACTIVATE};
    const SIZE wanted = {1280, 720}, narrower = {1279, 720}, shorter = {1280, 719},
               other = {800, 600};

    struct Row {
        const char* name;
        HWND game;
        const SIZE* client;
        std::vector<WindowMove> expected;
    };
    const Row rows[] = {
        {"game already at the wanted size: moved only", Game, &wanted, {gameMove, overlayMove}},
        {"game of another size: resized, then moved",
         Game,
         &other,
         {gameResize, gameMove, overlayMove}},
        {"only the width differs", Game, &narrower, {gameResize, gameMove, overlayMove}},
        {"only the height differs", Game, &shorter, {gameResize, gameMove, overlayMove}},
        {"no game: the overlay alone", nullptr, nullptr, {overlayMove}},
        {"game whose client area cannot be read: no resize",
         Game,
         nullptr,
         {gameMove, overlayMove}},
    };
    for (const Row& row : rows) {
        INFO(std::string(row.name));
        CHECK(Describe(PlanWindowMoves(defaults, frame, Overlay, row.game, row.client)) ==
              Describe(row.expected));
    }
}

TEST_CASE("stored rectangles at the ends of the 32-bit range do not overflow the frame sums")
{
    const WindowFrame frame = {19, 3, 3};
    const Placement extreme = MakePlacement({INT_MIN, INT_MIN}, {INT_MAX, INT_MAX},
                                            {INT_MIN, INT_MIN}, {INT_MAX, INT_MAX});
    const SIZE client = {100, 100};
    const std::vector<WindowMove> expected = {
        {Game, HWND_TOP, 0, 0, INT_MAX, INT_MAX, SWP_NOMOVE},
        {Game, HWND_TOP, INT_MIN, INT_MIN, INT_MAX, INT_MAX, SWP_NOSIZE},
        {Overlay, HWND_TOPMOST, INT_MIN, INT_MIN, INT_MAX, INT_MAX, SWP_NOSIZE | SWP_NOACTIVATE},
    };
    CHECK(Describe(PlanWindowMoves(extreme, frame, Overlay, Game, &client)) == Describe(expected));
}

TEST_CASE("both real windows land where the record or the defaults say")
{
    REQUIRE_MESSAGE(CurrentResolutionKey() == L"1920x1080",
                    "the expected places are those of a 1920 x 1080 screen");
    PlacementScope scope;
    const RECT none = {0, 0, 0, 0};

    struct Row {
        const char* name;
        const wchar_t* recordKey;  // null: no record
        RECT inputRect, mgqRect;
        SIZE gameClient;  // 0 x 0: no game window
        RECT expectedGame, expectedOverlay;
        int gameCalls;
    };
    // One row per case reads better than one value per line.
    // clang-format off
    const Row rows[] = {
        {"no record, game already 1280 x 720", nullptr, none, none, {1280, 720},
         {290, 40, 1570, 760}, {1580, 210, 1920, 730}, 1},
        {"no record, game of another size", nullptr, none, none, {800, 600},
         {290, 40, 1570, 760}, {1580, 210, 1920, 730}, 2},
        {"no record, no game", nullptr, none, none, {0, 0}, none, {1580, 210, 1920, 730}, 0},
        {"a record for another resolution is not used", L"1280x720", {0, 0, 340, 520},
         {10, 10, 810, 610}, {800, 600}, {290, 40, 1570, 760}, {1580, 210, 1920, 730}, 2},
        {"a record places both", L"1920x1080", {100, 50, 440, 570}, {500, 100, 1300, 700},
         {640, 480}, {500, 100, 1300, 700}, {100, 50, 440, 570}, 2},
        {"a record without a game rectangle: game at the default", L"1920x1080",
         {20, 30, 360, 550}, none, {800, 600}, {290, 40, 1570, 760}, {20, 30, 360, 550}, 2},
        {"a recorded overlay of another size is moved, not sized", L"1920x1080",
         {50, 60, 250, 360}, {400, 200, 1040, 680}, {640, 480}, {400, 200, 1040, 680},
         {50, 60, 390, 580}, 1},
    };
    // clang-format on
    for (const Row& row : rows) {
        INFO(std::string(row.name));
        UniqueWindow overlay = CreateOverlayLikeWindow();
        UniqueWindow game;
        if (row.gameClient.cx)
            game = CreateGameClassWindow(700, 300, row.gameClient.cx, row.gameClient.cy);
        REQUIRE(overlay);
        Settings.WindowRecords.clear();
        if (row.recordKey)
            PutWindowRecord(Settings.WindowRecords, row.recordKey, row.inputRect, row.mgqRect);
        MainWindow = overlay.get();
        CachedGameWindow = nullptr;
        RecordedMoves.clear();

        PlaceWindows();

        int gameCalls = 0;
        for (const WindowMove& m : RecordedMoves) gameCalls += m.Window == game.get() ? 1 : 0;
        CHECK(gameCalls == row.gameCalls);
        CHECK(RecordedMoves.size() == static_cast<size_t>(row.gameCalls) + 1);
        REQUIRE_FALSE(RecordedMoves.empty());
        const WindowMove& last = RecordedMoves.back();
        CHECK(last.Window == overlay.get());
        CHECK(last.InsertAfter == HWND_TOPMOST);
        CHECK(last.Flags == (SWP_NOSIZE | SWP_NOACTIVATE));

        if (game) {
            const RECT g = ScreenClientRect(game.get());
            CHECK(g.left == row.expectedGame.left);
            CHECK(g.top == row.expectedGame.top);
            CHECK(g.right == row.expectedGame.right);
            CHECK(g.bottom == row.expectedGame.bottom);
            CHECK(CachedGameWindow == game.get());
            // The resize, when there is one, comes before the move.
            if (row.gameCalls == 2) CHECK(RecordedMoves[0].Flags == SWP_NOMOVE);
            CHECK(RecordedMoves[row.gameCalls - 1].Flags == SWP_NOSIZE);
        }
        const RECT o = ScreenClientRect(overlay.get());
        CHECK(o.left == row.expectedOverlay.left);
        CHECK(o.top == row.expectedOverlay.top);
        CHECK(o.right == row.expectedOverlay.right);
        CHECK(o.bottom == row.expectedOverlay.bottom);
        CHECK(IsTopmost(overlay.get()));
    }
}

TEST_CASE("a stale cached game window is addressed as it is, and the overlay still placed")
{
    PlacementScope scope;
    UniqueWindow overlay = CreateOverlayLikeWindow();
    UniqueWindow live = CreateGameClassWindow(700, 300, 640, 480);
    UniqueWindow gone = CreateGameClassWindow(100, 100, 640, 480);
    REQUIRE(overlay);
    REQUIRE(live);
    const HWND stale = gone.get();
    gone.reset();
    MainWindow = overlay.get();
    CachedGameWindow = stale;
    const RECT liveBefore = ScreenClientRect(live.get());
    const Placement expected =
        LookupPlacement(Settings.WindowRecords, CurrentResolutionKey().c_str());

    PlaceWindows();

    // The dead window gets its move (which fails) but no resize; the running
    // game is not looked for, since the cache is read without validation.
    REQUIRE(RecordedMoves.size() == 2);
    CHECK(RecordedMoves[0].Window == stale);
    CHECK(RecordedMoves[0].Flags == SWP_NOSIZE);
    CHECK(RecordedMoves[1].Window == overlay.get());
    CHECK(CachedGameWindow == stale);
    const RECT liveAfter = ScreenClientRect(live.get());
    CHECK(liveAfter.left == liveBefore.left);
    CHECK(liveAfter.top == liveBefore.top);
    CHECK(liveAfter.right - liveAfter.left == 640);

    const RECT o = ScreenClientRect(overlay.get());
    CHECK(o.left == expected.OverlayPos.x);
    CHECK(o.top == expected.OverlayPos.y);
    CHECK(o.right - o.left == OverlayClientWidth);
    CHECK(o.bottom - o.top == OverlayClientHeight);
    CHECK(IsTopmost(overlay.get()));
}

TEST_CASE("nothing is placed before the overlay exists")
{
    PlacementScope scope;
    UniqueWindow game = CreateGameClassWindow(700, 300, 640, 480);
    REQUIRE(game);
    MainWindow = nullptr;
    PlaceWindows();
    CHECK(RecordedMoves.empty());
}

namespace {

int Paints = 0;
int Erases = 0;

LRESULT CALLBACK CountingPaintProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        ++Erases;
        return 1;
    case WM_PAINT: {
        ++Paints;
        PAINTSTRUCT ps;
        BeginPaint(window, &ps);
        EndPaint(window, &ps);
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

// A shown overlay-sized window that counts its paints and erases.
UniqueWindow CreatePaintCountingWindow()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = CountingPaintProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvexTestPaintCounter";
    RegisterClassExW(&wc);
    RECT outer = {600, 100, 940, 620};
    AdjustWindowRectEx(&outer, WS_CAPTION, FALSE, WS_EX_NOACTIVATE);
    UniqueWindow window(CreateWindowExW(WS_EX_NOACTIVATE, wc.lpszClassName, L"paint counter",
                                        WS_CAPTION, outer.left, outer.top, outer.right - outer.left,
                                        outer.bottom - outer.top, nullptr, nullptr, wc.hInstance,
                                        nullptr));
    if (window) ShowWindow(window.get(), SW_SHOWNOACTIVATE);
    return window;
}

}  // namespace

TEST_CASE(
    "a display change places once without repainting; the size command repaints without erasing")
{
    PlacementScope scope;
    struct Row {
        const char* name;
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool repainted;
    };
    const Row rows[] = {
        {"WM_DISPLAYCHANGE", WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080), false},
        {"menu サイズ調整", WM_COMMAND, IDM_ADJUSTSIZE, 0, true},
    };
    for (const Row& row : rows) {
        INFO(std::string(row.name));
        UniqueWindow overlay = CreatePaintCountingWindow();
        REQUIRE(overlay);
        MainWindow = overlay.get();
        CachedGameWindow = nullptr;
        UpdateWindow(overlay.get());
        PumpFor(50);
        ValidateRect(overlay.get(), nullptr);
        RecordedMoves.clear();
        Paints = Erases = 0;

        CHECK(MainWndProc(overlay.get(), row.message, row.wParam, row.lParam) == 0);

        REQUIRE(RecordedMoves.size() == 1);
        CHECK(RecordedMoves[0].Window == overlay.get());
        CHECK(RecordedMoves[0].InsertAfter == HWND_TOPMOST);
        RECT update = {};
        CHECK(GetUpdateRect(overlay.get(), &update, FALSE) == (row.repainted ? TRUE : FALSE));
        if (row.repainted) {
            CHECK(update.right - update.left == OverlayClientWidth);
            CHECK(update.bottom - update.top == OverlayClientHeight);
        }
        UpdateWindow(overlay.get());
        CHECK(Paints == (row.repainted ? 1 : 0));
        CHECK(Erases == 0);
    }
}
