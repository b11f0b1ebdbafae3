// The main window's block check between refreshes: a look at names, pids and
// program files, from the one-second tick, from the probe's notice of a
// change and as program-file hashes arrive. Whether it may act is the
// clock's (app/ProcessListClock.h).
#include "app/ProcessListDlg.h"
#include "process/Refresh.h"

WindowState CProcessListDlg::ClockState() const {
    WindowState state;
    state.shown = IsWindowVisible();
    state.refreshing = m_bRefreshing;
    state.questionOpen = m_questions.open != 0;
    state.askingFirst = m_bPromptDangerous == 1;
    state.probeRunning = m_changeProbe && m_changeProbe->Running();
    return state;
}

bool CProcessListDlg::TakeSample() {
    ProcessSample sample;
    if (!m_system->SampleProcesses(sample)) return false;
    m_usage.Add(std::move(sample));
    return true;
}

// A new process on the block list, or whose program file is recorded, brings
// the refresh forward. Program files are looked at even when the check may
// not act, so that the refresh knows them.
void CProcessListDlg::CheckLook(const ProcessSample& sample, bool mayEnd) {
    std::vector<ProcessKey> current;
    current.reserve(sample.processes.size());
    for (const SampledProcess& process : sample.processes) {
        current.push_back({process.pid, process.name, process.startTime});
    }
    m_latestLook = current;
    const bool fileFound = m_fingerprintWatch.Look(current, m_fingerprints, m_programFiles, m_system->OwnPid());
    if (!m_clock.BlockCheckActs(ClockState(), mayEnd, fileFound)) return;
    m_blockList.SetBuiltin();
    const bool byName = m_blockWatch.FindsNewBlocked(std::move(current), m_blockList, m_system->OwnPid());
    if (m_clock.EndsFromLook(byName)) {
        EndBlockedOfLook(sample);
        OnRefresh();
    }
}

// Ended at once from the look; the refresh after it lists them, as the
// refresh's own ends, and does not end them again.
void CProcessListDlg::EndBlockedOfLook(const ProcessSample& sample) {
    std::vector<ProcessRecord> records;
    records.reserve(sample.processes.size());
    for (const SampledProcess& process : sample.processes) {
        ProcessRecord record;
        record.pid = process.pid;
        record.name = process.name;
        record.parentPid = process.parentPid;
        record.startTime = process.startTime;
        records.push_back(std::move(record));
    }
    RefreshContext context{m_blockList, m_referenceInfo, m_bPromptDangerous, *m_system, *m_prompt, &m_endLog};
    context.fingerprintMatch = [this](const ProcessRecord& record) {
        return FingerprintMatchOf({record.pid, record.name, record.startTime});
    };
    m_endedByCheck = EndBlockedProcesses(context, records);
}

// The probe costs a fraction of a look. Seen, the look it brings can give the
// figures in place of the next second's own look.
void CProcessListDlg::OnFastCheck() {
    if (m_changeProbe) m_changeProbe->Taken();
    ProcessSample sample;
    if (!m_system->SampleProcesses(sample)) return;
    if (m_clock.ProbeLookServesFigures(ClockState(), sample.takenAt, m_usage.latest().takenAt)) {
        m_usage.Add(std::move(sample));
        CheckLook(m_usage.latest());
        UpdateUsageColumns();
        return;
    }
    CheckLook(sample);
}

void CProcessListDlg::OnFingerprintHashed() {
    bool found = false;
    for (const Win32ProgramFiles::HashResult& result : m_programFiles.TakeResults()) {
        found = m_fingerprintWatch.TakeHash(result.path, result.stamp, result.sha256, m_fingerprints) || found;
        RecordArrivedFingerprints(result);
    }
    if (m_clock.RefreshForHashes(ClockState(), found)) OnRefresh();
}

const std::string* CProcessListDlg::FingerprintMatchOf(const ProcessKey& process) const {
    uint64_t startTime = 0;
    const std::string* recorded = m_fingerprintWatch.MatchOf(process.pid, process.name, &startTime);
    // A pid given to another program since the look names another file.
    if (recorded && !IsSameProcess({process.pid, startTime}, {process.pid, process.startTime})) return nullptr;
    return recorded;
}
