// "启动项管理": the startup entries dialog over the main window, with its
// folder window and its restart as administrator.
#include "app/ProcessListDlg.h"
#include "app/StartupRules.h"
#include "autostart/StartupDlg.h"

void CProcessListDlg::OnStartupEntries() {
    const StartupDialogOutcome outcome = RunStartupDialog(m_startFolder, [this](CStartupDlg& dialog) {
        dialog.SetRunsAsAdministrator(m_bRunsAsAdministrator);
        dialog.SetShowInFolder([this](const std::wstring& file) { m_shell->ShowInFolder(m_hWnd, file); });
        // Run once the dialog has closed; the new copy opens it again.
        dialog.SetAdministratorRestart([this] { return RestartAsAdministrator(kStartupEntriesSwitch); });
        // A hash still being read when the dialog closes is recorded all the same.
        dialog.SetFingerprintRecording(m_programFiles, m_pendingFingerprints);
        dialog.SetHideWindowsOwn(m_windowMemory.HidesWindowsOwnEntries(),
                                 [this](bool hide) { m_windowMemory.RememberHidesWindowsOwnEntries(hide); });
    });
    // What 封锁 added is enforced at once, as after the block list editor.
    if (outcome.restarted || !outcome.blockListChanged || !m_hWnd) return;
    LoadBlockList(true);
    OnRefresh();
}
