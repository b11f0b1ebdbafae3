#include "process/DetailsText.h"

#include "process/ProcessIdentity.h"
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

namespace {

const char* const kUnreadable = "无法读取";

std::string OrUnreadable(const std::string& text) { return text.empty() ? kUnreadable : text; }

// "h:mm:ss" of a time in 100-ns units.
std::string DurationText(uint64_t time) {
    const uint64_t seconds = time / 10000000;
    return FormatText("%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                      static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
}

std::string StartText(ProcessSystem& system, uint64_t startTime) {
    LocalTime local;
    if (startTime == 0 || !system.ToLocalTime(startTime, local)) return kUnreadable;
    return LocalTimeText(local);
}

}  // namespace

std::string BuildDetailsFacts(const CommandContext& context, const SelectedProcess& selected) {
    // A fresh look; nothing is told of a pid given to another program since.
    ProcessSample sample;
    const SampledProcess* sampled = nullptr;
    if (context.system.SampleProcesses(sample)) {
        for (const SampledProcess& process : sample.processes) {
            if (process.pid == selected.pid && process.name == selected.name) sampled = &process;
        }
    }
    const SampledProcess* figures = sample.hasFigures ? sampled : nullptr;
    const ProgramFile file = sampled ? context.system.LocateProgramFile(selected.pid) : ProgramFile{};
    const ProgramVersion version = sampled ? context.system.ReadProgramVersion(selected.pid) : ProgramVersion{};
    std::string facts = " 程序文件: " + OrUnreadable(context.system.Text(file.path));
    facts += "\n 启动时间: " + (figures ? StartText(context.system, figures->startTime) : kUnreadable);
    facts += "\n CPU 时间: " + (figures ? DurationText(figures->cpuTime) : kUnreadable);
    const auto memory = [](uint64_t bytes) { return bytes == kUnknownBytes ? kUnreadable : KilobyteText(bytes); };
    facts += "\n 工作集: " + (figures ? memory(figures->workingSet) : kUnreadable);
    facts += "\n 专用字节: " + (figures ? memory(figures->privateBytes) : kUnreadable);
    facts += "\n 文件描述: " + OrUnreadable(version.description);
    facts += "\n 公司: " + OrUnreadable(version.company);
    const std::optional<PriorityLevel> priority =
        sampled ? context.system.ReadPriority(selected.instance()) : std::nullopt;
    facts += "\n 优先级: " + std::string(priority ? PriorityText(*priority) : kUnreadable);
    const bool held = context.heldSuspended && context.heldSuspended->Holds(selected.instance());
    if (sampled && (held || context.system.IsSuspended(selected.instance()))) facts += "\n 状态: 已挂起";
    const bool blocked = context.blockList && context.blockList->MatchesAny(selected.name);
    if (!blocked && IsSuspiciousLocation(selected.name, file.place)) facts += "\n 可疑进程: 程序文件不在系统目录中";
    const std::string* recorded = context.fingerprintMatch && sampled ? context.fingerprintMatch(selected) : nullptr;
    if (!blocked && recorded) facts += "\n 封锁依据: 文件指纹（" + *recorded + "）";
    return facts;
}

std::string JoinDetails(const std::string& snapshotText, const std::string& facts) {
    if (snapshotText.empty()) return facts;
    return snapshotText + (snapshotText.back() == '\n' ? "\n" : "\n\n") + facts;
}

bool RunDetailsCommand(const CommandContext& context, const SelectedProcess& selected) {
    std::string facts = BuildDetailsFacts(context, selected);
    facts += "\n" + BuildIdentityLines(context, selected);
    if (context.moreDetailLines) {
        for (const std::string& line : context.moreDetailLines(selected)) facts += "\n " + line;
    }
    const std::string text = JoinDetails(BuildDetailsText(context, selected), facts);
    context.prompt.Show(text, "进程信息", kMbIconInformation | kMbTaskModal);
    return true;
}
