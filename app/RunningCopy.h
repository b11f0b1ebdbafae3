// One running copy a user session: one block-list enforcer, tray icon and
// hot-key owner. The first start holds a named mutex as long as it runs.
#pragma once

#include "framework/Handle.h"

constexpr const wchar_t* kRunningCopyMarkName = L"Local\\tarvemonix.running";

class RunningCopyMark {
public:
    explicit RunningCopyMark(const wchar_t* name = kRunningCopyMarkName);

    // True when another copy made the mark first. A copy running with other
    // rights (as administrator) holds a mark this one may not even open:
    // that, too, is a running copy. Where no mark can be made at all, the
    // program runs all the same.
    bool AnotherCopyRuns() const { return m_bAnotherCopyRuns; }

private:
    UniqueHandle m_mutex;
    bool m_bAnotherCopyRuns = false;
};
