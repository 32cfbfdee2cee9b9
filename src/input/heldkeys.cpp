// Letting go of every key the game holds when the user leaves the machine: a
// lock, a switch to another session or a suspend would otherwise leave a key
// down in the game, and the finger lifted meanwhile is never seen.
#include "input.h"

KeySet KeysHeldWhenLeft = 0;

void ReleaseHeldKeys(HWND window)
{
    // Remembered for the return: a release sent now may be refused (the input
    // goes to the secure desktop after a lock).
    // A release the minimum hold still keeps back counts as held too.
    KeysHeldWhenLeft |= TouchMask | MouseMask | KeyHolds.Pending;
    // The latch's Ctrl first, as at teardown, but without the teardown's extra
    // Ctrl tap: that would be a fresh press sent while nobody is at the pad.
    if (SkipLatched) {
        KeysHeldWhenLeft |= PadLatchKeys;
        ReleaseSkipLatch();
    }
    ReleaseAllKeys();
    // Both sets emptied and the marks cleared, so later contacts start afresh.
    ForgetKeyState(window);
}

void ResendLeftKeyReleases(bool userBack)
{
    // A key a contact holds again by now is left alone; a key-up for a key the
    // game no longer holds does no harm.
    KeySet held = TouchMask | MouseMask;
    if (SkipLatched) held |= PadLatchKeys;
    SendKeyReleases(KeysHeldWhenLeft & ~held);
    // A return while the sign-in screen still has the input (a resume on a
    // machine that locks on wake) may have its releases refused too: they
    // are kept until the user is back at an unlocked, connected session.
    if (userBack) KeysHeldWhenLeft = 0;
}
