// CWinApp: the application object. The program's entry point runs the one
// static instance; InitInstance returns FALSE to end the program at once.
#pragma once

#include <windows.h>

class CWnd;

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;

    virtual BOOL InitInstance() = 0;

    CWnd* m_pMainWnd = nullptr;
    static CWinApp* Current();

    // Prepares the common controls and runs InitInstance.
    int Run();
};

// The thread's main window (the application's m_pMainWnd).
CWnd* AfxGetMainWnd();
