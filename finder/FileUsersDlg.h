// The dialog "占用文件的进程": the processes a search found holding a file or
// a folder, with why; ends a row's process through the main window's flow
// and locates it in the main list.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "controls/SortableListCtrl.h"
#include "finder/FileUsers.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/ListDialogLayout.h"
#include "process/MessagePrompt.h"
#include "process/ProcessCommands.h"
#include "process/ProcessSystem.h"

class CFileUsersDlg : public CDialog {
public:
    CFileUsersDlg(ProcessSystem& processes, FileSearch search, HWND parent = nullptr);
    ~CFileUsersDlg() override;

    // Seams and hooks, set before the dialog is created.
    void SetMessagePrompt(MessagePrompt* prompt) { m_prompt = prompt; }
    // 中止进程 on a row's process, asking through the prompt given.
    using ProcessCommand = std::function<void(const SelectedProcess& user, MessagePrompt& prompt)>;
    void SetTerminate(ProcessCommand terminate) { m_terminate = std::move(terminate); }
    // 定位: selects the process in the main list; the dialog then closes, so
    // that the list is at hand.
    void SetLocate(std::function<void(const SelectedProcess& user)> locate) { m_locate = std::move(locate); }

    void OnTerminate();
    void OnLocate();
    // The process of the first selected row; null for none and for the row
    // of the processes that could not be read.
    const FileUser* SelectedUser() const;

    CSortableListCtrl m_list;
    CButton m_btnTerminate;
    CButton m_btnLocate;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;

private:
    void UpdateButtons();

    ProcessSystem& m_processes;
    const FileSearch m_search;  // each row's tag is its index in m_search.found.users
    std::unique_ptr<MessagePrompt> m_ownPrompt;
    MessagePrompt* m_prompt = nullptr;
    ProcessCommand m_terminate;
    std::function<void(const SelectedProcess&)> m_locate;
    ListDialogLayout m_layout;
};

// Searches path and shows what was found: the dialog, configured by setUp,
// or the message box that nothing holds it (through prompt).
void RunFileUsersSearch(const std::wstring& path, ProcessSystem& processes, FileUsersSystem& files,
                        MessagePrompt& prompt, const std::function<void(CFileUsersDlg&)>& setUp);
