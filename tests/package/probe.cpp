// Looks at what an installed or unpacked Orvex left behind, for the package checks in
// tests/package/package_test.sh. Run under Wine from a shell; answers with its exit status
// (0 yes, 1 no, 2 usage) and prints details as UTF-8 lines.
//
//   package_probe window CLASS TIMEOUT_MS [EXPECTED_EXE]   a visible window of CLASS appears
//                                  (and belongs to a process started from EXPECTED_EXE)
//   package_probe close CLASS TIMEOUT_MS                   WM_CLOSE to it; it goes away
//   package_probe key HKCU|HKLM SUBKEY                     the registry key exists
//   package_probe value HKCU|HKLM SUBKEY NAME [EXPECTED]   the value exists (and reads EXPECTED)
//   package_probe setvalue HKCU|HKLM SUBKEY NAME DWORD     writes a REG_DWORD (creating the key)
//   package_probe version FILE                             prints the version resource
#include <windows.h>
#include <cwchar>
#include <string>
#include <vector>

namespace {

void WriteLine(const std::wstring& text)
{
    const std::wstring line = text + L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                          nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return;
    std::string utf8(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()), &utf8[0], bytes,
                        nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()),
              &written, nullptr);
}

bool ParseRoot(const wchar_t* text, HKEY& root)
{
    if (std::wcscmp(text, L"HKCU") == 0) {
        root = HKEY_CURRENT_USER;
        return true;
    }
    if (std::wcscmp(text, L"HKLM") == 0) {
        root = HKEY_LOCAL_MACHINE;
        return true;
    }
    return false;
}

struct WindowSearch {
    const wchar_t* className;
    HWND found;
};

BOOL CALLBACK MatchVisibleWindow(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<WindowSearch*>(param);
    wchar_t name[256] = L"";
    if (GetClassNameW(window, name, 256) == 0) return TRUE;
    if (std::wcscmp(name, search->className) != 0 || !IsWindowVisible(window)) return TRUE;
    search->found = window;
    return FALSE;
}

HWND WaitForWindow(const wchar_t* className, DWORD timeoutMs, bool present)
{
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        WindowSearch search = {className, nullptr};
        EnumWindows(MatchVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if ((search.found != nullptr) == present || GetTickCount64() >= deadline)
            return search.found;
        Sleep(100);
    }
}

std::wstring ProcessImageOf(HWND window)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process) return L"";
    wchar_t path[MAX_PATH * 2] = L"";
    DWORD size = MAX_PATH * 2;
    const BOOL ok = QueryFullProcessImageNameW(process, 0, path, &size);
    CloseHandle(process);
    return ok ? std::wstring(path, size) : L"";
}

// Both sides as long paths, compared without regard to case, as Windows compares paths.
bool SamePath(const std::wstring& a, const std::wstring& b)
{
    wchar_t longA[MAX_PATH * 2] = L"";
    wchar_t longB[MAX_PATH * 2] = L"";
    if (!GetLongPathNameW(a.c_str(), longA, MAX_PATH * 2)) return false;
    if (!GetLongPathNameW(b.c_str(), longB, MAX_PATH * 2)) return false;
    return CompareStringOrdinal(longA, -1, longB, -1, TRUE) == CSTR_EQUAL;
}

int ProbeWindow(int argc, wchar_t** argv)
{
    if (argc < 4) return 2;
    const HWND window = WaitForWindow(argv[2], static_cast<DWORD>(_wtoi(argv[3])), true);
    if (!window) {
        WriteLine(std::wstring(L"no visible window of class ") + argv[2]);
        return 1;
    }
    const std::wstring image = ProcessImageOf(window);
    WriteLine(L"window of " + image);
    if (argc >= 5 && !SamePath(image, argv[4])) {
        WriteLine(std::wstring(L"expected ") + argv[4]);
        return 1;
    }
    return 0;
}

int ProbeClose(int argc, wchar_t** argv)
{
    if (argc < 4) return 2;
    const DWORD timeoutMs = static_cast<DWORD>(_wtoi(argv[3]));
    const HWND window = WaitForWindow(argv[2], 0, true);
    if (!window) return 0;
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForWindow(argv[2], timeoutMs, false) == nullptr) return 0;
    WriteLine(std::wstring(L"still open: a window of class ") + argv[2]);
    return 1;
}

int ProbeKey(int argc, wchar_t** argv)
{
    HKEY root = nullptr;
    if (argc < 4 || !ParseRoot(argv[2], root)) return 2;
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, argv[3], 0, KEY_READ, &key) != ERROR_SUCCESS) return 1;
    RegCloseKey(key);
    return 0;
}

int ProbeValue(int argc, wchar_t** argv)
{
    HKEY root = nullptr;
    if (argc < 5 || !ParseRoot(argv[2], root)) return 2;
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegGetValueW(root, argv[3], argv[4], RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, nullptr,
                     &size) != ERROR_SUCCESS)
        return 1;
    std::vector<BYTE> data(size + sizeof(wchar_t), 0);
    if (RegGetValueW(root, argv[3], argv[4], RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, data.data(),
                     &size) != ERROR_SUCCESS)
        return 1;
    const std::wstring text = type == REG_DWORD
                                  ? std::to_wstring(*reinterpret_cast<const DWORD*>(data.data()))
                                  : std::wstring(reinterpret_cast<const wchar_t*>(data.data()));
    WriteLine(text);
    if (argc >= 6 && text != argv[5]) return 1;
    return 0;
}

int ProbeSetValue(int argc, wchar_t** argv)
{
    HKEY root = nullptr;
    if (argc < 6 || !ParseRoot(argv[2], root)) return 2;
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, argv[3], 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return 1;
    const DWORD value = static_cast<DWORD>(_wtoi(argv[5]));
    const LSTATUS status = RegSetValueExW(key, argv[4], 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&value), sizeof(value));
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? 0 : 1;
}

int ProbeVersion(int argc, wchar_t** argv)
{
    if (argc < 3) return 2;
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(argv[2], &ignored);
    if (size == 0) {
        WriteLine(L"no version resource");
        return 1;
    }
    std::vector<BYTE> block(size);
    if (!GetFileVersionInfoW(argv[2], 0, size, block.data())) return 1;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT fixedSize = 0;
    if (!VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
        fixedSize < sizeof(VS_FIXEDFILEINFO))
        return 1;
    wchar_t line[128];
    std::swprintf(line, 128, L"FileVersion=%u.%u.%u.%u", HIWORD(fixed->dwFileVersionMS),
                  LOWORD(fixed->dwFileVersionMS), HIWORD(fixed->dwFileVersionLS),
                  LOWORD(fixed->dwFileVersionLS));
    WriteLine(line);
    std::swprintf(line, 128, L"ProductVersion=%u.%u.%u.%u", HIWORD(fixed->dwProductVersionMS),
                  LOWORD(fixed->dwProductVersionMS), HIWORD(fixed->dwProductVersionLS),
                  LOWORD(fixed->dwProductVersionLS));
    WriteLine(line);

    struct Translation {
        WORD language;
        WORD codePage;
    }* translations = nullptr;
    UINT translationBytes = 0;
    if (!VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                        reinterpret_cast<void**>(&translations), &translationBytes) ||
        translationBytes < sizeof(Translation))
        return 1;
    const wchar_t* names[] = {L"ProductName",     L"ProductVersion", L"FileVersion",
                              L"FileDescription", L"CompanyName",    L"OriginalFilename",
                              L"InternalName",    L"LegalCopyright"};
    for (const wchar_t* name : names) {
        wchar_t query[96];
        std::swprintf(query, 96, L"\\StringFileInfo\\%04x%04x\\%ls", translations[0].language,
                      translations[0].codePage, name);
        wchar_t* value = nullptr;
        UINT length = 0;
        if (VerQueryValueW(block.data(), query, reinterpret_cast<void**>(&value), &length) &&
            length > 0)
            WriteLine(std::wstring(L"String.") + name + L"=" + value);
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    struct Command {
        const wchar_t* name;
        int (*run)(int argc, wchar_t** argv);
    };
    const Command commands[] = {
        {L"window", ProbeWindow}, {L"close", ProbeClose},       {L"key", ProbeKey},
        {L"value", ProbeValue},   {L"setvalue", ProbeSetValue}, {L"version", ProbeVersion},
    };
    if (argc >= 2) {
        for (const Command& command : commands)
            if (std::wcscmp(argv[1], command.name) == 0) return command.run(argc, argv);
    }
    WriteLine(L"usage: package_probe window|close|key|value|setvalue|version ...");
    return 2;
}
