// The plain part of the list refresh: block scan, classification and rows.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "process/BlockWatch.h"
#include "process/EndLog.h"
#include "process/MessagePrompt.h"
#include "process/ProcessRules.h"
#include "process/ProcessSystem.h"

struct RefreshContext {
    const BlockList& blockList;
    const std::vector<std::string>& referenceLines;
    int promptDangerous;  // 1: ask before terminating a blocked process
    ProcessSystem& system;
    MessagePrompt& prompt;
    EndLog* log = nullptr;                    // told of every block-list end
    std::vector<ProcessKey>* seen = nullptr;  // given every process of the walk
    // The recorded name the process's program file matches, once the caller
    // made sure the pid still names the process it looked at; null for none.
    std::function<const std::string*(const ProcessRecord&)> fingerprintMatch = nullptr;
    // Pids the check between refreshes has just ended: listed as blocked, not ended again.
    std::vector<uint32_t> endedBefore = {};
    // A look taken right before the refresh, which gives each process its
    // start time and parent; without one the refresh takes its own.
    const ProcessSample* look = nullptr;
    // The processes this program holds suspended: shown so even where the
    // look tells no thread states.
    const SuspendedByProgram* heldSuspended = nullptr;
};

// Walks the processes, deals with every block-list match (a name of the file,
// else of the policy, else a recorded program file; asking first when
// promptDangerous is 1) except in the program's own process, and returns one
// row per process in snapshot order; a suspended process's word ends in
// "（已挂起）".
std::vector<ProcessRow> BuildProcessRows(const RefreshContext& context);

// The same ends for a look's records without rows, for the check between
// refreshes: the pids it ended.
std::vector<uint32_t> EndBlockedProcesses(const RefreshContext& context, const std::vector<ProcessRecord>& records);

// "共有%d个进程"
std::string CountText(int count);
