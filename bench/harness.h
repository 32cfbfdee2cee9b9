// What the benchmarks and the soak share: the stand-in game's log read as it
// grows, the two programs started side by side, and what a process costs.
#pragma once
#include <windows.h>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>
#include "support.h"

struct GameLogLine {
    int64_t Ticks;  // QueryPerformanceCounter when the game received the event
    std::string Text;
};

// Reads the stand-in game's log as it grows, line by line, each line once.
class GameLogFollower {
public:
    explicit GameLogFollower(std::wstring path) : path_(std::move(path)) {}
    // Forgets every line written so far.
    void Skip();
    // The stamp of the next line that starts with prefix (the lines before it
    // are passed over), or -1 when none came in time.
    int64_t WaitFor(const std::string& prefix, DWORD timeoutMs);

private:
    void ReadNew();
    std::wstring path_;
    int64_t offset_ = 0;
    std::string partial_;
    std::deque<GameLogLine> pending_;
};

// The stand-in game and Orvex.exe with fresh settings: the game placed by the
// overlay and in front, the overlay at its default place.
struct RunningPair {
    ChildProcess Game;
    ChildProcess Orvex;
    HWND GameWindow = nullptr;
    HWND Overlay = nullptr;
    std::wstring LogPath;
};
bool StartPair(RunningPair& pair);
// Asks the overlay to close and waits for it; the game is ended too.
void StopPair(RunningPair& pair);

// A left-button press (down) or release at a screen point, moved there in the
// same input record: one event, so that its time can be taken. The cursor
// should already be near (PlaceCursor): Wine reads it back from the X pointer,
// which injected moves leave behind.
void InjectButtonAt(POINT at, bool down);
// Puts the cursor (and the X pointer under it) at a screen point; false when
// it does not read back there.
bool PlaceCursor(POINT at);

// What a process costs at one moment.
struct ProcessSample {
    double CpuMs = 0;  // kernel and user time
    double WorkingSetMb = 0;
    double PeakWorkingSetMb = 0;
    double PrivateMb = 0;  // committed private memory (the page-file usage)
    // Wine 8 answers 0 for these three; Windows counts them.
    DWORD GdiObjects = 0;
    DWORD UserObjects = 0;
    DWORD Handles = 0;
    int Windows = 0;  // top-level and child windows it owns
};
ProcessSample SampleProcess(const ChildProcess& process);
// Processor time in ms, from the system's process list: Wine's GetProcessTimes
// does not report another process's own times.
double ProcessCpuMs(const ChildProcess& process);
