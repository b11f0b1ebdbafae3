// The plain rules of 挂起进程, 恢复进程 and 优先级: when a process counts as
// suspended, which of the two commands its row offers, the six priority
// classes and their texts, and the processes this program holds suspended.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "process/ProcessInstance.h"

// One thread of the system's look: its scheduling state and, while waiting,
// why.
struct ThreadState {
    uint32_t state = 0;
    uint32_t waitReason = 0;
};

// What the look's thread states say of a process. A system that gives every
// thread state 0 (never a real one: 0 is "initialized") tells nothing.
enum class LookedSuspension { Running, Suspended, Untold };

// Suspended: every thread waits for the reason "suspended"; untold where the
// look gives no states (all 0) or no threads.
LookedSuspension SuspensionFromThreadStates(const std::vector<ThreadState>& threads);

// Suspended by the threads' suspend counts: there is a thread, and each one's
// count is above zero.
bool IsSuspendedByCounts(const std::vector<uint32_t>& suspendCounts);

// The row's word (说明) with "（已挂起）" after it for a suspended process.
std::string WordWithSuspension(const std::string& word, bool suspended);

// The 说明 word that makes 挂起进程 ask first.
bool IsSystemProcessWord(const std::string& word);

// The row menu shows 恢复进程 for a suspended process, 挂起进程 otherwise.
enum class SuspendCommand { Suspend, Resume };
SuspendCommand RowSuspendCommand(bool suspended);
const char* SuspendCommandText(SuspendCommand command);

// The six priority classes, as the 优先级 submenu lists them.
enum class PriorityLevel { Realtime, High, AboveNormal, Normal, BelowNormal, Idle };
constexpr PriorityLevel kPriorityLevels[] = {PriorityLevel::Realtime,    PriorityLevel::High,
                                             PriorityLevel::AboveNormal, PriorityLevel::Normal,
                                             PriorityLevel::BelowNormal, PriorityLevel::Idle};

// "实时", "高", "高于正常", "正常", "低于正常", "低".
const char* PriorityText(PriorityLevel level);
// The system's value of the class (REALTIME_PRIORITY_CLASS and its kin).
uint32_t PriorityClassValue(PriorityLevel level);
// The class of a value GetPriorityClass gave; none for anything else.
std::optional<PriorityLevel> PriorityFromClassValue(uint32_t value);
// 高于正常 and 低于正常 exist from Windows 2000 on (os class 2 and 5).
bool IsPriorityOffered(PriorityLevel level, int osClass);

// The processes this program suspended and has not resumed, each with its
// name: they are resumed when the program ends.
struct HeldProcess {
    ProcessInstance instance;
    std::string name;
};

class SuspendedByProgram {
public:
    void Add(const ProcessInstance& instance, const std::string& name);
    void Remove(const ProcessInstance& instance);
    bool Holds(const ProcessInstance& instance) const;
    const std::vector<HeldProcess>& held() const { return m_held; }

private:
    std::vector<HeldProcess> m_held;
};
