// "网络连接": the connections dialog over the main window; its 中止进程 and
// 封锁 are the window's own flows on the row's process.
#include "app/ProcessListDlg.h"
#include "files/Win32FileStore.h"
#include "framework/Text.h"
#include "network/ConnectionsDlg.h"
#include "process/Win32ProcessSystem.h"

void CProcessListDlg::OnNetworkConnections(bool selectedRowOnly) {
    const SelectedProcess selected = SelectedRow();
    if (selectedRowOnly && selected.pid == 0) return;
    RunConnectionsDialog(*m_system, [&](CConnectionsDlg& dialog) {
        if (selectedRowOnly) dialog.ShowOnly(selected);
        dialog.SetRunsAsAdministrator(m_bRunsAsAdministrator);
        dialog.SetLogPath(m_endLog.path());
        dialog.SetAdministratorRestart([this] { return RestartAsAdministrator(); });
        dialog.SetTerminate([this](const SelectedProcess& owner, MessagePrompt& prompt) {
            const CommandContext context{*m_system, prompt, m_nOsClass, m_referenceInfo, &m_endLog};
            if (RunTerminateCommand(context, owner) && !OfferAdministratorRestart(false)) OnRefresh();
        });
        dialog.SetBlock([this](const SelectedProcess& owner, MessagePrompt& prompt) {
            Win32FileStore store(m_startFolder);
            const std::wstring image =
                ReadFromProcess(*m_system, owner.instance(), ProcessImagePath).value_or(std::wstring());
            if (OfferBlockProgram(owner.name, image, prompt, store, m_programFiles, m_pendingFingerprints) ==
                OfferOutcome::Failed) {
                return;
            }
            LoadBlockList(true);
            OnRefresh();
        });
    });
}
