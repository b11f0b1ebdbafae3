// The main window: owns the process list, the block table, the reference
// lines, the prompt flag and the operating-system class, and routes every
// command of the window, its menus, the tray icon, the hot keys and timers.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "controls/SortableListCtrl.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "process/MessagePrompt.h"
#include "process/ProcessRules.h"
#include "process/ProcessSystem.h"

class CProcessListDlg : public CDialog {
public:
    explicit CProcessListDlg(HWND parent = nullptr);
    ~CProcessListDlg() override;

    // Seams for tests: the process operations and the message boxes.
    void SetProcessSystem(ProcessSystem* system) { m_system = system; }
    void SetMessagePrompt(MessagePrompt* prompt) { m_prompt = prompt; }

    // Commands of the window (see OnCommand for their sources).
    void OnRefresh();
    void OnTerminate();
    void OnSlim();
    void OnDeleteFile();
    void OnDetails();
    void OnBlockProcess();
    void OnExport();

    void LoadBlockList();
    void LoadReferenceInfo();

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

private:
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnDestroy();
    void OnSysCommand(UINT id);
    void OnPaint();
    void OnPromptCheck();
    void OnListClick();
    void OnListItemChanged();
    void OnListDblClk();
    int GetOsClass();

    void RefreshOnce();
    void SetRowButtonsEnabled(bool enabled);
    // The selected row's name (column 0) and pid (column 2); empty and 0 with no selection.
    std::string SelectedName() const;
    uint32_t SelectedPid() const;

    std::unique_ptr<ProcessSystem> m_ownSystem;
    std::unique_ptr<MessagePrompt> m_ownPrompt;
    ProcessSystem* m_system = nullptr;
    MessagePrompt* m_prompt = nullptr;
    // A refresh asked for while one runs (from a question box's loop) runs
    // once after it instead of interleaving with it.
    bool m_bRefreshing = false;
    bool m_bRefreshPending = false;
};

// Timer identifiers of the main window.
constexpr UINT_PTR kRefreshTimer = 1;
constexpr UINT kRefreshPeriodMs = 20000;
constexpr UINT_PTR kAdPageTimer = 4;
constexpr UINT kAdPageDelayMs = 60000;
