// The light check between two refreshes: which processes are new since the
// last look, and whether one of them is on the block list. Names and pids
// only; the list is not touched.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process/ProcessRules.h"
#include "process/ProcessUsage.h"

// A process as the check tells it apart: a pid given to another program
// since the last look is a new process, even one of the same name (a blocked
// program started again at once may get the pid of the copy just ended).
struct ProcessKey {
    uint32_t pid = 0;
    std::string name;
    uint64_t startTime = 0;  // as SampledProcess; 0 when unknown
    bool operator<(const ProcessKey& other) const {
        if (pid != other.pid) return pid < other.pid;
        if (startTime != other.startTime) return startTime < other.startTime;
        return name < other.name;
    }
    bool operator==(const ProcessKey& other) const {
        return pid == other.pid && startTime == other.startTime && name == other.name;
    }
};

class BlockWatch {
public:
    // The processes of the latest look (a refresh's walk or a check's).
    void Remember(std::vector<ProcessKey> seen);

    // True when a process of current that was not there at the previous look
    // matches the block table by the refresh's rule (empty entries never
    // match; the program's own process is never blocked). Remembers current.
    bool FindsNewBlocked(std::vector<ProcessKey> current, const BlockList& table, uint32_t ownPid);

private:
    std::vector<ProcessKey> m_known;  // sorted
};
