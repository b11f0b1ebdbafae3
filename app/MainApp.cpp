#include "app/MainApp.h"

#include "app/ProcessListDlg.h"

BOOL CMainApp::InitInstance() {
    CProcessListDlg dialog;
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // FALSE: the program ends when the main window has ended.
    return FALSE;
}
