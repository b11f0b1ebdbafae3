// What each process costs: one look a second at every process with its
// processor time and memory, the share of the processors each took since the
// look before, and the texts of the list's CPU and 内存 columns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "process/SuspendRules.h"

// One process of a look, named as the refresh's snapshot names it.
struct SampledProcess {
    uint32_t pid = 0;
    std::string name;
    uint64_t cpuTime = 0;                                    // user + kernel time, 100-ns units
    uint64_t startTime = 0;                                  // creation, 100-ns units since 1601 (UTC); 0 when unknown
    uint64_t workingSet = 0;                                 // bytes, or kUnknownBytes
    uint64_t privateBytes = 0;                               // bytes, or kUnknownBytes
    uint32_t parentPid = 0;                                  // the process that started it, as the system remembers it
    LookedSuspension suspension = LookedSuspension::Untold;  // by its threads' states
};

// A memory figure the look could not give right: a 32-bit program on a
// 64-bit system is given them cut to 32 bits, and shows none rather than a
// wrong one.
constexpr uint64_t kUnknownBytes = UINT64_MAX;

// Every process at one moment.
struct ProcessSample {
    bool hasFigures = false;  // false: names and pids only
    uint64_t takenAt = 0;     // 100-ns units of a clock that only goes forward
    uint32_t processors = 1;
    std::vector<SampledProcess> processes;
};

// Whole percent (0 to 100) of all processors that each process of current
// took since previous, in the order of current.processes: the change of its
// processor time over the elapsed time times the processor count. A process
// that previous lacks (new, or its pid now names another program) gets 0, as
// does one whose time went backwards.
std::vector<int> CpuShares(const ProcessSample& previous, const ProcessSample& current);

// "12,345 K": kilobytes (rounded down) with thousands separators.
std::string KilobyteText(uint64_t bytes);
// "12,345": a number with thousands separators.
std::string GroupedNumber(uint64_t value);

// The texts of the two columns for one process; both empty when the latest
// look has no figures for it, the memory empty when its figure is unknown.
struct UsageTexts {
    std::string cpu;
    std::string memory;
};

// The latest look and the shares it gives, for the window's columns.
class UsageTracker {
public:
    // Takes a new look; its shares are those since the look before.
    void Add(ProcessSample sample);
    // The texts for the process of that pid and name in the latest look.
    UsageTexts TextsFor(uint32_t pid, std::string_view name) const;
    const ProcessSample& latest() const { return m_latest; }
    // True when the latest look found the very processes of the look before.
    bool SameProcessesAsBefore() const { return m_bSameAsBefore; }

private:
    struct Entry {
        uint32_t pid;
        size_t index;  // in m_latest.processes
        int share;
    };
    ProcessSample m_latest;
    std::vector<Entry> m_byPid;  // sorted by pid
    bool m_bSameAsBefore = false;
};
