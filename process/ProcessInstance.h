// A process as the system tells it from every other, before and after it: its
// pid and the moment it started. A pid alone is given again to later programs.
#pragma once

#include <cstdint>

struct ProcessInstance {
    uint32_t pid = 0;
    uint64_t startTime = 0;  // creation, 100-ns units since 1601 (UTC); 0 when unknown
};

// Both name the same process: the same pid and the same start time, which is
// known. A process whose start time could not be read is the same as none.
inline bool IsSameProcess(const ProcessInstance& a, const ProcessInstance& b) {
    return a.pid == b.pid && a.startTime != 0 && a.startTime == b.startTime;
}
