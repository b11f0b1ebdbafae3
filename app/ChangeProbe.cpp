#include "app/ChangeProbe.h"

ChangeProbeThread::ChangeProbeThread(ProcessSystem& system, HWND window, UINT message, DWORD periodMs)
    : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (!m_stop) return;
    m_thread = std::thread([this, &system, window, message, periodMs] {
        while (WaitForSingleObject(m_stop.get(), periodMs) == WAIT_TIMEOUT) {
            if (!system.ProcessListMayHaveChanged()) continue;
            m_notice.OnChange([window, message] { return PostMessageW(window, message, 0, 0) != FALSE; });
        }
    });
}

ChangeProbeThread::~ChangeProbeThread() {
    if (m_stop) SetEvent(m_stop.get());
    if (m_thread.joinable()) m_thread.join();
}
