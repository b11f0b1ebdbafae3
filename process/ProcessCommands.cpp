#include "process/ProcessCommands.h"

#include <algorithm>

bool IsSparedBySlimDown(const ProcessRecord& record, uint32_t ownPid, const std::vector<std::string>& referenceLines) {
    if (record.pid == ownPid) return true;
    // The process name must occur inside the table name, not the other way
    // round: "System" is spared, "MYSYSTEM.EXE" is not.
    const bool inTable = std::any_of(SystemProcessNames.begin(), SystemProcessNames.end(),
                                     [&](const char* systemName) { return ContainsNoCase(systemName, record.name); });
    return inTable || IsNamedInReference(record.name, referenceLines);
}

std::string ChooseDeletePath(int osClass, const std::string& rowName, ProcessSystem& system, uint32_t pid) {
    if (osClass == 1 || osClass == 3) return rowName;
    return system.GetProcessShortPath(pid);
}

bool IsDeletablePath(std::string_view path) {
    // '*' and '?' are below 0x40 and so never the second byte of a double-byte
    // character.
    return !path.empty() && path.find_first_of("*?") == std::string_view::npos;
}

bool IsStillTheSelectedProcess(ProcessSystem& system, const SelectedProcess& selected) {
    // Pid 0 is never reused and never ended; the commands refuse it anyway.
    if (selected.pid == 0) return true;
    bool same = false;
    system.WalkProcesses([&](const ProcessRecord& record) {
        if (record.pid != selected.pid) return true;
        same = record.name == selected.name;
        return false;
    });
    return same;
}

namespace {

// The row can be 20 seconds old, or older than a question that stayed open:
// its pid may have ended and been given to another program since.
bool ConfirmSelectedStillRuns(const CommandContext& context, const SelectedProcess& selected) {
    if (IsStillTheSelectedProcess(context.system, selected)) return true;
    context.prompt.Notify(FormatText("%s已经结束。", selected.name.c_str()), "提示");
    return false;
}

}  // namespace

bool RunTerminateCommand(const CommandContext& context, const SelectedProcess& selected) {
    // Administrators hold the debug privilege switched off (Vista on): without
    // it even an elevated copy cannot end services' processes. Only NT 5 has
    // always said when it could not be had.
    if (IsNtClass(context.osClass) && !context.system.EnableDebugPrivilege() && context.osClass == 2) {
        context.prompt.Notify("修改权限错误!", "提示");
        return false;
    }
    if (context.prompt.AskYesNo(FormatText("真的要终止%s吗？", selected.name.c_str()), "警告") &&
        ConfirmSelectedStillRuns(context, selected)) {
        const bool terminated = context.system.TerminateByPid(selected.pid);
        RecordEnd(context.log, context.system,
                  {EndReason::Terminate, selected.name, selected.pid, terminated, {}, {}, {}});
        context.prompt.Notify(terminated ? "中止成功" : "中止失败", "提示");
    }
    return true;
}

bool RunSlimCommand(const CommandContext& context) {
    if (context.prompt.AskYesNo("该功能最好只在Windows9X下使用，可能会使系统无法正常运行，要继续吗？", "警告")) {
        const uint32_t ownPid = context.system.OwnPid();
        context.system.WalkProcesses([&](const ProcessRecord& record) {
            if (!IsSparedBySlimDown(record, ownPid, context.referenceLines)) {
                const bool ended = context.system.TerminateByPid(record.pid);
                RecordEnd(context.log, context.system,
                          {EndReason::SlimDown, record.name, record.pid, ended, {}, {}, {}});
            }
            return true;
        });
    }
    return true;
}

bool RunDeleteFileCommand(const CommandContext& context, const SelectedProcess& selected) {
    if (!context.prompt.AskYesNo(FormatText("真的要删除%s吗？", selected.name.c_str()), "警告")) return false;
    // Another program's file must never be deleted for a pid that was reused.
    if (!ConfirmSelectedStillRuns(context, selected)) return true;
    // The path is taken while the process still runs.
    const std::string path = ChooseDeletePath(context.osClass, selected.name, context.system, selected.pid);
    EndRecord record{EndReason::DeleteFile, selected.name, selected.pid, false, {}, path, FileDeletionResult::Failed};
    if (!context.system.TerminateByPid(selected.pid)) {
        RecordEnd(context.log, context.system, record);
        return true;
    }
    context.prompt.Notify("已经中止进程", "提示");
    // The image stays locked until the process has really ended.
    context.system.WaitForProcessEnd(selected.pid, kProcessEndWaitMs);
    const FileDeletionResult result =
        IsDeletablePath(path) ? context.system.DeleteFileNow(path) : FileDeletionResult::Failed;
    record.ended = true;
    record.deletion = result;
    RecordEnd(context.log, context.system, record);
    switch (result) {
    case FileDeletionResult::Deleted: context.prompt.Show("删除成功", kDeleteResultCaption, kMbOk); break;
    case FileDeletionResult::Cancelled: context.prompt.Show("删除取消", kDeleteResultCaption, kMbOk); break;
    case FileDeletionResult::Failed:
        context.prompt.Show("删除失败", kDeleteResultCaption, kMbOk | kMbIconExclamation);
        break;
    }
    return true;
}
