// Export of the process list to a text file the user chooses.
#include "app/ProcessListDlg.h"

#include "blocklist/Win32FileStore.h"
#include "framework/FileDialog.h"
#include "process/ExportText.h"

void CProcessListDlg::OnExport() {
    CFileDialog dialog(false, kExportDefaultExtension, "", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, kExportFilter,
                       m_hWnd);
    if (dialog.DoModal() != IDOK) return;
    const std::string path = dialog.GetPathName();
    // The rows as the list shows them now, in its display order.
    std::vector<std::string> names;
    const int count = m_list.GetItemCount();
    for (int row = 0; row < count; ++row) names.push_back(m_list.GetItemText(row, 0));
    // The file is replaced as a whole: a file the user agreed to replace holds
    // the new list only, and a failed write leaves the old file as it was.
    Win32FileStore files;
    std::string reason;
    if (!SaveFileSafely(files, path, BuildExportBytes(names), reason)) {
        m_prompt->Notify(ExportFailureText(path, reason), "提示");
    }
}
