// The probe of the process list asked ten times a second on a thread of its
// own: the window's thread, whose every wake-up costs far more than the probe
// under Wine, only wakes when the list may have changed.
#pragma once

#include <windows.h>

#include <thread>

#include "app/ProcessListClock.h"
#include "framework/Handle.h"
#include "process/ProcessSystem.h"

class ChangeProbeThread {
public:
    // Posts message to window when system's probe says the list may have
    // changed; at most one such message waits at a time.
    ChangeProbeThread(ProcessSystem& system, HWND window, UINT message, DWORD periodMs);
    ~ChangeProbeThread();
    ChangeProbeThread(const ChangeProbeThread&) = delete;
    ChangeProbeThread& operator=(const ChangeProbeThread&) = delete;

    // Called by the window as it takes the message: the next change posts again.
    void Taken() { m_notice.Taken(); }
    bool Running() const { return m_thread.joinable(); }

private:
    UniqueHandle m_stop;
    ProbeNotice m_notice;
    std::thread m_thread;
};
