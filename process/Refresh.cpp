#include "process/Refresh.h"

#include <algorithm>

#include "process/ProcessCommands.h"

namespace {

// Every entry that matched, for the log and the tray notice: one process is
// one end, however many entries name it.
std::string JoinedEntries(const std::vector<std::string>& entries) {
    std::string joined;
    for (const std::string& entry : entries) {
        if (!joined.empty()) joined += "、";
        joined += entry;
    }
    return joined;
}

// The entries that put a process on the block list, and which list they are of.
struct BlockCause {
    BlockBasis basis = BlockBasis::Name;
    std::vector<std::string> entries;
};

BlockCause CauseOf(const RefreshContext& context, const ProcessRecord& record) {
    BlockCause cause{BlockBasis::Name, context.blockList.Matches(record.name)};
    if (!cause.entries.empty()) return cause;
    cause = {BlockBasis::Policy, context.blockList.PolicyMatches(record.name)};
    if (!cause.entries.empty()) return cause;
    const std::string* recorded = context.fingerprintMatch ? context.fingerprintMatch(record) : nullptr;
    if (recorded) return {BlockBasis::Fingerprint, {*recorded}};
    return {};
}

EndOutcome EndBlocked(const RefreshContext& context, const ProcessRecord& record, const BlockCause& cause) {
    const EndOutcome outcome = context.system.Terminate({record.pid, record.startTime});
    if (outcome == EndOutcome::Gone) return outcome;
    EndRecord logged{EndReason::BlockList,         record.name, record.pid, outcome == EndOutcome::Ended,
                     JoinedEntries(cause.entries), {},          {}};
    logged.basis = cause.basis;
    RecordEnd(context.log, logged, record.startTime);
    return outcome;
}

// True when the process is on the block list (in whichever list); ended says
// whether it was ended.
bool HandleBlockedProcess(const RefreshContext& context, const ProcessRecord& record, bool* ended = nullptr) {
    const BlockCause cause = CauseOf(context, record);
    if (cause.entries.empty()) return false;
    if (context.promptDangerous != 1) {
        const bool end = EndBlocked(context, record, cause) == EndOutcome::Ended;
        if (ended) *ended = end;
        return true;
    }
    // One question per matching entry until the user says Yes; the question and
    // the result name the block-list entry, not the process. The question may
    // have stayed open for minutes: only the process asked about is ended.
    for (const std::string& entry : cause.entries) {
        if (!context.prompt.AskYesNo(FormatText("发现危险进程%s,是否中止？", entry.c_str()), "提示")) continue;
        if (EndBlocked(context, record, cause) == EndOutcome::Ended) {
            if (ended) *ended = true;
            context.prompt.Notify(FormatText("中止%s成功", entry.c_str()), "提示");
        }
        break;
    }
    return true;
}

// The processes on the block list, held still while they are ended: a pair
// that starts each other again cannot outrun ends one at a time. Only when
// they are ended without asking (a question would leave a program frozen
// while it waits) and more than one is blocked; one whose end failed is let
// go again, as left suspended it would hang.
class BlockedHeldStill {
public:
    BlockedHeldStill(const RefreshContext& context, const std::vector<ProcessRecord>& records, uint32_t ownPid)
        : m_system(context.system) {
        if (context.promptDangerous == 1) return;
        std::vector<ProcessInstance> blocked;
        for (const ProcessRecord& record : records) {
            const bool endedBefore = std::find(context.endedBefore.begin(), context.endedBefore.end(), record.pid) !=
                                     context.endedBefore.end();
            if (record.pid == ownPid || endedBefore || CauseOf(context, record).entries.empty()) continue;
            blocked.push_back({record.pid, record.startTime});
        }
        if (blocked.size() < 2) return;
        for (const ProcessInstance& process : blocked) {
            if (m_system.Suspend(process) == ChangeOutcome::Done) m_held.push_back(process);
        }
    }
    ~BlockedHeldStill() {
        for (const ProcessInstance& process : m_held) m_system.Resume(process);
    }
    BlockedHeldStill(const BlockedHeldStill&) = delete;
    BlockedHeldStill& operator=(const BlockedHeldStill&) = delete;
    // The process is ended: nothing to let go.
    void Ended(uint32_t pid) {
        m_held.erase(std::remove_if(m_held.begin(), m_held.end(),
                                    [pid](const ProcessInstance& process) { return process.pid == pid; }),
                     m_held.end());
    }

private:
    ProcessSystem& m_system;
    std::vector<ProcessInstance> m_held;
};

// A core Windows name whose program file lies outside the Windows folder is
// pointed out, unless the block list names it: that one is shown as the
// rules above say. Only core names cost a look at the file.
const char* RowWord(const RefreshContext& context, const ProcessRecord& record, ProcessCategory category,
                    bool blocked) {
    if (!blocked && IsCoreWindowsProgramName(record.name) && !context.blockList.MatchesAny(record.name) &&
        IsSuspiciousLocation(record.name, context.system.LocateProgramFile(record.pid).place)) {
        return kSuspiciousWord;
    }
    return CategoryWord(category);
}

}  // namespace

std::vector<ProcessRow> BuildProcessRows(const RefreshContext& context) {
    std::vector<ProcessRow> rows;
    const PreparedReference reference(context.referenceLines);
    // The block list never ends the program itself: an entry such as "EXE" or
    // its own name would otherwise end it at every start.
    const uint32_t ownPid = context.system.OwnPid();
    const std::vector<ProcessRecord> records =
        context.look ? IdentifiedWalk(context.system, *context.look) : IdentifiedWalk(context.system);
    BlockedHeldStill heldStill(context, records, ownPid);
    for (const ProcessRecord& record : records) {
        const bool endedBefore =
            std::find(context.endedBefore.begin(), context.endedBefore.end(), record.pid) != context.endedBefore.end();
        bool ended = false;
        const bool blocked =
            (ownPid == 0 || record.pid != ownPid) &&
            (endedBefore ? !CauseOf(context, record).entries.empty() : HandleBlockedProcess(context, record, &ended));
        if (ended) heldStill.Ended(record.pid);
        if (context.seen) context.seen->push_back({record.pid, record.name, record.startTime});
        ProcessCategory category = ClassifyProcess(record.name, context.blockList, reference);
        // A recorded program file under another name is as dangerous as the name.
        if (blocked && category == ProcessCategory::CategoryApplication) category = ProcessCategory::CategoryDangerous;
        const bool suspended = record.suspension == LookedSuspension::Suspended ||
                               (context.heldSuspended && context.heldSuspended->Holds({record.pid, record.startTime}));
        rows.push_back({record.name, WordWithSuspension(RowWord(context, record, category, blocked), suspended),
                        PidText(record.pid), record.parentPid, record.startTime});
    }
    return rows;
}

std::vector<uint32_t> EndBlockedProcesses(const RefreshContext& context, const std::vector<ProcessRecord>& records) {
    std::vector<uint32_t> ended;
    const uint32_t ownPid = context.system.OwnPid();
    BlockedHeldStill heldStill(context, records, ownPid);
    for (const ProcessRecord& record : records) {
        bool end = false;
        if ((ownPid == 0 || record.pid != ownPid) && HandleBlockedProcess(context, record, &end) && end) {
            ended.push_back(record.pid);
            heldStill.Ended(record.pid);
        }
    }
    return ended;
}

std::string CountText(int count) { return FormatText("共有%d个进程", count); }
