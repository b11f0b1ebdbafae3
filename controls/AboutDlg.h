// The about box: icon, name and version, copyright, the maker's line and two
// links (home page and e-mail). OK and the close box collapse it toward its
// centre in one second; Escape ends it at once.
#pragma once

#include "controls/LinkStatic.h"
#include "framework/Dialog.h"

extern const char* const kHomePageAddress;  // a web address: the link opens it as it is
extern const char* const kMailAddress;      // an e-mail address: the link opens "mailto:" + it

constexpr DWORD kAboutCloseAnimationMs = 1000;

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(HWND parent = nullptr);

    CLinkStatic m_linkHome;  // item 1023
    CLinkStatic m_linkMail;  // item 1024

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnClose();
    void AttachLink(CLinkStatic& link, int itemId, const char* target);
};

// Opens the about box modally (the main window, when there is one, owns it);
// returns when it closes. Commands 32773, 32786 and system menu entry 16.
void RunAboutDialog();
