// Input and key output: touch and mouse contacts, key sets and their
// transitions, key injection into the game and the skip latch.
#pragma once
#include <windows.h>
#include "pad/pad.h"

// The OS calls of key output; tests swap in counting versions and restore these.
struct KeyOutputCalls {
    UINT(WINAPI* SendInput)(UINT count, LPINPUT inputs, int size);
    BOOL(WINAPI* SetForegroundWindow)(HWND window);
    HWND(WINAPI* GetForegroundWindow)();
    void(WINAPI* Sleep)(DWORD milliseconds);
};
extern KeyOutputCalls KeyOutput;

// The touch API (Wine has no touch input); tests feed touch records through it.
struct TouchInputCalls {
    BOOL(WINAPI* GetTouchInputInfo)(HTOUCHINPUT touch, UINT count, PTOUCHINPUT inputs, int size);
    BOOL(WINAPI* CloseTouchInputHandle)(HTOUCHINPUT touch);
};
extern TouchInputCalls TouchInput;

// Keys held by touch contacts and by the mouse.
extern KeySet TouchMask;
extern KeySet MouseMask;
// Keys the mouse may not press until its button is released: SKIP after a
// double click set the latch, so a shaky second click does not end it.
extern KeySet MouseWithheldKeys;
// Ctrl is held for the game by the skip latch.
extern bool SkipLatched;

// Hit-tests the contacts of one message of the given kind and sends the key
// presses and releases that differ; returns the new key set of that kind.
KeySet UpdateKeyState(const ContactPoint* points, int32_t count, bool touch);
// Sends presses and releases in ascending bit order; false if a press failed.
bool ApplyKeyTransitions(KeySet pressed, KeySet released);
// Menu "キー状態リセット" (and before an own window opens): the game asked
// to the front, a release of every key the pad can press but the latch's
// Ctrl, then the held keys forgotten.
void ResetKeyState(HWND window);
// Empties both sets and clears the pressed marks; nothing is sent.
void ForgetKeyState(HWND window);
// Sends the release of every held key (the latch's Ctrl first), then forgets
// them: for a session that is locked or left and for a suspend.
void ReleaseHeldKeys(HWND window);
// Keys held when the user last left (the latch's Ctrl as SKIP). Every return
// sends their releases again; they are forgotten once the user is back.
extern KeySet KeysHeldWhenLeft;
void ResendLeftKeyReleases(bool userBack);

// The one keyboard record of a press or release of vk: mapped scan code,
// extended for the four arrow keys only, time and extra information 0.
INPUT MakeKeyRecord(WORD vk, bool release);
bool SendKeyDown(WORD vk);
bool SendKeyUp(WORD vk);
bool SetSkipLatch();
bool ReleaseSkipLatch();
void TapCtrlKey();
// Releases of the keys of the set, in bit order, with no lookup and no wait.
void SendKeyReleases(KeySet keys);
// The game asked to the front (as for a press), then a release of every key
// the pad can press but those kept: for keys whose state is not known.
void ReleaseEveryPadKey(KeySet kept);
void ReleaseAllKeys();

// The registry mark of held keys (the latch's Ctrl included), for this logon
// session: written when the held keys go from none to some, removed when they
// go back to none, never per key.
void UpdateHeldMark();
void ClearHeldMark();
// At start: a mark left by a run that crashed or was killed with a key held
// releases every key the pad can press and goes; true when there was one.
bool ReleaseKeysOfEarlierRun();
// The last resort of a dying process: plain releases of the held keys.
void ReleaseKeysAtLastResort();
// The unhandled-exception filter: lets go of the held keys, then passes on.
LONG WINAPI ReleaseKeysOnCrash(EXCEPTION_POINTERS* exception);
// The filter, std::terminate and SIGABRT all lead to the last resort.
void InstallLastResortRelease();

// At most this many touch contacts are followed per touch message.
constexpr UINT MaxTouchContacts = 10;
// Mouse messages the system made from touch or pen input carry this mark.
bool IsTouchMadeExtraInfo(LPARAM extraInfo);
// The client point of a mouse message, both coordinates unsigned 16-bit.
ContactPoint MouseContactPoint(LPARAM lParam);
// Screen pixels of the records of fingers that are down or moving; returns
// how many points were written (at most count).
int32_t TouchRecordsToPoints(const TOUCHINPUT* records, int32_t count, ContactPoint* points);

// Contact handlers, called by the window procedure.
LRESULT OnTouch(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnLButtonDown(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnLButtonDblClk(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnLButtonUp(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnMouseMove(HWND window, WPARAM wParam, LPARAM lParam);
LRESULT OnMouseLeave(HWND window);
// The capture gone to another window: the button's release will not be seen.
LRESULT OnCaptureChanged(HWND window, HWND newCapture);

// The minimum hold: a release that comes sooner than Settings.MinimumHoldMs
// after its press waits until then, so a game that reads the keyboard's state
// once a frame still sees a quick tap. Presses are never delayed. The
// scheduling is plain values (times in ms of one clock) a test can drive.
struct KeyHoldState {
    ULONGLONG PressedAt[PadKeyCount] = {};
    ULONGLONG ReleaseDue[PadKeyCount] = {};
    KeySet Timed = 0;    // keys whose press time is known
    KeySet Pending = 0;  // keys whose release is held back
};
// A press of the key bit at now. True when its release was still held back:
// the key never went up, so no press is sent and it simply stays down.
bool NoteKeyPress(KeyHoldState& holds, int bit, ULONGLONG now);
// A release of the key bit at now: how many ms it is held back (0: send now).
ULONGLONG HoldKeyRelease(KeyHoldState& holds, int bit, ULONGLONG now, int32_t minimumMs);
// The held-back releases that are due at now, taken out of the state.
KeySet TakeDueReleases(KeyHoldState& holds, ULONGLONG now);
// Every held-back release, taken out of the state.
KeySet TakeHeldReleases(KeyHoldState& holds);
// Ms until the next held-back release is due (at least 1); 0 when none is.
ULONGLONG NextReleaseDelay(const KeyHoldState& holds, ULONGLONG now);

// The program's holds, the timer (WM_TIMER KeyHoldTimer to the overlay) that
// sends them when due, and the pad's presses and releases through them.
extern KeyHoldState KeyHolds;
constexpr UINT_PTR KeyHoldTimer = 5;
bool PressPadKey(int bit);
void ReleasePadKey(int bit);
void SendDueKeyReleases();
// Sends every held-back release at once, with no lookup and no wait: every
// path that lets go of all keys, and the latch before it touches Ctrl.
void SendHeldReleases();
