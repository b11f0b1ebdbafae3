// 挂起进程, 恢复进程 and 优先级: the row menu's items for the row's process and
// the commands, each handed to its plain flow.
#include "app/ProcessListDlg.h"

#include "framework/Text.h"
#include "process/SuspendCommands.h"
#include "res/resource.h"

void CProcessListDlg::PrepareSuspendItems(HMENU popup, const SelectedProcess& row, bool enabled) {
    const bool suspended =
        row.pid != 0 && (m_heldSuspended.Holds(row.instance()) || m_system->IsSuspended(row.instance()));
    const SuspendCommand command = RowSuspendCommand(suspended);
    const UINT flags = MF_BYCOMMAND | MF_STRING | (enabled ? MF_ENABLED : MF_GRAYED);
    ModifyMenuW(popup, ID_ROW_SUSPEND, flags, command == SuspendCommand::Resume ? ID_ROW_RESUME : ID_ROW_SUSPEND,
                WideFromText(SuspendCommandText(command)).c_str());
    const std::optional<PriorityLevel> current =
        row.pid != 0 ? m_system->ReadPriority(row.instance()) : std::optional<PriorityLevel>();
    UINT id = ID_ROW_PRIORITY_REALTIME;
    for (PriorityLevel level : kPriorityLevels) {
        const bool offered = enabled && IsPriorityOffered(level, m_nOsClass);
        EnableMenuItem(popup, id, MF_BYCOMMAND | (offered ? MF_ENABLED : MF_GRAYED));
        CheckMenuItem(popup, id, MF_BYCOMMAND | (current == level ? MF_CHECKED : MF_UNCHECKED));
        ++id;
    }
}

void CProcessListDlg::OnSuspend() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog};
    const int row = m_list.GetFirstSelectedItem();
    const std::string word = row >= 0 ? m_list.GetItemText(row, 1) : std::string();
    if (RunSuspendCommand(context, SelectedRow(), word, m_heldSuspended) && !OfferAdministratorRestart(false)) {
        OnRefresh();
    }
}

void CProcessListDlg::OnResume() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog};
    if (RunResumeCommand(context, SelectedRow(), m_heldSuspended) && !OfferAdministratorRestart(false)) OnRefresh();
}

void CProcessListDlg::OnPriority(PriorityLevel level) {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog};
    if (RunPriorityCommand(context, SelectedRow(), level) && !OfferAdministratorRestart(false)) OnRefresh();
}
