// The list row's menu and the keys of the main window: the same commands as
// the buttons, the program file's folder and the clipboard.
#include "app/ProcessListDlg.h"

#include <windowsx.h>

#include "framework/Clipboard.h"
#include "framework/Handle.h"
#include "framework/Text.h"
#include "process/ProcessCommands.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"

// Keys act only while the window is enabled: with a question or a dialog of
// the program open, the dialog manager never asks.
bool CProcessListDlg::OnDialogKey(const MSG& key) {
    const bool control = GetKeyState(VK_CONTROL) < 0;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    switch (key.wParam) {
    case VK_DELETE:
        if (!m_btnTerminate.IsWindowEnabled()) return false;
        if (shift) {
            OnTerminateTree();
        } else {
            OnTerminate();
        }
        return true;
    case VK_F5: OnRefresh(); return true;
    case 'C':
        if (!control) return false;
        OnCopyRow();
        return true;
    case VK_APPS: OnContextMenu(m_list.m_hWnd, -1); return true;
    case VK_F10:
        if (!shift) return false;
        OnContextMenu(m_list.m_hWnd, -1);
        return true;
    default: return false;
    }
}

// position: the click's screen point, or -1 from the keyboard (the menu then
// opens at the selected row).
void CProcessListDlg::OnContextMenu(HWND window, LPARAM position) {
    if (window != m_list.m_hWnd) return;
    POINT point{};
    if (position == -1) {
        const int row = m_list.GetFirstSelectedItem();
        if (row < 0) return;
        // A selected row scrolled out of view would put the menu elsewhere.
        m_list.SendMessage(LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
        RECT bounds{LVIR_LABEL, 0, 0, 0};
        m_list.SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
        point = {bounds.left, bounds.bottom};
        ClientToScreen(m_list.m_hWnd, &point);
    } else {
        point = {GET_X_LPARAM(position), GET_Y_LPARAM(position)};
        LVHITTESTINFO hit{};
        hit.pt = point;
        ScreenToClient(m_list.m_hWnd, &hit.pt);
        const int row = static_cast<int>(m_list.SendMessage(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (row < 0) return;
        // A right click selects its row, as a click does.
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        OnListClick();
    }
    ShowRowMenu(point);
}

void CProcessListDlg::ShowRowMenu(POINT screenPoint) {
    const UniqueMenu menu(LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_ROWMENU)));
    HMENU popup = menu.get() ? GetSubMenu(menu.get(), 0) : nullptr;
    if (!popup) return;
    // The row commands can be chosen exactly when their buttons can.
    for (int command : {IDC_TERMINATE, IDC_BLOCK, IDC_DETAILS, IDC_DELETEFILE}) {
        const bool enabled = ::IsWindowEnabled(GetDlgItem(command)) != FALSE;
        EnableMenuItem(popup, static_cast<UINT>(command), MF_BYCOMMAND | (enabled ? MF_ENABLED : MF_GRAYED));
    }
    const bool terminateEnabled = m_btnTerminate.IsWindowEnabled();
    EnableMenuItem(popup, ID_ROW_TERMINATETREE, MF_BYCOMMAND | (terminateEnabled ? MF_ENABLED : MF_GRAYED));
    PrepareSuspendItems(popup, SelectedRow(), terminateEnabled);
    m_rowMenuPath = SelectedProcessPath();
    for (UINT command : {ID_ROW_OPENFOLDER, ID_ROW_COPYPATH}) {
        EnableMenuItem(popup, command, MF_BYCOMMAND | (m_rowMenuPath.empty() ? MF_GRAYED : MF_ENABLED));
    }
    const std::string name = SelectedName();
    const uint32_t pid = SelectedPid();
    const UINT command = static_cast<UINT>(
        TrackPopupMenu(popup, TPM_RIGHTBUTTON | TPM_RETURNCMD, screenPoint.x, screenPoint.y, 0, m_hWnd, nullptr));
    // A refresh while the menu was open (the 20-second one, or the block
    // list's) empties the selection: the command then has no row to act on.
    if (command == 0 || m_list.GetFirstSelectedItem() < 0 || SelectedName() != name || SelectedPid() != pid) return;
    OnCommand(command, 0, nullptr);
}

// Read only while the pid names the row's process: never the file of a
// program given the pid since.
std::wstring CProcessListDlg::SelectedProcessPath() const {
    const SelectedProcess selected = SelectedRow();
    if (selected.pid == 0) return std::wstring();
    return ReadFromProcess(*m_system, selected.instance(), ProcessImagePath).value_or(std::wstring());
}

void CProcessListDlg::OnOpenFileLocation() {
    if (!m_rowMenuPath.empty()) m_shell->ShowInFolder(m_hWnd, m_rowMenuPath);
}

void CProcessListDlg::OnCopyName() {
    if (m_list.GetFirstSelectedItem() >= 0) CopyTextToClipboard(m_hWnd, WideFromText(SelectedName()));
}

void CProcessListDlg::OnCopyPath() {
    if (!m_rowMenuPath.empty()) CopyTextToClipboard(m_hWnd, m_rowMenuPath);
}

void CProcessListDlg::OnCopyRow() {
    const int row = m_list.GetFirstSelectedItem();
    if (row < 0) return;
    const int columns = static_cast<int>(::SendMessageW(m_list.GetHeaderCtrl(), HDM_GETITEMCOUNT, 0, 0));
    std::string text;
    for (int column = 0; column < columns; ++column) {
        if (column > 0) text += '\t';
        text += m_list.GetItemText(row, column);
    }
    CopyTextToClipboard(m_hWnd, WideFromText(text));
}
