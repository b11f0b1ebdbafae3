#include "process/BlockWatch.h"

#include <algorithm>

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
