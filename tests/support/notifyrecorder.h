// The tray seam recorded: while alive, every Shell_NotifyIconW call of the
// program is logged and answered with success; the real call is put back after.
#pragma once
#include <windows.h>
#include <vector>
#include "app/app.h"

class NotifyIconRecorder {
public:
    NotifyIconRecorder();
    ~NotifyIconRecorder();
    NotifyIconRecorder(const NotifyIconRecorder&) = delete;
    NotifyIconRecorder& operator=(const NotifyIconRecorder&) = delete;
    void Clear();
    // Calls whose record asks for a balloon (NIF_INFO).
    int CountBalloons() const;

    std::vector<DWORD> Messages;
    std::vector<NOTIFYICONDATAW> Records;

private:
    ShellCalls saved_;
};
