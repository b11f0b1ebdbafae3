#include "process/Refresh.h"

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

bool EndBlocked(const RefreshContext& context, const SelectedProcess& process, const std::string& entries) {
    const bool ended = context.system.TerminateByPid(process.pid);
    RecordEnd(context.log, context.system, {EndReason::BlockList, process.name, process.pid, ended, entries, {}, {}});
    return ended;
}

void HandleBlockedProcess(const RefreshContext& context, const ProcessRecord& record) {
    const std::vector<std::string> entries = context.blockList.Matches(record.name);
    if (entries.empty()) return;
    // A copy: the walk's record is not ours to keep across a question.
    const SelectedProcess process{record.name, record.pid};
    if (context.promptDangerous != 1) {
        EndBlocked(context, process, JoinedEntries(entries));
        return;
    }
    // One question per matching entry until the user says Yes; the question and
    // the result name the block-list entry, not the process.
    for (const std::string& entry : entries) {
        if (!context.prompt.AskYesNo(FormatText("发现危险进程%s,是否中止？", entry.c_str()), "提示")) continue;
        // The question may have stayed open for minutes: the pid is ended only
        // while it still names the process that was asked about.
        if (IsStillTheSelectedProcess(context.system, process) &&
            EndBlocked(context, process, JoinedEntries(entries))) {
            context.prompt.Notify(FormatText("中止%s成功", entry.c_str()), "提示");
        }
        return;
    }
}

// A core Windows name whose program file lies outside the Windows folder is
// pointed out, unless the block list names it: that one is shown as the
// rules above say. Only core names cost a look at the file.
const char* RowWord(const RefreshContext& context, const ProcessRecord& record, ProcessCategory category) {
    if (IsCoreWindowsProgramName(record.name) && !context.blockList.MatchesAny(record.name) &&
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
    context.system.WalkProcesses([&](const ProcessRecord& record) {
        if (ownPid == 0 || record.pid != ownPid) HandleBlockedProcess(context, record);
        if (context.seen) context.seen->push_back({record.pid, record.name});
        const ProcessCategory category = ClassifyProcess(record.name, context.blockList, reference);
        rows.push_back({record.name, RowWord(context, record, category), PidText(record.pid), record.parentPid});
        return true;
    });
    return rows;
}

std::string CountText(int count) { return FormatText("共有%d个进程", count); }
