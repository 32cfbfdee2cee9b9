// Entry point of Orvex.exe.
#include "app.h"
#include <commctrl.h>
#include "input/input.h"
#include "render/render.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR commandLine, int showCommand)
{
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#if defined(_MSC_VER)
#pragma warning(suppress : 4996)  // the version test is defined in terms of this call
#endif
    const bool known = GetVersionExW(&version) != FALSE;
    if (!known || !IsSupportedWindowsVersion(version.dwMajorVersion, version.dwMinorVersion)) {
        MessageBoxW(nullptr, L"動作にはWindows 7以上が必要です。", L"Orvex", MB_OK);
        return 0;
    }

    // An export runs beside a running copy and shows nothing.
    std::wstring exportFile;
    if (FindExportLayoutSwitch(GetCommandLineW(), exportFile))
        return ExportActiveLayout(exportFile);

    // A second copy ends before anything, the settings included, is touched.
    UniqueHandleObject firstCopy;
    if (!ClaimFirstCopy(firstCopy)) {
        HandOverToFirstCopy(instance);
        return 0;
    }
    StartDiagnosticLog(commandLine);
    InstallLastResortRelease();

    InitCommonControls();
    LoadAppStrings(instance);
    RegisterMainClass(instance);
    if (!InitInstance(instance, showCommand)) {
        StopDiagnosticLog(0);
        return 0;
    }

    const HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDC_ORVEX));
    const int exitCode = RunMessageLoop(accelerators);
    ReleaseDrawingResources();
    StopDiagnosticLog(exitCode);
    return exitCode;
}
