#include "process/BlockWatch.h"

#include <algorithm>

void TakeStartTimes(std::vector<ProcessKey>& keys, const std::vector<SampledProcess>& sampled) {
    std::vector<const SampledProcess*> byPid;
    byPid.reserve(sampled.size());
    for (const SampledProcess& process : sampled) byPid.push_back(&process);
    const auto pidLess = [](const SampledProcess* a, const SampledProcess* b) { return a->pid < b->pid; };
    std::sort(byPid.begin(), byPid.end(), pidLess);
    for (ProcessKey& key : keys) {
        const SampledProcess wanted{key.pid, {}, 0, 0, 0, 0};
        const auto found = std::lower_bound(byPid.begin(), byPid.end(), &wanted, pidLess);
        if (found != byPid.end() && (*found)->pid == key.pid && (*found)->name == key.name) {
            key.startTime = (*found)->startTime;
        }
    }
}

void BlockWatch::Remember(std::vector<ProcessKey> seen) {
    std::sort(seen.begin(), seen.end());
    m_known = std::move(seen);
}

bool BlockWatch::FindsNewBlocked(std::vector<ProcessKey> current, const BlockList& table, uint32_t ownPid) {
    std::sort(current.begin(), current.end());
    bool found = false;
    auto known = m_known.cbegin();
    for (const ProcessKey& process : current) {
        known = std::lower_bound(known, m_known.cend(), process);
        const bool isNew = known == m_known.cend() || !(*known == process);
        if (isNew && process.pid != ownPid && table.MatchesAny(process.name)) {
            found = true;
            break;
        }
    }
    m_known = std::move(current);
    return found;
}
