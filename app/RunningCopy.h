// One running copy a user session: one block-list enforcer, tray icon and
// hot-key owner. The first start holds a named mutex as long as it runs.
#pragma once

#include <cstdint>
#include <string>

#include "framework/Handle.h"

constexpr const wchar_t* kRunningCopyMarkName = L"Local\\tarvemonix.running";

// How long a copy that takes over waits for the one it replaces to end.
constexpr DWORD kTakeOverWaitMs = 10000;

class RunningCopyMark {
public:
    // takeOverFromPid: the copy that started this one to take its place
    // (restarting with administrator rights); its mark is waited for as that
    // copy ends, instead of handing back to it.
    explicit RunningCopyMark(const wchar_t* name = kRunningCopyMarkName, uint32_t takeOverFromPid = 0);

    // True when another copy made the mark first. A copy running with other
    // rights (as administrator) holds a mark this one may not even open:
    // that, too, is a running copy. Where no mark can be made at all, the
    // program runs all the same.
    bool AnotherCopyRuns() const { return m_bAnotherCopyRuns; }

    // Lets go of the mark for a copy that takes over, and waits up to
    // timeoutMs for it to hold the mark. True once another copy holds it;
    // false, with the mark made again, when none took it: this copy then runs
    // on, so that one copy always runs.
    bool HandOver(DWORD timeoutMs);

private:
    void Claim(const wchar_t* name);
    bool HeldByAnother() const;

    std::wstring m_name;
    UniqueHandle m_mutex;
    bool m_bAnotherCopyRuns = false;
};
