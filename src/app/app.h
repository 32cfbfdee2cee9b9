// Application shell: start-up, the overlay window and its window procedure,
// tray icon, popup menu and About box.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <string>
#include "base/handle.h"
#include "base/messages.h"
#include "base/overlay.h"
#include "resource.h"

constexpr DWORD OverlayStyle = WS_CAPTION;
constexpr DWORD OverlayExStyle = WS_EX_NOACTIVATE | WS_EX_LAYERED;

extern HINSTANCE AppInstance;
extern HICON AppIcon;
extern bool TouchRegistered;

// Windows 7 (6.1) and later run the program; Vista and older are refused.
bool IsSupportedWindowsVersion(DWORD major, DWORD minor);
// A touch digitizer is ready for input (SM_DIGITIZER has NID_READY); no other bit counts.
bool IsDigitizerReady(int digitizer);
// The layered window's constant alpha for a Transparency percentage.
BYTE OverlayAlpha(int transparency);

// The show command with activation taken out: showing the overlay must not
// take the foreground from the game.
int NonActivatingShowCommand(int showCommand);
// Window title (string 103) and class name (string 109) into their buffers.
void LoadAppStrings(HINSTANCE instance);
void RegisterMainClass(HINSTANCE instance);
bool InitInstance(HINSTANCE instance, int showCommand);
bool InitOverlay(HWND window);
// The loop's source of messages; tests pass one that fails.
using MessageSource = BOOL(WINAPI*)(LPMSG msg, HWND window, UINT first, UINT last);
// The exit code when GetMessageW fails; the quit message's code otherwise.
constexpr int MessageLoopFailedExitCode = 1;
int RunMessageLoop(HACCEL accelerators, MessageSource nextMessage = GetMessageW);

LRESULT CALLBACK MainWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// After the settings changed the display: new alpha, new pad and geometries
// (the keys still held keep their pressed and latched marks), new device
// resources at the next paint.
void ApplyDisplaySettings(HWND window);

// The session codes after which nobody is at this session's pad: locked, or
// switched away at the console or remotely.
bool IsSessionLeft(WPARAM change);
// The session codes of the user coming back: unlocked, or connected again.
bool IsSessionReturned(WPARAM change);
// The session's lock and switch notices for the overlay.
void RegisterSessionNotices(HWND window);
void UnregisterSessionNotices(HWND window);
// The user leaving (session left, suspend) lets go of every held key; every
// return (unlock, connect, resume) sends those releases again, until the
// session is known to be unlocked and connected.
LRESULT OnSessionChange(HWND window, WPARAM change);
LRESULT OnPowerBroadcast(HWND window, WPARAM event);
// The settings dialog, then the appearance rebuilt when it changed.
void RunSettingsSequence(HWND window);
// Ends the launch watch first, then asks, posts the game a close request and,
// for the built-in game, answers its quit question.
void CloseGame();

// The shell and kernel calls of the tray icon and the About box's link; tests
// swap in counting versions and restore these.
struct ShellCalls {
    BOOL(WINAPI* Shell_NotifyIconW)(DWORD message, PNOTIFYICONDATAW data);
    DWORD(WINAPI* GetLastError)();
    void(WINAPI* Sleep)(DWORD milliseconds);
    // owner, verb, file, parameters, directory, show command
    HINSTANCE(WINAPI* ShellExecuteW)(HWND, LPCWSTR, LPCWSTR, LPCWSTR, LPCWSTR, INT);
};
extern ShellCalls AppShell;

// Tray icon of MainWindow with AppIcon; retried while a starting shell times out.
bool AddTrayIcon();
void RemoveTrayIcon();
// A warning in the tray icon's balloon (title up to 63, text up to 255 characters).
bool ShowTrayBalloon(const wchar_t* title, const wchar_t* text);
// The popup menu with its ten entries, built anew for every showing.
UniqueMenu BuildTrayMenu();
// Tracks the popup menu at the cursor; the chosen command reaches MainWndProc as WM_COMMAND.
void ShowTrayMenu();
INT_PTR CALLBACK AboutDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Windows' touch behaviour a pad must not have: contact feedback (Windows 8 and
// later, looked up at run time) and press-and-hold and flicks (a window property
// the tablet service reads). Tests swap in recording versions and restore these.
using SetWindowFeedbackSettingCall = BOOL(WINAPI*)(HWND window, DWORD kind, DWORD flags,
                                                   UINT32 size, const void* configuration);
struct TouchMannerCalls {
    FARPROC(WINAPI* GetProcAddress)(HMODULE module, LPCSTR name);
    BOOL(WINAPI* SetPropW)(HWND window, LPCWSTR name, HANDLE data);
};
extern TouchMannerCalls TouchManners;
extern const wchar_t TabletPenServiceProperty[];
// Turns the behaviour off for the window; false when the property could not be
// set. A system without the feedback call is no failure.
bool ApplyTouchManners(HWND window);
void RemoveTouchManners(HWND window);

// The shell's "TaskbarCreated" message, registered at start-up (0 before);
// when it comes the tray icon is added again.
extern UINT TaskbarCreatedMessage;
bool IsTaskbarCreated(UINT message);
void RegisterTaskbarCreated(HWND window);
LRESULT OnTaskbarCreated();
// The game runs elevated: the user is told in the tray icon's balloon.
void OnGameInputBlocked();

// One copy per logon session and user. False when another copy holds the
// claim; claim keeps the object for this process's lifetime either way.
bool ClaimFirstCopy(UniqueHandleObject& claim);
// The claim's name in the session's namespace, with the user's SID.
std::wstring FirstCopyObjectName();
// A second start: tells the running copy's overlay, waiting a few seconds for
// it to exist.
void HandOverToFirstCopy(HINSTANCE instance);
void AllowAnotherStartNotice(HWND window);
// The overlay comes into view without activation, and the tray icon says why.
void OnAnotherStart(HWND window);

// The player's layout file (%APPDATA%\Orvex\layout.json). Read before the
// overlay is made; an error found then is shown once the tray icon is there.
void LoadLayoutAtStart();
void ShowPendingLayoutError();
// A change notification on the file's folder; the message loop waits on it
// beside the messages and calls OnLayoutFolderChanged when it fires.
bool StartLayoutWatch();
void StopLayoutWatch();
HANDLE LayoutWatchHandle();
void OnLayoutFolderChanged();
// The file is read this long after the last change seen, when a save has
// settled; a valid file is put in force, held keys released first.
constexpr UINT_PTR LayoutReloadTimer = 7;
constexpr DWORD LayoutReloadDelay = 200;  // ms
void OnLayoutReloadTimer(HWND window);
// "/export-layout FILE" (or "-export-layout"): writes the layout in force, the
// layout file's or the built-in pad, and ends without showing the overlay.
bool FindExportLayoutSwitch(const wchar_t* commandLine, std::wstring& file);
// 0 when the file was written.
int ExportActiveLayout(const std::wstring& file);

// Opens the diagnostic log when the command line ("/log" or "-log", any case)
// or the registry asks for it, at path or by default at its usual place. Its
// first line names the account and the integrity level the program runs at.
void StartDiagnosticLog(const wchar_t* commandLine, const wchar_t* path = nullptr);
// A log asked for that could not be opened: the tray icon's balloon says so.
void TellDiagnosticLogRefused();
void StopDiagnosticLog(int exitCode);
