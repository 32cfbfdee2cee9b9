// One copy per logon session. The first copy holds a named object in the
// session's own namespace, named after the user as well (a copy in another
// logon session, or started as another user on this desktop, has its own); a
// second start hands over to the first and ends without touching the settings.
#include "app.h"
#include <sddl.h>
#include "base/log.h"
#include "render/render.h"

namespace {

const wchar_t FirstCopyObjectPrefix[] = L"Local\\Lumenkey Works Orvex";

// The text form of the process's user SID, or empty when it cannot be read.
std::wstring CurrentUserSidText()
{
    UniqueHandleObject token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return std::wstring();
    union {
        TOKEN_USER user;
        // cppcheck-suppress unusedStructMember ; it only sizes the buffer
        BYTE bytes[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    } buffer = {};
    DWORD size = 0;
    if (!GetTokenInformation(token.get(), TokenUser, &buffer, sizeof(buffer), &size))
        return std::wstring();
    wchar_t* text = nullptr;
    if (!ConvertSidToStringSidW(buffer.user.User.Sid, &text)) return std::wstring();
    std::wstring sid(text);
    LocalFree(text);
    return sid;
}

// The first copy may have its object but not yet its window.
constexpr int FirstCopySearches = 50;
constexpr DWORD FirstCopySearchWaitMs = 100;

const wchar_t AnotherStartTitle[] = L"Orvexは起動しています";
const wchar_t AnotherStartText[] =
    L"Orvexはすでに起動しています。タッチパッドはこの画面に出ているものをお使いください。";
static_assert(sizeof(AnotherStartTitle) <= sizeof(NOTIFYICONDATAW::szInfoTitle), "title fits");
static_assert(sizeof(AnotherStartText) <= sizeof(NOTIFYICONDATAW::szInfo), "text fits");

}  // namespace

std::wstring FirstCopyObjectName()
{
    const std::wstring sid = CurrentUserSidText();
    return sid.empty() ? FirstCopyObjectPrefix : FirstCopyObjectPrefix + (L" " + sid);
}

bool ClaimFirstCopy(UniqueHandleObject& claim)
{
    const HANDLE object = CreateMutexW(nullptr, FALSE, FirstCopyObjectName().c_str());
    const DWORD error = GetLastError();
    claim.reset(object);
    // A copy started as administrator holds an object this one may not open.
    if (!object) return error != ERROR_ACCESS_DENIED;
    return error != ERROR_ALREADY_EXISTS;
}

void HandOverToFirstCopy(HINSTANCE instance)
{
    wchar_t className[100] = L"";
    if (!LoadStringW(instance, IDC_ORVEX, className, 100)) return;
    for (int search = 0; search < FirstCopySearches; ++search) {
        if (const HWND overlay = FindWindowW(className, nullptr)) {
            PostMessageW(overlay, WM_ANOTHERSTART, 0, 0);
            return;
        }
        Sleep(FirstCopySearchWaitMs);
    }
}

// Started as administrator (as an elevated game needs) the overlay would not
// hear a second start at the normal level without this.
void AllowAnotherStartNotice(HWND window)
{
    ChangeWindowMessageFilterEx(window, WM_ANOTHERSTART, MSGFLT_ALLOW, nullptr);
}

void OnAnotherStart(HWND window)
{
    if (IsIconic(window)) ShowWindow(window, SW_SHOWNOACTIVATE);
    SetWindowPos(window, HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // SWP_SHOWWINDOW sends no WM_SHOWWINDOW, so the frame a show draws is asked for here.
    RequestPadFrame(window);
    ShowTrayBalloon(AnotherStartTitle, AnotherStartText);
    LogEvent("another start handed over: overlay shown");
}
