#include "controls/AboutDlg.h"

#include "res/resource.h"

const char* const kHomePageAddress = "http://www.example.com";
const char* const kMailAddress = "tarvemonix@example.com";

CAboutDlg::CAboutDlg(HWND parent) : CDialog(IDD_ABOUTBOX, parent) {}

LRESULT CAboutDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_CLOSE) {
        OnClose();
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CAboutDlg::AttachLink(CLinkStatic& link, int itemId, const char* target) {
    link.SubclassDlgItem(itemId, *this);
    link.SetNotify(true);
    // A shared resource cursor: it is never destroyed.
    link.SetLinkCursor(LoadCursorW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDC_LINKHAND)));
    link.SetLinkTarget(target);
}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    AttachLink(m_linkHome, IDC_LINKHOME, kHomePageAddress);
    AttachLink(m_linkMail, IDC_LINKMAIL, kMailAddress);
    return TRUE;
}

void CAboutDlg::OnOK() {
    AnimateWindow(kAboutCloseAnimationMs, AW_HIDE | AW_CENTER);
    CDialog::OnOK();
}

void CAboutDlg::OnClose() {
    AnimateWindow(kAboutCloseAnimationMs, AW_HIDE | AW_CENTER);
    Default();
}

void RunAboutDialog() {
    CAboutDlg dialog;
    dialog.DoModal();
}
