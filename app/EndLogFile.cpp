#include "app/EndLogFile.h"

#include <windows.h>

#include "files/Win32FileStore.h"
#include "framework/Text.h"

FileEndLog::FileEndLog(const std::wstring& folder) : m_path(InFolder(folder, WideFromText(kEndLogFileName))) {}

void FileEndLog::Record(const EndRecord& record) {
    if (!m_refusedEnds.IsWorthALine(record)) return;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const LocalTime time{now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
    AppendLogLine(m_path, EndLogLine(record, time), kEndLogLimitBytes);
    if (record.reason == EndReason::BlockList && record.ended) m_blockedEnds.push_back(record);
}

std::vector<EndRecord> FileEndLog::TakeBlockedEnds() {
    std::vector<EndRecord> ends;
    ends.swap(m_blockedEnds);
    return ends;
}
