#include "harness.h"
#include <psapi.h>
#include <winternl.h>
#include <cstring>
#include <cstdlib>
#include "base/handle.h"

namespace {

constexpr size_t ProcessTimesOffset = 40;

// Kernel and user time from the system's process list, which Wine keeps for
// every process (its GetProcessTimes for another process gives 0, or the
// caller's own times).
double ListedProcessCpuMs(DWORD processId)
{
    using QuerySystemInformation = LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*);
    const auto query = reinterpret_cast<QuerySystemInformation>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return 0;
    std::vector<BYTE> buffer(1 << 20);
    ULONG length = 0;
    if (query(SystemProcessInformation, buffer.data(), static_cast<ULONG>(buffer.size()), &length) <
        0)
        return 0;
    for (size_t offset = 0; offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size();) {
        const auto* entry = reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(&buffer[offset]);
        if (reinterpret_cast<ULONG_PTR>(entry->UniqueProcessId) == processId) {
            // User and kernel time, in 100 ns units, sit 40 bytes into the entry;
            // the SDKs name those fields differently, or not at all.
            LARGE_INTEGER times[2];
            std::memcpy(times, &buffer[offset + ProcessTimesOffset], sizeof(times));
            return static_cast<double>(times[0].QuadPart + times[1].QuadPart) / 10000.0;
        }
        if (!entry->NextEntryOffset) break;
        offset += entry->NextEntryOffset;
    }
    return 0;
}

struct WindowCount {
    DWORD ProcessId;
    int Count;
};

BOOL CALLBACK CountChild(HWND window, LPARAM param)
{
    auto* count = reinterpret_cast<WindowCount*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == count->ProcessId) ++count->Count;
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM param)
{
    CountChild(window, param);
    EnumChildWindows(window, CountChild, param);
    return TRUE;
}

double Megabytes(SIZE_T bytes)
{
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

}  // namespace

void GameLogFollower::ReadNew()
{
    const UniqueHandleObject file(CreateFileW(
        path_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER start;
    start.QuadPart = offset_;
    if (!SetFilePointerEx(file.get(), start, nullptr, FILE_BEGIN)) return;
    char buffer[8192];
    DWORD read = 0;
    while (ReadFile(file.get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) {
        offset_ += read;
        partial_.append(buffer, read);
    }
    size_t begin = 0;
    for (size_t end; (end = partial_.find('\n', begin)) != std::string::npos; begin = end + 1) {
        const std::string line = partial_.substr(begin, end - begin);
        const size_t space = line.find(' ');
        if (space == std::string::npos) continue;
        pending_.push_back({std::strtoll(line.c_str(), nullptr, 10), line.substr(space + 1)});
    }
    partial_.erase(0, begin);
}

void GameLogFollower::Skip()
{
    ReadNew();
    pending_.clear();
}

int64_t GameLogFollower::WaitFor(const std::string& prefix, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        while (!pending_.empty()) {
            const GameLogLine line = pending_.front();
            pending_.pop_front();
            if (line.Text.compare(0, prefix.size(), prefix) == 0) return line.Ticks;
        }
        if (GetTickCount() - start >= timeoutMs) return -1;
        Sleep(1);
        ReadNew();
    }
}

bool StartPair(RunningPair& pair)
{
    DeleteOrvexSettings();
    pair.LogPath = TempFilePath(L"bench-game");
    pair.GameWindow = StartStandinGame(pair.Game, pair.LogPath);
    if (!pair.GameWindow) return false;
    pair.Overlay = StartOrvex(pair.Orvex);
    if (!pair.Overlay) return false;
    // The overlay never takes the foreground; the game keeps it, or gets it back.
    const HWND game = pair.GameWindow;
    if (GetForegroundWindow() != game) SetForegroundWindow(game);
    return WaitUntil([game] { return GetForegroundWindow() == game; }, 3000);
}

void StopPair(RunningPair& pair)
{
    if (pair.Overlay && pair.Orvex.Running()) {
        PostMessageW(pair.Overlay, WM_CLOSE, 0, 0);
        pair.Orvex.WaitExit(5000);
    }
    pair.Orvex.Kill();
    pair.Game.Kill();
    DeleteFileW(pair.LogPath.c_str());
}

void InjectButtonAt(POINT at, bool down)
{
    SendMouseAt(down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP, at);
}

bool PlaceCursor(POINT at)
{
    return WaitUntil(
        [at] {
            SetCursorPos(at.x, at.y);
            POINT now = {};
            GetCursorPos(&now);
            return now.x == at.x && now.y == at.y;
        },
        2000);
}

double ProcessCpuMs(const ChildProcess& process)
{
    return ListedProcessCpuMs(process.Id());
}

ProcessSample SampleProcess(const ChildProcess& process)
{
    ProcessSample sample;
    sample.CpuMs = ProcessCpuMs(process);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    if (GetProcessMemoryInfo(process.Handle(), &memory, sizeof(memory))) {
        sample.WorkingSetMb = Megabytes(memory.WorkingSetSize);
        sample.PeakWorkingSetMb = Megabytes(memory.PeakWorkingSetSize);
        sample.PrivateMb = Megabytes(memory.PagefileUsage);
    }
    sample.GdiObjects = GetGuiResources(process.Handle(), GR_GDIOBJECTS);
    sample.UserObjects = GetGuiResources(process.Handle(), GR_USEROBJECTS);
    GetProcessHandleCount(process.Handle(), &sample.Handles);
    WindowCount windows = {process.Id(), 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&windows));
    sample.Windows = windows.Count;
    return sample;
}
