// Starts a program that the program under test may end at any moment, the
// moment of its own start included, so that "ended while starting" counts as
// started and ended rather than as a failed start.
//
// It is started suspended: Windows returns its pid and handle before it runs,
// and the handle sees its end whenever that comes. Wine's CreateProcessW waits
// until the new process has started, and fails when the process is ended in
// that wait, leaving no handle; every process this program starts therefore
// belongs to one job, whose completion port names each new process's pid.
#pragma once

#include <windows.h>

#include <string>

#include "framework/Handle.h"

struct EndableProcess {
    UniqueHandle process;  // empty when it was ended before its start returned
    DWORD pid = 0;
    bool endedWhileStarting = false;
};

namespace endable_start {

// The job of this program and its children, and the port that reports what
// they do; made on first use (none where the system refuses it).
inline HANDLE ProcessReports() {
    static const HANDLE port = [] {
        UniqueHandle job(CreateJobObjectW(nullptr, nullptr));
        UniqueHandle reports(CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1));
        if (!job || !reports) return HANDLE{nullptr};
        JOBOBJECT_ASSOCIATE_COMPLETION_PORT association{};
        association.CompletionKey = job.get();
        association.CompletionPort = reports.get();
        if (!SetInformationJobObject(job.get(), JobObjectAssociateCompletionPortInformation, &association,
                                     sizeof(association)) ||
            !AssignProcessToJobObject(job.get(), GetCurrentProcess())) {
            return HANDLE{nullptr};
        }
        job.release();  // the job lives as long as this program
        return reports.release();
    }();
    return port;
}

// The pid of the last process reported new since the last call, or 0.
inline DWORD TakeNewestProcess(HANDLE reports) {
    DWORD newest = 0;
    DWORD message = 0;
    ULONG_PTR key = 0;
    LPOVERLAPPED value = nullptr;
    while (reports && GetQueuedCompletionStatus(reports, &message, &key, &value, 0)) {
        if (message == JOB_OBJECT_MSG_NEW_PROCESS) newest = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(value));
    }
    return newest;
}

}  // namespace endable_start

// exe may be empty (the program is then the command line's first word);
// folder empty means this program's current folder. False only when no
// process came into being; GetLastError() then says why.
inline bool StartEndable(const std::wstring& exe, std::wstring commandLine, const std::wstring& folder,
                         EndableProcess& started) {
    const HANDLE reports = endable_start::ProcessReports();
    endable_start::TakeNewestProcess(reports);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(exe.empty() ? nullptr : exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &info)) {
        const DWORD error = GetLastError();
        started.pid = endable_start::TakeNewestProcess(reports);
        if (started.pid == 0) {
            SetLastError(error);
            return false;
        }
        started.endedWhileStarting = true;
        return true;
    }
    const UniqueHandle thread(info.hThread);
    started.process.reset(info.hProcess);
    started.pid = info.dwProcessId;
    ResumeThread(thread.get());
    return true;
}
