#include <doctest/doctest.h>
#include "app/app.h"
#include <tpcshrd.h>
#include <string>

namespace {

// The touch-manner calls seen through fakes of the seam.
bool FeedbackCallExists = true;
std::string LookedUp;
DWORD KindsOff = 0;           // bit n: feedback kind n switched off (FALSE, no flags)
ULONG_PTR PropertyValue = 0;  // of the tablet service's property

BOOL WINAPI RecordFeedbackSetting(HWND, DWORD kind, DWORD flags, UINT32 size, const void* value)
{
    if (flags == 0 && size == sizeof(BOOL) && *static_cast<const BOOL*>(value) == FALSE)
        KindsOff |= 1u << kind;
    return TRUE;
}

FARPROC WINAPI LookUpFeedbackSetting(HMODULE, LPCSTR name)
{
    LookedUp = name;
    if (!FeedbackCallExists) return nullptr;
    return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(RecordFeedbackSetting));
}

BOOL WINAPI RecordProperty(HWND, LPCWSTR name, HANDLE value)
{
    if (std::wstring(name) == L"MicrosoftTabletPenServiceProperty")
        PropertyValue = reinterpret_cast<ULONG_PTR>(value);
    return TRUE;
}

}  // namespace

TEST_CASE("Windows 7 and later run, Vista and older are refused")
{
    struct Row {
        DWORD major, minor;
        bool accepted;
    };
    const Row rows[] = {
        {5, 1, false}, {6, 0, false}, {6, 1, true},  {6, 2, true},
        {6, 3, true},  {7, 0, true},  {10, 0, true},
    };
    for (const Row& row : rows) {
        CAPTURE(row.major);
        CAPTURE(row.minor);
        CHECK(IsSupportedWindowsVersion(row.major, row.minor) == row.accepted);
    }
}

TEST_CASE("overlay alpha follows the transparency percentage")
{
    struct Row {
        int transparency;
        int alpha;
    };
    const Row rows[] = {{0, 255}, {1, 253}, {10, 230}, {25, 192}, {50, 128}, {75, 64}, {90, 25}};
    for (const Row& row : rows) {
        CAPTURE(row.transparency);
        CHECK(OverlayAlpha(row.transparency) == row.alpha);
    }
}

TEST_CASE("showing the overlay never activates it")
{
    struct Row {
        int given, used;
    };
    // Nor hides it: minimized, a tool window without a taskbar button is out of reach.
    const Row rows[] = {
        {SW_SHOWNORMAL, SW_SHOWNOACTIVATE},
        {SW_SHOWDEFAULT, SW_SHOWNOACTIVATE},
        {SW_SHOW, SW_SHOWNA},
        {SW_SHOWMAXIMIZED, SW_SHOWNOACTIVATE},
        {SW_SHOWMINIMIZED, SW_SHOWNOACTIVATE},
        {SW_SHOWNOACTIVATE, SW_SHOWNOACTIVATE},
        {SW_SHOWMINNOACTIVE, SW_SHOWNOACTIVATE},
        {SW_HIDE, SW_SHOWNOACTIVATE},
    };
    for (const Row& row : rows) {
        CAPTURE(row.given);
        CHECK(NonActivatingShowCommand(row.given) == row.used);
    }
}

namespace {
// One message whose wParam is 7, then the given last answer with a quit code of 3.
BOOL LastAnswer = 0;
int Answers = 0;
BOOL WINAPI ScriptedGetMessage(LPMSG msg, HWND, UINT, UINT)
{
    *msg = MSG{};
    msg->message = Answers == 0 ? WM_NULL : WM_QUIT;
    msg->wParam = Answers == 0 ? 7 : 3;
    return Answers++ == 0 ? TRUE : LastAnswer;
}
}  // namespace

TEST_CASE("the message loop ends with the quit code, or with its own when GetMessageW fails")
{
    for (const BOOL last : {0, -1}) {
        CAPTURE(last);
        LastAnswer = last;
        Answers = 0;
        CHECK(RunMessageLoop(nullptr, ScriptedGetMessage) ==
              (last == 0 ? 3 : MessageLoopFailedExitCode));
    }
}

TEST_CASE("the program's manifest names this build's processor, for itself and the common controls")
{
    // Windows refuses to start a program whose manifest names another processor, or binds the
    // wrong common controls.
    const HMODULE program = LoadLibraryExW(L"Orvex.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    REQUIRE(program != nullptr);
    const HRSRC found = FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    REQUIRE(found != nullptr);
    const char* text = static_cast<const char*>(LockResource(LoadResource(program, found)));
    const std::string manifest(text, SizeofResource(program, found));
    FreeLibrary(program);

    const std::string own = sizeof(void*) == 8 ? "\"amd64\"" : "\"X86\"";
    size_t named = 0;
    for (size_t at = manifest.find("processorArchitecture="); at != std::string::npos;
         at = manifest.find("processorArchitecture=", at + 1)) {
        ++named;
        CHECK(manifest.compare(at + 22, own.size(), own) == 0);
    }
    CHECK(named == 2);
}

TEST_CASE("touch manners: contact feedback off where Windows has the call, press-and-hold and "
          "flicks off always")
{
    // SetWindowFeedbackSetting's documented kinds 1, 7 and 9: contact visualization, touch
    // tap, touch press and hold.
    const DWORD touchKinds = 1u << 1 | 1u << 7 | 1u << 9;
    const ULONG_PTR heldAndFlicked = TABLET_DISABLE_PRESSANDHOLD | TABLET_DISABLE_FLICKS;
    for (const bool exists : {true, false}) {
        CAPTURE(exists);
        FeedbackCallExists = exists;
        KindsOff = 0;
        PropertyValue = 0;
        const TouchMannerCalls saved = TouchManners;
        TouchManners = {LookUpFeedbackSetting, RecordProperty};
        CHECK(ApplyTouchManners(GetDesktopWindow()));
        TouchManners = saved;
        CHECK(LookedUp == "SetWindowFeedbackSetting");
        CHECK((KindsOff & touchKinds) == (exists ? touchKinds : 0));
        CHECK((PropertyValue & heldAndFlicked) == heldAndFlicked);
    }
}
