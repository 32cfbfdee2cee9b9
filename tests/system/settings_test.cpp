// Settings stored before start reach the running overlay.
#include <doctest/doctest.h>
#include "settings/settings.h"
#include "support.h"

TEST_CASE("the overlay's alpha comes from the stored transparency")
{
    struct Row {
        DWORD transparency;
        BYTE alpha;
    };
    // 95 is stored out of range and is read as 90.
    const Row rows[] = {{50, 128}, {95, 25}};
    for (const Row& row : rows) {
        CAPTURE(row.transparency);
        DeleteOrvexSettings();
        REQUIRE(RegSetKeyValueW(HKEY_CURRENT_USER, SettingsKeyPath, L"Transparency", REG_DWORD,
                                &row.transparency, sizeof(row.transparency)) == ERROR_SUCCESS);
        ChildProcess orvex;
        const HWND overlay = StartOrvex(orvex);
        REQUIRE(overlay);
        BYTE alpha = 0;
        DWORD flags = 0;
        REQUIRE(GetLayeredWindowAttributes(overlay, nullptr, &alpha, &flags));
        CHECK(alpha == row.alpha);
        CHECK(flags == LWA_ALPHA);
        PostMessageW(overlay, WM_CLOSE, 0, 0);
        CHECK(orvex.WaitExit(HangMs));
    }
    DeleteOrvexSettings();
}

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
