// Finding the game's top-level window by the active layout's class name, and keeping the last
// one found.
#include "game.h"
#include <cwchar>
#include <iterator>
#include "base/log.h"

DiscoveryCalls Discovery = {EnumWindows};

namespace {

constexpr int ClassNameCapacity = 256;

// Handed to the enumeration callback; zero-filled before each search.
struct GameWindowSearch {
    wchar_t WantedClass[ClassNameCapacity];
    HWND Result;
    wchar_t ClassName[ClassNameCapacity];
    bool ShownOnly;
};

// A class name longer than the buffer comes back cut and so never matches.
bool HasGameWindowClass(HWND window)
{
    wchar_t className[ClassNameCapacity] = L"";
    if (!GetClassNameW(window, className, ClassNameCapacity)) return false;
    return std::wcscmp(className, ActiveGameWindowClass()) == 0;
}

struct WindowOwner {
    DWORD ThreadId;
    DWORD ProcessId;
    bool operator==(const WindowOwner& other) const
    {
        return ThreadId && ThreadId == other.ThreadId && ProcessId == other.ProcessId;
    }
};

WindowOwner ReadWindowOwner(HWND window)
{
    WindowOwner owner = {};
    owner.ThreadId = GetWindowThreadProcessId(window, &owner.ProcessId);
    return owner;
}

// The game's window as last confirmed by its class, with its owner then.
struct ConfirmedWindow {
    HWND Window;
    WindowOwner Owner;
};
ConfirmedWindow ConfirmedGame = {};

BOOL CALLBACK MatchGameWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<GameWindowSearch*>(param);
    if (!search) return TRUE;
    std::wmemset(search->ClassName, 0, ClassNameCapacity);
    GetClassNameW(window, search->ClassName, ClassNameCapacity);
    if (std::wcscmp(search->ClassName, search->WantedClass) != 0) return TRUE;
    if (search->ShownOnly && !IsShownWindow(window)) return TRUE;
    search->Result = window;
    return FALSE;  // the first in z-order wins
}

HWND SearchGameWindow(bool shownOnly)
{
    GameWindowSearch search = {};
    search.ShownOnly = shownOnly;
    // The layout keeps class names within 255 characters.
    std::wcsncpy(search.WantedClass, ActiveGameWindowClass(), ClassNameCapacity - 1);
    Discovery.EnumWindows(MatchGameWindow, reinterpret_cast<LPARAM>(&search));
    if (!search.Result) return nullptr;  // a failed search keeps the cache
    if (search.Result != CachedGameWindow)
        LogEvent("game window found: %p", static_cast<void*>(search.Result));
    CachedGameWindow = search.Result;
    ConfirmedGame = {search.Result, ReadWindowOwner(search.Result)};
    CheckGameInputReach(search.Result);
    return search.Result;
}

}  // namespace

bool IsShownWindow(HWND window)
{
    RECT rect = {};
    return IsWindowVisible(window) && GetWindowRect(window, &rect) && !IsRectEmpty(&rect);
}

HWND FindGameWindow()
{
    return SearchGameWindow(false);
}

HWND FindShownGameWindow()
{
    return SearchGameWindow(true);
}

HWND GetGameWindow()
{
    // Every press asks for the game's window. Its owning thread and process, noted when
    // the class last matched, tell in one request to the window manager that the handle
    // still names that window (a destroyed window has no owner, a reused handle another
    // one); the class check takes two more.
    if (CachedGameWindow && CachedGameWindow == ConfirmedGame.Window &&
        ReadWindowOwner(CachedGameWindow) == ConfirmedGame.Owner)
        return CachedGameWindow;
    if (CachedGameWindow && IsWindow(CachedGameWindow) && HasGameWindowClass(CachedGameWindow)) {
        ConfirmedGame = {CachedGameWindow, ReadWindowOwner(CachedGameWindow)};
        return CachedGameWindow;
    }
    // Gone, or its handle now names another window.
    if (CachedGameWindow) LogEvent("game window lost: %p", static_cast<void*>(CachedGameWindow));
    CachedGameWindow = nullptr;
    return FindGameWindow();
}
