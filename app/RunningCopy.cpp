#include "app/RunningCopy.h"

RunningCopyMark::RunningCopyMark(const wchar_t* name, uint32_t takeOverFromPid) : m_name(name) {
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

bool RunningCopyMark::HeldByAnother() const {
    // A copy with administrator rights holds a mark this one may not open.
    const UniqueHandle other(OpenMutexW(SYNCHRONIZE, FALSE, m_name.c_str()));
    return other || GetLastError() == ERROR_ACCESS_DENIED;
}

bool RunningCopyMark::HandOver(DWORD timeoutMs) {
    m_mutex.reset();
    const DWORD start = GetTickCount();
    do {
        Sleep(50);
        if (HeldByAnother()) return true;
    } while (GetTickCount() - start < timeoutMs);
    Claim(m_name.c_str());
    return m_bAnotherCopyRuns;
}
