#include "app/RunningCopy.h"

RunningCopyMark::RunningCopyMark(const wchar_t* name) : m_mutex(CreateMutexW(nullptr, FALSE, name)) {
    const DWORD error = GetLastError();
    m_bAnotherCopyRuns = m_mutex ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
}
