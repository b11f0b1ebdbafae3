// The platform's process operations (tool-help snapshots, process and token
// calls) behind the ProcessSystem seam.
#pragma once

#include "process/ProcessSystem.h"

class Win32ProcessSystem : public ProcessSystem {
public:
    void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) override;
    bool TerminateByPid(uint32_t pid) override;
    bool EnableDebugPrivilege() override;
};

// True when the system marks the process critical (its end would stop the
// system). Reads the flag through NtQueryInformationProcess where it exists.
bool IsProcessMarkedCritical(void* processHandle);
