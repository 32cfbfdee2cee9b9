// Letting go of every key the game holds when the user leaves the machine: a
// lock, a switch to another session or a suspend would otherwise leave a key
// down in the game, and the finger lifted meanwhile is never seen.
#include "input.h"

void ReleaseHeldKeys(HWND window)
{
    // The latch's Ctrl first, as at teardown, but without the teardown's extra
    // Ctrl tap: that would be a fresh press sent while nobody is at the pad.
    if (SkipLatched) ReleaseSkipLatch();
    ReleaseAllKeys();
    // Both sets emptied and the marks cleared, so later contacts start afresh.
    ResetKeyState(window);
}
