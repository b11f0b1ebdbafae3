// The main window's process tree, its tooltip and 结束进程树: the rows in tree
// order, the program file and command line of the row under the mouse, and
// the end of a process with all it started.
#include "app/ProcessListDlg.h"

#include "framework/Text.h"
#include "process/ProcessIdentity.h"
#include "process/ProcessTree.h"
#include "process/TreeTerminate.h"

void CProcessListDlg::FillRows(const std::vector<ProcessRow>& rows) {
    // Each row's place: in tree order while it is ticked (parents and start
    // times from the refresh's look), otherwise as the walk gave them.
    std::vector<TreePlace> places;
    if (m_bTreeOrder) {
        std::vector<TreeNode> nodes;
        nodes.reserve(rows.size());
        for (const ProcessRow& row : rows) {
            nodes.push_back({static_cast<uint32_t>(AtoiPrefix(row.pidText)), row.parentPid, row.startTime});
        }
        places = TreeOrder(nodes);
    } else {
        places.reserve(rows.size());
        for (size_t index = 0; index < rows.size(); ++index) places.push_back({index, 0});
    }
    // Drawn once when emptied, filled and sorted (under Wine each row added
    // to a shown list redraws its scroll bar); the row notifications of the
    // fill change nothing the end of the refresh does not set again.
    const RedrawSuspended drawnOnce(m_list);
    m_bFillingList = true;
    m_list.DeleteAllRows();
    m_list.ShowIndents(m_bTreeOrder);
    for (const TreePlace& place : places) {
        const ProcessRow& row = rows[place.index];
        const UsageTexts usage = m_usage.TextsFor(static_cast<uint32_t>(AtoiPrefix(row.pidText)), row.name);
        const int added = m_list.InsertRow({row.name, row.word, row.pidText, usage.cpu, usage.memory});
        if (place.level > 0 && added >= 0) m_list.SetRowIndent(added, place.level);
    }
    if (!m_bTreeOrder && m_list.m_nSortColumn >= 0 && m_list.m_nSortColumn < m_list.m_nColumnCount) {
        m_list.SortByColumn(m_list.m_nSortColumn, m_list.m_bAscending);
    }
    m_bFillingList = false;
}

void CProcessListDlg::OnToggleTreeOrder() {
    m_bTreeOrder = !m_bTreeOrder;
    if (m_bTreeOrder) m_list.ClearSort();
    OnRefresh();
}

void CProcessListDlg::OnSortedByClick() {
    if (!m_bTreeOrder) return;
    m_bTreeOrder = false;
    // The rows stay as the click sorted them, without their steps.
    for (int row = 0; row < m_list.GetItemCount(); ++row) m_list.SetRowIndent(row, 0);
    m_list.ShowIndents(false);
}

// Read when the mouse rests on a row, never while the window is hidden.
void CProcessListDlg::OnGetInfoTip(NMLVGETINFOTIPW* request) {
    if (!request->pszText || request->cchTextMax <= 1 || request->iItem < 0) return;
    // Read only while the pid names the row's process: nothing of a program
    // given the pid since.
    const ProcessInstance process = RowProcess(request->iItem).instance();
    const std::string path = m_system->Text(ReadFromProcess(*m_system, process, [this](uint32_t pid) {
                                                return m_system->LocateProgramFile(pid).path;
                                            }).value_or(std::wstring()));
    const std::optional<std::string> commandLine = ReadFromProcess(*m_system, process, [this](uint32_t pid) {
                                                       return m_system->ReadCommandLine(pid);
                                                   }).value_or(std::nullopt);
    // A code page 936 byte is at most one UTF-16 unit: the text fits the room.
    const std::string text = TooltipText(path, commandLine, static_cast<size_t>(request->cchTextMax) - 1);
    lstrcpynW(request->pszText, WideFromText(text).c_str(), request->cchTextMax);
}

void CProcessListDlg::OnTerminateTree() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog};
    if (RunTerminateTreeCommand(context, SelectedRow()) && !OfferAdministratorRestart(false)) {
        OnRefresh();
    }
}
