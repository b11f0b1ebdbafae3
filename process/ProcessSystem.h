// Seam over the platform's process operations, so that the commands can be
// exercised with a scripted system.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "process/FileSignature.h"
#include "process/ProcessInstance.h"
#include "process/ProcessRules.h"
#include "process/ProcessUsage.h"
#include "process/ProgramLocation.h"
#include "process/SuspendRules.h"

// One record of a thread snapshot.
struct ThreadRecord {
    uint32_t threadId = 0;
    uint32_t ownerPid = 0;
    int32_t deltaPriority = 0;
    uint32_t usage = 0;
};

enum class FileDeletionResult { Deleted, Failed, Cancelled };

// What an end came to: ended; not done because the pid no longer names that
// process (it ended, and the pid may name another program now); or refused or
// failed.
enum class EndOutcome { Ended, Gone, Failed };

// What a change of a process (suspend, resume, priority) came to: done; not
// done because the pid no longer names that process; refused for want of
// rights (administrator rights might do it); or failed otherwise.
enum class ChangeOutcome { Done, Gone, Denied, Failed };

// A process's program file as the system names it.
struct ProgramFile {
    std::wstring path;  // full path in its long form; empty when it cannot be read
    ProgramPlace place = ProgramPlace::Unknown;
};

// Texts of a program file's version information; empty when not readable.
struct ProgramVersion {
    std::string description;
    std::string company;
};

struct LocalTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};
// "2026-12-08 13:56:27"
std::string LocalTimeText(const LocalTime& time);

// Pids 0 and 4 and processes the system marks critical are never terminated.
bool IsTerminationRefused(uint32_t pid, bool markedCritical);

class ProcessSystem {
public:
    virtual ~ProcessSystem() = default;

    // Calls visit for each process of a fresh snapshot, in snapshot order,
    // until visit returns false.
    virtual void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) = 0;
    // Opens the process once and ends it only while that handle names the
    // very process (its start time, read on the handle, is the one known). A
    // process whose start time is unknown is never ended. Never ends a process
    // whose end brings the system down (see IsTerminationRefused). With
    // programShortPath, the short form of its program file's path is read on
    // the same handle before the end (empty when it cannot be read).
    virtual EndOutcome Terminate(const ProcessInstance& process, std::string* programShortPath = nullptr) = 0;
    // True while the pid names that very process.
    virtual bool IsRunning(const ProcessInstance& process) = 0;
    // True when no rights would end the process: pids 0 and 4, a process the
    // system marks critical or protects.
    virtual bool IsEndRefused(const ProcessInstance& process) { return IsTerminationRefused(process.pid, false); }
    virtual bool EnableDebugPrivilege() = 0;

    // The operations below have neutral defaults so that a scripted system
    // only provides what its test needs.

    // Calls visit for each thread of a fresh system-wide snapshot until visit
    // returns false.
    virtual void WalkThreads(const std::function<bool(const ThreadRecord&)>& /*visit*/) {}
    // Short (8.3) form of the full path of the process's program file, taken
    // from the process itself; empty when it cannot be found.
    virtual std::string GetProcessShortPath(uint32_t /*pid*/) { return {}; }
    // Waits at most timeoutMs for the process to end; true when it has ended.
    virtual bool WaitForProcessEnd(uint32_t /*pid*/, uint32_t /*timeoutMs*/) { return true; }
    // Deletes one file at once (not into the recycle bin), without questions.
    virtual FileDeletionResult DeleteFileNow(const std::string& /*path*/) { return FileDeletionResult::Failed; }
    // Pid of the program's own process.
    virtual uint32_t OwnPid() { return 0; }
    // One look at every process, with its start time, parent and figures
    // where the system gives them; false when the look failed. By default a
    // walk.
    virtual bool SampleProcesses(ProcessSample& sample);
    // False only when the system's list of processes has surely not changed
    // since the last call (a new process always changes it): a probe far
    // cheaper than a look, for when no figures are shown.
    virtual bool ProcessListMayHaveChanged() { return true; }
    virtual ProgramFile LocateProgramFile(uint32_t /*pid*/) { return {}; }
    // Code page 936 text of a path, for where it is shown. By default ASCII
    // as it is and '?' for every other character.
    virtual std::string Text(const std::wstring& wide);
    virtual ProgramVersion ReadProgramVersion(uint32_t /*pid*/) { return {}; }
    // A moment (100-ns units since 1601, UTC) in the local time of that day.
    virtual bool ToLocalTime(uint64_t /*moment*/, LocalTime& /*local*/) { return false; }
    // The pids whose end TerminateByPid was refused for want of rights since
    // the last call, in order; administrator rights might end them.
    virtual std::vector<uint32_t> TakeDeniedEnds() { return {}; }
    // The pids whose end was refused since the last call because the system
    // protects them (anti-malware, RunAsPPL): no rights end those.
    virtual std::vector<uint32_t> TakeProtectedEnds() { return {}; }

    // What tells a process from another of its name (the details box, the
    // list's tooltip); each read on request, never by the one-second look.
    // The command line it was started with; none when it cannot be read.
    virtual std::optional<std::string> ReadCommandLine(uint32_t /*pid*/) { return std::nullopt; }
    // "DOMAIN\user" of its token; empty when it cannot be read.
    virtual std::string ReadUserName(uint32_t /*pid*/) { return {}; }
    // The signature of a program file.
    virtual FileSignature ReadSignature(const std::wstring& /*path*/) { return {}; }

    // Each opens the process once and acts only while that handle names the
    // very process (its start time, read on the handle). A change refused for
    // want of rights also goes into TakeDeniedEnds, for the restart offer.
    // Suspends every thread of the process.
    virtual ChangeOutcome Suspend(const ProcessInstance& /*process*/) { return ChangeOutcome::Failed; }
    // Undoes one Suspend.
    virtual ChangeOutcome Resume(const ProcessInstance& /*process*/) { return ChangeOutcome::Failed; }
    // Whether the process is suspended: by its threads' states in a fresh
    // look, else (a look without states) by their suspend counts.
    virtual bool IsSuspended(const ProcessInstance& /*process*/) { return false; }
    // The priority class; none when it cannot be read.
    virtual std::optional<PriorityLevel> ReadPriority(const ProcessInstance& /*process*/) { return std::nullopt; }
    virtual ChangeOutcome SetPriority(const ProcessInstance& /*process*/, PriorityLevel /*level*/) {
        return ChangeOutcome::Failed;
    }
};

// Every process of a fresh walk, in walk order, each with the start time and
// parent of the process of that pid and name in a look taken right before the
// walk: the one source of a process's identity. A process the look lacks (it
// started between the two) has an unknown start time.
std::vector<ProcessRecord> IdentifiedWalk(ProcessSystem& system);
// The same with a look just taken.
std::vector<ProcessRecord> IdentifiedWalk(ProcessSystem& system, const ProcessSample& look);

// What read(pid) gives, when the pid still names that process afterwards (so
// it did while it was read); none otherwise.
template <typename Read>
auto ReadFromProcess(ProcessSystem& system, const ProcessInstance& process, Read read)
    -> std::optional<decltype(read(process.pid))> {
    auto value = read(process.pid);
    if (!system.IsRunning(process)) return std::nullopt;
    return value;
}
