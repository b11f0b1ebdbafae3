// The window finder's release: the row of the window's process is selected
// and shown, the window comes to the front, and the tip says whose window it
// is. Also the details box's lines of a process's windows and connections.
#include "app/ProcessListDlg.h"
#include "finder/Win32WindowFinderSystem.h"
#include "framework/Text.h"
#include "network/Win32ConnectionSystem.h"

std::vector<std::string> WindowAndConnectionLines(ProcessSystem& system, const SelectedProcess& selected) {
    Win32WindowFinderSystem windows;
    Win32ConnectionSystem connections;
    const auto read = ReadFromProcess(system, selected.instance(), [&](uint32_t pid) {
        std::vector<ConnectionRow> rows;
        const bool tablesRead = connections.ReadConnections(rows);
        return std::make_pair(WindowTitlesLine(ShownWindowTitles(windows, pid)),
                              tablesRead ? ConnectionCountLine(rows, pid) : std::string("网络连接: 无法读取"));
    });
    if (!read) return {"窗口: 无法读取", "网络连接: 无法读取"};
    return {read->first, read->second};
}

void CProcessListDlg::OnWindowFound(const FoundWindow& found) {
    const auto rowOf = [this](uint32_t pid) {
        for (int row = 0; row < m_list.GetItemCount(); ++row) {
            if (static_cast<uint32_t>(AtoiPrefix(m_list.GetItemText(row, kPidColumn))) == pid) return row;
        }
        return -1;
    };
    // A process started since the last refresh, or a listed one whose pid a
    // new process has taken, is looked at afresh.
    int row = rowOf(found.pid);
    const auto listedGone = [this](int listedRow) {
        const ProcessInstance listed = RowProcess(listedRow).instance();
        return listed.startTime != 0 && !m_system->IsRunning(listed);
    };
    if (row < 0 || listedGone(row)) {
        OnRefresh();
        row = rowOf(found.pid);
    }
    SetForegroundWindow(m_hWnd);
    if (row < 0) {
        m_finderTarget.ShowTip(WindowOwnerGoneTip(found));
        return;
    }
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    m_list.SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    // The list shows its selection only while it has the focus.
    ::SetFocus(m_list.m_hWnd);
    SetRowButtonsEnabled(true);
    m_finderTarget.ShowTip(WindowOwnerTip(found, m_list.GetItemText(row, 0)));
}
