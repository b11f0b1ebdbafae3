#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <set>
#include <thread>
#include <utility>

#include "app/ProcessListDlg.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "process/DetailsText.h"
#include "process/ExportText.h"
#include "process/ReferenceInfo.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

// The real system, except that it terminates only the pids a test allows and
// records every other attempt, so that slim down can run over the real
// snapshot without ending the system's own processes.
class GuardedSystem : public Win32ProcessSystem {
public:
    std::set<uint32_t> allowed;
    std::vector<std::string> refusedNames;
    std::vector<uint32_t> attempted;

    EndOutcome Terminate(const ProcessInstance& process, std::string* programShortPath) override {
        attempted.push_back(process.pid);
        if (allowed.count(process.pid)) return Win32ProcessSystem::Terminate(process, programShortPath);
        WalkProcesses([&](const ProcessRecord& record) {
            if (record.pid == process.pid) refusedNames.push_back(record.name);
            return record.pid != process.pid;
        });
        return EndOutcome::Failed;
    }
};

class ProcessCommandsTest : public ::testing::Test {
protected:
    void Open(ProcessSystem* system = nullptr) {
        dialog.SetMessagePrompt(&prompt);
        if (system) dialog.SetProcessSystem(system);
        ASSERT_TRUE(dialog.Create()) << "error " << GetLastError();
    }
    void TearDown() override {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }

    int RowOf(uint32_t pid) const { return FindRowOfPid(dialog.m_list, pid); }
    // Selects the row of pid as a click would; false when it is not listed.
    bool Select(uint32_t pid) const {
        const int row = RowOf(pid);
        if (row < 0) return false;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        dialog.m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        NMHDR click{dialog.m_list.m_hWnd, IDC_PROCESSLIST, static_cast<UINT>(NM_CLICK)};
        SendMessageW(dialog.m_hWnd, WM_NOTIFY, IDC_PROCESSLIST, reinterpret_cast<LPARAM>(&click));
        return true;
    }
    void Command(int id) const { SendMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& box : prompt.shown) texts.push_back(box.text);
        return texts;
    }
    std::wstring Here(const wchar_t* name) const { return scratch.path() + L"\\" + name; }

    ScratchDirectory scratch;  // the current directory, for processinfo.dat
    ScriptedPrompt prompt;
    CProcessListDlg dialog;
};

}  // namespace

TEST_F(ProcessCommandsTest, TerminateAsksAndReports) {
    HelperProcess helper("tvxterm.exe");
    ASSERT_TRUE(helper.started());
    Open();

    ASSERT_TRUE(Select(helper.pid()));
    prompt.answers = {kIdNo};
    Command(IDC_TERMINATE);
    EXPECT_EQ(std::vector<std::string>{"真的要终止tvxterm.exe吗？"}, Texts());
    EXPECT_EQ("警告", prompt.shown[0].caption);
    EXPECT_TRUE(helper.IsRunning());
    EXPECT_FALSE(dialog.m_btnTerminate.IsWindowEnabled()) << "refreshed after No";

    prompt.shown.clear();
    ASSERT_TRUE(Select(helper.pid()));
    prompt.answers = {kIdYes};
    Command(IDC_TERMINATE);
    EXPECT_EQ((std::vector<std::string>{"真的要终止tvxterm.exe吗？", "中止成功"}), Texts());
    EXPECT_TRUE(helper.WaitForExit(5000));
    EXPECT_EQ(-1, RowOf(helper.pid()));
}

TEST_F(ProcessCommandsTest, TerminateWithoutSelectionFails) {
    Open();
    prompt.answers = {kIdYes};
    Command(IDC_TERMINATE);
    EXPECT_EQ((std::vector<std::string>{"真的要终止吗？", "中止失败"}), Texts());
}

TEST_F(ProcessCommandsTest, SlimDownSparesListedProcessesTheProgramAndTheSystemServices) {
    HelperProcess unlisted("tvxslim.exe");
    HelperProcess listed("tvxkeep.exe");
    ASSERT_TRUE(unlisted.started() && listed.started());
    // The shipped reference file with one more line in front of it.
    const std::string shipped = ReadFileBytes(TVX_SOURCE_DIR L"/res/processinfo.dat");
    ASSERT_FALSE(shipped.empty());
    WriteFileBytes(Here(L"processinfo.dat"), "tvxkeep.exe 测试用的保留进程\r\n" + shipped);
    GuardedSystem system;
    system.allowed = {unlisted.pid(), listed.pid()};
    Open(&system);

    prompt.answers = {kIdYes};
    Command(IDC_SLIM);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("该功能最好只在Windows9X下使用，可能会使系统无法正常运行，要继续吗？", prompt.shown[0].text);
    EXPECT_TRUE(unlisted.WaitForExit(5000));
    EXPECT_TRUE(listed.IsRunning());
    EXPECT_EQ(0, std::count(system.attempted.begin(), system.attempted.end(), GetCurrentProcessId()));
    for (const std::string& name : system.refusedNames) {
        EXPECT_FALSE(IsNamedInReference(name, ParseReferenceInfo(shipped))) << name;
    }
    for (const char* service :
         {"services.exe", "winedevice.exe", "plugplay.exe", "rpcss.exe", "explorer.exe", "svchost.exe"}) {
        EXPECT_EQ(system.refusedNames.end(), std::find(system.refusedNames.begin(), system.refusedNames.end(), service))
            << service;
    }
}

TEST_F(ProcessCommandsTest, SlimDownAnsweredNoLeavesEverything) {
    HelperProcess unlisted("tvxslim.exe");
    GuardedSystem system;
    system.allowed = {unlisted.pid()};
    Open(&system);
    prompt.answers = {kIdNo};
    Command(IDC_SLIM);
    EXPECT_TRUE(system.attempted.empty());
    EXPECT_TRUE(unlisted.IsRunning());
}

class DeleteFileTest : public ProcessCommandsTest, public ::testing::WithParamInterface<int> {};

TEST_P(DeleteFileTest, RemovesTheProgramFileAndNothingElse) {
    HelperProcess helper("tvxdel.exe");
    ASSERT_TRUE(helper.started());
    // A file of the same name in the current directory must survive.
    WriteFileBytes(Here(L"tvxdel.exe"), "not the program");
    Open();
    dialog.m_nOsClass = GetParam();

    ASSERT_TRUE(Select(helper.pid()));
    prompt.answers = {kIdYes};
    Command(IDC_DELETEFILE);
    EXPECT_EQ((std::vector<std::string>{"真的要删除tvxdel.exe吗？", "已经中止进程", "删除成功"}), Texts());
    EXPECT_TRUE(helper.WaitForExit(5000));
    EXPECT_FALSE(FileExists(helper.path()));
    EXPECT_EQ("not the program", ReadFileBytes(Here(L"tvxdel.exe")));
}

INSTANTIATE_TEST_SUITE_P(NtClasses, DeleteFileTest, ::testing::Values(2, 4, 5));

TEST_F(ProcessCommandsTest, DeleteFileAnsweredNoKeepsProcessAndFile) {
    HelperProcess helper("tvxdel.exe");
    ASSERT_TRUE(helper.started());
    Open();
    ASSERT_TRUE(Select(helper.pid()));
    prompt.answers = {kIdNo};
    Command(IDC_DELETEFILE);
    EXPECT_EQ(1u, prompt.shown.size());
    EXPECT_TRUE(helper.IsRunning());
    EXPECT_TRUE(FileExists(helper.path()));
    EXPECT_TRUE(dialog.m_btnDeleteFile.IsWindowEnabled()) << "no refresh after No";
}

TEST_F(ProcessCommandsTest, DetailsShowTheRealSnapshot) {
    HelperProcess helper("tvxinfo.exe");
    ASSERT_TRUE(helper.started());
    WriteFileBytes(Here(L"processinfo.dat"), "other.exe 别的说明\r\nTVXINFO.EXE 测试用的说明\r\n[EOF]\r\n");
    Open();
    ASSERT_EQ((std::vector<std::string>{"other.exe 别的说明", "TVXINFO.EXE 测试用的说明"}), dialog.m_referenceInfo);
    dialog.m_nOsClass = 2;
    ASSERT_TRUE(Select(helper.pid()));
    Command(IDC_DETAILS);

    Win32ProcessSystem system;
    ProcessRecord record;
    system.WalkProcesses([&](const ProcessRecord& candidate) {
        record = candidate;
        return candidate.pid != helper.pid();
    });
    ThreadRecord thread;
    system.WalkThreads([&](const ThreadRecord& candidate) {
        thread = candidate;
        return candidate.ownerPid != helper.pid();
    });
    ASSERT_EQ(helper.pid(), thread.ownerPid);
    wchar_t shortPath[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameW(helper.path().c_str(), shortPath, MAX_PATH));
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("进程信息", prompt.shown[0].caption);
    EXPECT_EQ(0x2040u, prompt.shown[0].style);
    EXPECT_EQ(0u, prompt.shown[0].text.find(" 进程名: tvxinfo.exe\n 线程数: 1\n"));
    const std::string snapshotText = DetailsProcessPart(record) + DetailsThreadPart(thread) +
                                     "\n全路径:" + TextFromWide(shortPath) +
                                     "\n\n正常进程参考信息:\nTVXINFO.EXE 测试用的说明";
    const std::string& text = prompt.shown[0].text;
    EXPECT_EQ(0u, text.find(snapshotText + "\n\n 程序文件: " + TextFromWide(helper.path()) + "\n 启动时间: 20"))
        << text;
    EXPECT_EQ(std::string::npos, text.find("工作集: 无法读取"));
    EXPECT_FALSE(dialog.m_btnDetails.IsWindowEnabled()) << "refreshed afterwards";
}

TEST_F(ProcessCommandsTest, DoubleClickShowsDetailsWithoutPathOutsideClassTwo) {
    HelperProcess helper("tvxinfo.exe");
    ASSERT_TRUE(helper.started());
    Open();
    dialog.m_nOsClass = 5;
    ASSERT_TRUE(Select(helper.pid()));
    NMHDR notification{dialog.m_list.m_hWnd, IDC_PROCESSLIST, static_cast<UINT>(NM_DBLCLK)};
    SendMessageW(dialog.m_hWnd, WM_NOTIFY, IDC_PROCESSLIST, reinterpret_cast<LPARAM>(&notification));
    ASSERT_EQ(1u, prompt.shown.size());
    const std::string& text = prompt.shown[0].text;
    EXPECT_EQ(0u, text.find(" 进程名: tvxinfo.exe\n"));
    EXPECT_EQ(std::string::npos, text.find("全路径"));
    EXPECT_EQ(std::string::npos, text.find("正常进程参考信息"));
    EXPECT_NE(std::string::npos, text.find("\n\n 程序文件: ")) << "the facts follow the thread part's line end";
}

namespace {

struct DialogSearch {
    int controlId;
    HWND found;
};

BOOL CALLBACK CheckDialog(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<DialogSearch*>(context);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    wchar_t className[16] = {};
    GetClassNameW(window, className, 16);
    if (pid != GetCurrentProcessId() || std::wstring(className) != L"#32770" || !IsWindowVisible(window) ||
        !GetDlgItem(window, search->controlId)) {
        return TRUE;
    }
    search->found = window;
    return FALSE;
}

// A visible top-level dialog of this process that holds the given control.
HWND FindDialogWith(int controlId) {
    DialogSearch search{controlId, nullptr};
    EnumWindows(CheckDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForDialogWith(int controlId, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        if (HWND window = FindDialogWith(controlId)) return window;
        Sleep(50);
    }
    return nullptr;
}

// Plays the user of the save dialog on another thread: types the path,
// confirms, and answers Yes to the overwrite question when it comes.
class SaveDialogUser {
public:
    explicit SaveDialogUser(std::wstring path) : m_path(std::move(path)), m_thread([this] { Run(); }) {}
    ~SaveDialogUser() { m_thread.join(); }
    bool typed() const { return m_typed; }
    bool confirmedOverwrite() const { return m_confirmedOverwrite; }

private:
    void Run() {
        constexpr int kFileNameCombo = 0x47c;
        constexpr int kFileNameEdit = 0x480;
        HWND dialog = WaitForDialogWith(kFileNameCombo, 10000);
        if (!dialog) dialog = WaitForDialogWith(kFileNameEdit, 1000);
        if (!dialog) return;
        HWND field = GetDlgItem(dialog, kFileNameCombo);
        if (!field) field = GetDlgItem(dialog, kFileNameEdit);
        SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(m_path.c_str()));
        m_typed = true;
        PostMessageW(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
        if (HWND question = WaitForDialogWith(IDYES, 10000)) {
            // Set before the click: the export may return as soon as it lands.
            m_confirmedOverwrite = true;
            PostMessageW(GetDlgItem(question, IDYES), BM_CLICK, 0, 0);
        }
    }

    std::wstring m_path;
    std::atomic<bool> m_typed{false};
    std::atomic<bool> m_confirmedOverwrite{false};
    std::thread m_thread;
};

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    EXPECT_EQ(bytes.size(), start) << "every line ends with CR LF";
    return lines;
}

}  // namespace

TEST_F(ProcessCommandsTest, ExportWritesTheListInDisplayOrderAndReplacesAnOldFile) {
    Open();
    dialog.m_list.SortByColumn(0, false);
    const std::wstring path = Here(L"exported.txt");
    WriteFileBytes(path, "OLD CONTENT THAT MUST GO\r\n");
    {
        SaveDialogUser user(path);
        dialog.OnExport();
        EXPECT_TRUE(user.typed());
        EXPECT_TRUE(user.confirmedOverwrite());
    }
    const int count = dialog.m_list.GetItemCount();
    ASSERT_GT(count, 2);
    std::vector<std::string> expected;
    for (int row = 0; row < count; ++row) expected.push_back(dialog.m_list.GetItemText(row, 0));
    expected.push_back("----共导出进程" + std::to_string(count) + "个");
    EXPECT_EQ(expected, SplitLines(ReadFileBytes(path)));
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(ProcessCommandsTest, ExportWithoutExtensionAddsTxt) {
    Open();
    {
        SaveDialogUser user(Here(L"list"));
        dialog.OnExport();
    }
    const std::string bytes = ReadFileBytes(Here(L"list.txt"));
    EXPECT_NE(std::string::npos, bytes.find("----共导出进程"));
}

TEST_F(ProcessCommandsTest, ExportIntoALockedFileIsReported) {
    Open();
    const std::wstring path = Here(L"locked.txt");
    WriteFileBytes(path, "kept\r\n");
    HANDLE lock = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    {
        SaveDialogUser user(path);
        dialog.OnExport();
    }
    CloseHandle(lock);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("提示", prompt.shown[0].caption);
    EXPECT_NE(std::string::npos, prompt.shown[0].text.find(TextFromWide(path)));
    EXPECT_EQ("kept\r\n", ReadFileBytes(path));
}

TEST_F(ProcessCommandsTest, ExportCancelledWritesNothing) {
    Open();
    std::thread user([] {
        if (HWND dialog = WaitForDialogWith(0x47c, 10000)) PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    });
    dialog.OnExport();
    user.join();
    EXPECT_TRUE(prompt.shown.empty());
}

// Wine names such a folder on the Unix side only where the system's locale
// can spell it; the program's wide paths must reach it unchanged.
TEST_F(ProcessCommandsTest, ExportCommandWritesIntoAFolderNamedOutsideTheCodePage) {
    Open();
    const std::wstring folder = Here(L"Bj\u00f6rn \u0153");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << "error " << GetLastError();
    const std::wstring path = folder + L"\\进程.txt";
    {
        SaveDialogUser user(path);
        Command(ID_MENU_EXPORT);
        EXPECT_TRUE(user.typed());
    }
    EXPECT_EQ(std::vector<std::string>{}, Texts());
    std::vector<std::string> names;
    for (int row = 0; row < dialog.m_list.GetItemCount(); ++row) names.push_back(dialog.m_list.GetItemText(row, 0));
    EXPECT_EQ(BuildExportBytes(names), ReadFileBytes(path));
}

namespace {

// The real system on which the tests decide which processes count as marked
// critical.
class MarkedCriticalSystem : public Win32ProcessSystem {
public:
    std::set<uint32_t> critical;

protected:
    bool IsMarkedCritical(uint32_t pid, void* processHandle) override {
        return critical.count(pid) > 0 || Win32ProcessSystem::IsMarkedCritical(pid, processHandle);
    }
};

}  // namespace

TEST_F(ProcessCommandsTest, CriticalProcessesSurviveEveryCommandAndTheBlockList) {
    HelperProcess marked("flcss.exe");
    ASSERT_TRUE(marked.started());
    MarkedCriticalSystem system;
    system.critical = {marked.pid()};
    EXPECT_EQ(EndOutcome::Failed, system.Terminate({marked.pid(), StartTimeOfProcess(marked.pid())}));
    EXPECT_TRUE(system.IsEndRefused({marked.pid(), StartTimeOfProcess(marked.pid())}));

    Open(&system);  // the first refresh meets it on the block list
    EXPECT_FALSE(marked.WaitForExit(500));

    ASSERT_TRUE(Select(marked.pid()));
    prompt.answers = {kIdYes};
    Command(IDC_TERMINATE);
    EXPECT_EQ("中止失败", prompt.shown.back().text);

    ASSERT_TRUE(Select(marked.pid()));
    prompt.shown.clear();
    prompt.answers = {kIdYes};
    Command(IDC_DELETEFILE);
    EXPECT_EQ(std::vector<std::string>{"真的要删除flcss.exe吗？"}, Texts());
    EXPECT_TRUE(FileExists(marked.path()));
    EXPECT_TRUE(marked.IsRunning());

    // An ordinary process is not marked critical by the real flag.
    HelperProcess ordinary("tvxplain.exe");
    ASSERT_TRUE(ordinary.started());
    EXPECT_EQ(EndOutcome::Ended, system.Terminate({ordinary.pid(), StartTimeOfProcess(ordinary.pid())}));
    EXPECT_TRUE(ordinary.WaitForExit(5000));
}

TEST(Win32ProcessOperations, PathsWaitAndDeletion) {
    HelperProcess helper("tvxops.exe");
    ASSERT_TRUE(helper.started());
    Win32ProcessSystem system;
    EXPECT_EQ(helper.path(), ProcessImagePath(helper.pid()));
    const std::string shortPath = system.GetProcessShortPath(helper.pid());
    wchar_t expected[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameW(helper.path().c_str(), expected, MAX_PATH));
    EXPECT_EQ(TextFromWide(expected), shortPath);
    EXPECT_EQ("", system.GetProcessShortPath(0x7ffffff0));

    EXPECT_FALSE(system.WaitForProcessEnd(helper.pid(), 100));
    ASSERT_EQ(EndOutcome::Ended, system.Terminate({helper.pid(), StartTimeOfProcess(helper.pid())}));
    EXPECT_TRUE(system.WaitForProcessEnd(helper.pid(), 5000));
    EXPECT_EQ(FileDeletionResult::Deleted, system.DeleteFileNow(shortPath));
    EXPECT_FALSE(FileExists(helper.path()));
    EXPECT_EQ(FileDeletionResult::Failed, system.DeleteFileNow(shortPath));

    // A file in the system directory, where a 64-bit system redirects.
    wchar_t systemDirectory[MAX_PATH] = {};
    ASSERT_NE(0u, GetSystemDirectoryW(systemDirectory, MAX_PATH));
    const std::wstring systemFile = std::wstring(systemDirectory) + L"\\tvxsysdel.tmp";
    WriteFileBytes(systemFile, "x");
    ASSERT_TRUE(FileExists(systemFile));
    EXPECT_EQ(FileDeletionResult::Deleted, system.DeleteFileNow(TextFromWide(systemFile)));
    EXPECT_FALSE(FileExists(systemFile));
}

TEST(Win32ProcessOperations, ThreadWalkFindsTheOwnThread) {
    Win32ProcessSystem system;
    bool found = false;
    system.WalkThreads([&](const ThreadRecord& thread) {
        found = thread.threadId == GetCurrentThreadId() && thread.ownerPid == GetCurrentProcessId();
        return !found;
    });
    EXPECT_TRUE(found);
    EXPECT_EQ(GetCurrentProcessId(), system.OwnPid());
}

namespace {

// Reads the open menu's item states (SC_CLOSE: whether it is the window
// menu), then chooses an item with the keys, or (downs < 0) closes it; after
// a refresh of the window, where one is asked for.
struct RowMenuUser {
    static std::map<UINT, bool> enabled;
    static int downs;
    static HWND refreshFirst;
    static void CALLBACK Use(HWND, UINT, UINT_PTR timer, DWORD) {
        HWND popup = FindWindowW(L"#32768", nullptr);
        if (!popup) return;
        KillTimer(nullptr, timer);
        if (refreshFirst) SendMessageW(refreshFirst, WM_COMMAND, IDC_REFRESH, 0);
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(popup, MN_GETHMENU, 0, 0));
        for (UINT id : {IDC_TERMINATE, IDC_BLOCK, IDC_DETAILS, IDC_DELETEFILE, ID_ROW_OPENFOLDER, ID_ROW_COPYPATH})
            enabled[id] = (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) == 0;
        enabled[SC_CLOSE] = GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND) != static_cast<UINT>(-1);
        for (int press = 0; press < downs; ++press) PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(popup, WM_KEYDOWN, downs < 0 ? VK_ESCAPE : VK_RETURN, 0);
    }
};
std::map<UINT, bool> RowMenuUser::enabled;
int RowMenuUser::downs = 0;
HWND RowMenuUser::refreshFirst = nullptr;

// Every end is refused: for want of rights, or (protect) because the system
// protects the process.
struct DeniedSystem : Win32ProcessSystem {
    bool protect = false;
    std::vector<uint32_t> denied, protectedEnds;
    EndOutcome Terminate(const ProcessInstance& process, std::string*) override {
        (protect ? protectedEnds : denied).push_back(process.pid);
        return EndOutcome::Failed;
    }
    std::vector<uint32_t> TakeDeniedEnds() override { return std::exchange(denied, {}); }
    std::vector<uint32_t> TakeProtectedEnds() override { return std::exchange(protectedEnds, {}); }
};

}  // namespace

TEST_F(ProcessCommandsTest, RowMenuOfARightClickedRowPostsTheRowCommands) {
    HelperProcess helper("tvxmenu.exe");
    ASSERT_TRUE(helper.started());
    Open();
    const auto click = [&](HWND window, POINT point) {
        const UINT_PTR use = SetTimer(nullptr, 0, 200, &RowMenuUser::Use);
        SendMessageW(dialog.m_hWnd, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(window), MAKELPARAM(point.x, point.y));
        PumpMessages(300);
        KillTimer(nullptr, use);  // where no menu opened
    };
    const auto rightClick = [&](int row) {
        RECT bounds{LVIR_LABEL, 0, 0, 0};
        dialog.m_list.SendMessage(LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
        POINT point{bounds.left + 2, row < 0 ? 10000 : bounds.top + 2};
        ClientToScreen(dialog.m_list.m_hWnd, &point);
        click(dialog.m_list.m_hWnd, point);
    };
    RowMenuUser::downs = 10;  // 复制进程名, past the separator
    rightClick(RowOf(helper.pid()));
    for (const auto& item : RowMenuUser::enabled) EXPECT_NE(item.first == SC_CLOSE, item.second) << item.first;
    EXPECT_EQ(L"tvxmenu.exe", ClipboardText());

    RowMenuUser::downs = 1;  // 中止进程, with its question
    prompt.answers = {kIdNo};
    rightClick(RowOf(helper.pid()));
    EXPECT_EQ(std::vector<std::string>{"真的要终止tvxmenu.exe吗？"}, Texts());

    // 结束进程树 of a process that started none asks the same question.
    RowMenuUser::downs = 2;
    prompt.shown.clear();
    prompt.answers = {kIdNo};
    rightClick(RowOf(helper.pid()));
    EXPECT_EQ(std::vector<std::string>{"真的要终止tvxmenu.exe吗？"}, Texts());

    // 挂起进程 holds the process still and its row says so; the same place
    // then offers 恢复进程.
    RowMenuUser::downs = 3;
    prompt.shown.clear();
    rightClick(RowOf(helper.pid()));
    EXPECT_TRUE(Texts().empty());
    const ProcessInstance helperProcess{helper.pid(), StartTimeOfProcess(helper.pid())};
    EXPECT_TRUE(Win32ProcessSystem().IsSuspended(helperProcess));
    EXPECT_EQ(dialog.m_list.GetItemText(RowOf(helper.pid()), 1), " 应用程序进程（已挂起）");
    rightClick(RowOf(helper.pid()));
    EXPECT_FALSE(Win32ProcessSystem().IsSuspended(helperProcess));
    EXPECT_EQ(dialog.m_list.GetItemText(RowOf(helper.pid()), 1), " 应用程序进程");

    // A refresh while the menu is open takes its row away: the command does nothing.
    prompt.shown.clear();
    RowMenuUser::refreshFirst = dialog.m_hWnd;
    rightClick(RowOf(helper.pid()));
    RowMenuUser::refreshFirst = nullptr;
    EXPECT_TRUE(Texts().empty());

    RowMenuUser::enabled.clear();
    rightClick(-1);  // empty space below the rows
    EXPECT_TRUE(RowMenuUser::enabled.empty());
    PumpMessages(300);

    // A right click on the title bar opens the window menu, not ours.
    const RECT window = dialog.GetWindowRect();
    RowMenuUser::downs = -1;
    click(dialog.m_hWnd, {window.left + 60, window.top + GetSystemMetrics(SM_CYCAPTION) / 2 + 2});
    EXPECT_TRUE(RowMenuUser::enabled[SC_CLOSE]);
}

// 打开文件所在位置 starts explorer.exe of the Windows folder by its full path:
// a bare name would be looked for beside this program and in the current
// folder first.
TEST(ShellOperations, FileFolderWindowIsTheWindowsFoldersExplorer) {
    const ShellStart start = ShowInFolderStart(L"C:\\dir\\a b.exe");
    EXPECT_EQ(SystemFolderPath(GetSystemWindowsDirectoryW) + L"\\explorer.exe", start.program);
    EXPECT_EQ(L"/select,\"C:\\dir\\a b.exe\"", start.parameters);
}

// An end refused for want of rights is followed by the offer to start again
// as administrator: No leaves everything, Yes starts the program with "runas"
// and ends this copy.
TEST_F(ProcessCommandsTest, DeniedEndOffersARestartAsAdministrator) {
    DeniedSystem system;
    struct ElevatingShell : SilentShell {
        std::wstring arguments;
        bool RunAsAdministrator(HWND, const std::wstring&, const std::wstring& given, const std::wstring&) override {
            arguments = given;
            return true;
        }
    } shell;
    HelperProcess helper("tvxdenied.exe");
    ASSERT_TRUE(helper.started());
    dialog.SetShellOperations(&shell);
    dialog.SetRunsAsAdministrator(false);
    Open(&system);
    for (int answer : {kIdNo, kIdYes}) {
        prompt.shown.clear();
        ASSERT_TRUE(Select(helper.pid()));
        prompt.answers = {kIdYes, answer};
        Command(IDC_TERMINATE);
        EXPECT_EQ((std::vector<std::string>{"真的要终止tvxdenied.exe吗？", "中止失败", kAdministratorRestartQuestion}),
                  Texts());
        EXPECT_EQ(answer == kIdNo, IsWindow(dialog.m_hWnd) != FALSE);
    }
    EXPECT_EQ(0u, shell.arguments.find(L"/takeover:" + std::to_wstring(GetCurrentProcessId()) + L" "));
}

// The question never comes over an open box (a refresh inside it is refused
// an end); it comes once the window is free. Hidden in the tray, a notice
// asks instead, and a click on it brings the window and the question. A
// protected process is said to be beyond any rights.
TEST_F(ProcessCommandsTest, RestartIsAskedOverAFreeWindowOrFromTheTrayNotice) {
    DeniedSystem system;
    struct NoticingShell : SilentShell {
        std::vector<std::string> notices;
        bool ShowNotice(HWND, UINT, const std::string&, const std::string& text) override {
            notices.push_back(text);
            return true;
        }
    } shell;
    HelperProcess helper("tvxwait.exe");
    ASSERT_TRUE(helper.started());
    dialog.SetShellOperations(&shell);
    dialog.SetRunsAsAdministrator(false);
    Open(&system);
    dialog.m_blockList.AddLoaded("tvxwait");
    size_t shownInsideBox = 0;
    prompt.whileShown = [&] {
        if (shownInsideBox > 0) return;
        dialog.OnRefresh();
        shownInsideBox = prompt.shown.size();
    };
    Command(IDCANCEL);  // the exit question, answered No
    prompt.whileShown = nullptr;
    EXPECT_EQ(1u, shownInsideBox);
    PumpMessages(1500);
    EXPECT_EQ((std::vector<std::string>{"   真的要退出吗？", kAdministratorRestartQuestion}), Texts());

    ShowWindow(dialog.m_hWnd, SW_HIDE);
    prompt.shown.clear();
    ASSERT_TRUE(Select(helper.pid()));
    prompt.answers = {kIdYes, kIdNo};
    Command(IDC_TERMINATE);
    PumpMessages(1500);
    EXPECT_EQ((std::vector<std::string>{"真的要终止tvxwait.exe吗？", "中止失败"}), Texts());
    EXPECT_EQ(std::vector<std::string>{kAdministratorRestartNotice}, shell.notices);
    SendMessageW(dialog.m_hWnd, WM_TRAY_NOTIFY, kTrayIconId, NIN_BALLOONUSERCLICK);
    EXPECT_TRUE(IsWindowVisible(dialog.m_hWnd));
    EXPECT_EQ(kAdministratorRestartQuestion, Texts().back());

    system.protect = true;
    prompt.shown.clear();
    ASSERT_TRUE(Select(helper.pid()));
    prompt.answers = {kIdYes};
    Command(IDC_TERMINATE);
    EXPECT_EQ((std::vector<std::string>{"真的要终止tvxwait.exe吗？", "中止失败", kProtectedProcessText}), Texts());
}

// The helper ends and the same program starts again, under the same name,
// while 删除文件 and 中止进程 ask: the new copy is neither ended nor loses its file.
TEST(ProcessIdentityOfCommands, AProgramStartedAgainWhileAskedIsNeitherEndedNorDeleted) {
    Win32ProcessSystem system;
    for (bool deleteFile : {true, false}) {
        auto first = std::make_unique<HelperProcess>("tvxagain.exe");
        ASSERT_TRUE(first->started());
        const SelectedProcess row{"tvxagain.exe", first->pid(), StartTimeOfProcess(first->pid())};
        std::unique_ptr<HelperProcess> second;
        ScriptedPrompt prompt;
        prompt.answers = {kIdYes};
        prompt.whileShown = [&] {
            if (second) return;
            first.reset();
            second = std::make_unique<HelperProcess>("tvxagain.exe");
        };
        const std::vector<std::string> reference;
        const CommandContext context{system, prompt, 5, reference};
        if (deleteFile) {
            RunDeleteFileCommand(context, row);
        } else {
            RunTerminateCommand(context, row);
        }
        ASSERT_TRUE(second && second->started());
        EXPECT_TRUE(second->IsRunning()) << "pid " << second->pid() << " asked about " << row.pid;
        EXPECT_TRUE(FileExists(second->path()));
        ASSERT_EQ(2u, prompt.shown.size());
        EXPECT_EQ("tvxagain.exe已经结束。", prompt.shown[1].text);
    }
}
