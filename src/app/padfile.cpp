// The player's layout file in the shell: read at start-up, watched for saves
// through a change notification on its folder, exported on request, and its
// errors told in the tray balloon and the diagnostic log.
#include "app.h"
#include <shellapi.h>
#include <string>
#include "base/log.h"
#include "input/input.h"
#include "pad/pad.h"
#include "pad/padlayout.h"
#include "render/render.h"
#include "game/game.h"
#include "settings/settings.h"

namespace {

const wchar_t LayoutErrorTitle[] = L"レイアウトファイルにエラーがあります";
const wchar_t LayoutErrorNote[] = L"\n今のパッドをそのまま使います。";
constexpr size_t BalloonTextCapacity = sizeof(NOTIFYICONDATAW::szInfo) / sizeof(wchar_t);

UniqueChangeNotification LayoutWatch;
std::string PendingLayoutError;

// Log lines are plain ASCII.
std::string AsciiOnly(const std::string& text)
{
    std::string ascii = text;
    for (char& c : ascii) {
        if (static_cast<unsigned char>(c) >= 0x80) c = '?';
    }
    return ascii;
}

void ReportLayoutError(const std::string& error)
{
    LogEvent("layout file refused: %s", AsciiOnly(error).c_str());
    std::wstring text = WideFromUtf8(error);
    const size_t room = BalloonTextCapacity - std::size(LayoutErrorNote);
    if (text.size() > room) text.resize(room);
    ShowTrayBalloon(LayoutErrorTitle, (text + LayoutErrorNote).c_str());
}

// The overlay's client area follows the layout; its place stays.
void ResizeOverlay(HWND window)
{
    OverlayClientSize = ActiveClientSize();
    RECT outer = {0, 0, OverlayClientSize.cx, OverlayClientSize.cy};
    AdjustWindowRectEx(&outer, OverlayStyle, FALSE, OverlayExStyle);
    SetWindowPos(window, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The new pad may give other keys to the same bits: everything held is
// released and forgotten before it is built.
void ApplyLayout(HWND window)
{
    if (SkipLatched) ReleaseSkipLatch();
    ReleaseAllKeys();
    ForgetKeyState(window);
    BuildPadLayout();
    BuildElementGeometries();
    ResizeOverlay(window);
    DiscardDeviceResources();
    // The layout may drive another game.
    CachedGameWindow = nullptr;
    FindGameWindow();
    InvalidateRect(window, nullptr, FALSE);
    LogEvent("layout in force: %s, %d elements",
             HasLayoutFile ? "the layout file" : "the built-in pad",
             CurrentPadTable ? CurrentPadTable->Count : 0);
}

}  // namespace

// A refused file is logged and told once the tray icon is there to tell it.
void LoadLayoutAtStart()
{
    std::string error;
    if (LoadLayoutFile(LayoutFilePath(), error) == LayoutFileState::Broken)
        PendingLayoutError = error;
}

void ShowPendingLayoutError()
{
    if (PendingLayoutError.empty()) return;
    ReportLayoutError(PendingLayoutError);
    PendingLayoutError.clear();
}

bool StartLayoutWatch()
{
    const std::wstring folder = LayoutFolder();
    if (folder.empty()) return false;
    CreateDirectoryW(folder.c_str(), nullptr);  // already there is no failure
    LayoutWatch.reset(NullIfInvalid(FindFirstChangeNotificationW(
        folder.c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE)));
    return static_cast<bool>(LayoutWatch);
}

void StopLayoutWatch()
{
    LayoutWatch.reset();
}

HANDLE LayoutWatchHandle()
{
    return LayoutWatch.get();
}

// An editor saves in several writes: the file is read once they have settled.
void OnLayoutFolderChanged()
{
    if (LayoutWatch && !FindNextChangeNotification(LayoutWatch.get())) LayoutWatch.reset();
    if (MainWindow) SetTimer(MainWindow, LayoutReloadTimer, LayoutReloadDelay, nullptr);
}

void OnLayoutReloadTimer(HWND window)
{
    KillTimer(window, LayoutReloadTimer);
    const bool had = HasLayoutFile;
    const std::string before = had ? FormatPadLayout(FileLayout) : std::string();
    std::string error;
    const LayoutFileState state = LoadLayoutFile(LayoutFilePath(), error);
    if (state == LayoutFileState::Broken) {
        ReportLayoutError(error);
        return;
    }
    // Another file of the folder changed: the pad and the keys held stay.
    if (had == HasLayoutFile && (!had || before == FormatPadLayout(FileLayout))) return;
    ApplyLayout(window);
}

bool FindExportLayoutSwitch(const wchar_t* commandLine, std::wstring& file)
{
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(commandLine && *commandLine ? commandLine : L"x", &count);
    if (!args) return false;
    bool found = false;
    for (int i = 0; i + 1 < count && !found; ++i) {
        const wchar_t* arg = args[i];
        if ((arg[0] == L'/' || arg[0] == L'-') && _wcsicmp(arg + 1, L"export-layout") == 0) {
            file = args[i + 1];
            found = true;
        }
    }
    LocalFree(args);
    return found;
}

int ExportActiveLayout(const std::wstring& file)
{
    LoadSettings();  // the ○/× swap of the built-in pad
    std::string error;
    LoadLayoutFile(LayoutFilePath(), error);
    return WritePadLayoutFile(file, ActivePadLayout()) ? 0 : 1;
}
