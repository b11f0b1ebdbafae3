// CDialog: a dialog made from a template and bound to its object from window
// creation on, so that even WM_CREATE (before the controls exist) reaches it.
// DoModal runs it modally; Create makes it modeless (used by tests).
// A modal dialog without a parent is owned by the innermost modal dialog that
// runs on the thread (the main window at the outermost level), so a dialog
// opened from another dialog is modal to it and the windows below stay
// disabled until the outermost dialog ends.
#pragma once

#include <string>

#include "framework/Wnd.h"

class CDialog;

// Whether a window whose creation the dialog hook sees is a dialog's own
// window (dialog class), not one made along with it such as an input-method
// window.
bool IsDialogWindowBeingCreated(HWND window);

// Data exchange between members and controls (direction: save = from controls).
class CDataExchange {
public:
    CDataExchange(CDialog& dialog, bool save) : m_dialog(dialog), m_bSaveAndValidate(save) {}
    CDialog& m_dialog;
    const bool m_bSaveAndValidate;
};

// Binds control to the dialog's control id (once).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
void DDX_Check(CDataExchange* pDX, int id, int& value);
void DDX_Text(CDataExchange* pDX, int id, std::string& value);

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, HWND parent = nullptr) : m_nTemplateId(templateId), m_hParent(parent) {}

    INT_PTR DoModal();
    // The innermost dialog whose DoModal runs on this thread, or null.
    static CDialog* InnermostModal();
    bool Create(HWND parent = nullptr);
    void EndDialog(int result);
    bool UpdateData(bool save = true);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    // Window creation, before any control exists: 0 to go on, -1 to fail.
    virtual int OnCreate(CREATESTRUCTW*);
    // Returns true when the command was handled.
    virtual bool OnCommand(UINT id, UINT code, HWND control);
    // Returns true when handled, with the notification's result in *result.
    virtual bool OnNotify(NMHDR* header, LRESULT* result);
    virtual void OnOK();
    virtual void OnCancel();
    // A key pressed in this modal dialog while it is enabled, before the
    // dialog manager sees it: true when handled (the key then goes no
    // further). Dialogs without keys of their own leave it.
    virtual bool OnDialogKey(const MSG& /*key*/) { return false; }

    const UINT m_nTemplateId;
    const HWND m_hParent;

private:
    bool BeginCreation();
    static LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK KeyFilter(int code, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK NoDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

    bool m_bModal = false;
};
