// Notices between the program and the shell: the notification area coming
// back after a shell restart, and the balloon that tells the user the game
// cannot receive the pad's keys.
#include "app.h"

UINT TaskbarCreatedMessage = 0;

namespace {

const wchar_t BlockedInputTitle[] = L"キー入力がグラスに届きません";
const wchar_t BlockedInputText[] =
    L"ムーン グラスが管理者として実行されているため、Orvexのキー入力はWindowsに止められます。"
    L"Orvexもグラスと同じ方法（管理者として実行）で起動してください。";
static_assert(sizeof(BlockedInputTitle) <= sizeof(NOTIFYICONDATAW::szInfoTitle), "title fits");
static_assert(sizeof(BlockedInputText) <= sizeof(NOTIFYICONDATAW::szInfo), "text fits");

}  // namespace

bool IsTaskbarCreated(UINT message)
{
    return TaskbarCreatedMessage != 0 && message == TaskbarCreatedMessage;
}

void RegisterTaskbarCreated(HWND window)
{
    TaskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    // Started as administrator (as an elevated game needs) the overlay would
    // not hear the shell, which runs at a lower level, without this.
    if (TaskbarCreatedMessage)
        ChangeWindowMessageFilterEx(window, TaskbarCreatedMessage, MSGFLT_ALLOW, nullptr);
}

// The shell was restarted and has forgotten every icon.
LRESULT OnTaskbarCreated()
{
    AddTrayIcon();
    return 0;
}

void OnGameInputBlocked()
{
    ShowTrayBalloon(BlockedInputTitle, BlockedInputText);
}
