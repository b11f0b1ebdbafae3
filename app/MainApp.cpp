#include "app/MainApp.h"

#include "app/ProcessListDlg.h"
#include "framework/Handle.h"

namespace {

// One copy a user session: the first start holds this mutex as long as it runs.
const wchar_t* const kInstanceMutexName = L"Local\\tarvemonix.running";

}  // namespace

BOOL CMainApp::InitInstance() {
    // A second start shows the running copy's window, as its tray item
    // "进程信息" does, and ends: one block-list enforcer, tray icon and
    // hot-key owner. Where no mutex can be made, the program runs all the same.
    const UniqueHandle instance(CreateMutexW(nullptr, FALSE, kInstanceMutexName));
    if (instance && GetLastError() == ERROR_ALREADY_EXISTS) {
        AllowSetForegroundWindow(ASFW_ANY);
        PostMessageW(HWND_BROADCAST, ShowRunningCopyMessage(), 0, 0);
        return FALSE;
    }
    CProcessListDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // FALSE: the program ends when the main window has ended.
    return FALSE;
}
