// The user leaving the machine: a locked session, a switch to another session
// (at the console or remotely) and a suspend let go of every key the pad holds,
// so the game never comes back with a key down. The releases go out again on
// the return, in case the system refused them while the user was away.
#include "app.h"
#include <wtsapi32.h>
#include "input/input.h"

namespace {

// What the session notices said last: locked, and away from the console or
// the remote connection. A start finds the session unlocked and connected.
bool SessionLocked = false;
bool SessionDisconnected = false;

void NoteSessionState(WPARAM change)
{
    switch (change) {
    case WTS_SESSION_LOCK:
        SessionLocked = true;
        break;
    case WTS_SESSION_UNLOCK:
        SessionLocked = false;
        break;
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_DISCONNECT:
        SessionDisconnected = true;
        break;
    case WTS_CONSOLE_CONNECT:
    case WTS_REMOTE_CONNECT:
        SessionDisconnected = false;
        break;
    default:
        break;
    }
}

bool IsUserBack()
{
    return !SessionLocked && !SessionDisconnected;
}

}  // namespace

bool IsSessionLeft(WPARAM change)
{
    switch (change) {
    case WTS_SESSION_LOCK:
    case WTS_CONSOLE_DISCONNECT:
    case WTS_REMOTE_DISCONNECT:
        return true;
    default:
        return false;
    }
}

bool IsSessionReturned(WPARAM change)
{
    switch (change) {
    case WTS_SESSION_UNLOCK:
    case WTS_CONSOLE_CONNECT:
    case WTS_REMOTE_CONNECT:
        return true;
    default:
        return false;
    }
}

void RegisterSessionNotices(HWND window)
{
    WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION);
}

void UnregisterSessionNotices(HWND window)
{
    WTSUnRegisterSessionNotification(window);
}

LRESULT OnSessionChange(HWND window, WPARAM change)
{
    NoteSessionState(change);
    if (IsSessionLeft(change)) ReleaseHeldKeys(window);
    if (IsSessionReturned(change)) ResendLeftKeyReleases(IsUserBack());
    return 0;
}

LRESULT OnPowerBroadcast(HWND window, WPARAM event)
{
    if (event == PBT_APMSUSPEND) ReleaseHeldKeys(window);
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND)
        ResendLeftKeyReleases(IsUserBack());
    return TRUE;
}
