#include "notifyrecorder.h"

namespace {

NotifyIconRecorder* Active = nullptr;

BOOL WINAPI RecordNotifyIcon(DWORD message, PNOTIFYICONDATAW data)
{
    if (Active) {
        Active->Messages.push_back(message);
        Active->Records.push_back(*data);
    }
    return TRUE;
}

}  // namespace

NotifyIconRecorder::NotifyIconRecorder() : saved_(AppShell)
{
    AppShell.Shell_NotifyIconW = RecordNotifyIcon;
    Active = this;
}

NotifyIconRecorder::~NotifyIconRecorder()
{
    Active = nullptr;
    AppShell = saved_;
}

void NotifyIconRecorder::Clear()
{
    Messages.clear();
    Records.clear();
}

int NotifyIconRecorder::CountBalloons() const
{
    int n = 0;
    for (const NOTIFYICONDATAW& data : Records) n += (data.uFlags & NIF_INFO) != 0;
    return n;
}
