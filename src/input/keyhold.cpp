// The minimum hold of a pad key. Many games read the keyboard's state once a
// frame instead of its messages, so a tap whose press and release both fall
// between two reads is never seen; a release that comes too soon is therefore
// held back until the key has been down for the minimum. A late timer only
// lengthens a hold: a due release is never dropped, and a timer that fires
// early finds nothing due and is set again.
#include "input.h"
#include "base/log.h"
#include "base/overlay.h"
#include "settings/settings.h"

KeyHoldState KeyHolds;

namespace {

KeySet KeyBit(int bit)
{
    return KeySet{1} << bit;
}

// Milliseconds of the performance counter: the tick count moves in 15.6 ms
// steps on Windows, too coarse to measure a tap against a 40 ms hold.
ULONGLONG HoldClockMs()
{
    LARGE_INTEGER now = {};
    LARGE_INTEGER frequency = {};
    if (!QueryPerformanceCounter(&now) || !QueryPerformanceFrequency(&frequency) ||
        frequency.QuadPart <= 0)
        return GetTickCount64();
    const ULONGLONG ticks = static_cast<ULONGLONG>(now.QuadPart);
    const ULONGLONG perSecond = static_cast<ULONGLONG>(frequency.QuadPart);
    return ticks / perSecond * 1000 + ticks % perSecond * 1000 / perSecond;
}

void SetHoldTimer()
{
    if (!MainWindow) return;
    const ULONGLONG delay = NextReleaseDelay(KeyHolds, HoldClockMs());
    if (delay == 0) {
        KillTimer(MainWindow, KeyHoldTimer);
        return;
    }
    SetTimer(MainWindow, KeyHoldTimer, static_cast<UINT>(delay), nullptr);
}

}  // namespace

bool NoteKeyPress(KeyHoldState& holds, int bit, ULONGLONG now)
{
    const KeySet key = KeyBit(bit);
    const bool stillDown = (holds.Pending & key) != 0;
    holds.Pending &= ~key;
    holds.PressedAt[bit] = now;
    holds.Timed |= key;
    return stillDown;
}

ULONGLONG HoldKeyRelease(KeyHoldState& holds, int bit, ULONGLONG now, int32_t minimumMs)
{
    const KeySet key = KeyBit(bit);
    const bool timed = (holds.Timed & key) != 0;
    holds.Timed &= ~key;
    if (!timed || minimumMs <= 0) return 0;
    const ULONGLONG due = holds.PressedAt[bit] + static_cast<ULONGLONG>(minimumMs);
    if (now >= due) return 0;
    holds.ReleaseDue[bit] = due;
    holds.Pending |= key;
    return due - now;
}

KeySet TakeDueReleases(KeyHoldState& holds, ULONGLONG now)
{
    KeySet due = 0;
    for (int bit = 0; bit < PadKeyCount; ++bit)
        if ((holds.Pending & KeyBit(bit)) && holds.ReleaseDue[bit] <= now) due |= KeyBit(bit);
    holds.Pending &= ~due;
    return due;
}

KeySet TakeHeldReleases(KeyHoldState& holds)
{
    const KeySet held = holds.Pending;
    holds.Pending = 0;
    return held;
}

ULONGLONG NextReleaseDelay(const KeyHoldState& holds, ULONGLONG now)
{
    ULONGLONG next = 0;
    for (int bit = 0; bit < PadKeyCount; ++bit) {
        if (!(holds.Pending & KeyBit(bit))) continue;
        const ULONGLONG wait = holds.ReleaseDue[bit] > now ? holds.ReleaseDue[bit] - now : 1;
        if (next == 0 || wait < next) next = wait;
    }
    return next;
}

bool PressPadKey(int bit)
{
    const WORD vk = PadKeyTable[bit];
    if (KeyHolds.Pending & KeyBit(bit)) {
        NoteKeyPress(KeyHolds, bit, HoldClockMs());
        LogEvent("key down vk=0x%02X not sent: its held-back release is dropped",
                 static_cast<unsigned>(vk));
        SetHoldTimer();
        return true;
    }
    if (!SendKeyDown(vk)) return false;
    // Timed from when the press went out, after any wait for the foreground.
    NoteKeyPress(KeyHolds, bit, HoldClockMs());
    return true;
}

void ReleasePadKey(int bit)
{
    const WORD vk = PadKeyTable[bit];
    const ULONGLONG held = HoldKeyRelease(KeyHolds, bit, HoldClockMs(), Settings.MinimumHoldMs);
    if (held == 0) {
        SendKeyUp(vk);
        return;
    }
    LogEvent("key up vk=0x%02X held back %llu ms", static_cast<unsigned>(vk), held);
    SetHoldTimer();
}

void SendDueKeyReleases()
{
    const KeySet due = TakeDueReleases(KeyHolds, HoldClockMs());
    for (int bit = 0; bit < PadKeyCount; ++bit)
        if (due & KeyBit(bit)) SendKeyUp(PadKeyTable[bit]);
    SetHoldTimer();
}

void SendHeldReleases()
{
    const KeySet held = TakeHeldReleases(KeyHolds);
    if (MainWindow) KillTimer(MainWindow, KeyHoldTimer);
    SendKeyReleases(held);
}
