#include "process/ProcessUsage.h"

#include <algorithm>
#include <utility>

namespace {

bool ByPid(const SampledProcess* a, const SampledProcess* b) { return a->pid < b->pid; }

// The same process in both looks: a pid given to another program since has
// another start time (or, where start times are unknown, another name).
bool SameProcess(const SampledProcess& a, const SampledProcess& b) {
    return a.pid == b.pid && a.startTime == b.startTime && a.name == b.name;
}

int Share(uint64_t before, uint64_t after, uint64_t capacity) {
    if (after < before) return 0;
    // Rounded to the nearest whole percent. 200 times the capacity stays far
    // below 2^64 for any interval short of decades, even on 64 processors.
    const uint64_t change = std::min(after - before, capacity);
    return static_cast<int>((200 * change + capacity) / (2 * capacity));
}

}  // namespace

std::vector<int> CpuShares(const ProcessSample& previous, const ProcessSample& current) {
    std::vector<int> shares(current.processes.size(), 0);
    if (!previous.hasFigures || !current.hasFigures || current.takenAt <= previous.takenAt) return shares;
    const uint64_t capacity = (current.takenAt - previous.takenAt) * std::max<uint32_t>(current.processors, 1);
    std::vector<const SampledProcess*> before;
    before.reserve(previous.processes.size());
    for (const SampledProcess& process : previous.processes) before.push_back(&process);
    std::sort(before.begin(), before.end(), ByPid);
    for (size_t index = 0; index < current.processes.size(); ++index) {
        const SampledProcess& now = current.processes[index];
        const auto found = std::lower_bound(before.begin(), before.end(), &now, ByPid);
        if (found != before.end() && SameProcess(**found, now)) {
            shares[index] = Share((*found)->cpuTime, now.cpuTime, capacity);
        }
    }
    return shares;
}

std::string GroupedNumber(uint64_t value) {
    std::string digits = std::to_string(value);
    for (size_t position = digits.size(); position > 3; position -= 3) digits.insert(position - 3, ",");
    return digits;
}

std::string KilobyteText(uint64_t bytes) { return GroupedNumber(bytes / 1024) + " K"; }

void UsageTracker::Add(ProcessSample sample) {
    const std::vector<int> shares = CpuShares(m_latest, sample);
    const ProcessSample previous = std::exchange(m_latest, std::move(sample));
    const std::vector<Entry> previousByPid = std::move(m_byPid);
    m_byPid.clear();
    m_byPid.reserve(m_latest.processes.size());
    for (size_t index = 0; index < m_latest.processes.size(); ++index) {
        m_byPid.push_back({m_latest.processes[index].pid, index, shares[index]});
    }
    std::sort(m_byPid.begin(), m_byPid.end(), [](const Entry& a, const Entry& b) { return a.pid < b.pid; });
    m_bSameAsBefore = !previousByPid.empty() &&
                      std::equal(m_byPid.begin(), m_byPid.end(), previousByPid.begin(), previousByPid.end(),
                                 [&](const Entry& a, const Entry& b) {
                                     return SameProcess(m_latest.processes[a.index], previous.processes[b.index]);
                                 });
}

UsageTexts UsageTracker::TextsFor(uint32_t pid, std::string_view name) const {
    if (!m_latest.hasFigures) return {};
    const auto found = std::lower_bound(m_byPid.begin(), m_byPid.end(), pid,
                                        [](const Entry& entry, uint32_t wanted) { return entry.pid < wanted; });
    if (found == m_byPid.end() || found->pid != pid) return {};
    const SampledProcess& process = m_latest.processes[found->index];
    if (process.name != name) return {};
    return {std::to_string(found->share),
            process.workingSet == kUnknownBytes ? std::string() : KilobyteText(process.workingSet)};
}
