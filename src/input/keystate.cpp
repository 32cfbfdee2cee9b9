// Key sets per kind of contact and the transitions between them: which pad
// keys the contacts of one message hold, what must be pressed and released to
// get there, the rules of the skip latch, and the pressed marks of the pad.
#include "input.h"
#include "base/overlay.h"
#include "game/game.h"
#include "render/render.h"

KeySet TouchMask = 0;
KeySet MouseMask = 0;
KeySet MouseWithheldKeys = 0;

namespace {

constexpr KeySet SizeKeys = static_cast<KeySet>(SizeKeyBit);

KeySet& KindMask(bool touch)
{
    return touch ? TouchMask : MouseMask;
}

// Presses and releases in ascending bit order, a lower bit always first;
// returns the presses that could not be sent.
KeySet SendKeyTransitions(KeySet pressed, KeySet released)
{
    const KeySet changed = pressed | released;
    KeySet failed = 0;
    for (int bit = 0; bit < PadKeyBits; ++bit) {
        const KeySet key = KeySet{1} << bit;
        if (!(changed & key)) continue;
        if (key == SizeKeys) {
            // SIZE sends no key: it places the windows when it goes down.
            if (pressed & SizeKeys) PlaceWindows();
            continue;
        }
        if (!PadKeyTable[bit]) continue;  // a bit no element of this layout holds
        if (pressed & key) {
            if (!PressPadKey(bit)) failed |= key;
        } else {
            ReleasePadKey(bit);
        }
    }
    return failed;
}

}  // namespace

bool ApplyKeyTransitions(KeySet pressed, KeySet released)
{
    return SendKeyTransitions(pressed, released) == 0;
}

KeySet UpdateKeyState(const ContactPoint* points, int32_t count, bool touch)
{
    KeySet fresh = HitTestElements(points, count);
    if (!touch) fresh &= ~MouseWithheldKeys;
    KeySet other = touch ? MouseMask : TouchMask;
    KeySet old = TouchMask | MouseMask;
    KeySet wanted = other | fresh;
    if (wanted == old) {
        // Nothing changes for the game, but this kind's set must follow its
        // contacts: a mouse press on a key a finger holds has to keep the key
        // down after the finger lifts.
        KindMask(touch) = fresh;
        return fresh;
    }
    KeySet pressed = wanted & ~old;
    KeySet released = old & ~wanted;

    if (SkipLatched) {
        if (pressed & PadLatchEndingKeys) ReleaseSkipLatch();
        if (SkipLatched) {
            // The latch owns Ctrl: no contact may press or release it meanwhile.
            TouchMask &= ~PadLatchKeys;
            MouseMask &= ~PadLatchKeys;
            fresh &= ~PadLatchKeys;
            other &= ~PadLatchKeys;
            old = TouchMask | MouseMask;
            wanted = other | fresh;
            pressed = wanted & ~old;
            released = old & ~wanted;
        }
    }

    // A press that could not be sent (no game window) is not held. Only those
    // keys are dropped: a key the game already held stays known, so a later
    // update still releases it instead of leaving it down for good.
    fresh &= ~SendKeyTransitions(pressed, released);

    const KeySet shown = other | fresh;
    PressElements(shown);
    ReleaseElements(~shown);
    // The keys are out; the picture follows within a display frame.
    RequestPadFrame(MainWindow);

    KindMask(touch) = fresh;
    UpdateHeldMark();
    return fresh;
}

void ResetKeyState(HWND window)
{
    // The one command a user tries for a stuck key: every key the pad can
    // press is released, also one the sets no longer hold because its release
    // was refused. The latched key stays with the latch.
    SendHeldReleases();
    ReleaseEveryPadKey(SkipLatched ? PadLatchKeys : 0);
    ForgetKeyState(window);
}

void ForgetKeyState(HWND window)
{
    TouchMask = 0;
    MouseMask = 0;
    UpdateHeldMark();
    if (CurrentPadTable) ReleaseElements(~KeySet{0});
    InvalidateRect(window, nullptr, TRUE);
}
