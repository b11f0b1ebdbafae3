// The platform's process operations (tool-help snapshots, process and token
// calls) behind the ProcessSystem seam.
#pragma once

#include "process/ProcessSystem.h"

class Win32ProcessSystem : public ProcessSystem {
public:
    void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) override;
    bool TerminateByPid(uint32_t pid) override;
    bool EnableDebugPrivilege() override;
    void WalkThreads(const std::function<bool(const ThreadRecord&)>& visit) override;
    std::string GetProcessShortPath(uint32_t pid) override;
    bool WaitForProcessEnd(uint32_t pid, uint32_t timeoutMs) override;
    FileDeletionResult DeleteFileNow(const std::string& path) override;
    uint32_t OwnPid() override;
    std::vector<uint32_t> TakeDeniedEnds() override;

protected:
    // The critical-process flag of an opened process, as TerminateByPid reads
    // it; a seam for tests, since not every system marks processes critical.
    virtual bool IsMarkedCritical(uint32_t pid, void* processHandle);

private:
    std::vector<uint32_t> m_deniedEnds;
};

// Full path of the process's program file as the system names it: the first
// module of its module snapshot, or, where that cannot be read (a 64-bit
// process seen from this 32-bit program), QueryFullProcessImageName when the
// system has it. Empty when neither works.
std::wstring ProcessImagePath(uint32_t pid);

// True when the system marks the process critical (its end would stop the
// system). Reads the flag through NtQueryInformationProcess where it exists.
bool IsProcessMarkedCritical(void* processHandle);
