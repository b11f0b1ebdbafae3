#include "process/ProcessSystem.h"

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
        sample.processes.push_back(std::move(process));
        return true;
    });
    return true;
}
