// The block list editor "编辑封锁列表" and its add box "添加封锁进程". Both work
// on proc.dat alone; the main window loads it again when the editor closes.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "files/Win32FileStore.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "process/MessagePrompt.h"

class CBlockListDlg : public CDialog {
public:
    // folder: where proc.dat lives (relative names are taken there).
    explicit CBlockListDlg(HWND parent = nullptr, std::wstring folder = CurrentFolder());
    ~CBlockListDlg() override;

    // Seam for tests: the message boxes.
    void SetMessagePrompt(MessagePrompt* prompt) { m_prompt = prompt; }

    // Fills the list from proc.dat, the newest name on top.
    void LoadEntries();
    void OnAdd();
    void OnDelete();

    int m_nEntryCount = 0;
    std::vector<std::string> m_entries;  // the names in file order
    CListCtrl m_nameList;
    CButton m_btnDelete;
    CButton m_btnAdd;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    bool OnCommand(UINT id, UINT code, HWND control) override;
    bool OnNotify(NMHDR* header, LRESULT* result) override;

private:
    void OnNameListClick();
    void OnDestroy();

    const std::wstring m_folder;
    std::unique_ptr<MessagePrompt> m_ownPrompt;
    MessagePrompt* m_prompt = nullptr;
};

class CAddBlockDlg : public CDialog {
public:
    explicit CAddBlockDlg(HWND parent = nullptr);

    std::string m_strName;  // the typed name after IDOK, as typed

protected:
    void DoDataExchange(CDataExchange* pDX) override;
};

// Opens the editor for one command, without a parent window, on the proc.dat
// of folder, and returns when it is closed (tray command 32778, menu command 32784).
void RunBlockListEditor(const std::wstring& folder = CurrentFolder());
