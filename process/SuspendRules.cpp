#include "process/SuspendRules.h"

#include <algorithm>

namespace {
constexpr uint32_t kThreadWaiting = 5;
constexpr uint32_t kWaitReasonSuspended = 5;
}  // namespace

LookedSuspension SuspensionFromThreadStates(const std::vector<ThreadState>& threads) {
    const bool told = std::any_of(threads.begin(), threads.end(), [](const ThreadState& thread) {
        return thread.state != 0 || thread.waitReason != 0;
    });
    if (!told) return LookedSuspension::Untold;
    const bool allSuspended = std::all_of(threads.begin(), threads.end(), [](const ThreadState& thread) {
        return thread.state == kThreadWaiting && thread.waitReason == kWaitReasonSuspended;
    });
    return allSuspended ? LookedSuspension::Suspended : LookedSuspension::Running;
}

bool IsSuspendedByCounts(const std::vector<uint32_t>& suspendCounts) {
    return !suspendCounts.empty() &&
           std::all_of(suspendCounts.begin(), suspendCounts.end(), [](uint32_t count) { return count > 0; });
}

std::string WordWithSuspension(const std::string& word, bool suspended) {
    return suspended ? word + "（已挂起）" : word;
}

bool IsSystemProcessWord(const std::string& word) { return word.rfind(" 系统进程", 0) == 0; }

SuspendCommand RowSuspendCommand(bool suspended) {
    return suspended ? SuspendCommand::Resume : SuspendCommand::Suspend;
}

const char* SuspendCommandText(SuspendCommand command) {
    return command == SuspendCommand::Resume ? "恢复进程" : "挂起进程";
}

const char* PriorityText(PriorityLevel level) {
    switch (level) {
    case PriorityLevel::Realtime: return "实时";
    case PriorityLevel::High: return "高";
    case PriorityLevel::AboveNormal: return "高于正常";
    case PriorityLevel::Normal: break;
    case PriorityLevel::BelowNormal: return "低于正常";
    case PriorityLevel::Idle: return "低";
    }
    return "正常";
}

uint32_t PriorityClassValue(PriorityLevel level) {
    switch (level) {
    case PriorityLevel::Realtime: return 0x100;
    case PriorityLevel::High: return 0x80;
    case PriorityLevel::AboveNormal: return 0x8000;
    case PriorityLevel::Normal: break;
    case PriorityLevel::BelowNormal: return 0x4000;
    case PriorityLevel::Idle: return 0x40;
    }
    return 0x20;
}

std::optional<PriorityLevel> PriorityFromClassValue(uint32_t value) {
    for (PriorityLevel level : kPriorityLevels) {
        if (PriorityClassValue(level) == value) return level;
    }
    return std::nullopt;
}

bool IsPriorityOffered(PriorityLevel level, int osClass) {
    if (level != PriorityLevel::AboveNormal && level != PriorityLevel::BelowNormal) return true;
    return osClass == 2 || osClass == 5;
}

void SuspendedByProgram::Add(const ProcessInstance& instance, const std::string& name) {
    if (!Holds(instance)) m_held.push_back({instance, name});
}

void SuspendedByProgram::Remove(const ProcessInstance& instance) {
    m_held.erase(std::remove_if(m_held.begin(), m_held.end(),
                                [&](const HeldProcess& held) { return IsSameProcess(held.instance, instance); }),
                 m_held.end());
}

bool SuspendedByProgram::Holds(const ProcessInstance& instance) const {
    return std::any_of(m_held.begin(), m_held.end(),
                       [&](const HeldProcess& held) { return IsSameProcess(held.instance, instance); });
}
