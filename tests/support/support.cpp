#include "support.h"
#include <shellapi.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include "settings/settings.h"

std::wstring BinDir()
{
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path, n);
    return dir.substr(0, dir.find_last_of(L"\\/"));
}

std::wstring ArtifactDir()
{
    wchar_t unixPath[1024];
    std::wstring dir;
    if (GetEnvironmentVariableW(L"ORVEX_ARTIFACTS", unixPath, 1024)) {
        // Wine maps Unix paths onto drive Z:.
        dir = unixPath[0] == L'/' ? L"Z:" + std::wstring(unixPath) : unixPath;
    } else {
        dir = BinDir() + L"\\artifacts";
    }
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir;
}

std::wstring TempFilePath(const wchar_t* stem)
{
    static int counter = 0;
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    wchar_t name[MAX_PATH];
    std::swprintf(name, MAX_PATH, L"%ls%ls-%lu-%d.log", dir, stem, GetCurrentProcessId(),
                  ++counter);
    DeleteFileW(name);
    return name;
}

unsigned SeedFromEnvironment()
{
    char text[32] = "";
    if (GetEnvironmentVariableA("ORVEX_SEED", text, sizeof(text)) > 0)
        return static_cast<unsigned>(std::strtoul(text, nullptr, 10));
    return GetTickCount();
}

void PumpFor(DWORD milliseconds)
{
    const DWORD start = GetTickCount();
    do {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        Sleep(5);
    } while (GetTickCount() - start < milliseconds);
}

ChildProcess::~ChildProcess()
{
    Kill();
}

bool ChildProcess::Start(const std::wstring& commandLine, const wchar_t* workingDir)
{
    Kill();
    STARTUPINFOW si = {};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi = {};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, workingDir, &si,
                        &pi))
        return false;
    CloseHandle(pi.hThread);
    process_ = pi.hProcess;
    id_ = pi.dwProcessId;
    return true;
}

bool ChildProcess::Running() const
{
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

bool ChildProcess::WaitExit(DWORD timeoutMs, DWORD* exitCode)
{
    if (!process_) return false;
    const DWORD start = GetTickCount();
    while (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        if (GetTickCount() - start >= timeoutMs) return false;
        PumpFor(10);
    }
    if (exitCode) GetExitCodeProcess(process_, exitCode);
    return true;
}

void ChildProcess::Kill()
{
    if (!process_) return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, 5000);
    }
    CloseHandle(process_);
    process_ = nullptr;
    id_ = 0;
}

namespace {
struct WindowQuery {
    const wchar_t* className;
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND window, LPARAM param)
{
    auto* query = reinterpret_cast<WindowQuery*>(param);
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    if (std::wcscmp(name, query->className) != 0 || !IsWindowVisible(window)) return TRUE;
    if (query->processId) {
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner != query->processId) return TRUE;
    }
    query->found = window;
    return FALSE;
}
}  // namespace

HWND FindTopWindow(const wchar_t* className, DWORD processId)
{
    WindowQuery query = {className, processId, nullptr};
    EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForTopWindow(const wchar_t* className, DWORD processId, DWORD timeoutMs)
{
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindTopWindow(className, processId)) != nullptr; }, timeoutMs);
    return window;
}

HWND StartStandinGame(ChildProcess& game, const std::wstring& logPath, const wchar_t* extraArgs)
{
    const std::wstring line =
        L"\"" + BinDir() + L"\\standin-game.exe\" --log \"" + logPath + L"\" " + extraArgs;
    if (!game.Start(line)) return nullptr;
    HWND window = WaitForTopWindow(L"MoonGlass_Class", game.Id());
    // The game is up once it has painted; give the foreground a moment to settle.
    WaitUntil([&] {
        for (auto& l : ReadGameLog(logPath))
            if (l == "PAINT first") return true;
        return false;
    });
    return window;
}

HWND StartOrvex(ChildProcess& orvex)
{
    if (!orvex.Start(L"\"" + BinDir() + L"\\Orvex.exe\"")) return nullptr;
    return WaitForTopWindow(L"ORVEX", orvex.Id());
}

std::vector<std::string> ReadGameLog(const std::wstring& logPath)
{
    std::vector<std::string> lines;
    const HANDLE file = CreateFileW(logPath.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return lines;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    std::istringstream stream(text);
    std::string line;
    while (std::getline(stream, line)) {
        const size_t space = line.find(' ');
        if (space != std::string::npos) lines.push_back(line.substr(space + 1));
    }
    return lines;
}

std::vector<std::string> ReadGameKeys(const std::wstring& logPath)
{
    std::vector<std::string> keys;
    for (const std::string& line : ReadGameLog(logPath)) {
        if (line.rfind("KEY", 0) != 0 && line.rfind("SYSKEY", 0) != 0) continue;
        const size_t vk = line.find("vk=");
        keys.push_back(line.substr(0, line.find(' ')) + " " + line.substr(vk + 3, 4));
    }
    return keys;
}

namespace {
void SendMouse(DWORD flags, LONG dx, LONG dy, ULONG_PTR extraInfo)
{
    INPUT input = {};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    input.mi.dwExtraInfo = extraInfo;
    SendInput(1, &input, sizeof(INPUT));
}
}  // namespace

void SendMouseAt(DWORD flags, POINT at, ULONG_PTR extraInfo)
{
    const int w = GetSystemMetrics(SM_CXSCREEN) - 1;
    const int h = GetSystemMetrics(SM_CYSCREEN) - 1;
    SendMouse(flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, (at.x * 65535 + w / 2) / w,
              (at.y * 65535 + h / 2) / h, extraInfo);
}

void MouseMoveTo(int x, int y, ULONG_PTR extraInfo)
{
    SendMouseAt(0, {x, y}, extraInfo);
}

void MouseDown(ULONG_PTR extraInfo)
{
    SendMouse(MOUSEEVENTF_LEFTDOWN, 0, 0, extraInfo);
}

void MouseUp(ULONG_PTR extraInfo)
{
    SendMouse(MOUSEEVENTF_LEFTUP, 0, 0, extraInfo);
}

void ClickAt(int x, int y, ULONG_PTR extraInfo)
{
    MouseMoveTo(x, y, extraInfo);
    MouseDown(extraInfo);
    MouseUp(extraInfo);
}

void PressKey(WORD vk, bool down)
{
    INPUT input = {};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = down ? 0 : KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(INPUT));
}

POINT ClientToScreenPoint(HWND window, int x, int y)
{
    POINT p = {x, y};
    ClientToScreen(window, &p);
    return p;
}

unsigned ScreenPixel(int x, int y)
{
    const HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
}

bool SaveScreenBmp(const std::wstring& path)
{
    const int w = GetSystemMetrics(SM_CXSCREEN);
    const int h = GetSystemMetrics(SM_CYSCREEN);
    const std::vector<unsigned> pixels = ScreenPixels({0, 0, w, h});
    if (pixels.empty()) return false;
    BITMAPINFOHEADER info = {};
    info.biSize = sizeof(info);
    info.biWidth = w;
    info.biHeight = -h;  // top-down rows, as read
    info.biPlanes = 1;
    info.biBitCount = 32;
    const DWORD imageSize = static_cast<DWORD>(pixels.size() * sizeof(unsigned));
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
    file.bfSize = file.bfOffBits + imageSize;
    const HANDLE out =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (out == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(out, &file, sizeof(file), &written, nullptr) &&
                    WriteFile(out, &info, sizeof(info), &written, nullptr) &&
                    WriteFile(out, pixels.data(), imageSize, &written, nullptr);
    CloseHandle(out);
    return ok;
}

void DeleteOrvexSettings()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SettingsKeyPath);
    RegDeleteKeyW(HKEY_CURRENT_USER, SettingsKeyPath);
}

namespace {
struct DialogQuery {
    DWORD processId;
    const wchar_t* title;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM param)
{
    auto* query = reinterpret_cast<DialogQuery*>(param);
    wchar_t name[64] = L"";
    GetClassNameW(window, name, 64);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (std::wcscmp(name, L"#32770") != 0 || owner != query->processId || !IsWindowVisible(window))
        return TRUE;
    wchar_t title[256] = L"";
    GetWindowTextW(window, title, 256);
    if (std::wcscmp(title, query->title) != 0) return TRUE;
    query->found = window;
    return FALSE;
}

std::wstring OrvexKeyPath(const wchar_t* subkey)
{
    std::wstring path = SettingsKeyPath;
    if (subkey && *subkey) path += std::wstring(L"\\") + subkey;
    return path;
}
}  // namespace

HWND FindProcessDialog(DWORD processId, const wchar_t* title)
{
    DialogQuery query = {processId, title, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND WaitForProcessDialog(DWORD processId, const wchar_t* title, DWORD timeoutMs)
{
    HWND dialog = nullptr;
    WaitUntil([&] { return (dialog = FindProcessDialog(processId, title)) != nullptr; }, timeoutMs);
    return dialog;
}

std::wstring InstallStandinGameCopy(const wchar_t* folderName)
{
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static int counter = 0;
    wchar_t folder[MAX_PATH];
    std::swprintf(folder, MAX_PATH, L"%ls%ls-%lu-%d", temp, folderName, GetCurrentProcessId(),
                  ++counter);
    CreateDirectoryW(folder, nullptr);
    const std::wstring exe = std::wstring(folder) + L"\\mgq.exe";
    if (!CopyFileW((BinDir() + L"\\standin-game.exe").c_str(), exe.c_str(), FALSE)) return L"";
    return exe;
}

void WriteOrvexDword(const wchar_t* subkey, const wchar_t* name, DWORD value)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, OrvexKeyPath(subkey).c_str(), name, REG_DWORD, &value,
                    sizeof(value));
}

void WriteOrvexText(const wchar_t* subkey, const wchar_t* name, const std::wstring& text)
{
    RegSetKeyValueW(HKEY_CURRENT_USER, OrvexKeyPath(subkey).c_str(), name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool ReadOrvexDword(const wchar_t* subkey, const wchar_t* name, DWORD& value)
{
    DWORD size = sizeof(value);
    return RegGetValueW(HKEY_CURRENT_USER, OrvexKeyPath(subkey).c_str(), name, RRF_RT_REG_DWORD,
                        nullptr, &value, &size) == ERROR_SUCCESS;
}

bool OrvexValueExists(const wchar_t* subkey, const wchar_t* name)
{
    return RegGetValueW(HKEY_CURRENT_USER, OrvexKeyPath(subkey).c_str(), name, RRF_RT_ANY, nullptr,
                        nullptr, nullptr) == ERROR_SUCCESS;
}

bool OrvexKeyExists(const wchar_t* subkey)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, OrvexKeyPath(subkey).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::vector<std::string> ReadGameEvents(const std::wstring& logPath)
{
    std::vector<std::string> events;
    for (const std::string& line : ReadGameLog(logPath)) {
        if (line == "CLOSE" || line == "QUIT-YES" || line == "EXIT") {
            events.push_back(line);
        } else if (line.rfind("KEY", 0) == 0 || line.rfind("SYSKEY", 0) == 0) {
            const size_t vk = line.find("vk=");
            events.push_back(line.substr(0, line.find(' ')) + " " + line.substr(vk + 3, 4));
        }
    }
    return events;
}

namespace {
struct CountQuery {
    const wchar_t* className;
    const wchar_t* title;
    int count;
};

BOOL CALLBACK CountMatchingWindow(HWND window, LPARAM param)
{
    auto* query = reinterpret_cast<CountQuery*>(param);
    wchar_t name[256] = L"";
    wchar_t title[256] = L"";
    GetClassNameW(window, name, 256);
    GetWindowTextW(window, title, 256);
    const bool classMatches = !query->className || std::wcscmp(name, query->className) == 0;
    const bool titleMatches = !query->title || std::wcscmp(title, query->title) == 0;
    if (classMatches && titleMatches && IsWindowVisible(window)) ++query->count;
    return TRUE;
}
}  // namespace

int CountTopWindows(const wchar_t* className, const wchar_t* title)
{
    CountQuery query = {className, title, 0};
    EnumWindows(CountMatchingWindow, reinterpret_cast<LPARAM>(&query));
    return query.count;
}

std::string JoinLines(const std::vector<std::string>& lines)
{
    std::string joined;
    for (const std::string& line : lines) joined += (joined.empty() ? "" : " | ") + line;
    return joined;
}

std::string JoinWords(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) text += (text.empty() ? "" : " ") + line;
    return text;
}

std::string Narrow(const std::wstring& text)
{
    char buffer[MAX_PATH * 3] = "";
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, buffer, sizeof(buffer), nullptr, nullptr);
    return buffer;
}

void MouseButtonAt(int x, int y, DWORD buttonFlag)
{
    const auto there = [x, y] {
        POINT p = {};
        GetCursorPos(&p);
        return p.x == x && p.y == y;
    };
    SetCursorPos(x, y);
    for (int attempt = 0; attempt < 10; ++attempt) {
        PumpFor(120);  // past the 100 ms after which Wine reads the X pointer again
        if (there()) break;
        SetCursorPos(x, y);
    }
    SendMouseAt(buttonFlag, {x, y});
}

std::vector<unsigned> ScreenPixels(const RECT& rect)
{
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    std::vector<unsigned> pixels;
    if (w <= 0 || h <= 0) return pixels;
    const HDC screen = GetDC(nullptr);
    const HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h;  // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    const HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap) {
        const HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, w, h, screen, rect.left, rect.top, SRCCOPY);
        GdiFlush();  // the copy may still be queued when the bits are read
        SelectObject(memory, old);
        const unsigned* source = static_cast<const unsigned*>(bits);
        pixels.reserve(static_cast<size_t>(w) * h);
        for (int i = 0; i < w * h; ++i) pixels.push_back(source[i] & 0xFFFFFFu);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

std::vector<std::wstring> ListBoxEntries(HWND list)
{
    std::vector<std::wstring> entries;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, i, 0);
        if (length == LB_ERR) break;
        std::wstring text(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(length));
        entries.push_back(text);
    }
    return entries;
}

bool TrayIconPresent(HWND window, UINT id)
{
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof(data);
    data.hWnd = window;
    data.uID = id;
    data.uFlags = NIF_TIP;
    lstrcpynW(data.szTip, L"Lumenkey", 64);
    return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool StartGameAndOrvex(GameAndOrvex& scene, const wchar_t* logStem)
{
    DeleteOrvexSettings();
    scene.log = TempFilePath(logStem);
    scene.gameWindow = StartStandinGame(scene.game, scene.log);
    if (!scene.gameWindow) return false;
    scene.overlay = StartOrvex(scene.orvex);
    PumpFor(300);  // start-up placement and the first paint
    return scene.overlay != nullptr;
}
