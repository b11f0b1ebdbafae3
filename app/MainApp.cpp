#include "app/MainApp.h"

#include "app/Autorun.h"
#include "app/ProcessListDlg.h"
#include "app/RunningCopy.h"
#include "app/StartupRules.h"
#include "files/Win32FileStore.h"
#include "framework/Text.h"

namespace {

// The command line's arguments after the program's own path.
std::vector<std::wstring> CommandLineArguments() {
    std::vector<std::wstring> arguments = SplitCommandLine(GetCommandLineW());
    arguments.erase(arguments.begin());
    return arguments;
}

std::wstring ProgramFolder() {
    const std::wstring program = ThisProgramPath();
    const size_t separator = program.find_last_of(L'\\');
    return separator == std::wstring::npos ? std::wstring() : program.substr(0, separator + 1);
}

// A copy restarted with administrator rights, or started at logon, may start
// elsewhere: it works in the folder it is told, where proc.dat lives. One that
// cannot be entered (a mapped drive the administrator's logon does not have,
// a folder since removed) is said, and the program's own folder used instead
// of whatever folder the copy happened to start in.
void EnterStartFolder(const std::wstring& folder) {
    if (folder.empty() || SetCurrentDirectoryW(folder.c_str())) return;
    const std::string reason = SystemErrorText(GetLastError());
    const std::wstring programFolder = ProgramFolder();
    const bool entered = !programFolder.empty() && SetCurrentDirectoryW(programFolder.c_str());
    const std::string text = "无法进入文件夹" + TextFromWide(folder) + "。\n" + reason +
                             (entered ? "\n瓦诺德改用程序所在的文件夹" + TextFromWide(programFolder) + "。" : "");
    MessageBoxW(nullptr, WideFromText(text).c_str(), WideFromText("提示").c_str(), MB_OK | MB_ICONEXCLAMATION);
}

}  // namespace

BOOL CMainApp::InitInstance() {
    const StartRequest request = ReadStartArguments(CommandLineArguments());
    EnterStartFolder(StartFolderFor(request, ProgramFolder()));
    // A second start shows the running copy's window, as its tray item
    // "进程信息" does, and ends; one started in the tray (at logon, say) ends
    // without a word.
    RunningCopyMark mark(kRunningCopyMarkName, request.takeOverFromPid);
    if (mark.AnotherCopyRuns()) {
        if (!request.inTray) {
            AllowSetForegroundWindow(ASFW_ANY);
            PostMessageW(HWND_BROADCAST, ShowRunningCopyMessage(), 0, 0);
        }
        return FALSE;
    }
    CProcessListDlg dialog;
    dialog.UseSettingsStore(std::make_unique<RegistrySettingsStore>());
    dialog.FollowStartRequest(request);
    dialog.SetRunningCopyMark(&mark);
    m_pMainWnd = &dialog;
    dialog.DoModal();
    m_pMainWnd = nullptr;
    // FALSE: the program ends when the main window has ended.
    return FALSE;
}
