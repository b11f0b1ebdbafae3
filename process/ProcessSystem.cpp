#include "process/ProcessSystem.h"

#include <unordered_map>

bool IsTerminationRefused(uint32_t pid, bool markedCritical) {
    // 0 is the idle process and 4 the kernel's System process on NT.
    return pid == 0 || pid == 4 || markedCritical;
}

std::string LocalTimeText(const LocalTime& time) {
    return FormatText("%04d-%02d-%02d %02d:%02d:%02d", time.year, time.month, time.day, time.hour, time.minute,
                      time.second);
}

std::string ProcessSystem::Text(const std::wstring& wide) {
    std::string text;
    for (wchar_t c : wide) text += c < 0x80 ? static_cast<char>(c) : '?';
    return text;
}

bool ProcessSystem::SampleProcesses(ProcessSample& sample) {
    sample = ProcessSample{};
    WalkProcesses([&](const ProcessRecord& record) {
        SampledProcess process;
        process.pid = record.pid;
        process.name = record.name;
        process.startTime = record.startTime;
        process.parentPid = record.parentPid;
        sample.processes.push_back(std::move(process));
        return true;
    });
    return true;
}

std::vector<ProcessRecord> IdentifiedWalk(ProcessSystem& system) {
    ProcessSample look;
    if (!system.SampleProcesses(look)) look.processes.clear();
    return IdentifiedWalk(system, look);
}

std::vector<ProcessRecord> IdentifiedWalk(ProcessSystem& system, const ProcessSample& look) {
    std::unordered_map<uint32_t, const SampledProcess*> byPid;
    byPid.reserve(look.processes.size());
    for (const SampledProcess& process : look.processes) byPid.emplace(process.pid, &process);
    std::vector<ProcessRecord> records;
    records.reserve(look.processes.size());
    system.WalkProcesses([&](const ProcessRecord& walked) {
        ProcessRecord record = walked;
        record.startTime = 0;
        const auto found = byPid.find(record.pid);
        if (found != byPid.end() && found->second->name == record.name) {
            record.startTime = found->second->startTime;
            record.parentPid = found->second->parentPid;
            record.suspension = found->second->suspension;
        }
        records.push_back(std::move(record));
        return true;
    });
    return records;
}
