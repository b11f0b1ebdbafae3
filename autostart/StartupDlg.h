// The dialog "启动项": every entry that starts a program at logon, with its
// place, its file's description and its state; disables, enables and removes
// entries, blocks their programs, and shows their files.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "autostart/StartupEntries.h"
#include "blocklist/BlockListCommands.h"
#include "controls/SortableListCtrl.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/ListDialogLayout.h"
#include "process/FileFingerprints.h"
#include "process/FileSignature.h"
#include "process/MessagePrompt.h"
#include "process/Win32ProgramFiles.h"

// Columns of the list.
constexpr int kStartupNameColumn = 0;
constexpr int kStartupPlaceColumn = 2;
constexpr int kStartupStatusColumn = 4;

// Sent to the dialog when signature checks have answered.
constexpr UINT WM_SIGNATURES_CHECKED = WM_USER + 140;

// Checks program files' signatures on a thread of its own, one file after
// another, and posts a message to the window as answers arrive; the checks
// read whole files, too slow for the window's thread.
class BackgroundSignatureChecks {
public:
    BackgroundSignatureChecks(HWND window, UINT message);
    // Stops after the file being checked, and waits for that.
    ~BackgroundSignatureChecks();
    BackgroundSignatureChecks(const BackgroundSignatureChecks&) = delete;
    BackgroundSignatureChecks& operator=(const BackgroundSignatureChecks&) = delete;
    void Check(const std::wstring& path);
    // The answers that arrived since the last call.
    std::vector<std::pair<std::wstring, FileSignature>> TakeAnswers();

private:
    void Work();

    const HWND m_window;
    const UINT m_message;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::wstring> m_queue;
    std::vector<std::pair<std::wstring, FileSignature>> m_answers;
    bool m_stop = false;
    std::thread m_worker;  // started by the first file
};

class CStartupDlg : public CDialog {
public:
    // folder: where proc.dat and tarvemonix.log live.
    explicit CStartupDlg(std::wstring folder, HWND parent = nullptr);
    ~CStartupDlg() override;

    // Seams and hooks, set before the dialog is created.
    void SetMessagePrompt(MessagePrompt* prompt) { m_prompt = prompt; }
    void SetAutostartSystem(AutostartSystem* system) { m_system = system; }
    void SetRunsAsAdministrator(bool administrator) { m_bRunsAsAdministrator = administrator; }
    // "隐藏 Windows 自带项" as remembered, and where a change of it goes.
    void SetHideWindowsOwn(bool hide, std::function<void(bool hide)> remember) {
        m_bHideWindowsOwn = hide;
        m_rememberHide = std::move(remember);
    }
    // A folder window with the file selected.
    void SetShowInFolder(std::function<void(const std::wstring& file)> show) { m_showInFolder = std::move(show); }
    // Starts again as administrator; true when this copy ends. A change
    // refused for want of rights asks first, and on Yes the dialog closes:
    // the restart runs once nothing is open (RunStartupDialog's caller).
    void SetAdministratorRestart(std::function<bool()> restart) { m_restartAsAdministrator = std::move(restart); }
    // Whether the user accepted the restart, which closed the dialog.
    bool RestartAccepted() const { return m_bRestartAccepted; }
    const std::function<bool()>& AdministratorRestart() const { return m_restartAsAdministrator; }
    // Where 封锁's program file is hashed and its fingerprint waits to be
    // recorded; by default the dialog's own, which stop when it closes.
    void SetFingerprintRecording(ProgramFileFacts& hasher, PendingFingerprints& pending) {
        m_blockHasher = &hasher;
        m_pending = &pending;
    }

    // Reads every place again and fills the list.
    void Refill();
    void OnToggle();
    void OnRemove();
    void OnOpenFolder();
    void OnBlock();
    void OnDetails();

    // The entry of the selected row, or null.
    const StartupEntry* SelectedEntry() const;
    const std::vector<StartupEntry>& entries() const { return m_entries; }
    // Whether every signature check asked for has answered and been taken in.
    bool SignatureChecksDone() const { return m_signatures.size() >= m_checking.size(); }
    // Whether proc.dat changed while the dialog was open.
    bool BlockListChanged() const { return m_bBlockListChanged; }

    CSortableListCtrl m_list;
    CButton m_btnToggle;
    CButton m_btnRemove;
    CButton m_btnOpenFolder;
    CButton m_btnBlock;
    CButton m_chkHideWindowsOwn;
    CStatic m_count;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    // F5 刷新; Delete in the list 删除, with its question.
    bool OnDialogKey(const MSG& key) override;

private:
    // The rows of the entries not hidden, the selection kept, and the count.
    void FillRows();
    bool IsHidden(const StartupEntry& entry) const;
    void OnSignaturesChecked();
    void UpdateButtons();
    // Says a failed change; one refused for want of rights offers the restart.
    void SayFailure(const ChangeResult& result);
    bool IsDangerous(const std::wstring& programPath);

    const std::wstring m_folder;
    std::unique_ptr<MessagePrompt> m_ownPrompt;
    MessagePrompt* m_prompt = nullptr;
    std::unique_ptr<AutostartSystem> m_ownSystem;
    AutostartSystem* m_system = nullptr;
    bool m_bRunsAsAdministrator = false;
    std::function<void(const std::wstring&)> m_showInFolder;
    std::function<bool()> m_restartAsAdministrator;
    BlockList m_blockList;  // proc.dat's names and the policy's
    FingerprintList m_fingerprints;
    Win32ProgramFiles m_programFiles;
    PendingFingerprints m_ownPending;
    ProgramFileFacts* m_blockHasher = &m_programFiles;
    PendingFingerprints* m_pending = &m_ownPending;
    std::vector<StartupEntry> m_entries;
    bool m_bBlockListChanged = false;
    bool m_bRestartAccepted = false;
    bool m_bNoticeSaid = false;  // a change's notice is said once a dialog
    bool m_bHideWindowsOwn = true;
    std::function<void(bool)> m_rememberHide;
    std::wstring m_windowsFolder;
    std::map<std::wstring, FileSignature> m_signatures;  // by program file, as the checks answered
    std::set<std::wstring> m_checking;
    std::unique_ptr<BackgroundSignatureChecks> m_checks;
    bool m_bComStarted = false;
    // Where the controls sit in the client area at the template's size.
    ListDialogLayout m_layout;
};

// Opens the dialog for one command, without a parent window, on the files of
// folder; true when proc.dat changed meanwhile. setUp configures it first.
// A restart as administrator accepted in it runs after it has closed; the
// answer is then whether this copy ends.
struct StartupDialogOutcome {
    bool blockListChanged = false;
    bool restarted = false;
};
StartupDialogOutcome RunStartupDialog(const std::wstring& folder, const std::function<void(CStartupDlg&)>& setUp);
