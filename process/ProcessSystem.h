// Seam over the platform's process operations, so that the commands can be
// exercised with a scripted system.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "process/ProcessRules.h"

class ProcessSystem {
public:
    virtual ~ProcessSystem() = default;

    // Calls visit for each process of a fresh snapshot, in snapshot order,
    // until visit returns false.
    virtual void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) = 0;
    // True when the process was terminated. Never ends a process whose end
    // brings the system down (see IsTerminationRefused).
    virtual bool TerminateByPid(uint32_t pid) = 0;
    virtual bool EnableDebugPrivilege() = 0;
};

// Pids 0 and 4 and processes the system marks critical are never terminated.
bool IsTerminationRefused(uint32_t pid, bool markedCritical);
