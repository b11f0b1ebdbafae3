#include "app/RunningCopy.h"

RunningCopyMark::RunningCopyMark(const wchar_t* name, uint32_t takeOverFromPid) {
    Claim(name);
    if (!m_bAnotherCopyRuns || takeOverFromPid == 0) return;
    const UniqueHandle previous(OpenProcess(SYNCHRONIZE, FALSE, takeOverFromPid));
    const DWORD start = GetTickCount();
    while (m_bAnotherCopyRuns && GetTickCount() - start < kTakeOverWaitMs) {
        // The mark goes with the process that holds it.
        if (!previous || WaitForSingleObject(previous.get(), 100) != WAIT_TIMEOUT) Sleep(100);
        Claim(name);
    }
}

void RunningCopyMark::Claim(const wchar_t* name) {
    m_mutex.reset(CreateMutexW(nullptr, FALSE, name));
    const DWORD error = GetLastError();
    m_bAnotherCopyRuns = m_mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    if (m_bAnotherCopyRuns) m_mutex.reset();
}
