// The About box: version text, a link to the README beside the program, OK.
#include "app.h"
#include <commctrl.h>
#include <strsafe.h>
#include <cwchar>
#include <string>
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

// What the link opens: a bare file name is the file of that name in the
// program's own folder, where the README is installed.
std::wstring LinkTarget(const wchar_t* href)
{
    // An address with a scheme or a drive is opened as it is.
    if (std::wcschr(href, L':')) return href;
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, &folder[0], static_cast<DWORD>(folder.size()));
        if (length == 0) return href;
        if (length < folder.size()) {
            folder.resize(length);
            break;
        }
        folder.resize(folder.size() * 2);
    }
    folder.erase(folder.find_last_of(L"\\/") + 1);
    return folder + href;
}

// Only a click opens the link; its keyboard activation is left alone.
void OnAboutNotify(WPARAM control, const NMHDR* header)
{
    if (control != IDC_ABOUT_LINK || !header || header->code != NM_CLICK) return;
    const NMLINK* link = reinterpret_cast<const NMLINK*>(header);
    const std::wstring target = LinkTarget(link->item.szUrl);
    AppShell.ShellExecuteW(MainWindow, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
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
