#include "network/ConnectionsDlg.h"

#include <algorithm>

#include "files/Win32FileStore.h"
#include "framework/Clipboard.h"
#include "framework/FormatText.h"
#include "framework/Text.h"
#include "network/Win32ConnectionSystem.h"
#include "process/EndLog.h"
#include "process/Win32MessagePrompt.h"
#include "res/resource.h"

namespace {

const char* const kAdministratorQuestion = "断开连接需要管理员权限。是否以管理员身份重新启动瓦诺德？";
const char* const kColumnHeadings[kConnectionColumnCount] = {"进程", "PID", "协议", "本地地址", "远程地址", "状态"};

LocalTime LocalNow() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond};
}

}  // namespace

CConnectionsDlg::CConnectionsDlg(ProcessSystem& processes, HWND parent)
    : CDialog(IDD_CONNECTIONS, parent),
      m_processes(processes),
      m_ownPrompt(std::make_unique<Win32MessagePrompt>(*this)),
      m_prompt(m_ownPrompt.get()),
      m_ownConnections(std::make_unique<Win32ConnectionSystem>()),
      m_connections(m_ownConnections.get()) {}

CConnectionsDlg::~CConnectionsDlg() = default;

void CConnectionsDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_CONNLIST, m_list);
    DDX_Control(pDX, IDC_CONNTERMINATE, m_btnTerminate);
    DDX_Control(pDX, IDC_CONNBLOCK, m_btnBlock);
    DDX_Control(pDX, IDC_CONNDISCONNECT, m_btnDisconnect);
    DDX_Control(pDX, IDC_CONNCOPY, m_btnCopy);
}

LRESULT CConnectionsDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_layout.OnMessage(m_hWnd, message, lParam)) return 0;
    switch (message) {
    case WM_TIMER:
        if (wParam != kConnectionsTimer) break;
        Update();
        return 0;
    case WM_DESTROY: KillTimer(kConnectionsTimer); break;
    default: break;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

bool CConnectionsDlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case IDC_CONNTERMINATE: OnTerminate(); return true;
    case IDC_CONNBLOCK: OnBlock(); return true;
    case IDC_CONNDISCONNECT: OnDisconnect(); return true;
    case IDC_CONNCOPY: OnCopy(); return true;
    case IDC_CONNREFRESH: Update(); return true;
    default: return CDialog::OnCommand(id, code, control);
    }
}

bool CConnectionsDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_CONNLIST || header->code != LVN_ITEMCHANGED) return false;
    UpdateButtons();
    *result = 0;
    return true;
}

bool CConnectionsDlg::OnDialogKey(const MSG& key) {
    if (key.message != WM_KEYDOWN) return false;
    if (key.wParam == VK_F5) {
        Update();
        return true;
    }
    if (key.wParam == 'C' && (GetKeyState(VK_CONTROL) & 0x8000) != 0) {
        OnCopy();
        return true;
    }
    return false;
}

BOOL CConnectionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    m_layout.Measure(m_hWnd, m_list.m_hWnd,
                     {IDC_CONNTERMINATE, IDC_CONNBLOCK, IDC_CONNDISCONNECT, IDC_CONNCOPY, IDC_CONNREFRESH, IDCANCEL});
    const RECT list = m_list.GetWindowRect();

    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT);
    const int width = list.right - list.left - GetSystemMetrics(SM_CXVSCROLL) - 4;
    m_list.InsertColumns(FormatText("%s,%d;%s,%d;%s,%d;%s,%d;%s,%d;%s,%d", kColumnHeadings[0], width * 18 / 100,
                                    kColumnHeadings[1], width * 8 / 100, kColumnHeadings[2], width * 8 / 100,
                                    kColumnHeadings[3], width * 24 / 100, kColumnHeadings[4], width * 24 / 100,
                                    kColumnHeadings[5], width * 18 / 100));
    m_list.compareTags = [this](size_t first, size_t second, int column) {
        const auto a = m_rows.find(first);
        const auto b = m_rows.find(second);
        if (a == m_rows.end() || b == m_rows.end()) return 0;
        return CompareConnections(a->second, b->second, column);
    };
    if (m_only) SetWindowText(FormatText("网络连接 - %s（PID %u）", m_only->name.c_str(), m_only->pid));
    Update();
    SetTimer(kConnectionsTimer, kConnectionsPeriodMs);
    return TRUE;
}

std::vector<ShownConnection> CConnectionsDlg::Connections() const {
    std::vector<ShownConnection> connections;
    connections.reserve(m_rows.size());
    for (const auto& [tag, connection] : m_rows) connections.push_back(connection);
    return connections;
}

void CConnectionsDlg::Update() {
    std::vector<ConnectionRow> rows;
    m_connections->ReadConnections(rows);
    ProcessSample look;
    m_processes.SampleProcesses(look);
    const ProcessInstance only = m_only ? m_only->instance() : ProcessInstance{};
    const std::vector<ShownConnection> fresh = ShowConnections(rows, look, m_only ? &only : nullptr);

    std::vector<size_t> tags;
    tags.reserve(m_rows.size());
    for (const auto& entry : m_rows) tags.push_back(entry.first);
    const ConnectionChanges changes = DiffConnections(Connections(), fresh);
    const RedrawSuspended drawnOnce(m_list);
    for (const auto& [shownIndex, freshIndex] : changes.changed) {
        const size_t tag = tags[shownIndex];
        m_rows[tag] = fresh[freshIndex];
        m_list.SetRowCells(m_list.FindRowByTag(tag), ConnectionCells(fresh[freshIndex]));
    }
    for (const size_t index : changes.removed) {
        m_list.DeleteRow(m_list.FindRowByTag(tags[index]));
        m_rows.erase(tags[index]);
    }
    for (const size_t index : changes.added) {
        const size_t tag = m_nextTag++;
        m_rows.emplace(tag, fresh[index]);
        m_list.InsertRow(ConnectionCells(fresh[index]), tag);
    }
    const bool reordered = !changes.added.empty() || !changes.changed.empty();
    if (reordered && m_list.m_nSortColumn >= 0) m_list.SortByColumn(m_list.m_nSortColumn, m_list.m_bAscending);
    UpdateButtons();
}

const ShownConnection* CConnectionsDlg::SelectedConnection() const {
    const std::optional<size_t> tag = m_list.RowTag(m_list.GetFirstSelectedItem());
    if (!tag) return nullptr;
    const auto found = m_rows.find(*tag);
    return found == m_rows.end() ? nullptr : &found->second;
}

void CConnectionsDlg::UpdateButtons() {
    const ShownConnection* selected = SelectedConnection();
    const bool owned = selected && selected->row.pid != 0;
    m_btnTerminate.EnableWindow(owned && m_terminate);
    m_btnBlock.EnableWindow(owned && m_block);
    m_btnDisconnect.EnableWindow(selected && CanDisconnect(selected->row));
    m_btnCopy.EnableWindow(selected != nullptr);
}

void CConnectionsDlg::RunOnOwner(const ProcessCommand& command) {
    const ShownConnection* selected = SelectedConnection();
    if (!selected || selected->row.pid == 0 || !command) return;
    command({selected->processName, selected->row.pid, selected->startTime}, *m_prompt);
    if (m_hWnd) Update();
}

void CConnectionsDlg::OnTerminate() { RunOnOwner(m_terminate); }

void CConnectionsDlg::OnBlock() { RunOnOwner(m_block); }

void CConnectionsDlg::OnDisconnect() {
    const ShownConnection* selected = SelectedConnection();
    if (!selected || !CanDisconnect(selected->row)) return;
    const ShownConnection connection = *selected;
    if (!m_prompt->AskYesNo(DisconnectQuestion(connection), "警告")) return;
    const DisconnectOutcome outcome = m_connections->Disconnect(connection.row);
    if (!m_logPath.empty()) {
        AppendLogLine(m_logPath, DisconnectLogLine(connection, LocalNow(), outcome == DisconnectOutcome::Disconnected),
                      kEndLogLimitBytes);
    }
    Update();
    if (outcome == DisconnectOutcome::Disconnected) return;
    if (outcome == DisconnectOutcome::Denied && !m_bRunsAsAdministrator && m_restartAsAdministrator) {
        // The restart ends this copy: not while the dialog is still open over the window.
        if (m_prompt->AskYesNo(kAdministratorQuestion, "警告")) {
            m_bRestartAccepted = true;
            EndDialog(IDCANCEL);
        }
        return;
    }
    m_prompt->Notify("无法断开该连接。", "提示");
}

void CConnectionsDlg::OnCopy() {
    std::vector<std::vector<std::string>> rows = {
        std::vector<std::string>(std::begin(kColumnHeadings), std::end(kColumnHeadings))};
    for (int row = m_list.GetNextItem(-1, LVNI_SELECTED); row >= 0; row = m_list.GetNextItem(row, LVNI_SELECTED)) {
        const std::optional<size_t> tag = m_list.RowTag(row);
        const auto found = tag ? m_rows.find(*tag) : m_rows.end();
        if (found != m_rows.end()) rows.push_back(ConnectionCells(found->second));
    }
    if (rows.size() > 1) CopyTextToClipboard(m_hWnd, WideFromText(ConnectionsClipboardText(rows)));
}

ConnectionsDialogOutcome RunConnectionsDialog(ProcessSystem& processes,
                                              const std::function<void(CConnectionsDlg&)>& setUp) {
    std::function<bool()> restart;
    {
        CConnectionsDlg dialog(processes);
        if (setUp) setUp(dialog);
        dialog.DoModal();
        if (dialog.RestartAccepted()) restart = dialog.AdministratorRestart();
    }
    return {restart && restart()};
}
