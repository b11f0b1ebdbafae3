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

bool DeletesByRowName(int osClass) { return osClass == 1 || osClass == 3; }

bool IsDeletablePath(std::string_view path) {
    // '*' and '?' are below 0x40 and so never the second byte of a double-byte
    // character.
    return !path.empty() && path.find_first_of("*?") == std::string_view::npos;
}

namespace {

// The row can be 20 seconds old, or older than a question that stayed open:
// its process may have ended and its pid been given to another program since.
void SayEnded(const CommandContext& context, const SelectedProcess& selected) {
    context.prompt.Notify(FormatText("%s已经结束。", selected.name.c_str()), "提示");
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
    if (!context.prompt.AskYesNo(FormatText("真的要终止%s吗？", selected.name.c_str()), "警告")) return true;
    const EndOutcome outcome = context.system.Terminate(selected.instance());
    if (outcome == EndOutcome::Gone) {
        SayEnded(context, selected);
        return true;
    }
    const bool terminated = outcome == EndOutcome::Ended;
    RecordEnd(context.log, {EndReason::Terminate, selected.name, selected.pid, terminated, {}, {}, {}},
              selected.startTime);
    context.prompt.Notify(terminated ? "中止成功" : "中止失败", "提示");
    return true;
}

bool RunSlimCommand(const CommandContext& context) {
    if (context.prompt.AskYesNo("该功能最好只在Windows9X下使用，可能会使系统无法正常运行，要继续吗？", "警告")) {
        const uint32_t ownPid = context.system.OwnPid();
        for (const ProcessRecord& record : IdentifiedWalk(context.system)) {
            if (IsSparedBySlimDown(record, ownPid, context.referenceLines)) continue;
            const EndOutcome outcome = context.system.Terminate({record.pid, record.startTime});
            if (outcome == EndOutcome::Gone) continue;
            RecordEnd(context.log,
                      {EndReason::SlimDown, record.name, record.pid, outcome == EndOutcome::Ended, {}, {}, {}},
                      record.startTime);
        }
    }
    return true;
}

bool RunDeleteFileCommand(const CommandContext& context, const SelectedProcess& selected) {
    if (!context.prompt.AskYesNo(FormatText("真的要删除%s吗？", selected.name.c_str()), "警告")) return false;
    // The path is read on the handle that ends the process: another program's
    // file is never deleted for a pid that was given again.
    std::string path;
    const EndOutcome outcome = context.system.Terminate(selected.instance(), &path);
    if (outcome == EndOutcome::Gone) {
        SayEnded(context, selected);
        return true;
    }
    if (DeletesByRowName(context.osClass)) path = selected.name;
    EndRecord record{EndReason::DeleteFile, selected.name, selected.pid, false, {}, path, FileDeletionResult::Failed};
    if (outcome != EndOutcome::Ended) {
        RecordEnd(context.log, record, selected.startTime);
        return true;
    }
    context.prompt.Notify("已经中止进程", "提示");
    // The image stays locked until the process has really ended.
    context.system.WaitForProcessEnd(selected.pid, kProcessEndWaitMs);
    const FileDeletionResult result =
        IsDeletablePath(path) ? context.system.DeleteFileNow(path) : FileDeletionResult::Failed;
    record.ended = true;
    record.deletion = result;
    RecordEnd(context.log, record, selected.startTime);
    switch (result) {
    case FileDeletionResult::Deleted: context.prompt.Show("删除成功", kDeleteResultCaption, kMbOk); break;
    case FileDeletionResult::Cancelled: context.prompt.Show("删除取消", kDeleteResultCaption, kMbOk); break;
    case FileDeletionResult::Failed:
        context.prompt.Show("删除失败", kDeleteResultCaption, kMbOk | kMbIconExclamation);
        break;
    }
    return true;
}
