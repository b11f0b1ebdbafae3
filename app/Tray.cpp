// Tray icon, tray menu, hot keys, showing and hiding, exit, help and
// advertisement pages of the main window.
#include "app/ProcessListDlg.h"

#include <cstring>

#include "app/Autorun.h"
#include "framework/App.h"
#include "framework/Handle.h"
#include "res/resource.h"

const char* const kHelpPageFile = "tarvemonix_help.htm";
const char* const kAdPageAddress = "http://www.example.com/tarvemonix/";

namespace {

struct HotKey {
    int id;
    UINT virtualKey;
};
const HotKey kHotKeys[] = {
    {kHotKeyShowF11, VK_F11},
    {kHotKeyShowZ, 'Z'},
    {kHotKeyHideNumpad8, VK_NUMPAD8},
    {kHotKeyHideH, 'H'},
};

NOTIFYICONDATAA TrayRecord(HWND window) {
    NOTIFYICONDATAA record{};
    record.cbSize = kTrayRecordSize;
    record.hWnd = window;
    record.uID = kTrayIconId;
    return record;
}

}  // namespace

void CProcessListDlg::AddNotifyIcon() {
    NOTIFYICONDATAA record = TrayRecord(m_hWnd);
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAY_NOTIFY;
    record.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    std::strncpy(record.szTip, "瓦诺德", sizeof(record.szTip) - 1);
    m_shell->NotifyIcon(NIM_ADD, record);
}

void CProcessListDlg::AddTrayIcon() {
    AddNotifyIcon();
    ShowWindow(SW_HIDE);
}

void CProcessListDlg::RemoveTrayIcon() { m_shell->NotifyIcon(NIM_DELETE, TrayRecord(m_hWnd)); }

void CProcessListDlg::RegisterHotKeys() {
    // A key another program holds stays unregistered; the others still work.
    for (const HotKey& key : kHotKeys) RegisterHotKey(m_hWnd, key.id, MOD_ALT, key.virtualKey);
}

void CProcessListDlg::UnregisterHotKeys() {
    for (const HotKey& key : kHotKeys) UnregisterHotKey(m_hWnd, key.id);
}

LRESULT CProcessListDlg::OnTrayNotify(WPARAM iconId, LPARAM mouseMessage) {
    if (iconId != kTrayIconId) return 0;
    CWnd* mainWindow = AfxGetMainWnd();
    HWND owner = mainWindow ? mainWindow->m_hWnd : m_hWnd;
    switch (LOWORD(mouseMessage)) {
    case WM_RBUTTONUP: {
        const UniqueMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAYMENU)));
        HMENU popup = menu.get() ? GetSubMenu(menu.get(), 0) : nullptr;
        if (popup) {
            // No item carries this identifier, so no item is shown bold.
            SetMenuDefaultItem(popup, IDR_TRAYMENU, FALSE);
            POINT cursor{};
            GetCursorPos(&cursor);
            // In the foreground the popup closes when the user clicks elsewhere.
            SetForegroundWindow(owner);
            TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, owner, nullptr);
            ::PostMessageW(owner, WM_NULL, 0, 0);
        }
        break;
    }
    case WM_LBUTTONDBLCLK: ShowMainWindow(); break;
    case NIN_BALLOONUSERCLICK:
        // The notice that an end wants administrator rights brings the question.
        if (m_bRestartNoticeShown) {
            ShowMainWindow();
            AskForAdministratorRestart();
        }
        break;
    default: break;
    }
    return 0;
}

LRESULT CProcessListDlg::OnHotKey(WPARAM hotKeyId) {
    switch (hotKeyId) {
    case kHotKeyShowF11:
    case kHotKeyShowZ: ShowMainWindow(); break;
    case kHotKeyHideNumpad8:
    case kHotKeyHideH: ShowWindow(SW_HIDE); break;
    default: break;
    }
    return 0;
}

void CProcessListDlg::OnTrayShow() {
    AnimateWindow(1000, AW_HIDE | AW_CENTER);
    ShowMainWindow();
}

void CProcessListDlg::ShowMainWindow() {
    m_bKeepHidden = false;
    ShowWindow(m_bShowMaximized ? SW_SHOWMAXIMIZED : SW_SHOW);
    m_bShowMaximized = false;
}

// The dialog's own showing at its creation (and the modal loop's) is held
// back while the program was started in the tray.
void CProcessListDlg::OnWindowPosChanging(WINDOWPOS* position) {
    if (m_bKeepHidden) position->flags &= ~static_cast<UINT>(SWP_SHOWWINDOW);
    Default();
}

// The tick of "开机时自动运行" is read whenever a menu opens: the entry can be
// changed from outside while the program runs.
void CProcessListDlg::OnInitMenuPopup(HMENU menu) {
    const UINT check = IsAutorunSetForThisProgram() ? MF_CHECKED : MF_UNCHECKED;
    for (UINT command : {ID_MENU_AUTORUN, ID_TRAY_AUTORUN}) CheckMenuItem(menu, command, MF_BYCOMMAND | check);
    CheckMenuItem(menu, ID_MENU_TREEORDER, MF_BYCOMMAND | (m_bTreeOrder ? MF_CHECKED : MF_UNCHECKED));
    Default();
}

void CProcessListDlg::OnToggleAutorun() {
    std::string reason;
    if (!SetAutorunForThisProgram(!IsAutorunSetForThisProgram(), m_startFolder, reason)) {
        m_prompt->Notify("无法设置开机时自动运行。\n" + reason, "提示");
    }
}

void CProcessListDlg::OnShowRunningCopy() {
    UnlessDialogIsOpen([this] {
        OnTrayShow();
        SetForegroundWindow(m_hWnd);
    });
}

void CProcessListDlg::OnExit() {
    if (m_prompt->Show("   真的要退出吗？", "提示", kMbYesNo) != kIdYes) return;
    AnimateWindow(1000, AW_HIDE | AW_CENTER);
    PostQuitMessage(0);
}

// The block list's ends reach the user as a notice only while the window is
// hidden; in view, the list shows them.
void CProcessListDlg::ShowBlockNotice() {
    const std::vector<EndRecord> ends = m_endLog.TakeBlockedEnds();
    if (ends.empty() || ::IsWindowVisible(m_hWnd)) return;
    m_shell->ShowNotice(m_hWnd, kTrayIconId, kBlockNoticeTitle, BlockNoticeText(ends));
}

void CProcessListDlg::OpenHelpPage() { m_shell->Open(m_hWnd, kHelpPageFile, m_startFolder); }

void CProcessListDlg::OpenAdPage() { m_shell->Open(m_hWnd, kAdPageAddress, std::wstring()); }
