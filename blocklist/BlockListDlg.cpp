#include "blocklist/BlockListDlg.h"

#include "blocklist/BlockListCommands.h"
#include "files/Win32FileStore.h"
#include "process/Win32MessagePrompt.h"
#include "res/resource.h"

CBlockListDlg::CBlockListDlg(HWND parent, std::wstring folder)
    : CDialog(IDD_BLOCKLIST, parent),
      m_folder(std::move(folder)),
      m_ownPrompt(std::make_unique<Win32MessagePrompt>(*this)),
      m_prompt(m_ownPrompt.get()) {}

CBlockListDlg::~CBlockListDlg() = default;

void CBlockListDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_NAMELIST, m_nameList);
    DDX_Control(pDX, IDC_DELETENAME, m_btnDelete);
    DDX_Control(pDX, IDC_ADDNAME, m_btnAdd);
}

LRESULT CBlockListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        OnDestroy();
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

bool CBlockListDlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case IDC_ADDNAME: OnAdd(); return true;
    case IDC_DELETENAME: OnDelete(); return true;
    default: return CDialog::OnCommand(id, code, control);
    }
}

bool CBlockListDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_NAMELIST || header->code != NM_CLICK) return false;
    OnNameListClick();
    *result = 0;
    return true;
}

BOOL CBlockListDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_nameList.ModifyStyle(LVS_TYPEMASK, LVS_REPORT);
    m_nameList.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    m_nameList.DeleteAllItems();
    // One column as wide as the whole control.
    const RECT listRect = m_nameList.GetWindowRect();
    const int width = static_cast<short>(listRect.right - listRect.left);
    m_nameList.InsertColumn(0, "进程名", LVCFMT_LEFT, width);
    m_btnDelete.EnableWindow(false);
    LoadEntries();
    return TRUE;
}

void CBlockListDlg::LoadEntries() {
    Win32FileStore store(m_folder);
    m_entries = ReadBlockListNames(store);
    m_nEntryCount = static_cast<int>(m_entries.size());
    // The newest name on top: the names in reverse file order, each row added
    // at the end and drawn once for all (adding at the top moves every row
    // below, and a file of 100,000 names took half a minute to show).
    const RedrawSuspended drawnOnce(m_nameList);
    m_nameList.DeleteAllItems();
    int row = 0;
    for (auto name = m_entries.rbegin(); name != m_entries.rend(); ++name) m_nameList.InsertItem(row++, *name);
}

void CBlockListDlg::OnNameListClick() { m_btnDelete.EnableWindow(true); }

void CBlockListDlg::OnAdd() {
    CAddBlockDlg addDialog;
    if (addDialog.DoModal() == IDOK) {
        Win32FileStore store(m_folder);
        // After a failed write the notice has been shown and the list still
        // shows the unchanged file.
        if (OfferBlockName(addDialog.m_strName, *m_prompt, store) == OfferOutcome::Failed) return;
    }
    LoadEntries();
}

void CBlockListDlg::OnDelete() {
    // The topmost selected row's name as the file holds it (the rows show the
    // names newest first); the text read back from the row can differ from
    // bytes that are not code page 936. With no row the name is empty and the
    // rewrite only brings the file into form.
    const int row = m_nameList.GetFirstSelectedItem();
    const size_t count = m_entries.size();
    const std::string taken =
        row >= 0 && static_cast<size_t>(row) < count ? m_entries[count - 1 - static_cast<size_t>(row)] : std::string();
    LoadEntries();
    Win32FileStore store(m_folder);
    if (!RemoveBlockName(taken, *m_prompt, store)) return;
    LoadEntries();
    m_btnDelete.EnableWindow(false);
}

void CBlockListDlg::OnDestroy() {
    Default();
    AnimateWindow(500, AW_HIDE | AW_CENTER);
}

CAddBlockDlg::CAddBlockDlg(HWND parent) : CDialog(IDD_ADDBLOCK, parent) {}

void CAddBlockDlg::DoDataExchange(CDataExchange* pDX) { DDX_Text(pDX, IDC_NAMEEDIT, m_strName); }

void RunBlockListEditor(const std::wstring& folder) {
    CBlockListDlg editor(nullptr, folder);
    editor.DoModal();
}
