// The record of every process the program ends (tarvemonix.log): one line a
// process, code page 936 text ending in CR LF, with the local time, what ended
// it, the process and whether it ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "process/ProcessSystem.h"

// Besides the ends, the log holds 挂起进程 and 恢复进程, and each resume at
// the program's exit (ResumeAtExit); for those "ended" means "done".
enum class EndReason { BlockList, Terminate, SlimDown, DeleteFile, TerminateTree, Suspend, Resume, ResumeAtExit };

// What put a process on the block list (EndReason::BlockList): a name of
// proc.dat, a recorded program file, or a name of the administrator's policy.
enum class BlockBasis { Name, Fingerprint, Policy };

struct EndRecord {
    EndReason reason = EndReason::Terminate;
    std::string name;
    uint32_t pid = 0;
    bool ended = false;
    std::string entry;  // BlockList: the entry that matched
    std::string path;   // DeleteFile: the file, and what became of it
    FileDeletionResult deletion = FileDeletionResult::Failed;
    uint64_t startTime = 0;               // of a process not ended: tells a retry from a new process; 0 when unknown
    BlockBasis basis = BlockBasis::Name;  // BlockList: which list the entry is of
};

constexpr const char* kEndLogFileName = "tarvemonix.log";
// A full log moves to "tarvemonix.log.1" before the line that would take it
// to this size is written.
constexpr uint64_t kEndLogLimitBytes = uint64_t{1024} * 1024;

// "2026-12-08 13:56:27  封锁列表(匹配 flcss)  FLCSS.EXE  PID 1234  已结束" and CR LF;
// "... 挂起进程  A.EXE  PID 1234  成功", "... 恢复进程  A.EXE  PID 1234  成功  （程序退出时）".
std::string EndLogLine(const EndRecord& record, const LocalTime& time);

// The tray notice after the block list ended processes while the window was
// hidden: its title, and a text naming the first few, each with the entry
// that matched, and how many there were.
constexpr const char* kBlockNoticeTitle = "瓦诺德已拦截";
std::string BlockNoticeText(const std::vector<EndRecord>& blockedEnds);

// A process whose end is refused is tried again at every refresh; its
// refusal is worth one line of the log, not one every 20 seconds.
class RefusedEnds {
public:
    // False for a refused end of a process (pid, start time and name) already
    // refused before; true for everything else.
    bool IsWorthALine(const EndRecord& record);

private:
    struct Key {
        uint32_t pid;
        uint64_t startTime;
        std::string name;
        bool operator<(const Key& other) const;
    };
    std::vector<Key> m_refused;  // sorted
};

// Where the flows report each end. Writing it never stops, delays or changes
// an action, and shows nothing.
class EndLog {
public:
    virtual ~EndLog() = default;
    virtual void Record(const EndRecord& record) = 0;
};

// Tells log of record (when there is a log), with the start time of its
// process (a refused end of the same process is written once).
void RecordEnd(EndLog* log, EndRecord record, uint64_t startTime);
