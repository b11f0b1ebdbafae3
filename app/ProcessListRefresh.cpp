// The main window's refresh of its list, the 20-second tick that may let it
// wait, and the one-second tick's look with its CPU and 内存 figures. When
// each runs is the clock's (app/ProcessListClock.h).
#include <algorithm>

#include "app/ProcessListDlg.h"
#include "blocklist/PolicyNames.h"
#include "process/Refresh.h"
#include "res/resource.h"

void CProcessListDlg::OnRefresh() {
    if (m_bRefreshing) {
        m_bRefreshPending = true;
        return;
    }
    m_bRefreshing = true;
    do {
        m_bRefreshPending = false;
        RefreshOnce();
    } while (m_bRefreshPending && m_hWnd);
    m_bRefreshing = false;
    OfferAdministratorRestart(true);
}

void CProcessListDlg::RefreshOnce() {
    m_clock.OnRefreshStarts();
    if (IsNtClass(m_nOsClass)) m_system->EnableDebugPrivilege();
    m_blockList.SetBuiltin();
    RereadPolicyNames();
    // The questions of the block scan come over the list as it was.
    std::vector<ProcessKey> seen;
    RefreshContext context{m_blockList, m_referenceInfo, m_bPromptDangerous, *m_system, *m_prompt, &m_endLog, &seen};
    context.fingerprintMatch = [this](const ProcessRecord& record) {
        return FingerprintMatchOf({record.pid, record.name, record.startTime});
    };
    context.endedBefore = std::move(m_endedByCheck);
    context.heldSuspended = &m_heldSuspended;
    m_endedByCheck.clear();
    // A look of the moment gives the rows their start times and parents; it
    // serves the figures too, unless it follows their latest look so closely
    // that the CPU shares would jump.
    ProcessSample look;
    if (m_system->SampleProcesses(look)) context.look = &look;
    const std::vector<ProcessRow> rows = BuildProcessRows(context);
    if (context.look && look.hasFigures && LookServesFigures(look.takenAt, m_usage.latest().takenAt)) {
        m_usage.Add(std::move(look));
    }
    FillRows(rows);
    m_listed = seen;
    std::sort(m_listed.begin(), m_listed.end());
    m_blockWatch.Remember(std::move(seen));
    m_szCountText = CountText(static_cast<int>(rows.size()));
    SetDlgItemText(IDC_COUNTTEXT, m_szCountText);
    SetRowButtonsEnabled(false);
    ShowBlockNotice();
}

// The administrator's policy may have changed since the last look at it.
void CProcessListDlg::RereadPolicyNames() {
    std::vector<std::string> policyNames = ReadPolicyBlockNames();
    if (policyNames != m_blockList.policyNames()) m_blockList.SetPolicyNames(std::move(policyNames));
}

// Hidden in the tray the refresh would only fill a list nobody sees, and seen
// it would often put back the rows the list has. A look decides; processes
// that start meanwhile meet the block check as ever.
void CProcessListDlg::OnRefreshTick() {
    const WindowState state = ClockState();
    const RefreshTick step = m_clock.OnRefreshTick(state);
    if (step == RefreshTick::RefreshNow) {
        OnRefresh();
        return;
    }
    m_blockList.SetBuiltin();
    RereadPolicyNames();
    if (step == RefreshTick::LookFirst) {
        if (!TakeSample()) {
            OnRefresh();
            return;
        }
        CheckLook(m_usage.latest(), false);
    }
    std::vector<ProcessKey> look = m_latestLook;
    std::sort(look.begin(), look.end());
    if (m_clock.RefreshNowAfterLook(state, LookHoldsWhatRefreshActsOn(), look == m_listed)) OnRefresh();
}

bool CProcessListDlg::LookHoldsWhatRefreshActsOn() const {
    return std::any_of(m_latestLook.begin(), m_latestLook.end(), [this](const ProcessKey& process) {
        return process.pid != m_system->OwnPid() &&
               (m_blockList.MatchesAny(process.name) || FingerprintMatchOf(process));
    });
}

// The list is filled for the user's eyes, after the showing itself.
void CProcessListDlg::OnShown() {
    if (m_clock.RefreshWaitsForShow()) PostMessage(WM_REFRESH_AFTER_SHOW);
}

// Every second one look at the processes (one system query) serves both the
// block check and the figures; the list is only touched while it is seen.
void CProcessListDlg::OnSampleTick() {
    AskForAdministratorRestart();
    const SecondPlan plan = m_clock.OnSecond(ClockState(), m_usage.SameProcessesAsBefore(),
                                             [this] { return m_system->ProcessListMayHaveChanged(); });
    if (!plan.look || !TakeSample()) return;
    CheckLook(m_usage.latest());
    if (plan.updateFigures) UpdateUsageColumns();
}

// Rows stay where they are (selection and scroll with them); a row is found
// by its pid and name, and a process the look no longer has shows no figures.
void CProcessListDlg::UpdateUsageColumns() {
    m_bFillingList = true;
    m_list.UpdateFigures([this](const std::vector<std::string>& cells, int column) {
        UsageTexts usage = m_usage.TextsFor(static_cast<uint32_t>(AtoiPrefix(cells[kPidColumn])), cells[0]);
        return column == kCpuColumn ? std::move(usage.cpu) : std::move(usage.memory);
    });
    m_bFillingList = false;
}
