// A mark in the registry while the skip latch holds Ctrl, so that a run that
// crashed or was killed does not leave Ctrl down for good: the next start
// finds the mark and sends the release. The key is volatile, so it never
// outlives the logon session whose keyboard it speaks of.
#include "input.h"
#include <string>
#include "base/handle.h"
#include "settings/settings.h"

namespace {

constexpr const wchar_t* LatchMarkName = L"SkipLatchHeld";

std::wstring LatchMarkPath()
{
    return std::wstring(SettingsKeyPath) + L"\\" + LatchMarkName;
}

void SendCtrlRelease()
{
    INPUT record = MakeKeyRecord(VK_CONTROL, true);
    KeyOutput.SendInput(1, &record, sizeof(INPUT));
}

}  // namespace

void MarkLatchHeld()
{
    // The settings key is made an ordinary key first: a volatile key cannot
    // hold the lasting keys the settings store writes later.
    UniqueKey settings;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_CREATE_SUB_KEY, nullptr, settings.put(), nullptr) != ERROR_SUCCESS)
        return;
    UniqueKey mark;
    RegCreateKeyExW(settings.get(), LatchMarkName, 0, nullptr, REG_OPTION_VOLATILE, KEY_READ,
                    nullptr, mark.put(), nullptr);
}

void ClearLatchMark()
{
    RegDeleteKeyW(HKEY_CURRENT_USER, LatchMarkPath().c_str());
}

bool ReleaseCtrlOfEarlierRun()
{
    UniqueKey mark;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, LatchMarkPath().c_str(), 0, KEY_READ, mark.put()) !=
        ERROR_SUCCESS)
        return false;
    SendCtrlRelease();
    mark.reset();
    ClearLatchMark();
    return true;
}

LONG WINAPI ReleaseKeysOnCrash(EXCEPTION_POINTERS*)
{
    // Best effort from a process in an unknown state: plain releases only.
    if (SkipLatched) {
        SendCtrlRelease();
        ClearLatchMark();
    }
    ReleaseAllKeys();
    return EXCEPTION_CONTINUE_SEARCH;
}
