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

    // Limits the library search, prepares the common controls and runs
    // InitInstance.
    int Run();
};

// Libraries loaded by a bare name come from the system directory alone, never
// from the program's folder or the current one (a download folder may hold a
// planted library of a system name). True where the system has the call.
bool LimitLibrarySearchToSystem();

// The thread's main window (the application's m_pMainWnd).
CWnd* AfxGetMainWnd();
