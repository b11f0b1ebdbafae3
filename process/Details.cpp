// The reference file and the details box of the main window.
#include "app/ProcessListDlg.h"

#include "blocklist/Win32FileStore.h"
#include "process/DetailsText.h"
#include "process/ReferenceInfo.h"

void CProcessListDlg::LoadReferenceInfo() {
    m_referenceInfo.clear();
    // A missing or unreadable file leaves the list empty, without a message.
    Win32FileStore files;
    std::string bytes;
    std::string reason;
    if (files.ReadAll(kReferenceFileName, bytes, reason) == ReadStatus::Read) {
        m_referenceInfo = ParseReferenceInfo(bytes);
    }
}

void CProcessListDlg::OnDetails() {
    const CommandContext context{*m_system, *m_prompt, m_nOsClass, m_referenceInfo};
    if (RunDetailsCommand(context, {SelectedName(), SelectedPid()})) OnRefresh();
}
