// A mark in the registry while the game holds any key of the pad (the skip
// latch's Ctrl included), so that a run that crashed or was killed does not
// leave a key down for good: the next start finds the mark and sends the
// releases. The key is volatile, so it never outlives the logon session whose
// keyboard it speaks of, and it is named after that session, so that a start
// in another session of the same user leaves it alone.
#include "input.h"
#include <csignal>
#include <cstdlib>
#include <exception>
#include <string>
#include "base/handle.h"
#include "settings/settings.h"

namespace {

// The name an earlier version gave the mark of the latch alone.
constexpr const wchar_t* LatchMarkName = L"SkipLatchHeld";
constexpr const wchar_t* HeldMarkPrefix = L"KeysHeld-";

bool HeldMarkWritten = false;
std::terminate_handler EarlierTerminate = nullptr;

std::wstring MarkPath(const std::wstring& name)
{
    return std::wstring(SettingsKeyPath) + L"\\" + name;
}

std::wstring HeldMarkName()
{
    DWORD session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &session);
    return HeldMarkPrefix + std::to_wstring(session);
}

bool MarkExists(const std::wstring& name)
{
    UniqueKey mark;
    return RegOpenKeyExW(HKEY_CURRENT_USER, MarkPath(name).c_str(), 0, KEY_READ, mark.put()) ==
           ERROR_SUCCESS;
}

void WriteHeldMark()
{
    // The settings key is made an ordinary key first: a volatile key cannot
    // hold the lasting keys the settings store writes later.
    UniqueKey settings;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SettingsKeyPath, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_CREATE_SUB_KEY, nullptr, settings.put(), nullptr) != ERROR_SUCCESS)
        return;
    UniqueKey mark;
    RegCreateKeyExW(settings.get(), HeldMarkName().c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                    KEY_READ, nullptr, mark.put(), nullptr);
}

void ReleaseKeysOnAbort(int)
{
    ReleaseKeysAtLastResort();
}

void ReleaseKeysOnTerminate()
{
    ReleaseKeysAtLastResort();
    if (EarlierTerminate) EarlierTerminate();
    std::abort();
}

}  // namespace

void UpdateHeldMark()
{
    const bool held = SkipLatched || TouchMask || MouseMask;
    if (held == HeldMarkWritten) return;
    HeldMarkWritten = held;
    if (held)
        WriteHeldMark();
    else
        ClearHeldMark();
}

void ClearHeldMark()
{
    HeldMarkWritten = false;
    RegDeleteKeyW(HKEY_CURRENT_USER, MarkPath(HeldMarkName()).c_str());
}

bool ReleaseKeysOfEarlierRun()
{
    if (!MarkExists(HeldMarkName()) && !MarkExists(LatchMarkName)) return false;
    // What the earlier run held is not known: every key the pad can press
    // (Ctrl among them) goes up.
    ReleaseEveryPadKey(0);
    ClearHeldMark();
    RegDeleteKeyW(HKEY_CURRENT_USER, MarkPath(LatchMarkName).c_str());
    return true;
}

void ReleaseKeysAtLastResort()
{
    // Best effort from a process in an unknown state: plain releases only.
    // The mark stays, so the next start sends them again.
    if (SkipLatched) SendKeyReleases(PadLatchKeys);
    ReleaseAllKeys();
}

LONG WINAPI ReleaseKeysOnCrash(EXCEPTION_POINTERS*)
{
    ReleaseKeysAtLastResort();
    return EXCEPTION_CONTINUE_SEARCH;
}

void InstallLastResortRelease()
{
    SetUnhandledExceptionFilter(ReleaseKeysOnCrash);
    EarlierTerminate = std::set_terminate(ReleaseKeysOnTerminate);
    // Without the handler abort() ends the run with no release; nothing else to do.
    (void)std::signal(SIGABRT, ReleaseKeysOnAbort);
}
