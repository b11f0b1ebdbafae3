#include "process/Refresh.h"

namespace {

bool EndBlocked(const RefreshContext& context, const ProcessRecord& record, const std::string& entry) {
    const bool ended = context.system.TerminateByPid(record.pid);
    if (context.log) context.log->Record({EndReason::BlockList, record.name, record.pid, ended, entry, {}, {}});
    return ended;
}

void HandleBlockedProcess(const RefreshContext& context, const ProcessRecord& record) {
    for (const std::string& entry : context.blockList.Matches(record.name)) {
        if (context.promptDangerous != 1) {
            EndBlocked(context, record, entry);
            continue;
        }
        // The question and the result name the block-list entry, not the process.
        if (context.prompt.AskYesNo(FormatText("发现危险进程%s,是否中止？", entry.c_str()), "提示") &&
            EndBlocked(context, record, entry)) {
            context.prompt.Notify(FormatText("中止%s成功", entry.c_str()), "提示");
        }
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
        rows.push_back({record.name, RowWord(context, record, category), PidText(record.pid)});
        return true;
    });
    return rows;
}

std::string CountText(int count) { return FormatText("共有%d个进程", count); }
