// The end log as a file: tarvemonix.log in the folder the program started in.
#pragma once

#include <string>
#include <vector>

#include "process/EndLog.h"

class FileEndLog : public EndLog {
public:
    explicit FileEndLog(const std::wstring& folder);

    // Writes the line with the local time (a refused end once per process);
    // a log that cannot be written is passed over without a word. Keeps the
    // block list's ends for the notice.
    void Record(const EndRecord& record) override;

    // The block list's successful ends since the last call, in order.
    std::vector<EndRecord> TakeBlockedEnds();
    const std::wstring& path() const { return m_path; }

private:
    std::wstring m_path;
    std::vector<EndRecord> m_blockedEnds;
    RefusedEnds m_refusedEnds;
};
