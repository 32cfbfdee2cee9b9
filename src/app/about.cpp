// The About box: version text, a link to the program's web page, OK.
#include "app.h"
#include <commctrl.h>
#include <strsafe.h>
#include "version.h"

namespace {

constexpr wchar_t VersionNumber[] = L"" ORVEX_VERSION_TEXT;
constexpr wchar_t VersionFlavour[] = L" D2D";

void OnAboutInit(HWND dialog)
{
    wchar_t version[256];
    if (FAILED(StringCchCopyW(version, 256, VersionNumber))) return;
    if (FAILED(StringCchCatW(version, 256, VersionFlavour))) return;
    SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, version);
}

// Only a click opens the page; the link's keyboard activation is left alone.
void OnAboutNotify(WPARAM control, const NMHDR* header)
{
    if (control != IDC_ABOUT_LINK || !header || header->code != NM_CLICK) return;
    const NMLINK* link = reinterpret_cast<const NMLINK*>(header);
    AppShell.ShellExecuteW(MainWindow, L"open", link->item.szUrl, nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        OnAboutInit(dialog);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) != IDOK && LOWORD(wParam) != IDCANCEL) return FALSE;
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    case WM_NOTIFY:
        OnAboutNotify(wParam, reinterpret_cast<const NMHDR*>(lParam));
        return FALSE;
    default:
        return FALSE;
    }
}
