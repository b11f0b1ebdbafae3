// "查找占用文件的进程" and a file or folder dropped on the main window: the
// search's dialog over the window; its 中止进程 is the window's own flow on
// the row's process, its 定位 selects that process in the list.
#include "app/ProcessListDlg.h"
#include "finder/FileUsersDlg.h"
#include "finder/Win32FileUsersSystem.h"
#include "framework/FileDialog.h"

void CProcessListDlg::OnFindFileUsers(std::wstring path) {
    if (path.empty()) {
        CFileDialog dialog(true, "", "", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR, "所有文件 (*.*)|*.*||",
                           m_hWnd);
        if (dialog.DoModal() != IDOK) return;
        path = dialog.GetPathName();
    }
    Win32FileUsersSystem files;
    RunFileUsersSearch(path, *m_system, files, *m_prompt, [this](CFileUsersDlg& dialog) {
        dialog.SetTerminate([this](const SelectedProcess& user, MessagePrompt& prompt) {
            const CommandContext context{*m_system, prompt, m_nOsClass, m_referenceInfo, &m_endLog};
            if (RunTerminateCommand(context, user) && !OfferAdministratorRestart(false)) OnRefresh();
        });
        dialog.SetLocate([this](const SelectedProcess& user) { SelectProcessRow(user.instance()); });
    });
}

std::wstring FirstDroppedPath(HDROP drop) {
    std::wstring path;
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    if (length > 0) {
        path.assign(length + 1, L'\0');
        const UINT copied = DragQueryFileW(drop, 0, &path[0], length + 1);
        path.resize(copied <= length ? copied : 0);
    }
    DragFinish(drop);
    return path;
}
