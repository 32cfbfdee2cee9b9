// Helpers for tests that drive real programs and real windows under Wine.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

// Folder of the running test program; Orvex.exe and standin-game.exe sit there.
std::wstring BinDir();
// Folder for screenshots and other files a person may want to look at after a run.
std::wstring ArtifactDir();
// A fresh, empty scratch file path in the temp folder.
std::wstring TempFilePath(const wchar_t* stem);

// ORVEX_SEED when set, so that a random run can be repeated; else the tick count.
unsigned SeedFromEnvironment();

// Runs the message queue of this thread for the given time.
void PumpFor(DWORD milliseconds);
// Pumps until the condition holds or the time is up; returns the condition's last value.
template <typename Condition>
bool WaitUntil(Condition condition, DWORD timeoutMs = 5000)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start >= timeoutMs) return condition();
        PumpFor(10);
    }
}

// A started process; killed at destruction if it still runs.
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ~ChildProcess();
    bool Start(const std::wstring& commandLine, const wchar_t* workingDir = nullptr);
    bool Running() const;
    // Waits for the end; returns false on timeout.
    bool WaitExit(DWORD timeoutMs, DWORD* exitCode = nullptr);
    void Kill();
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_; }

private:
    HANDLE process_ = nullptr;
    DWORD id_ = 0;
};

// The first visible top-level window of the class (optionally owned by a process).
HWND FindTopWindow(const wchar_t* className, DWORD processId = 0);
// How long a wait for what must happen may take before it counts as never: a
// bound for hangs, not a time the program is held to (a busy machine under
// Wine can take seconds for a first frame or an exit).
constexpr DWORD HangMs = 30000;

HWND WaitForTopWindow(const wchar_t* className, DWORD processId = 0, DWORD timeoutMs = 10000);

// Starts the stand-in game logging to logPath; returns its window (or null).
HWND StartStandinGame(ChildProcess& game, const std::wstring& logPath,
                      const wchar_t* extraArgs = L"");
// Starts Orvex.exe; returns its overlay window (or null).
HWND StartOrvex(ChildProcess& orvex);

// Lines of a log written by the stand-in game, without the leading timestamp.
std::vector<std::string> ReadGameLog(const std::wstring& logPath);
// Only the key lines ("KEYDOWN vk=0x26 ..."), shortened to "KEYDOWN 0x26".
std::vector<std::string> ReadGameKeys(const std::wstring& logPath);

// Real input through SendInput, at screen coordinates.
// One absolute mouse record: a move to a screen point with flags (button
// presses and releases) in the same event.
void SendMouseAt(DWORD flags, POINT at, ULONG_PTR extraInfo = 0);
void MouseMoveTo(int x, int y, ULONG_PTR extraInfo = 0);
void MouseDown(ULONG_PTR extraInfo = 0);
void MouseUp(ULONG_PTR extraInfo = 0);
void ClickAt(int x, int y, ULONG_PTR extraInfo = 0);
// A button press or release (MOUSEEVENTF_LEFTDOWN, _RIGHTUP, ...) at a screen point.
// Wine reads its cursor back from the X pointer when it has not moved for 100 ms,
// and injected moves do not carry the X pointer along: so the cursor is set first
// (SetCursorPos moves the X pointer) until it reads back there, then the button goes
// in one input event with the move.
void MouseButtonAt(int x, int y, DWORD buttonFlag);
void PressKey(WORD vk, bool down);

// Screen point of a client point of a window.
POINT ClientToScreenPoint(HWND window, int x, int y);
// Colour of a screen pixel as 0xRRGGBB.
unsigned ScreenPixel(int x, int y);
// Saves the whole screen as a 24-bit BMP file.
bool SaveScreenBmp(const std::wstring& path);
// Colours of the screen pixels inside a rectangle, row by row, as 0xRRGGBB.
std::vector<unsigned> ScreenPixels(const RECT& rect);
// The texts of a list box's entries, in order.
std::vector<std::wstring> ListBoxEntries(HWND list);
// The shell holds a notification icon (window, id): a modify succeeds only then.
bool TrayIconPresent(HWND window, UINT id);

// Deletes the program's settings key (HKCU\SOFTWARE\<vendor>\Orvex) and everything under it.
void DeleteOrvexSettings();

// The first visible dialog box (class "#32770") of a process with this title.
HWND FindProcessDialog(DWORD processId, const wchar_t* title);
HWND WaitForProcessDialog(DWORD processId, const wchar_t* title, DWORD timeoutMs = 5000);

// The stand-in game copied into a fresh folder of the temp folder under the
// game's executable name; returns the copy's full path (empty on failure).
std::wstring InstallStandinGameCopy(const wchar_t* folderName);

// Values under the program's settings key; subkey is relative to it ("" for the key).
void WriteOrvexDword(const wchar_t* subkey, const wchar_t* name, DWORD value);
void WriteOrvexText(const wchar_t* subkey, const wchar_t* name, const std::wstring& text);
bool ReadOrvexDword(const wchar_t* subkey, const wchar_t* name, DWORD& value);
bool OrvexValueExists(const wchar_t* subkey, const wchar_t* name);
bool OrvexKeyExists(const wchar_t* subkey);

// The stand-in's close requests, quit answers and key lines in the order
// received: "CLOSE", "QUIT-YES", "EXIT", keys shortened as by ReadGameKeys.
std::vector<std::string> ReadGameEvents(const std::wstring& logPath);

// Visible top-level windows with this class and/or title (null: any).
int CountTopWindows(const wchar_t* className, const wchar_t* title = nullptr);

// Lines joined with " | ", so that a failed comparison prints them.
std::string JoinLines(const std::vector<std::string>& lines);
// Lines joined with single spaces, for readable comparisons.
std::string JoinWords(const std::vector<std::string>& lines);
// UTF-8 of a wide text (up to MAX_PATH characters).
std::string Narrow(const std::wstring& text);

// The stand-in game logging to a fresh temp file, then Orvex.exe beside it with
// default settings; false when either did not come up.
struct GameAndOrvex {
    std::wstring log;
    ChildProcess game;
    ChildProcess orvex;
    HWND gameWindow = nullptr;
    HWND overlay = nullptr;
};
bool StartGameAndOrvex(GameAndOrvex& scene, const wchar_t* logStem);
