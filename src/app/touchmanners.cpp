// Windows' own touch behaviour turned off for the overlay: a pad is touched and
// held still all the time, so the contact circles would cover it and a held
// finger would become a right-click.
#include "app.h"
#include <tpcshrd.h>
#include "base/log.h"

TouchMannerCalls TouchManners = {::GetProcAddress, ::SetPropW};

const wchar_t TabletPenServiceProperty[] = L"MicrosoftTabletPenServiceProperty";

namespace {

// The tablet service's behaviour the property turns off for this window.
constexpr DWORD DisabledTabletBehaviour = TABLET_DISABLE_PRESSANDHOLD |
                                          TABLET_DISABLE_PENTAPFEEDBACK |
                                          TABLET_DISABLE_PENBARRELFEEDBACK | TABLET_DISABLE_FLICKS;

// SetWindowFeedbackSetting's kinds of touch feedback (Windows 8 and later; the
// headers declare them only for that version).
const DWORD TouchFeedbackKinds[] = {
    1,   // contact visualization
    7,   // tap
    8,   // double tap
    9,   // press and hold
    10,  // right tap
    11,  // press and tap
};

}  // namespace

bool ApplyTouchManners(HWND window)
{
    // Windows 7 has no SetWindowFeedbackSetting: there only the property below counts.
    const FARPROC found =
        TouchManners.GetProcAddress(GetModuleHandleW(L"user32.dll"), "SetWindowFeedbackSetting");
    const auto setFeedback =
        reinterpret_cast<SetWindowFeedbackSettingCall>(reinterpret_cast<void*>(found));
    if (setFeedback) {
        const BOOL enabled = FALSE;
        for (const DWORD kind : TouchFeedbackKinds)
            setFeedback(window, kind, 0, sizeof(enabled), &enabled);
    }
    const bool set =
        TouchManners.SetPropW(
            window, TabletPenServiceProperty,
            reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(DisabledTabletBehaviour))) != FALSE;
    LogEvent("touch feedback %s; press-and-hold and flicks %s",
             setFeedback ? "off" : "left (no call)", set ? "off" : "left (property refused)");
    return set;
}

// A window's properties must be gone before it is.
void RemoveTouchManners(HWND window)
{
    RemovePropW(window, TabletPenServiceProperty);
}
