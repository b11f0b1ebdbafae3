#include "process/SuspendCommands.h"

std::string SuspendRefusedText(const std::string& name, uint32_t pid) {
    return FormatText("%s（PID %u）不能挂起。", name.c_str(), static_cast<unsigned>(pid));
}

namespace {

void SayEnded(const CommandContext& context, const SelectedProcess& selected) {
    context.prompt.Notify(FormatText("%s已经结束。", selected.name.c_str()), "提示");
}

// Logs the change and says what became of it; true: refresh the list.
bool Conclude(const CommandContext& context, const SelectedProcess& selected, EndReason reason, ChangeOutcome outcome,
              const char* failure) {
    if (outcome == ChangeOutcome::Gone) {
        SayEnded(context, selected);
        return true;
    }
    const bool done = outcome == ChangeOutcome::Done;
    RecordEnd(context.log, {reason, selected.name, selected.pid, done, {}, {}, {}}, selected.startTime);
    // A refusal for want of rights is answered by the restart offer.
    if (outcome == ChangeOutcome::Failed) context.prompt.Notify(failure, "提示");
    return true;
}

}  // namespace

bool RunSuspendCommand(const CommandContext& context, const SelectedProcess& selected, const std::string& word,
                       SuspendedByProgram& held) {
    const uint32_t ownPid = context.system.OwnPid();
    if ((ownPid != 0 && selected.pid == ownPid) || context.system.IsEndRefused(selected.instance())) {
        context.prompt.Notify(SuspendRefusedText(selected.name, selected.pid), "提示");
        return false;
    }
    if (IsSystemProcessWord(word) &&
        !context.prompt.AskYesNo(FormatText("挂起 %s 可能使系统无响应，确定要挂起吗？", selected.name.c_str()),
                                 "警告")) {
        return false;
    }
    const ChangeOutcome outcome = context.system.Suspend(selected.instance());
    if (outcome == ChangeOutcome::Done) held.Add(selected.instance(), selected.name);
    return Conclude(context, selected, EndReason::Suspend, outcome, "挂起失败");
}

bool RunResumeCommand(const CommandContext& context, const SelectedProcess& selected, SuspendedByProgram& held) {
    const ChangeOutcome outcome = context.system.Resume(selected.instance());
    if (outcome != ChangeOutcome::Failed && outcome != ChangeOutcome::Denied) held.Remove(selected.instance());
    return Conclude(context, selected, EndReason::Resume, outcome, "恢复失败");
}

bool RunPriorityCommand(const CommandContext& context, const SelectedProcess& selected, PriorityLevel level) {
    if (level == PriorityLevel::Realtime &&
        !context.prompt.AskYesNo(FormatText("将 %s 设为实时优先级可能使系统无响应，确定吗？", selected.name.c_str()),
                                 "提示")) {
        return false;
    }
    const ChangeOutcome outcome = context.system.SetPriority(selected.instance(), level);
    switch (outcome) {
    case ChangeOutcome::Gone: SayEnded(context, selected); break;
    case ChangeOutcome::Denied:
        context.prompt.Notify(FormatText("没有权限更改 %s 的优先级。", selected.name.c_str()), "提示");
        break;
    case ChangeOutcome::Failed: context.prompt.Notify("更改优先级失败", "提示"); break;
    case ChangeOutcome::Done: break;
    }
    return true;
}

void ResumeHeldAtExit(ProcessSystem& system, EndLog* log, SuspendedByProgram& held) {
    for (const HeldProcess& process : held.held()) {
        // Resumed elsewhere meanwhile, or its pid given to another program:
        // nothing of ours to undo.
        if (!system.IsRunning(process.instance) || !system.IsSuspended(process.instance)) continue;
        const bool done = system.Resume(process.instance) == ChangeOutcome::Done;
        RecordEnd(log, {EndReason::ResumeAtExit, process.name, process.instance.pid, done, {}, {}, {}},
                  process.instance.startTime);
    }
    held = SuspendedByProgram();
}
