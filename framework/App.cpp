#include "framework/App.h"

#include <commctrl.h>

#include "framework/SystemFunction.h"

namespace {
CWinApp* g_application = nullptr;
}

CWinApp::CWinApp() { g_application = this; }

CWinApp::~CWinApp() {
    if (g_application == this) g_application = nullptr;
}

CWinApp* CWinApp::Current() { return g_application; }

bool LimitLibrarySearchToSystem() {
    // Windows 8 on, and Vista and 7 with their update; looked up for the others.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
    const auto setDirectories = FindSystemFunction<SetDirectories>(L"kernel32.dll", "SetDefaultDllDirectories");
    // The current folder leaves the search on systems without the call too.
    SetDllDirectoryW(L"");
    return setDirectories && setDirectories(kSearchSystem32);
}

int CWinApp::Run() {
    LimitLibrarySearchToSystem();
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    InitInstance();
    return 0;
}

CWnd* AfxGetMainWnd() { return g_application ? g_application->m_pMainWnd : nullptr; }
