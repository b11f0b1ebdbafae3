#include "app/MainApp.h"

#include <shellapi.h>

#include "app/ProcessListDlg.h"
#include "app/RunningCopy.h"
#include "app/StartupRules.h"

namespace {

// The command line's arguments after the program's own path.
std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> arguments;
    int count = 0;
    wchar_t** split = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!split) return arguments;
    for (int index = 1; index < count; ++index) arguments.emplace_back(split[index]);
    LocalFree(split);
    return arguments;
}

}  // namespace

BOOL CMainApp::InitInstance() {
    const StartRequest request = ReadStartArguments(CommandLineArguments());
    // A copy restarted with administrator rights may start elsewhere: it
    // works in the folder of the copy it replaces, where proc.dat lives.
    if (!request.folder.empty()) SetCurrentDirectoryW(request.folder.c_str());
    // A second start shows the running copy's window, as its tray item
    // "进程信息" does, and ends; one started in the tray (at logon, say) ends
    // without a word.
    const RunningCopyMark mark(kRunningCopyMarkName, request.takeOverFromPid);
    if (mark.AnotherCopyRuns()) {
        if (!request.inTray) {
            AllowSetForegroundWindow(ASFW_ANY);
            PostMessageW(HWND_BROADCAST, ShowRunningCopyMessage(), 0, 0);
        }
        return FALSE;
    }
    CProcessListDlg dialog;
    if (request.inTray) dialog.StartInTray();
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // FALSE: the program ends when the main window has ended.
    return FALSE;
}
