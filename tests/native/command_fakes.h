// A scripted process system and prompt for the command flows.
#pragma once

#include <algorithm>
#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "process/EndLog.h"
#include "process/MessagePrompt.h"
#include "process/ProcessCommands.h"
#include "process/ProcessSystem.h"

inline ProcessRecord Record(uint32_t pid, const char* name) {
    ProcessRecord record;
    record.pid = pid;
    record.name = name;
    return record;
}

// A list row of the process of that pid, with the start time ScriptedSystem
// gives it unless told otherwise.
inline SelectedProcess Row(const char* name, uint32_t pid) { return {name, pid, pid * 1000u}; }

class ScriptedSystem : public ProcessSystem {
public:
    std::vector<ProcessRecord> processes;
    std::vector<ThreadRecord> threads;
    std::map<uint32_t, std::string> shortPaths;
    std::set<uint32_t> unterminable;
    bool privilegeEnabled = true;
    FileDeletionResult deletionResult = FileDeletionResult::Deleted;
    uint32_t ownPid = 0;

    std::vector<uint32_t> terminated;
    std::vector<std::string> deleted;
    std::vector<uint32_t> waitedFor;
    std::vector<std::string> events;  // order of terminations, path lookups and deletions

    void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) override {
        for (const ProcessRecord& record : processes) {
            if (!visit(record)) return;
        }
    }
    std::set<uint32_t> refused;  // critical or protected: no rights end them
    // A process is its pid and its start time: a pid that no listed process
    // has, or one whose start time changed (given again), is gone.
    bool IsRunning(const ProcessInstance& process) override {
        const bool listed = std::any_of(processes.begin(), processes.end(),
                                        [&](const ProcessRecord& record) { return record.pid == process.pid; });
        return listed && IsSameProcess(process, {process.pid, StartTimeOf(process.pid)});
    }
    // Reads the path on the handle before the end, as the system's does.
    EndOutcome Terminate(const ProcessInstance& process, std::string* programShortPath) override {
        if (programShortPath) programShortPath->clear();
        const bool endable = !IsTerminationRefused(process.pid, false) && refused.count(process.pid) == 0;
        const bool running = IsRunning(process);
        if (endable && running && programShortPath) *programShortPath = GetProcessShortPath(process.pid);
        events.push_back("terminate " + std::to_string(process.pid));
        if (!endable) return EndOutcome::Failed;
        if (!running) return EndOutcome::Gone;
        if (unterminable.count(process.pid)) return EndOutcome::Failed;
        terminated.push_back(process.pid);
        return EndOutcome::Ended;
    }
    bool IsEndRefused(const ProcessInstance& process) override {
        return IsTerminationRefused(process.pid, false) || refused.count(process.pid) > 0;
    }
    int privilegeRequests = 0;
    bool EnableDebugPrivilege() override {
        ++privilegeRequests;
        return privilegeEnabled;
    }
    std::map<uint32_t, uint64_t> startTimes;  // pid * 1000 for the others
    uint64_t StartTimeOf(uint32_t pid) const {
        const auto found = startTimes.find(pid);
        return found == startTimes.end() ? pid * 1000u : found->second;
    }
    void WalkThreads(const std::function<bool(const ThreadRecord&)>& visit) override {
        for (const ThreadRecord& thread : threads) {
            if (!visit(thread)) return;
        }
    }
    std::string GetProcessShortPath(uint32_t pid) override {
        events.push_back("path " + std::to_string(pid));
        auto found = shortPaths.find(pid);
        return found == shortPaths.end() ? std::string() : found->second;
    }
    bool WaitForProcessEnd(uint32_t pid, uint32_t) override {
        waitedFor.push_back(pid);
        return true;
    }
    FileDeletionResult DeleteFileNow(const std::string& path) override {
        events.push_back("delete " + path);
        deleted.push_back(path);
        return deletionResult;
    }
    uint32_t OwnPid() override { return ownPid; }

    ProcessSample sample;  // taken as it is once it has figures; a walk before
    std::map<uint32_t, ProgramFile> files;
    ProgramVersion version;
    std::vector<uint32_t> located;
    // The look gives each walked process its start time, as the system's does.
    bool SampleProcesses(ProcessSample& look) override {
        if (sample.hasFigures) {
            look = sample;
            return true;
        }
        look = ProcessSample{};
        for (const ProcessRecord& record : processes) {
            SampledProcess process;
            process.pid = record.pid;
            process.name = record.name;
            process.parentPid = record.parentPid;
            process.startTime = StartTimeOf(record.pid);
            look.processes.push_back(process);
        }
        return true;
    }
    ProgramFile LocateProgramFile(uint32_t pid) override {
        located.push_back(pid);
        return files[pid];
    }
    ProgramVersion ReadProgramVersion(uint32_t) override { return version; }
    std::map<uint32_t, std::string> commandLines, users;
    std::map<std::wstring, FileSignature> signatures;
    std::optional<std::string> ReadCommandLine(uint32_t pid) override {
        const auto found = commandLines.find(pid);
        return found == commandLines.end() ? std::nullopt : std::optional<std::string>(found->second);
    }
    std::string ReadUserName(uint32_t pid) override { return users[pid]; }
    FileSignature ReadSignature(const std::wstring& path) override { return signatures[path]; }
    bool ToLocalTime(uint64_t moment, LocalTime& local) override {
        local = {2026, 12, 8, 10, 11, static_cast<int>(moment % 60)};
        return true;
    }

    // Suspend, resume and priority changes go into events too; a pid in
    // deniedChanges is refused for want of rights, one in failedChanges fails.
    std::set<uint32_t> suspended;
    std::set<uint32_t> deniedChanges, failedChanges;
    std::map<uint32_t, PriorityLevel> priorities;
    ChangeOutcome Change(const char* what, const ProcessInstance& process) {
        events.push_back(std::string(what) + " " + std::to_string(process.pid));
        if (!IsRunning(process)) return ChangeOutcome::Gone;
        if (deniedChanges.count(process.pid)) return ChangeOutcome::Denied;
        if (failedChanges.count(process.pid)) return ChangeOutcome::Failed;
        return ChangeOutcome::Done;
    }
    ChangeOutcome Suspend(const ProcessInstance& process) override {
        const ChangeOutcome outcome = Change("suspend", process);
        if (outcome == ChangeOutcome::Done) suspended.insert(process.pid);
        return outcome;
    }
    ChangeOutcome Resume(const ProcessInstance& process) override {
        const ChangeOutcome outcome = Change("resume", process);
        if (outcome == ChangeOutcome::Done) suspended.erase(process.pid);
        return outcome;
    }
    bool IsSuspended(const ProcessInstance& process) override { return suspended.count(process.pid) > 0; }
    std::optional<PriorityLevel> ReadPriority(const ProcessInstance& process) override {
        const auto found = priorities.find(process.pid);
        return found == priorities.end() ? std::nullopt : std::optional<PriorityLevel>(found->second);
    }
    ChangeOutcome SetPriority(const ProcessInstance& process, PriorityLevel level) override {
        const ChangeOutcome outcome = Change("priority", process);
        if (outcome == ChangeOutcome::Done) priorities[process.pid] = level;
        return outcome;
    }
};

class ScriptedPrompt : public MessagePrompt {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned style;
    };
    std::deque<int> answers;  // kIdOk when the script runs out
    std::vector<Shown> shown;
    std::function<void()> whileShown;  // what happens while a box is open

    int Show(const std::string& text, const std::string& caption, unsigned style) override {
        shown.push_back({text, caption, style});
        if (whileShown) whileShown();
        if (answers.empty()) return kIdOk;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const Shown& box : shown) texts.push_back(box.text);
        return texts;
    }
};

// Keeps every record the flows report.
class RecordingEndLog : public EndLog {
public:
    std::vector<EndRecord> records;
    void Record(const EndRecord& record) override { records.push_back(record); }
};
