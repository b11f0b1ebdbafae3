// The block list between refreshes: the one-second check, the record of what
// was ended, the tray notice, and one running copy of the program.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <windows.h>
#include <tlhelp32.h>

#include "app/ProcessListDlg.h"
#include "app/RunningCopy.h"
#include "app/StartupRules.h"
#include "files/Win32FileStore.h"
#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

class RecordingShell : public ShellOperations {
public:
    struct Notice {
        std::string title;
        std::string text;
    };
    std::vector<Notice> notices;
    std::vector<std::string> opened;
    bool NotifyIcon(DWORD, const NOTIFYICONDATAA&) override { return true; }
    bool ShowNotice(HWND, UINT, const std::string& title, const std::string& text) override {
        notices.push_back({title, text});
        return true;
    }
    void Open(HWND, const std::string& target, const std::wstring&) override { opened.push_back(target); }
};

// The main window in a scratch folder, modeless, with scripted boxes and shell.
class BlockCheckTest : public ::testing::Test {
protected:
    void Open() {
        dialog.SetMessagePrompt(&prompt);
        dialog.SetShellOperations(&shell);
        ASSERT_TRUE(dialog.Create());
    }
    void TearDown() override {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }
    void Command(int id) { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    // Pumps until the helper has ended or the time is up; true when it ended.
    static bool PumpUntilEnded(const HelperProcess& helper, DWORD milliseconds) {
        const DWORD start = GetTickCount();
        while (helper.IsRunning() && GetTickCount() - start < milliseconds) PumpMessages(50);
        return !helper.IsRunning();
    }

    ScratchDirectory directory;  // made before the window: it is the start folder
    ScriptedPrompt prompt;
    RecordingShell shell;
    CProcessListDlg dialog;
};

}  // namespace

// A helper that another program ends as soon as it appears in the process
// list, which may be inside its own start, counts as started and ended, with
// the pid that program ended: the tests of the block list must not depend on
// the program being slower than the helper's start.
TEST(HelperProcess, OneEndedAsSoonAsItAppearsCountsAsStartedAndEnded) {
    // Ten times: how soon the end comes varies from start to start.
    for (int round = 0; round < 10; ++round) {
        std::atomic<bool> stop{false};
        std::atomic<DWORD> ended{0};
        std::thread ender([&] {
            while (!stop && ended == 0) {
                const UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
                PROCESSENTRY32W entry{};
                entry.dwSize = sizeof(entry);
                for (BOOL more = snapshot && Process32FirstW(snapshot.get(), &entry); more && ended == 0;
                     more = Process32NextW(snapshot.get(), &entry)) {
                    if (lstrcmpiW(entry.szExeFile, L"tvxstartend.exe") != 0) continue;
                    const UniqueHandle process(OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID));
                    if (process && TerminateProcess(process.get(), 1)) ended = entry.th32ProcessID;
                }
            }
        });
        HelperProcess helper("tvxstartend.exe");
        for (int wait = 0; wait < 500 && ended == 0; ++wait) Sleep(10);
        stop = true;
        ender.join();
        ASSERT_TRUE(helper.started()) << "round " << round;
        EXPECT_TRUE(helper.WaitForExit(5000));
        EXPECT_FALSE(helper.IsRunning());
        EXPECT_EQ(ended.load(), helper.pid());
    }
}

// Black-box: a program on the block list started while the program runs (no
// click, box unticked) lives no longer than the check and one refresh, and
// the log names it, its pid and the entry that matched.
TEST(RealProgram, EndsABlockedProgramStartedLaterWithinSeconds) {
    ScratchDirectory directory;
    WriteFileBytes(L"proc.dat", "tvxlate\r\nEOF");
    RunningProgram program(directory.path());
    ASSERT_NE(nullptr, program.MainWindow(15000));
    Sleep(1500);

    HelperProcess late("tvxlate.exe");
    ASSERT_TRUE(late.started());
    const DWORD start = GetTickCount();
    ASSERT_TRUE(late.WaitForExit(5000));
    const DWORD lived = GetTickCount() - start;
    EXPECT_LT(lived, 3000u) << "lived " << lived << " ms";

    // The line follows the end at once; the two processes race to it.
    const std::string line = "封锁列表(匹配 tvxlate)  tvxlate.exe  PID " + std::to_string(late.pid()) + "  已结束\r\n";
    std::string log;
    for (int attempt = 0; attempt < 20 && log.find(line) == std::string::npos; ++attempt) {
        Sleep(100);
        log = ReadFileBytes(L"tarvemonix.log");
    }
    EXPECT_NE(std::string::npos, log.find(line)) << "log: " << log.size() << " bytes: " << log;
}

// Black-box: the shell starts the logon entry in its own folder, the system
// folder, and the copy still keeps the block list of the folder it was set
// up in. A folder it is told and cannot enter is said, and the program's own
// folder taken instead of the one it happened to start in.
TEST(RealProgram, KeepsItsBlockListWhereverItIsStarted) {
    ScratchDirectory directory;
    const std::wstring program = directory.path() + L"\\tarvemonix.exe";
    ASSERT_TRUE(CopyFileW(BuiltProgramPath().c_str(), program.c_str(), FALSE));
    WriteFileBytes(L"proc.dat", "tvxlogon\r\nEOF");
    const std::wstring systemFolder = SystemFolderPath(GetSystemDirectoryW);
    for (const std::wstring& commandLine :
         {AutorunValue(program, directory.path()), L"\"" + program + L"\" /tray \"/folder:C:\\no such folder\""}) {
        HelperProcess helper("tvxlogon.exe");
        ASSERT_TRUE(helper.started());
        RunningProgram started(systemFolder, commandLine);
        const bool folderFound = commandLine.find(L"no such") == std::wstring::npos;
        if (!folderFound) {
            HWND box = nullptr;
            for (int wait = 0; wait < 100 && !box; ++wait, Sleep(100)) box = FindWindowW(L"#32770", nullptr);
            ASSERT_NE(nullptr, box) << "the folder that cannot be entered is said";
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
        EXPECT_TRUE(helper.WaitForExit(10000)) << folderFound;
    }
}

// Black-box: a second start shows the running copy's window and ends.
TEST(RealProgram, ASecondStartShowsTheFirstCopyAndEnds) {
    ScratchDirectory first;
    RunningProgram running(first.path());
    HWND window = running.MainWindow(15000);
    ASSERT_NE(nullptr, window);
    Sleep(1500);  // the opening animation
    ShowWindow(window, SW_HIDE);

    ScratchDirectory elsewhere;
    RunningProgram second(elsewhere.path());
    EXPECT_TRUE(second.Ended(10000)) << "the second copy ends by itself";
    const DWORD start = GetTickCount();
    while (!IsWindowVisible(window) && GetTickCount() - start < 5000) Sleep(100);
    EXPECT_TRUE(IsWindowVisible(window)) << "the first copy's window is shown";
    EXPECT_FALSE(running.Ended(0)) << "the first copy runs on";
}

TEST_F(BlockCheckTest, ANewBlockedProcessIsEndedWithinTheCheck) {
    Open();
    HelperProcess blocked("flcss.exe");
    ASSERT_TRUE(blocked.started());
    EXPECT_TRUE(PumpUntilEnded(blocked, 3000));
    EXPECT_TRUE(prompt.shown.empty());
}

// With the box ticked the user asked to be asked: the check brings nothing
// forward, and the 20-second refresh asks as before.
TEST_F(BlockCheckTest, TickedBoxLeavesTheBlockToTheRefresh) {
    Open();
    Command(IDC_PROMPTCHECK);
    HelperProcess blocked("flcss.exe");
    ASSERT_TRUE(blocked.started());
    EXPECT_FALSE(PumpUntilEnded(blocked, 2500));
    EXPECT_TRUE(prompt.shown.empty());

    Command(IDC_PROMPTCHECK);
    EXPECT_TRUE(PumpUntilEnded(blocked, 3000)) << "unticked, the check acts";
    EXPECT_TRUE(prompt.shown.empty());
}

// While a box of the window is open (here the terminate command's question)
// the check starts no refresh inside it.
TEST_F(BlockCheckTest, NoRefreshFromInsideAQuestion) {
    Open();
    std::unique_ptr<HelperProcess> blocked;
    bool aliveAtTheEndOfTheQuestion = false;
    size_t boxesAtTheEndOfTheQuestion = 0;
    prompt.answers = {kIdNo};
    prompt.whileShown = [&] {
        if (blocked) return;
        blocked = std::make_unique<HelperProcess>("flcss.exe");
        PumpMessages(2500);
        aliveAtTheEndOfTheQuestion = blocked->IsRunning();
        boxesAtTheEndOfTheQuestion = prompt.shown.size();
    };
    Command(IDC_TERMINATE);
    ASSERT_TRUE(blocked && blocked->started());
    EXPECT_TRUE(aliveAtTheEndOfTheQuestion);
    EXPECT_EQ(1u, boxesAtTheEndOfTheQuestion);
    EXPECT_TRUE(PumpUntilEnded(*blocked, 3000)) << "the refresh after the command ends it";
}

TEST_F(BlockCheckTest, NoticeOnlyWhileTheWindowIsHidden) {
    Open();
    ShowWindow(dialog.m_hWnd, SW_HIDE);
    {
        HelperProcess blocked("flcss.exe");
        ASSERT_TRUE(PumpUntilEnded(blocked, 3000));
    }
    ASSERT_EQ(1u, shell.notices.size());
    EXPECT_EQ("瓦诺德已拦截", shell.notices[0].title);
    EXPECT_EQ("flcss.exe（匹配 FLCSS.EXE）", shell.notices[0].text);

    ShowWindow(dialog.m_hWnd, SW_SHOW);
    HelperProcess shown("flcss.exe");
    ASSERT_TRUE(PumpUntilEnded(shown, 3000));
    EXPECT_EQ(1u, shell.notices.size()) << "in view, the list shows it";
}

// A log that cannot be written (here a folder takes its name) changes no
// action and shows nothing.
TEST_F(BlockCheckTest, AnUnwritableLogChangesNothing) {
    ASSERT_TRUE(CreateDirectoryW(L"tarvemonix.log", nullptr));
    HelperProcess blocked("flcss.exe");
    ASSERT_TRUE(blocked.started());
    Open();
    EXPECT_TRUE(blocked.WaitForExit(5000));
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(BlockCheckTest, ViewLogOpensTheLogOrSaysThereIsNone) {
    Open();
    Command(ID_TRAY_VIEWLOG);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("还没有拦截记录。", prompt.shown[0].text);
    EXPECT_EQ("提示", prompt.shown[0].caption);
    EXPECT_TRUE(shell.opened.empty());

    HelperProcess blocked("flcss.exe");
    ASSERT_TRUE(PumpUntilEnded(blocked, 3000));
    Command(ID_MENU_VIEWLOG);
    EXPECT_EQ(1u, prompt.shown.size());
    EXPECT_EQ((std::vector<std::string>{"tarvemonix.log"}), shell.opened);
}

// The log stays under its limit: a line that would take it past moves the
// whole log to ".1" (replacing an older one) and starts a new log.
TEST(EndLogFile, RotatesBeforeTheLineThatWouldPassTheLimit) {
    ScratchDirectory directory;
    const std::string first(60, 'a'), second(60, 'b'), third(30, 'c');
    EXPECT_TRUE(AppendLogLine(L"x.log", first, 100));
    EXPECT_TRUE(AppendLogLine(L"x.log", second, 100));
    EXPECT_EQ(first, ReadFileBytes(L"x.log.1"));
    EXPECT_EQ(second, ReadFileBytes(L"x.log"));
    EXPECT_TRUE(AppendLogLine(L"x.log", third, 100));
    EXPECT_EQ(second + third, ReadFileBytes(L"x.log")) << "90 bytes fit";
    EXPECT_TRUE(AppendLogLine(L"x.log", first, 100));
    EXPECT_EQ(second + third, ReadFileBytes(L"x.log.1")) << "the older .1 is replaced";
    EXPECT_EQ(first, ReadFileBytes(L"x.log"));

    // A ".1" that cannot be replaced: the log stops growing.
    DeleteFileW(L"x.log.1");
    ASSERT_TRUE(CreateDirectoryW(L"x.log.1", nullptr));
    WriteFileBytes(L"x.log.1\\kept.txt", "kept");
    EXPECT_FALSE(AppendLogLine(L"x.log", second, 100));
    EXPECT_EQ(first, ReadFileBytes(L"x.log"));
    EXPECT_EQ("kept", ReadFileBytes(L"x.log.1\\kept.txt"));
    DeleteFileW(L"x.log.1\\kept.txt");
    RemoveDirectoryW(L"x.log.1");

    // A log held open by another program cannot move: the older log stays.
    WriteFileBytes(L"x.log.1", "older");
    {
        const UniqueHandle held(CreateFileW(L"x.log", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, 0, nullptr));
        ASSERT_TRUE(held);
        EXPECT_FALSE(AppendLogLine(L"x.log", second, 100));
    }
    EXPECT_EQ("older", ReadFileBytes(L"x.log.1"));
    EXPECT_EQ(first, ReadFileBytes(L"x.log"));
}

// A copy running as administrator holds a mark that a normal start may not
// even open: that is a running copy all the same.
TEST(RunningCopyMark, AMarkThatCannotBeOpenedIsARunningCopy) {
    {
        const RunningCopyMark first(L"Local\\tvx-test-mark");
        EXPECT_FALSE(first.AnotherCopyRuns());
        EXPECT_TRUE(RunningCopyMark(L"Local\\tvx-test-mark").AnotherCopyRuns());
    }
    SECURITY_DESCRIPTOR descriptor{};
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ACL noAccess{};  // an empty list: nobody is granted anything
    InitializeAcl(&noAccess, sizeof(noAccess), ACL_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, &noAccess, FALSE);
    SECURITY_ATTRIBUTES attributes{sizeof(attributes), &descriptor, FALSE};
    const UniqueHandle guarded(CreateMutexW(&attributes, FALSE, L"Local\\tvx-test-guarded"));
    ASSERT_TRUE(guarded);
    EXPECT_TRUE(RunningCopyMark(L"Local\\tvx-test-guarded").AnotherCopyRuns());
}

// A copy restarted as administrator takes the mark over as the copy it
// replaces ends, instead of handing back to it.
TEST(RunningCopyMark, ATakeOverWaitsForTheMarkOfTheCopyItReplaces) {
    auto replaced = std::make_unique<RunningCopyMark>(L"Local\\tvx-test-takeover");
    std::thread ending([&] {
        Sleep(300);
        replaced.reset();
    });
    const RunningCopyMark successor(L"Local\\tvx-test-takeover", GetCurrentProcessId());
    ending.join();
    EXPECT_FALSE(successor.AnotherCopyRuns());
}

// The copy that restarts as administrator lets go of the mark and ends only
// once the new copy holds it; where none takes it, it keeps the mark and runs.
TEST(RunningCopyMark, HandsOverOnlyToACopyThatTakesTheMark) {
    RunningCopyMark restarting(L"Local\\tvx-test-handover");
    EXPECT_FALSE(restarting.HandOver(300)) << "nobody took it";
    EXPECT_TRUE(RunningCopyMark(L"Local\\tvx-test-handover").AnotherCopyRuns()) << "the mark is held again";
    std::unique_ptr<RunningCopyMark> successor;
    std::thread starting(
        [&] { successor = std::make_unique<RunningCopyMark>(L"Local\\tvx-test-handover", GetCurrentProcessId()); });
    EXPECT_TRUE(restarting.HandOver(5000));
    starting.join();
    EXPECT_FALSE(successor->AnotherCopyRuns());
}
