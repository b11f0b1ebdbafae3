// The main window: owns the process list, the block table, the reference
// lines, the prompt flag and the operating-system class, and routes every
// command of the window, its menus, the tray icon, the hot keys and timers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ChangeProbe.h"
#include "app/EndLogFile.h"
#include "app/ProcessListClock.h"
#include "app/ShellOperations.h"
#include "app/StartupRules.h"
#include "app/WindowMemory.h"
#include "blocklist/BlockListCommands.h"
#include "controls/SortableListCtrl.h"
#include "finder/WindowFinderTarget.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "process/BlockWatch.h"
#include "process/FileFingerprints.h"
#include "process/MessagePrompt.h"
#include "process/ProcessCommands.h"
#include "process/ProcessRules.h"
#include "process/ProcessSystem.h"
#include "process/ProcessUsage.h"
#include "process/Win32ProgramFiles.h"

// Timer identifiers of the main window.
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshPeriodMs = 20000;
constexpr UINT_PTR kAdPageTimer = 4;
// One look at the processes a second: the light block check between refreshes
// (new processes on the block list bring the refresh forward) and, while the
// window is seen, the CPU and 内存 columns.
constexpr UINT_PTR kBlockCheckTimer = 11;
constexpr UINT kBlockCheckPeriodMs = 1000;
constexpr UINT kAdPageDelayMs = 60000;
// Ten times a second a probe of the process list, far cheaper than a look, on
// a thread of its own: when it changed, a look and the block check at once,
// so a blocked program lives a tenth of a second rather than up to a second.
constexpr UINT kFastCheckPeriodMs = 100;

// Columns of the process list: the three every row has had, then the figures.
constexpr int kPidColumn = 2;
constexpr int kCpuColumn = 3;
constexpr int kMemoryColumn = 4;

// The tray icon's callback message.
constexpr UINT WM_TRAY_NOTIFY = WM_USER + 100;
constexpr UINT kTrayIconId = 128;
// Posted by the hashing thread when a program file's hash is ready.
constexpr UINT WM_FINGERPRINT_HASHED = WM_USER + 125;
// Posted by the probe's thread when the process list may have changed.
constexpr UINT WM_PROCESSES_MAY_HAVE_CHANGED = WM_USER + 126;
// Posted as the window is shown while a refresh waits for it.
constexpr UINT WM_REFRESH_AFTER_SHOW = WM_USER + 127;

// Global hot keys (Alt+F11 and Alt+Z show, Alt+numeric keypad 8 and Alt+H hide).
constexpr int kHotKeyShowF11 = 1001;
constexpr int kHotKeyShowZ = 1002;
constexpr int kHotKeyHideNumpad8 = 1003;
constexpr int kHotKeyHideH = 1004;

// Broadcast by a second start of the program: the running copy shows its window.
UINT ShowRunningCopyMessage();

// Whether this process runs with administrator rights (an elevated token).
bool RunsWithAdministratorRights();
extern const char* const kAdministratorRestartQuestion;
extern const char* const kProtectedProcessText;
extern const char* const kAdministratorRestartNotice;

class RunningCopyMark;

// The details box's lines from the rooms above the process rules: the
// process's shown windows and its connections, "无法读取" for what cannot be
// read while the pid names that process.
std::vector<std::string> WindowAndConnectionLines(ProcessSystem& system, const SelectedProcess& selected);

// The first path of a drop on the window; the drop is released.
std::wstring FirstDroppedPath(HDROP drop);

extern const char* const kHelpPageFile;
extern const char* const kAdPageAddress;

class CProcessListDlg : public CDialog {
public:
    explicit CProcessListDlg(HWND parent = nullptr);
    ~CProcessListDlg() override;

    // Seams for tests: the process operations and the message boxes.
    void SetProcessSystem(ProcessSystem* system) { m_system = system; }
    void SetMessagePrompt(MessagePrompt* prompt) { m_questions.inner = prompt; }
    void SetShellOperations(ShellOperations* shell) { m_shell = shell; }
    // Whether the program runs with administrator rights; read from the
    // process's token, set by tests before the window is created.
    void SetRunsAsAdministrator(bool administrator) { m_bRunsAsAdministrator = administrator; }
    // The mark of the running copy, handed to a copy restarted as
    // administrator; without one (tests) the window ends at once.
    void SetRunningCopyMark(RunningCopyMark* mark) { m_runningCopyMark = mark; }
    // Delay of the one advertisement tick (0: none); set before the window is
    // created.
    void SetAdPageDelay(UINT milliseconds) { m_nAdPageDelayMs = milliseconds; }
    // Started in the tray ("/tray"): the window stays hidden until the user
    // shows it, and no advertisement opens; set before the window is created.
    void StartInTray() { m_bKeepHidden = true; }
    // Restarted as administrator from the startup entries: they open again.
    void OpenStartupEntriesAtStart() { m_bOpenStartupEntries = true; }
    // What the command line asks of the window, before it is created: the
    // tray, the startup entries, and no advertisement for a copy that takes
    // over from another (a restart as administrator: the user did not just
    // start the program).
    void FollowStartRequest(const StartRequest& request);

    // Commands of the window (see OnCommand for their sources).
    void OnRefresh();
    void OnTerminate();
    void OnSlim();
    void OnDeleteFile();
    void OnDetails();
    void OnBlockProcess();
    void OnEditBlockList();
    void OnExport();
    // The row menu's own commands and Ctrl+C.
    void OnOpenFileLocation();
    void OnCopyName();
    void OnCopyPath();
    void OnCopyRow();
    // Writes the list's names to path as the export does, reporting a failure.
    void ExportTo(const std::wstring& path);

    // Reads proc.dat into the block table; a file that cannot be read keeps
    // the table as it was (and is said when asked). False then.
    bool LoadBlockList(bool sayWhenUnreadable = false);
    void LoadReferenceInfo();

    // Tray icon, hot keys, showing and hiding, exit, help and advertisement.
    void AddTrayIcon();
    void RemoveTrayIcon();
    LRESULT OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    LRESULT OnHotKey(WPARAM hotKeyId);
    void OnTrayShow();
    // Shows the window, also one started in the tray.
    void ShowMainWindow();
    // A second start of the program asks this copy to show itself.
    void OnShowRunningCopy();
    void OnExit();
    void OpenHelpPage();
    void OpenAdPage();

    // The window that grows and remembers, the process tree, the tooltip.
    // Where the settings are remembered (the registry for the program);
    // without a store nothing outlives the window. Set before it is created.
    void UseSettingsStore(std::unique_ptr<SettingsStore> store) { m_windowMemory.UseStore(std::move(store)); }
    // 结束进程树: the selected process and every process below it.
    void OnTerminateTree();
    // 挂起进程, 恢复进程 and 优先级 of the selected process.
    void OnSuspend();
    void OnResume();
    void OnPriority(PriorityLevel level);
    // 按进程树排列, ticked or not.
    void OnToggleTreeOrder();
    bool IsTreeOrder() const { return m_bTreeOrder; }

    std::string m_szCountText;
    BlockList m_blockList;
    int m_bPromptDangerous = 0;
    int m_nOsClass = 0;
    std::vector<std::string> m_referenceInfo;
    CSortableListCtrl m_list;
    CButton m_btnDeleteFile;
    CButton m_btnDetails;
    CButton m_btnSlim;
    CButton m_btnBlock;
    CButton m_btnRefresh;
    CButton m_btnTerminate;
    // Dragged onto a window, it selects the window's process.
    CWindowFinderTarget m_finderTarget;
    int m_nPromptCheck = 0;
    HICON m_hIcon = nullptr;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    int OnCreate(CREATESTRUCTW* create) override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    void OnCancel() override;
    bool OnDialogKey(const MSG& key) override;

private:
    void OnTimer(UINT_PTR id);
    void OnSampleTick();
    void OnRefreshTick();
    // What the window is doing, for its clock.
    WindowState ClockState() const;
    bool TakeSample();
    // The CPU and 内存 cells of every row from the latest look, in place.
    void UpdateUsageColumns();
    void OnViewLog();
    void OnToggleAutorun();
    void OnInitMenuPopup(HMENU menu);
    void OnWindowPosChanging(WINDOWPOS* position);
    void ShowBlockNotice();
    void OnClose();
    void OnDestroy();
    void OnSysCommand(UINT id);
    void OnPaint();
    void OnPromptCheck();
    void OnListClick();
    void OnListItemChanged();
    void OnListDblClk();
    // The row menu: a right click on a row, the menu key or Shift+F10.
    void OnContextMenu(HWND window, LPARAM position);
    void ShowRowMenu(POINT screenPoint);
    // The selected process's program file, when its pid still names it.
    std::wstring SelectedProcessPath() const;
    // After an end refused for want of rights, offers to start again as
    // administrator, now or once nothing is open over the window; true when
    // this copy is ending for the new one. The block list asks once per
    // process: its refresh tries again every 20 seconds.
    bool OfferAdministratorRestart(bool forBlockList);
    bool AskForAdministratorRestart();
    // moreArguments: what the new copy is asked to do besides taking over.
    bool RestartAsAdministrator(const std::wstring& moreArguments = std::wstring());
    int GetOsClass();
    void AddNotifyIcon();
    void RegisterHotKeys();
    void UnregisterHotKeys();

    void RefreshOnce();
    void RereadPolicyNames();
    // Whether the latest look holds a process the refresh would end or ask about.
    bool LookHoldsWhatRefreshActsOn() const;
    void OnShown();
    // Runs openDialog, unless a dialog already runs over the window (which is
    // then disabled): that one is brought to the front instead.
    void UnlessDialogIsOpen(const std::function<void()>& openDialog);
    void SetRowButtonsEnabled(bool enabled);
    // The selected row's name (column 0) and pid (column 2); empty and 0 with no selection.
    std::string SelectedName() const;
    uint32_t SelectedPid() const;
    // The row's process as the refresh's look saw it: its name, pid and start time.
    SelectedProcess RowProcess(int row) const;
    SelectedProcess SelectedRow() const { return RowProcess(m_list.GetFirstSelectedItem()); }

    // The folder the program started in, where proc.dat, processinfo.dat and
    // the help page live; taken once, so no dialog can move them.
    const std::wstring m_startFolder;
    // Every process the window ends goes into tarvemonix.log there.
    FileEndLog m_endLog;
    std::unique_ptr<ProcessSystem> m_ownSystem;
    std::unique_ptr<MessagePrompt> m_ownPrompt;
    ShellOperations m_ownShell;
    ProcessSystem* m_system = nullptr;
    // Every box of the window goes through m_questions, which knows when one
    // is open: the block check never starts a refresh from inside a box.
    class CountedPrompt : public MessagePrompt {
    public:
        MessagePrompt* inner = nullptr;
        int open = 0;
        int Show(const std::string& text, const std::string& caption, unsigned style) override {
            ++open;
            const int answer = inner->Show(text, caption, style);
            --open;
            return answer;
        }
    };
    CountedPrompt m_questions;
    MessagePrompt* const m_prompt = &m_questions;
    // The processes of the latest look, for the block check.
    BlockWatch m_blockWatch;
    // The latest look with its figures, for the columns.
    UsageTracker m_usage;
    // When to look, refresh and act on the block check.
    ProcessListClock m_clock;
    ShellOperations* m_shell = &m_ownShell;
    UINT m_nAdPageDelayMs = kAdPageDelayMs;
    // A refresh asked for while one runs (from a question box's loop) runs
    // once after it instead of interleaving with it.
    bool m_bRefreshing = false;
    bool m_bRefreshPending = false;
    bool m_bFillingList = false;  // the window is putting rows or figures in
    bool m_bKeepHidden = false;   // started in the tray and not shown yet
    bool m_bRunsAsAdministrator;
    std::vector<uint32_t> m_askedBlockedPids;  // denied block-list ends already asked about
    bool m_bRestartWanted = false;             // an end was refused that rights might allow
    bool m_bAskingRestart = false;
    bool m_bRestartNoticeShown = false;  // hidden: the tray notice asks
    bool m_bInMenu = false;              // a menu of the window is open
    RunningCopyMark* m_runningCopyMark = nullptr;
    std::wstring m_rowMenuPath;  // the file of the row whose menu was opened last
    // Suspended by this program and not resumed: resumed when it ends.
    SuspendedByProgram m_heldSuspended;
    // Sets the row menu's 挂起进程 or 恢复进程 and its 优先级 items for the row.
    void PrepareSuspendItems(HMENU popup, const SelectedProcess& row, bool enabled);

    // The window that grows and remembers, the process tree, the tooltip.
    void OnGetInfoTip(NMLVGETINFOTIPW* request);
    // A click on a heading sorts: the rows leave the tree order.
    void OnSortedByClick();
    // The refresh's rows into the list, in tree order while it is ticked.
    void FillRows(const std::vector<ProcessRow>& rows);
    WindowMemory m_windowMemory;
    bool m_bTreeOrder = false;
    bool m_bShowMaximized = false;  // started in the tray: maximised at the first show
    // The startup entries dialog, and its restart as administrator.
    void OnStartupEntries();
    // "网络连接": every connection, or (selectedRowOnly) the selected row's.
    void OnNetworkConnections(bool selectedRowOnly);
    // The finder was released over found: its process's row is selected,
    // after a refresh when the list does not show it yet.
    void OnWindowFound(const FoundWindow& found);
    // Selects, shows and focuses the row of process (a start time of 0: the
    // listed process of that pid that still runs), after a refresh when the
    // list does not show it yet; its row, or -1.
    int SelectProcessRow(const ProcessInstance& process);

    // "查找占用文件的进程" for path; an empty path asks for a file first. A
    // file or folder dropped on the window comes here too.
    void OnFindFileUsers(std::wstring path);
    bool m_bOpenStartupEntries = false;
    // ---- Program files blocked by fingerprint, the policy's names, the fast check
    void OnFastCheck();
    // The block check over one look: new processes named by the block list,
    // or whose program file is recorded, bring the refresh forward.
    void CheckLook(const ProcessSample& sample, bool mayEnd = true);
    void EndBlockedOfLook(const ProcessSample& sample);
    void OnFingerprintHashed();
    // prochash.dat and the policy's names, read again with proc.dat.
    void LoadFingerprintsAndPolicy(bool sayWhenUnreadable = false);
    void RecordArrivedFingerprints(const Win32ProgramFiles::HashResult& result);
    // The recorded name the process's program file matches, when the watch
    // looked at that very process (pid and start time); null for none.
    const std::string* FingerprintMatchOf(const ProcessKey& process) const;
    Win32ProgramFiles m_programFiles;
    FingerprintList m_fingerprints;
    FingerprintWatch m_fingerprintWatch;
    PendingFingerprints m_pendingFingerprints;         // of 封锁, here and in the startup entries
    std::unique_ptr<ChangeProbeThread> m_changeProbe;  // while the window exists
    std::vector<ProcessKey> m_latestLook;              // the processes of the block check's latest look
    std::vector<ProcessKey> m_listed;                  // the processes of the list's rows, sorted
    std::vector<uint32_t> m_endedByCheck;              // ended from a look; the refresh after it lists them
};
