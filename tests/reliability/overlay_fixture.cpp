#include "overlay_fixture.h"
#include <cstring>
#include <utility>
#include "app/app.h"
#include "render/render.h"
#include "support.h"

namespace {

const wchar_t OverlayClass[] = L"OrvexReliabilityOverlay";
constexpr int OverlayX = 1500;
constexpr int OverlayY = 300;

// The hook census: handles the library got and has not given back.
std::set<void*> LiveHooks;
int Installations = 0;
bool FailRemoval = false;

HWINEVENTHOOK WINAPI CountSetWinEventHook(DWORD eventMin, DWORD eventMax, HMODULE module,
                                          WINEVENTPROC proc, DWORD processId, DWORD threadId,
                                          DWORD flags)
{
    const HWINEVENTHOOK hook =
        SetWinEventHook(eventMin, eventMax, module, proc, processId, threadId, flags);
    if (hook) {
        LiveHooks.insert(hook);
        ++Installations;
    }
    return hook;
}

BOOL WINAPI CountUnhookWinEvent(HWINEVENTHOOK hook)
{
    const BOOL removed = UnhookWinEvent(hook);
    if (removed) LiveHooks.erase(hook);
    return removed;
}

HHOOK WINAPI CountSetWindowsHookExW(int kind, HOOKPROC proc, HINSTANCE module, DWORD threadId)
{
    const HHOOK hook = SetWindowsHookExW(kind, proc, module, threadId);
    if (hook) {
        LiveHooks.insert(hook);
        ++Installations;
    }
    return hook;
}

BOOL WINAPI CountUnhookWindowsHookEx(HHOOK hook)
{
    const BOOL removed = UnhookWindowsHookEx(hook);
    if (removed) LiveHooks.erase(hook);
    if (!removed || !FailRemoval) return removed;
    // As for a hook the system removed on its own after a time-out.
    FailRemoval = false;
    SetLastError(ERROR_INVALID_HOOK_HANDLE);
    return FALSE;
}

// The import address slot through which a module calls a function of another.
void** FindImportSlot(HMODULE module, const char* library, const char* function)
{
    auto* base = reinterpret_cast<BYTE*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (!imports.VirtualAddress) return nullptr;
    for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         entry->Name; ++entry) {
        if (_stricmp(reinterpret_cast<const char*>(base + entry->Name), library) != 0) continue;
        const DWORD names =
            entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
        auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + names);
        auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
        for (; name->u1.AddressOfData; ++name, ++slot) {
            if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), function) == 0)
                return reinterpret_cast<void**>(&slot->u1.Function);
        }
    }
    return nullptr;
}

bool SetSlot(void** slot, void* value)
{
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) return false;
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
    return true;
}

struct Reroute {
    const char* Function;
    void* Counter;
    void** Slot;
    void* Original;
};
Reroute Reroutes[] = {
    {"SetWinEventHook", reinterpret_cast<void*>(CountSetWinEventHook), nullptr, nullptr},
    {"UnhookWinEvent", reinterpret_cast<void*>(CountUnhookWinEvent), nullptr, nullptr},
    {"SetWindowsHookExW", reinterpret_cast<void*>(CountSetWindowsHookExW), nullptr, nullptr},
    {"UnhookWindowsHookEx", reinterpret_cast<void*>(CountUnhookWindowsHookEx), nullptr, nullptr},
};

}  // namespace

InProcessOverlay::InProcessOverlay(bool realKeys)
    : recorder_(std::make_unique<KeyOutputRecorder>(realKeys)),
      touch_(std::make_unique<TouchFeed>())
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = OverlayClass;
    RegisterClassExW(&wc);
    DiscardDeviceResources();  // a render target of an earlier window is no use here
    WindowClosing = false;
    ClearInputState();
    BuildTestPad();
    window_ = CreateWindowExW(OverlayExStyle | WS_EX_TOPMOST, OverlayClass, L"overlay", WS_POPUP,
                              OverlayX, OverlayY, OverlayClientWidth, OverlayClientHeight, nullptr,
                              nullptr, wc.hInstance, nullptr);
    MainWindow = window_;
    if (!window_) return;
    SetLayeredWindowAttributes(window_, 0, 192, LWA_ALPHA);
    ShowWindow(window_, SW_SHOWNOACTIVATE);
}

InProcessOverlay::~InProcessOverlay()
{
    Destroy();
    DiscardDeviceResources();
    if (!CurrentPadTable) BuildTestPad();
    WindowClosing = false;
    ClearInputState();
}

LRESULT InProcessOverlay::Send(UINT message, WPARAM wParam, LPARAM lParam, LPARAM extraInfo)
{
    SetMessageExtraInfo(extraInfo);
    const LRESULT result = MainWndProc(window_, message, wParam, lParam);
    SetMessageExtraInfo(0);
    return result;
}

void InProcessOverlay::Touch(const std::vector<ContactPoint>& fingers)
{
    TouchFingers(window_, fingers);
}

void InProcessOverlay::MouseDown(ContactPoint at)
{
    Send(WM_LBUTTONDOWN, MK_LBUTTON, PointParam(at));
}

void InProcessOverlay::MouseUp(ContactPoint at)
{
    Send(WM_LBUTTONUP, 0, PointParam(at));
}

void InProcessOverlay::DoubleClick(ContactPoint at)
{
    MouseDown(at);
    MouseUp(at);
    Send(WM_LBUTTONDBLCLK, MK_LBUTTON, PointParam(at));
    MouseUp(at);
}

void InProcessOverlay::Pump(DWORD milliseconds)
{
    PumpFor(milliseconds);
}

void InProcessOverlay::Destroy()
{
    if (Alive()) DestroyWindow(window_);
    // The teardown ends the program's message loop; this thread's goes on.
    MSG quit;
    while (PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

HookCensus::HookCensus()
{
    LiveHooks.clear();
    Installations = 0;
    FailRemoval = false;
    const HMODULE library = GetModuleHandleW(L"Orvex_DLL.dll");
    if (!library) return;
    patched_ = true;
    for (Reroute& reroute : Reroutes) {
        reroute.Slot = FindImportSlot(library, "user32.dll", reroute.Function);
        reroute.Original = reroute.Slot ? *reroute.Slot : nullptr;
        patched_ = patched_ && reroute.Slot && SetSlot(reroute.Slot, reroute.Counter);
    }
}

HookCensus::~HookCensus()
{
    for (Reroute& reroute : Reroutes) {
        if (reroute.Slot) SetSlot(reroute.Slot, reroute.Original);
        reroute.Slot = nullptr;
    }
}

int HookCensus::Live()
{
    return static_cast<int>(LiveHooks.size());
}

int HookCensus::Installed()
{
    return Installations;
}

void HookCensus::FailNextRemoval()
{
    FailRemoval = true;
}
