// The diagnostic log, asked for by the registry or the command line.
#include <doctest/doctest.h>
#include "support.h"

TEST_CASE("the diagnostic log goes to the local application data only when asked for")
{
    wchar_t folder[MAX_PATH] = L"";
    REQUIRE(GetEnvironmentVariableW(L"LOCALAPPDATA", folder, MAX_PATH) > 0);
    const std::wstring log = std::wstring(folder) + L"\\Orvex\\orvex.log";
    // Asked by nothing, by the registry value, by the command line.
    for (const int row : {0, 1, 2}) {
        CAPTURE(row);
        DeleteOrvexSettings();
        DeleteFileW(log.c_str());
        if (row == 1) WriteOrvexDword(L"", L"DiagnosticLog", 1);
        ChildProcess orvex;
        REQUIRE(orvex.Start(L"\"" + BinDir() + L"\\Orvex.exe\"" + (row == 2 ? L" /log" : L"")));
        const HWND overlay = WaitForTopWindow(L"ORVEX", orvex.Id());
        REQUIRE(overlay);
        PostMessageW(overlay, WM_CLOSE, 0, 0);
        CHECK(orvex.WaitExit(HangMs));
        CHECK((GetFileAttributesW(log.c_str()) != INVALID_FILE_ATTRIBUTES) == (row != 0));
    }
    DeleteOrvexSettings();
}
