// The dialog "启动项": every entry that starts a program at logon, with its
// place, its file's description and its state; disables, enables and removes
// entries, blocks their programs, and shows their files.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "autostart/StartupEntries.h"
#include "blocklist/BlockListCommands.h"
#include "controls/SortableListCtrl.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "process/FileFingerprints.h"
#include "process/MessagePrompt.h"
#include "process/Win32ProgramFiles.h"

// Columns of the list.
constexpr int kStartupNameColumn = 0;
constexpr int kStartupPlaceColumn = 2;
constexpr int kStartupStatusColumn = 4;

class CStartupDlg : public CDialog {
public:
    // folder: where proc.dat and tarvemonix.log live.
    explicit CStartupDlg(std::wstring folder, HWND parent = nullptr);
    ~CStartupDlg() override;

    // Seams and hooks, set before the dialog is created.
    void SetMessagePrompt(MessagePrompt* prompt) { m_prompt = prompt; }
    void SetAutostartSystem(AutostartSystem* system) { m_system = system; }
    void SetRunsAsAdministrator(bool administrator) { m_bRunsAsAdministrator = administrator; }
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
    // Whether proc.dat changed while the dialog was open.
    bool BlockListChanged() const { return m_bBlockListChanged; }

    CSortableListCtrl m_list;
    CButton m_btnToggle;
    CButton m_btnRemove;
    CButton m_btnOpenFolder;
    CButton m_btnBlock;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;
    // F5 刷新; Delete in the list 删除, with its question.
    bool OnDialogKey(const MSG& key) override;

private:
    void UpdateButtons();
    void LayOut(int width, int height);
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
    bool m_bComStarted = false;
    // Where the controls sit in the client area at the template's size.
    RECT m_listMargins{};  // left, top, and the space right and below
    int m_nButtonsFromBottom = 0;
    SIZE m_minimumSize{};
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
