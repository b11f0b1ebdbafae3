// The main window's commands that end processes: terminate, slim down and
// delete file. The flows themselves are plain (process/ProcessCommands.h).
#include "app/ProcessListDlg.h"

#include "process/ProcessCommands.h"

void CProcessListDlg::OnTerminate() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo};
    if (RunTerminateCommand(context, {SelectedName(), SelectedPid()})) OnRefresh();
}

void CProcessListDlg::OnSlim() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo};
    if (RunSlimCommand(context)) OnRefresh();
}

void CProcessListDlg::OnDeleteFile() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo};
    if (RunDeleteFileCommand(context, {SelectedName(), SelectedPid()})) OnRefresh();
}
