// The main window's commands over the process list and the block list:
// terminate, slim down, delete file, details, block, export, and the loading
// of the reference file and the block table. Each member gathers what the
// window knows and hands it to a plain flow (process/, blocklist/).
#include "app/ProcessListDlg.h"

#include "blocklist/BlockListCommands.h"
#include "blocklist/BlockListDlg.h"
#include "blocklist/PolicyNames.h"
#include "files/Win32FileStore.h"
#include "framework/FileDialog.h"
#include "framework/Text.h"
#include "process/DetailsText.h"
#include "process/ExportText.h"
#include "process/ProcessCommands.h"
#include "process/ReferenceInfo.h"

void CProcessListDlg::OnTerminate() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog};
    if (RunTerminateCommand(context, SelectedRow()) && !OfferAdministratorRestart(false)) OnRefresh();
}

void CProcessListDlg::OnSlim() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog};
    const bool refresh = RunSlimCommand(context);
    // Slim down ends what it can; it offers no restart for what it cannot.
    m_system->TakeDeniedEnds();
    if (refresh) OnRefresh();
}

void CProcessListDlg::OnDeleteFile() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog};
    if (RunDeleteFileCommand(context, SelectedRow()) && !OfferAdministratorRestart(false)) {
        OnRefresh();
    }
}

void CProcessListDlg::OnDetails() {
    CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo, &m_endLog, &m_blockList};
    context.heldSuspended = &m_heldSuspended;
    context.fingerprintMatch = [this](const SelectedProcess& process) {
        return FingerprintMatchOf({process.pid, process.name, process.startTime});
    };
    context.moreDetailLines = [this](const SelectedProcess& process) {
        return WindowAndConnectionLines(*m_system, process);
    };
    if (RunDetailsCommand(context, SelectedRow())) OnRefresh();
}

void CProcessListDlg::LoadReferenceInfo() {
    m_referenceInfo.clear();
    // A missing or unreadable file leaves the list empty, without a message.
    Win32FileStore files(m_startFolder);
    std::string bytes;
    std::string reason;
    if (files.ReadAll(kReferenceFileName, bytes, reason) == ReadStatus::Read) {
        m_referenceInfo = ParseReferenceInfo(bytes);
    }
}

bool CProcessListDlg::LoadBlockList(bool sayWhenUnreadable) {
    Win32FileStore store(m_startFolder);
    std::string failure;
    const bool loaded = LoadBlockListInto(m_blockList, store, failure);
    if (!loaded && sayWhenUnreadable) m_prompt->Notify(failure, "提示");
    // One notice at a time: a second file held at once is said at the next load.
    LoadFingerprintsAndPolicy(loaded && sayWhenUnreadable);
    return loaded;
}

// The fingerprints go with the names of the table just loaded: one whose name
// left proc.dat (by hand, or while prochash.dat could not be read) ends nothing.
void CProcessListDlg::LoadFingerprintsAndPolicy(bool sayWhenUnreadable) {
    Win32FileStore store(m_startFolder);
    const std::vector<std::string> fileNames(m_blockList.names().begin() + 1, m_blockList.names().end());
    std::string failure;
    if (LoadFingerprintsInto(m_fingerprints, fileNames, store, failure)) {
        m_fingerprintWatch.Forget();
    } else if (sayWhenUnreadable) {
        m_prompt->Notify(failure, "提示");
    }
    m_blockList.SetPolicyNames(ReadPolicyBlockNames());
}

// The fingerprints of files just blocked go into prochash.dat as their hashes
// arrive, and are enforced from then on.
void CProcessListDlg::RecordArrivedFingerprints(const Win32ProgramFiles::HashResult& result) {
    Win32FileStore store(m_startFolder);
    if (RecordFingerprints(m_pendingFingerprints.TakeArrived(result.path, result.stamp, result.sha256), *m_prompt,
                           store)) {
        LoadFingerprintsAndPolicy();
    }
}

void CProcessListDlg::OnBlockProcess() {
    // With no row selected the name is empty: nothing is asked or written,
    // but the table is reloaded and the list refreshed all the same.
    Win32FileStore store(m_startFolder);
    if (OfferBlockProgram(SelectedName(), SelectedProcessPath(), *m_prompt, store, m_programFiles,
                          m_pendingFingerprints) == OfferOutcome::Failed) {
        // The notice has told the user; the file, the table and the list stay as they were.
        return;
    }
    LoadBlockList(true);
    OnRefresh();
}

// The editor works on proc.dat alone; what it changed is enforced from the
// moment it closes, and the list shows the new words at once.
void CProcessListDlg::OnEditBlockList() {
    Win32FileStore store(m_startFolder);
    const std::vector<std::string> namesInFile = ReadBlockListNames(store);
    RunBlockListEditor(m_startFolder);
    const std::vector<std::string> before = m_blockList.names();
    // The fingerprints of a name the editor took away go with it (a file
    // that cannot be read now takes nothing away).
    if (LoadBlockList(true)) {
        const std::vector<std::string> after(m_blockList.names().begin() + 1, m_blockList.names().end());
        const std::set<std::string> removed = RemovedNames(namesInFile, after);
        if (!removed.empty() && RemoveFingerprintsOfNames(removed, *m_prompt, store)) LoadFingerprintsAndPolicy();
    }
    if (m_blockList.names() != before) OnRefresh();
}

void CProcessListDlg::OnViewLog() {
    // The log is only made by the first end it records.
    if (GetFileAttributesW(m_endLog.path().c_str()) == INVALID_FILE_ATTRIBUTES) {
        m_prompt->Notify("还没有拦截记录。", "提示");
        return;
    }
    m_shell->Open(m_hWnd, kEndLogFileName, m_startFolder);
}

void CProcessListDlg::OnExport() {
    // The dialog leaves the current folder where it was (the program's own
    // files are anchored to the start folder all the same).
    CFileDialog dialog(false, kExportDefaultExtension, "", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR,
                       kExportFilter, m_hWnd);
    if (dialog.DoModal() != IDOK) return;
    ExportTo(dialog.GetPathName());
}

void CProcessListDlg::ExportTo(const std::wstring& path) {
    // The rows as the list shows them now, in its display order.
    std::vector<std::string> names;
    const int count = m_list.GetItemCount();
    names.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int row = 0; row < count; ++row) names.push_back(m_list.GetItemText(row, 0));
    // The file is replaced as a whole: a file the user agreed to replace holds
    // the new list only, and a failed write leaves the old file as it was.
    Win32FileStore files;
    std::string reason;
    if (!SaveFileSafely(files, Utf8FromWide(path), BuildExportBytes(names), reason)) {
        m_prompt->Notify(ExportFailureText(TextFromWide(path), reason), "提示");
    }
}
