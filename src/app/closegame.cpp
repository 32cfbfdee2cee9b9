// Ending the game: a close request, and for the built-in game the keys that
// answer its quit question. Another game is sent the close request alone.
#include "app.h"
#include "game/game.h"
#include "input/input.h"
#include "pad/padlayout.h"

namespace {

constexpr DWORD CloseRequestWait = 100;  // ms after WM_CLOSE, before the first key

// The built-in game answers its close request with a quit question: Left
// selects "yes", Z confirms.
struct CloseKeyStep {
    WORD Key;
    bool Press;
    DWORD WaitAfter;  // ms
};
constexpr CloseKeyStep CloseKeySequence[] = {
    {VK_LEFT, true, 30},
    {VK_LEFT, false, 30},
    {'Z', true, 30},
    {'Z', false, 100},
};

}  // namespace

void CloseGame()
{
    // The game is being ended: a window it still opens is not placed.
    EndGameWatch();
    if (!CachedGameWindow) return;
    const std::wstring question = std::wstring(ActiveGameName()) + L"を終了します。";
    if (GameControl.MessageBoxW(MainWindow, question.c_str(), L"Orvex", MB_OKCANCEL) != IDOK)
        return;

    // Let go of the held Ctrl and remove the hooks before the game goes away.
    if (SkipLatched) ReleaseSkipLatch();
    GameControl.PostMessageW(CachedGameWindow, WM_CLOSE, 0, 0);
    if (IsBuiltInGameActive()) {
        GameControl.Sleep(CloseRequestWait);
        for (const CloseKeyStep& step : CloseKeySequence) {
            if (step.Press)
                SendKeyDown(step.Key);
            else
                SendKeyUp(step.Key);
            GameControl.Sleep(step.WaitAfter);
        }
    }
    // Only refreshes the cache when the game is still there.
    FindGameWindow();
}
