// Placing the overlay and the game's window for the current screen resolution.
#include <cstdint>
#include <cwchar>
#include "base/overlay.h"
#include "game.h"

PlacementCalls WindowPlacement = {SetWindowPos};

namespace {

// Stored rectangles come from the registry and may hold any 32-bit value, so
// frame arithmetic is done wide and saturated back.
int Saturate(int64_t value)
{
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int>(value);
}

}  // namespace

std::vector<WindowMove> PlanWindowMoves(const Placement& placement, const WindowFrame& frame,
                                        HWND overlay, HWND game, const SIZE* gameClient)
{
    // Placements name client areas; SetWindowPos wants the outer window.
    const int64_t borderX = frame.FrameX;
    const int64_t borderTop = int64_t{frame.FrameY} + frame.Caption;
    std::vector<WindowMove> moves;
    if (game) {
        const SIZE& wanted = placement.GameSize;
        // A window whose client area cannot be read is gone; sizing it is pointless.
        if (gameClient && (gameClient->cx != wanted.cx || gameClient->cy != wanted.cy)) {
            moves.push_back({game, HWND_TOP, 0, 0, Saturate(wanted.cx + 2 * borderX),
                             Saturate(wanted.cy + int64_t{frame.FrameY} + borderTop), SWP_NOMOVE});
        }
        moves.push_back({game, HWND_TOP, Saturate(placement.GamePos.x - borderX),
                         Saturate(placement.GamePos.y - borderTop), wanted.cx, wanted.cy,
                         SWP_NOSIZE});
    }
    // The overlay keeps its own size whatever the record says.
    moves.push_back({overlay, HWND_TOPMOST, Saturate(placement.OverlayPos.x - borderX),
                     Saturate(placement.OverlayPos.y - borderTop), placement.OverlaySize.cx,
                     placement.OverlaySize.cy, SWP_NOSIZE | SWP_NOACTIVATE});
    return moves;
}

void PlaceWindows(bool activateGame)
{
    const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
    if (!MainWindow) return;

    const WindowFrame frame = {GetSystemMetrics(SM_CYCAPTION), GetSystemMetrics(SM_CXDLGFRAME),
                               GetSystemMetrics(SM_CYDLGFRAME)};
    // A key that does not fit (never for a real screen) matches no record.
    wchar_t key[ResolutionKeyCapacity] = L"";
    if (std::swprintf(key, ResolutionKeyCapacity, L"%dx%d", screenWidth, screenHeight) < 0)
        key[0] = L'\0';
    const Placement placement = LookupPlacement(Settings.WindowRecords, key);

    // Unvalidated on purpose: a stale handle only makes the game's moves fail.
    const HWND game = CachedGameWindow ? CachedGameWindow : FindGameWindow();
    RECT client = {};
    SIZE clientSize = {};
    const bool clientKnown = game && GetClientRect(game, &client);
    if (clientKnown) clientSize = {client.right - client.left, client.bottom - client.top};

    const UINT extraFlags = activateGame ? 0 : SWP_NOACTIVATE;
    for (const WindowMove& move :
         PlanWindowMoves(placement, frame, MainWindow, game, clientKnown ? &clientSize : nullptr)) {
        WindowPlacement.SetWindowPos(move.Window, move.InsertAfter, move.X, move.Y, move.Width,
                                     move.Height, move.Flags | extraFlags);
    }
    // A launched game found here is placed now; the watch must not place it again.
    if (game) NoteGamePlaced(game);
}
