#include "process/EndLog.h"

#include <algorithm>
#include <tuple>

#include "process/ReferenceInfo.h"

namespace {

std::string BlockCauseText(BlockBasis basis, const std::string& entry) {
    switch (basis) {
    case BlockBasis::Fingerprint: return FormatText("封锁列表(文件指纹 匹配 %s)", entry.c_str());
    case BlockBasis::Policy: return FormatText("组策略封锁(匹配 %s)", entry.c_str());
    case BlockBasis::Name: break;
    }
    return FormatText("封锁列表(匹配 %s)", entry.c_str());
}

// "（匹配 flcss）" and its kin for the other lists.
std::string NoticeMatchText(BlockBasis basis, const std::string& entry) {
    switch (basis) {
    case BlockBasis::Fingerprint: return "（文件指纹 匹配 " + entry + "）";
    case BlockBasis::Policy: return "（组策略 匹配 " + entry + "）";
    case BlockBasis::Name: break;
    }
    return "（匹配 " + entry + "）";
}

std::string Cause(const EndRecord& record) {
    switch (record.reason) {
    case EndReason::BlockList: return BlockCauseText(record.basis, record.entry);
    case EndReason::Terminate: return "中止进程";
    case EndReason::SlimDown: return "精简进程";
    case EndReason::DeleteFile: return "删除文件";
    case EndReason::TerminateTree: return "中止进程树";
    case EndReason::Suspend: return "挂起进程";
    case EndReason::Resume:
    case EndReason::ResumeAtExit: return "恢复进程";
    }
    return "";
}

bool IsStateChange(EndReason reason) {
    return reason == EndReason::Suspend || reason == EndReason::Resume || reason == EndReason::ResumeAtExit;
}

const char* DeletionWord(FileDeletionResult deletion) {
    switch (deletion) {
    case FileDeletionResult::Deleted: return "已删除";
    case FileDeletionResult::Cancelled: return "删除取消";
    case FileDeletionResult::Failed: break;
    }
    return "删除失败";
}

}  // namespace

std::string EndLogLine(const EndRecord& record, const LocalTime& time) {
    std::string line = LocalTimeText(time) + "  ";
    line += Cause(record) + "  " + record.name + FormatText("  PID %u  ", record.pid);
    if (IsStateChange(record.reason)) {
        line += record.ended ? "成功" : "失败";
    } else {
        line += record.ended ? "已结束" : "未能结束";
    }
    if (record.reason == EndReason::ResumeAtExit) line += "  （程序退出时）";
    // A file is only deleted once its process has ended.
    if (record.reason == EndReason::DeleteFile) {
        line += "  文件 " + record.path + "  " + (record.ended ? DeletionWord(record.deletion) : "未删除");
    }
    // A name is one line: a CR or LF in it would split the record.
    for (char& byte : line) {
        if (byte == '\r' || byte == '\n') byte = ' ';
    }
    return line + "\r\n";
}

std::string BlockNoticeText(const std::vector<EndRecord>& blockedEnds) {
    constexpr size_t kNamed = 3;
    std::string text;
    for (size_t index = 0; index < blockedEnds.size() && index < kNamed; ++index) {
        const EndRecord& end = blockedEnds[index];
        if (!text.empty()) text += "\r\n";
        text += GetFileNamePart(end.name) + NoticeMatchText(end.basis, end.entry);
    }
    if (blockedEnds.size() > kNamed)
        text += FormatText("\r\n等，共%u个进程", static_cast<unsigned>(blockedEnds.size()));
    return text;
}

bool RefusedEnds::Key::operator<(const Key& other) const {
    return std::tie(pid, startTime, name) < std::tie(other.pid, other.startTime, other.name);
}

bool RefusedEnds::IsWorthALine(const EndRecord& record) {
    // A suspend or resume is asked for by the user, each time anew.
    if (record.ended || IsStateChange(record.reason)) return true;
    Key key{record.pid, record.startTime, record.name};
    const auto at = std::lower_bound(m_refused.begin(), m_refused.end(), key);
    if (at != m_refused.end() && !(key < *at)) return false;
    // Bounded: a program run for months starts its memory of refusals afresh.
    constexpr size_t kRemembered = 4096;
    if (m_refused.size() >= kRemembered) {
        m_refused.clear();
        m_refused.push_back(std::move(key));
        return true;
    }
    m_refused.insert(at, std::move(key));
    return true;
}

void RecordEnd(EndLog* log, EndRecord record, uint64_t startTime) {
    if (!log) return;
    record.startTime = startTime;
    log->Record(record);
}
