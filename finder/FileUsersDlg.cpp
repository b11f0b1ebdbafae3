#include "finder/FileUsersDlg.h"

#include "framework/FormatText.h"
#include "process/Win32MessagePrompt.h"
#include "res/resource.h"

namespace {

const char* const kColumnHeadings[kFileUserColumnCount] = {"进程", "PID", "路径", "原因"};

}  // namespace

CFileUsersDlg::CFileUsersDlg(ProcessSystem& processes, FileSearch search, HWND parent)
    : CDialog(IDD_FILEUSERS, parent),
      m_processes(processes),
      m_search(std::move(search)),
      m_ownPrompt(std::make_unique<Win32MessagePrompt>(*this)),
      m_prompt(m_ownPrompt.get()) {}

CFileUsersDlg::~CFileUsersDlg() = default;

void CFileUsersDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_FILEUSERLIST, m_list);
    DDX_Control(pDX, IDC_FILEUSERTERMINATE, m_btnTerminate);
    DDX_Control(pDX, IDC_FILEUSERLOCATE, m_btnLocate);
}

LRESULT CFileUsersDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_layout.OnMessage(m_hWnd, message, lParam)) return 0;
    return CDialog::WindowProc(message, wParam, lParam);
}

bool CFileUsersDlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case IDC_FILEUSERTERMINATE: OnTerminate(); return true;
    case IDC_FILEUSERLOCATE: OnLocate(); return true;
    default: return CDialog::OnCommand(id, code, control);
    }
}

bool CFileUsersDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_FILEUSERLIST) return false;
    if (header->code == NM_DBLCLK) {
        OnLocate();
    } else if (header->code == LVN_ITEMCHANGED) {
        UpdateButtons();
    } else {
        return false;
    }
    *result = 0;
    return true;
}

BOOL CFileUsersDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_layout.Measure(m_hWnd, m_list.m_hWnd, {IDC_FILEUSERTERMINATE, IDC_FILEUSERLOCATE, IDCANCEL});
    const RECT list = m_list.GetWindowRect();
    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    const int width = list.right - list.left - GetSystemMetrics(SM_CXVSCROLL) - 4;
    m_list.InsertColumns(FormatText("%s,%d;%s,%d;%s,%d;%s,%d", kColumnHeadings[0], width * 20 / 100, kColumnHeadings[1],
                                    width * 10 / 100, kColumnHeadings[2], width * 46 / 100, kColumnHeadings[3],
                                    width * 24 / 100));
    const std::vector<FileUser>& users = m_search.found.users;
    // The row of the processes that could not be read stays last, either way.
    m_list.compareTags = [this, count = users.size()](size_t first, size_t second, int column) {
        if (first < count && second < count) {
            return CompareFileUsers(m_search.found.users[first], m_search.found.users[second], column);
        }
        if (first == second) return 0;
        const int unreadLast = first >= count ? 1 : -1;
        return m_list.m_bAscending ? unreadLast : -unreadLast;
    };
    for (size_t index = 0; index < users.size(); ++index) {
        m_list.InsertRow(FileUserCells(users[index], m_processes.Text(users[index].programPath)), index);
    }
    if (m_search.found.unreadable > 0) m_list.InsertRow(UnreadableCells(m_search.found.unreadable), users.size());
    UpdateButtons();
    return TRUE;
}

const FileUser* CFileUsersDlg::SelectedUser() const {
    const std::optional<size_t> tag = m_list.RowTag(m_list.GetFirstSelectedItem());
    if (!tag || *tag >= m_search.found.users.size()) return nullptr;
    return &m_search.found.users[*tag];
}

void CFileUsersDlg::UpdateButtons() {
    const FileUser* selected = SelectedUser();
    m_btnTerminate.EnableWindow(selected && m_terminate);
    m_btnLocate.EnableWindow(selected && m_locate);
}

void CFileUsersDlg::OnTerminate() {
    const FileUser* selected = SelectedUser();
    if (!selected || !m_terminate) return;
    const FileUser user = *selected;
    const int row = m_list.GetFirstSelectedItem();
    m_terminate({user.name, user.process.pid, user.process.startTime}, *m_prompt);
    // An ended process holds nothing any more.
    if (m_hWnd && !m_processes.IsRunning(user.process)) m_list.DeleteRow(row);
    if (m_hWnd) UpdateButtons();
}

void CFileUsersDlg::OnLocate() {
    const FileUser* selected = SelectedUser();
    if (!selected || !m_locate) return;
    const FileUser user = *selected;
    EndDialog(IDOK);
    m_locate({user.name, user.process.pid, user.process.startTime});
}

void RunFileUsersSearch(const std::wstring& path, ProcessSystem& processes, FileUsersSystem& files,
                        MessagePrompt& prompt, const std::function<void(CFileUsersDlg&)>& setUp) {
    // The search reads every process; the pointer says the program is busy meanwhile.
    const HCURSOR previous = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    FileSearch search = SearchFileUsers(path, processes, files);
    SetCursor(previous);
    if (search.found.users.empty() && search.found.unreadable == 0) {
        prompt.Notify(NothingFoundText(processes.Text(search.target)), "提示");
        return;
    }
    CFileUsersDlg dialog(processes, std::move(search));
    if (setUp) setUp(dialog);
    dialog.DoModal();
}
