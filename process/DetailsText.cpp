#include "process/DetailsText.h"

#include "process/ReferenceInfo.h"

std::string DetailsProcessPart(const ProcessRecord& record) {
    return FormatText(" 进程名: %s\n 线程数: %d\n 进程值: %d\n 基本优先权: %d\n 父进程ID :%d\n 进程ID: %d\n",
                      record.name.c_str(), static_cast<int>(record.threads), static_cast<int>(record.usage),
                      static_cast<int>(record.basePriority), static_cast<int>(record.parentPid),
                      static_cast<int>(record.pid));
}

std::string DetailsThreadPart(const ThreadRecord& thread) {
    return FormatText(" 线程ID: %d\n Delta Priority: %d\n 线程值: %d\n", static_cast<int>(thread.threadId),
                      static_cast<int>(thread.deltaPriority), static_cast<int>(thread.usage));
}

std::string DetailsPathPart(const std::string& shortPath) { return FormatText("\n全路径:%s\n", shortPath.c_str()); }

std::string BuildDetailsText(const CommandContext& context, const SelectedProcess& selected) {
    std::string processPart;
    context.system.WalkProcesses([&](const ProcessRecord& record) {
        if (record.pid != selected.pid) return true;
        processPart = DetailsProcessPart(record);
        return false;
    });
    std::string threadPart;
    context.system.WalkThreads([&](const ThreadRecord& thread) {
        if (thread.ownerPid != selected.pid) return true;
        threadPart = DetailsThreadPart(thread);
        return false;
    });
    const std::string pathPart =
        context.osClass == 2 ? DetailsPathPart(context.system.GetProcessShortPath(selected.pid)) : std::string();
    return processPart + threadPart + pathPart + LookupReferenceText(selected.name, context.referenceLines);
}

bool RunDetailsCommand(const CommandContext& context, const SelectedProcess& selected) {
    context.prompt.Show(BuildDetailsText(context, selected), "进程信息", kMbIconInformation | kMbTaskModal);
    return true;
}
