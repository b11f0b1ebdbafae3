#include "app/ProcessListDlg.h"

#include "controls/AboutDlg.h"
#include "files/Win32FileStore.h"
#include "process/SuspendCommands.h"
#include "process/Win32MessagePrompt.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"
#include "sysinfo/SysInfoDlg.h"

namespace {
// Sent to every top-level window when the shell (and its tray) starts again.
const UINT WM_TASKBAR_CREATED = RegisterWindowMessageW(L"TaskbarCreated");
}  // namespace

UINT ShowRunningCopyMessage() {
    static const UINT message = RegisterWindowMessageW(L"tarvemonix.show-running-copy");
    return message;
}

CProcessListDlg::CProcessListDlg(HWND parent)
    : CDialog(IDD_PROCESSLIST, parent),
      m_hIcon(LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME))),
      m_startFolder(CurrentFolder()),
      m_endLog(m_startFolder),
      m_ownSystem(std::make_unique<Win32ProcessSystem>()),
      m_ownPrompt(std::make_unique<Win32MessagePrompt>(*this)),
      m_system(m_ownSystem.get()),
      m_bRunsAsAdministrator(RunsWithAdministratorRights()) {
    m_questions.inner = m_ownPrompt.get();
}

CProcessListDlg::~CProcessListDlg() = default;

void CProcessListDlg::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, IDC_PROCESSLIST, m_list);
    DDX_Control(pDX, IDC_DELETEFILE, m_btnDeleteFile);
    DDX_Control(pDX, IDC_DETAILS, m_btnDetails);
    DDX_Control(pDX, IDC_SLIM, m_btnSlim);
    DDX_Control(pDX, IDC_BLOCK, m_btnBlock);
    DDX_Control(pDX, IDC_REFRESH, m_btnRefresh);
    DDX_Control(pDX, IDC_TERMINATE, m_btnTerminate);
    DDX_Control(pDX, IDC_FINDERTARGET, m_finderTarget);
    DDX_Check(pDX, IDC_PROMPTCHECK, m_nPromptCheck);
}

// ---- Message and command routing -------------------------------------------

LRESULT CProcessListDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    case WM_ENDSESSION:
        // At logoff and shutdown the process ends without WM_DESTROY.
        if (wParam) m_windowMemory.Save(m_hWnd, m_list, m_bTreeOrder, m_bShowMaximized);
        return 0;
    case WM_SYSCOMMAND: OnSysCommand(static_cast<UINT>(wParam)); return 0;
    case WM_PAINT: OnPaint(); return 0;
    case WM_QUERYDRAGICON: return reinterpret_cast<LRESULT>(m_hIcon);
    case WM_DROPFILES: {
        const std::wstring path = FirstDroppedPath(reinterpret_cast<HDROP>(wParam));
        if (!path.empty()) UnlessDialogIsOpen([this, &path] { OnFindFileUsers(path); });
        return 0;
    }
    case WM_HOTKEY: return OnHotKey(wParam);
    case WM_TRAY_NOTIFY: return OnTrayNotify(wParam, lParam);
    case WM_FINGERPRINT_HASHED: OnFingerprintHashed(); return 0;
    case WM_PROCESSES_MAY_HAVE_CHANGED: OnFastCheck(); return 0;
    case WM_REFRESH_AFTER_SHOW:
        if (m_clock.RefreshWaitsForShow()) OnRefresh();
        return 0;
    case WM_CONTEXTMENU:
        // Only the list has a menu of ours; the title bar's window menu and
        // the rest go to the default handling. From the keyboard (-1) the key
        // itself has opened the menu already.
        if (reinterpret_cast<HWND>(wParam) != m_list.m_hWnd) return CDialog::WindowProc(message, wParam, lParam);
        if (lParam != -1) OnContextMenu(m_list.m_hWnd, lParam);
        return 0;
    case WM_INITMENUPOPUP: OnInitMenuPopup(reinterpret_cast<HMENU>(wParam)); return 0;
    case WM_ENTERMENULOOP: m_bInMenu = true; return 0;
    case WM_EXITMENULOOP: m_bInMenu = false; return 0;
    case WM_WINDOWPOSCHANGING: OnWindowPosChanging(reinterpret_cast<WINDOWPOS*>(lParam)); return 0;
    case WM_WINDOWPOSCHANGED:
        if (reinterpret_cast<const WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) OnShown();
        m_windowMemory.OnWindowPosChanged(m_hWnd);
        return CDialog::WindowProc(message, wParam, lParam);
    case WM_SIZE: m_windowMemory.OnSize(m_hWnd); return CDialog::WindowProc(message, wParam, lParam);
    case WM_GETMINMAXINFO: m_windowMemory.OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam)); return 0;
    default:
        if (message == WM_TASKBAR_CREATED && WM_TASKBAR_CREATED != 0) {
            AddNotifyIcon();
            return 0;
        }
        if (message == ShowRunningCopyMessage() && message != 0) {
            OnShowRunningCopy();
            return 0;
        }
        return CDialog::WindowProc(message, wParam, lParam);
    }
}

// Commands that open a dialog or a question run through UnlessDialogIsOpen:
// while another one is open, it comes to the front instead.
bool CProcessListDlg::OnCommand(UINT id, UINT code, HWND control) {
    switch (id) {
    case IDC_REFRESH: OnRefresh(); return true;
    case IDC_SLIM: OnSlim(); return true;
    case IDC_TERMINATE: OnTerminate(); return true;
    case IDC_BLOCK: OnBlockProcess(); return true;
    case IDC_DETAILS: OnDetails(); return true;
    case IDC_DELETEFILE: OnDeleteFile(); return true;
    case IDC_PROMPTCHECK: OnPromptCheck(); return true;
    case ID_MENU_EXPORT: UnlessDialogIsOpen([this] { OnExport(); }); return true;
    case ID_MENU_EXIT:
    case ID_TRAY_EXIT: UnlessDialogIsOpen([this] { OnExit(); }); return true;
    case ID_MENU_SYSINFO:
    case ID_TRAY_SYSINFO: UnlessDialogIsOpen(RunSysInfoDialog); return true;
    case ID_MENU_BLOCKLIST:
    case ID_TRAY_BLOCKLIST: UnlessDialogIsOpen([this] { OnEditBlockList(); }); return true;
    case ID_MENU_HELP:
    case ID_TRAY_HELP: OpenHelpPage(); return true;
    case ID_MENU_VIEWLOG:
    case ID_TRAY_VIEWLOG: UnlessDialogIsOpen([this] { OnViewLog(); }); return true;
    case ID_MENU_AUTORUN:
    case ID_TRAY_AUTORUN: UnlessDialogIsOpen([this] { OnToggleAutorun(); }); return true;
    case ID_MENU_ABOUT:
    case ID_TRAY_ABOUT: UnlessDialogIsOpen(RunAboutDialog); return true;
    case ID_TRAY_SHOW: UnlessDialogIsOpen([this] { OnTrayShow(); }); return true;
    case ID_ROW_OPENFOLDER: OnOpenFileLocation(); return true;
    case ID_ROW_COPYNAME: OnCopyName(); return true;
    case ID_ROW_COPYPATH: OnCopyPath(); return true;
    case ID_ROW_TERMINATETREE: OnTerminateTree(); return true;
    case ID_ROW_SUSPEND: OnSuspend(); return true;
    case ID_ROW_RESUME: OnResume(); return true;
    case ID_ROW_PRIORITY_REALTIME:
    case ID_ROW_PRIORITY_HIGH:
    case ID_ROW_PRIORITY_ABOVENORMAL:
    case ID_ROW_PRIORITY_NORMAL:
    case ID_ROW_PRIORITY_BELOWNORMAL:
    case ID_ROW_PRIORITY_IDLE: OnPriority(kPriorityLevels[id - ID_ROW_PRIORITY_REALTIME]); return true;
    case ID_MENU_TREEORDER: OnToggleTreeOrder(); return true;
    case ID_MENU_STARTUP:
    case ID_TRAY_STARTUP: UnlessDialogIsOpen([this] { OnStartupEntries(); }); return true;
    case ID_MENU_CONNECTIONS: UnlessDialogIsOpen([this] { OnNetworkConnections(false); }); return true;
    case ID_ROW_CONNECTIONS: UnlessDialogIsOpen([this] { OnNetworkConnections(true); }); return true;
    case ID_MENU_FILEUSERS: UnlessDialogIsOpen([this] { OnFindFileUsers(std::wstring()); }); return true;
    default: return CDialog::OnCommand(id, code, control);
    }
}

bool CProcessListDlg::OnNotify(NMHDR* header, LRESULT* result) {
    if (header->idFrom != IDC_PROCESSLIST) return false;
    switch (header->code) {
    case NM_CLICK: OnListClick(); break;
    case LVN_ITEMCHANGED: OnListItemChanged(); break;
    case NM_DBLCLK: OnListDblClk(); break;
    case LVN_GETINFOTIPW: OnGetInfoTip(reinterpret_cast<NMLVGETINFOTIPW*>(header)); break;
    default: return false;
    }
    *result = 0;
    return true;
}

// ---- Creation, initialisation, timers, closing ------------------------------

void CProcessListDlg::FollowStartRequest(const StartRequest& request) {
    if (request.inTray) StartInTray();
    if (request.takeOverFromPid != 0) SetAdPageDelay(0);
    if (request.openStartupEntries) OpenStartupEntriesAtStart();
}

int CProcessListDlg::OnCreate(CREATESTRUCTW* create) {
    if (CDialog::OnCreate(create) == -1) return -1;
    SetTimer(kRefreshTimer, kRefreshPeriodMs);
    // A start at logon or a restart as administrator opens no page: the
    // user did not just start the program.
    if (!m_bKeepHidden && m_nAdPageDelayMs > 0) SetTimer(kAdPageTimer, m_nAdPageDelayMs);
    SetTimer(kBlockCheckTimer, kBlockCheckPeriodMs);
    // Only over the window's own system, which lives as long as the thread;
    // a system handed in by a test is looked at when the test says.
    if (m_system == m_ownSystem.get()) {
        m_changeProbe =
            std::make_unique<ChangeProbeThread>(*m_system, m_hWnd, WM_PROCESSES_MAY_HAVE_CHANGED, kFastCheckPeriodMs);
    }
    m_programFiles.SetNotify(m_hWnd, WM_FINGERPRINT_HASHED);
    AddTrayIcon();
    m_windowMemory.Restore(m_hWnd);
    if (!m_bKeepHidden) AnimateWindow(800, AW_CENTER);
    RegisterHotKeys();
    return 0;
}

BOOL CProcessListDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU systemMenu = GetSystemMenu(m_hWnd, FALSE)) {
        wchar_t* aboutText = nullptr;
        const int length =
            LoadStringW(GetModuleHandleW(nullptr), IDS_ABOUTBOX, reinterpret_cast<LPWSTR>(&aboutText), 0);
        if (length > 0) {
            const std::wstring about(aboutText, static_cast<size_t>(length));
            AppendMenuW(systemMenu, MF_SEPARATOR, 0, nullptr);
            AppendMenuW(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
        }
    }
    if (m_bRunsAsAdministrator) SetWindowText(GetWindowText() + "（管理员）");
    // Running as administrator, the window would not hear a second start of a
    // normal copy, nor the shell's restart that asks for the tray icon again.
    for (UINT fromLowerRights : {WM_TASKBAR_CREATED, ShowRunningCopyMessage()}) {
        if (fromLowerRights != 0) m_shell->AllowMessageFromLowerRights(m_hWnd, fromLowerRights);
    }
    // A file dropped from the shell, which runs with lower rights than an
    // elevated window: the drop and the two messages that carry its data.
    DragAcceptFiles(m_hWnd, TRUE);
    constexpr UINT kCopyGlobalData = 0x0049;  // WM_COPYGLOBALDATA
    for (UINT dropMessage : {static_cast<UINT>(WM_DROPFILES), static_cast<UINT>(WM_COPYDATA), kCopyGlobalData}) {
        m_shell->AllowMessageFromLowerRights(m_hWnd, dropMessage);
    }
    SendMessage(WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessage(WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_list.ModifyStyle(LVS_TYPEMASK, LVS_REPORT);
    m_list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_HEADERDRAGDROP);
    m_list.DeleteAllRows();
    const RECT listRect = m_list.GetWindowRect();
    const int width = listRect.right - listRect.left;
    m_list.InsertColumns(FormatText("进程名,%d;说明,%d;ProcID,%d", 7 * width / 10, 3 * width / 10, 2 * width / 10));
    m_list.InsertColumns(FormatText("CPU,%d;内存,%d", 3 * width / 20, 5 * width / 20));
    m_list.SetFigureColumn(kCpuColumn);
    m_list.SetFigureColumn(kMemoryColumn);
    m_bTreeOrder = m_windowMemory.RestoreControls(m_hWnd, m_list);
    m_list.onSortedByClick = [this] { OnSortedByClick(); };
    m_finderTarget.onFound = [this](const FoundWindow& found) { OnWindowFound(found); };

    m_btnTerminate.EnableWindow(false);
    m_nOsClass = GetOsClass();
    LoadBlockList();
    LoadReferenceInfo();
    // The first refresh ends what the block list names; program files are
    // looked at before it, so that it knows them.
    if (TakeSample()) CheckLook(m_usage.latest(), false);
    OnRefresh();
    if (m_windowMemory.WasMaximized()) {
        if (m_bKeepHidden) {
            m_bShowMaximized = true;
        } else {
            ShowWindow(SW_SHOWMAXIMIZED);
        }
    }
    if (m_bOpenStartupEntries) PostMessage(WM_COMMAND, ID_MENU_STARTUP);
    return TRUE;
}

int CProcessListDlg::GetOsClass() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) return kOsClassWhenQueryFails;
    return OsClassFromVersion(version.dwPlatformId, version.dwMajorVersion);
}

void CProcessListDlg::OnTimer(UINT_PTR id) {
    if (id == kRefreshTimer) {
        OnRefreshTick();
    } else if (id == kBlockCheckTimer) {
        OnSampleTick();
    } else if (id == kAdPageTimer) {
        KillTimer(kAdPageTimer);
        OpenAdPage();
    }
    Default();
}

void CProcessListDlg::OnClose() {
    if (m_prompt->Show("   真的要退出吗？", "提示", kMbYesNo) == kIdYes) EndDialog(IDCANCEL);
}

// Escape asks the same question as the close box instead of ending at once.
void CProcessListDlg::OnCancel() { OnClose(); }

void CProcessListDlg::OnDestroy() {
    m_windowMemory.Save(m_hWnd, m_list, m_bTreeOrder, m_bShowMaximized);
    Default();
    KillTimer(kRefreshTimer);
    KillTimer(kBlockCheckTimer);
    m_changeProbe.reset();
    m_programFiles.SetNotify(nullptr, 0);
    RemoveTrayIcon();
    UnregisterHotKeys();
    // Closing the program never leaves a program it suspended frozen.
    ResumeHeldAtExit(*m_system, &m_endLog, m_heldSuspended);
}

void CProcessListDlg::OnSysCommand(UINT id) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        UnlessDialogIsOpen(RunAboutDialog);
        return;
    }
    if (id == SC_MINIMIZE) {
        ShowWindow(SW_HIDE);
        return;
    }
    Default();
}

void CProcessListDlg::OnPaint() {
    if (!IsIconic(m_hWnd)) {
        Default();
        return;
    }
    PAINTSTRUCT paint{};
    HDC dc = BeginPaint(m_hWnd, &paint);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const RECT client = GetClientRect();
    const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
    EndPaint(m_hWnd, &paint);
}

// ---- One dialog at a time ------------------------------------------------------

// The tray menu and the hot keys reach the window while a dialog of a command
// runs over it (the window is disabled then). Opening a second dialog on top
// would nest modal loops, so the open one comes to the front instead.
void CProcessListDlg::UnlessDialogIsOpen(const std::function<void()>& openDialog) {
    if (::IsWindowEnabled(m_hWnd)) {
        openDialog();
        return;
    }
    const CDialog* innermost = CDialog::InnermostModal();
    const HWND top = innermost && innermost->m_hWnd ? innermost->m_hWnd : m_hWnd;
    SetForegroundWindow(GetLastActivePopup(top));
}

// ---- Check box, list notifications, button enabling -------------------------

void CProcessListDlg::OnPromptCheck() {
    const int value = m_nPromptCheck == 0 ? 1 : 0;
    m_nPromptCheck = value;
    m_bPromptDangerous = value;
}

void CProcessListDlg::OnListClick() { SetRowButtonsEnabled(true); }

void CProcessListDlg::OnListItemChanged() {
    if (!m_bFillingList) m_btnTerminate.EnableWindow(true);
}

void CProcessListDlg::OnListDblClk() { OnDetails(); }

void CProcessListDlg::SetRowButtonsEnabled(bool enabled) {
    m_btnTerminate.EnableWindow(enabled);
    m_btnBlock.EnableWindow(enabled);
    m_btnDetails.EnableWindow(enabled);
    m_btnDeleteFile.EnableWindow(enabled);
}

std::string CProcessListDlg::SelectedName() const { return m_list.GetItemText(m_list.GetFirstSelectedItem(), 0); }

uint32_t CProcessListDlg::SelectedPid() const {
    return static_cast<uint32_t>(AtoiPrefix(m_list.GetItemText(m_list.GetFirstSelectedItem(), 2)));
}

SelectedProcess CProcessListDlg::RowProcess(int row) const {
    SelectedProcess process{m_list.GetItemText(row, 0),
                            static_cast<uint32_t>(AtoiPrefix(m_list.GetItemText(row, kPidColumn)))};
    for (const ProcessKey& listed : m_listed) {
        if (listed.pid == process.pid && listed.name == process.name) process.startTime = listed.startTime;
    }
    return process;
}
