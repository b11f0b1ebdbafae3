// The window finder's release: the row of the window's process is selected
// and shown (as the file search's 定位 does), the window comes to the front,
// and the tip says whose window it is. Also the details box's lines of a
// process's windows and connections.
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

int CProcessListDlg::SelectProcessRow(const ProcessInstance& process) {
    const auto rowOf = [this, &process] {
        for (int row = 0; row < m_list.GetItemCount(); ++row) {
            const ProcessInstance listed = RowProcess(row).instance();
            if (listed.pid != process.pid) continue;
            // A listed process whose pid a new process has taken is not it.
            const bool same = process.startTime != 0 ? listed.startTime == process.startTime
                                                     : listed.startTime == 0 || m_system->IsRunning(listed);
            if (same) return row;
        }
        return -1;
    };
    int row = rowOf();
    if (row < 0) {
        OnRefresh();
        row = rowOf();
    }
    if (row < 0) return -1;
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    m_list.SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    // The list shows its selection only while it has the focus.
    ::SetFocus(m_list.m_hWnd);
    SetRowButtonsEnabled(true);
    return row;
}

void CProcessListDlg::OnWindowFound(const FoundWindow& found) {
    const int row = SelectProcessRow({found.pid, 0});
    SetForegroundWindow(m_hWnd);
    m_finderTarget.ShowTip(row < 0 ? WindowOwnerGoneTip(found) : WindowOwnerTip(found, m_list.GetItemText(row, 0)));
}
