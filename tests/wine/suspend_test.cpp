#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "app/ProcessListDlg.h"
#include "framework/Handle.h"
#include "process/Refresh.h"
#include "process/SuspendCommands.h"
#include "process/TreeTerminate.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

// The count a "count" helper wrote last; -1 while there is none.
long ReadCount(const HelperProcess& helper) {
    const std::wstring path = helper.path().substr(0, helper.path().rfind(L'\\')) + L"\\count.txt";
    for (int attempt = 0; attempt < 50; ++attempt) {
        std::ifstream file(path.c_str());
        long count = -1;
        if (file >> count) return count;
        Sleep(10);
    }
    return -1;
}

// Waits until the helper has counted past its first steps.
bool Counting(const HelperProcess& helper) {
    for (int attempt = 0; attempt < 300; ++attempt) {
        if (ReadCount(helper) > 2) return true;
        Sleep(10);
    }
    return false;
}

// Whether the count stands still while we wait.
bool CountStandsStill(const HelperProcess& helper) {
    Sleep(100);  // a write begun before the suspension ends
    const long before = ReadCount(helper);
    Sleep(300);
    return ReadCount(helper) == before;
}

size_t Running(ProcessSystem& system, const std::string& name) {
    size_t count = 0;
    system.WalkProcesses([&](const ProcessRecord& record) {
        count += record.name == name;
        return true;
    });
    return count;
}

TEST(Suspend, ASuspendedHelperStopsCountingAndCountsAgainWhenResumed) {
    HelperProcess helper("tvxcount.exe", 30, "count count.txt");
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(Counting(helper));
    Win32ProcessSystem system;
    const ProcessInstance instance{helper.pid(), StartTimeOfProcess(helper.pid())};
    EXPECT_FALSE(system.IsSuspended(instance));
    // Another process of that pid (a later start time) is left alone.
    EXPECT_EQ(system.Suspend({instance.pid, instance.startTime + 1}), ChangeOutcome::Gone);
    EXPECT_FALSE(CountStandsStill(helper));

    ASSERT_EQ(system.Suspend(instance), ChangeOutcome::Done);
    EXPECT_TRUE(system.IsSuspended(instance));
    EXPECT_TRUE(CountStandsStill(helper));

    // Its row says so, and what the program holds is resumed at its exit.
    SuspendedByProgram held;
    held.Add(instance, "tvxcount.exe");
    ScriptedPrompt prompt;
    BlockList blockList;
    const std::vector<std::string> reference;
    RefreshContext refresh{blockList, reference, 0, system, prompt};
    refresh.heldSuspended = &held;
    std::string word;
    for (const ProcessRow& row : BuildProcessRows(refresh)) {
        if (row.pidText == std::to_string(helper.pid())) word = row.word;
    }
    EXPECT_EQ(word, " 应用程序进程（已挂起）");
    ResumeHeldAtExit(system, nullptr, held);
    EXPECT_FALSE(system.IsSuspended(instance));
    EXPECT_FALSE(CountStandsStill(helper));
    EXPECT_TRUE(held.held().empty());
}

// The row menu's 挂起进程 holds the helper; closing the window lets it go.
TEST(Suspend, TheWindowsCloseResumesWhatItsRowMenuSuspended) {
    HelperProcess helper("tvxheld.exe", 30, "count count.txt");
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(Counting(helper));
    ScriptedPrompt prompt;
    CProcessListDlg dialog;
    dialog.SetMessagePrompt(&prompt);
    ASSERT_TRUE(dialog.Create()) << "error " << GetLastError();
    const int row = FindRowOfPid(dialog.m_list, helper.pid());
    ASSERT_GE(row, 0);
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    dialog.m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    SendMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_ROW_SUSPEND, BN_CLICKED), 0);
    EXPECT_TRUE(CountStandsStill(helper));
    const int heldRow = FindRowOfPid(dialog.m_list, helper.pid());
    ASSERT_GE(heldRow, 0);
    EXPECT_EQ(dialog.m_list.GetItemText(heldRow, 1), " 应用程序进程（已挂起）");
    DestroyWindow(dialog.m_hWnd);
    EXPECT_FALSE(CountStandsStill(helper));
    EXPECT_TRUE(prompt.shown.empty()) << prompt.shown.front().text;
}

// Systems without NtSuspendProcess: each thread in turn, the same effect.
TEST(Suspend, EachThreadInTurnSuspendsAndResumesToo) {
    HelperProcess helper("tvxthreads.exe", 30, "count count.txt");
    ASSERT_TRUE(helper.started());
    ASSERT_TRUE(Counting(helper));
    ASSERT_TRUE(ChangeEachThread(helper.pid(), true));
    EXPECT_TRUE(IsSuspendedByCounts(ThreadSuspendCounts(helper.pid())));
    EXPECT_TRUE(CountStandsStill(helper));
    ASSERT_TRUE(ChangeEachThread(helper.pid(), false));
    EXPECT_FALSE(IsSuspendedByCounts(ThreadSuspendCounts(helper.pid())));
    EXPECT_FALSE(CountStandsStill(helper));
    EXPECT_FALSE(ChangeEachThread(0x7ffffff0, true) && !ThreadSuspendCounts(0x7ffffff0).empty());
}

TEST(Suspend, APriorityChangeIsSeenByTheProcess) {
    HelperProcess helper("tvxpriority.exe", 30);
    ASSERT_TRUE(helper.started());
    Win32ProcessSystem system;
    const ProcessInstance instance{helper.pid(), StartTimeOfProcess(helper.pid())};
    EXPECT_EQ(system.ReadPriority(instance), PriorityLevel::Normal);
    const UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, helper.pid()));
    ASSERT_TRUE(process);
    for (PriorityLevel level : {PriorityLevel::BelowNormal, PriorityLevel::High, PriorityLevel::Idle}) {
        ASSERT_EQ(system.SetPriority(instance, level), ChangeOutcome::Done);
        EXPECT_EQ(GetPriorityClass(process.get()), PriorityClassValue(level));
        EXPECT_EQ(system.ReadPriority(instance), level);
    }
    EXPECT_EQ(system.SetPriority({instance.pid, instance.startTime + 1}, PriorityLevel::High), ChangeOutcome::Gone);
    EXPECT_EQ(system.ReadPriority({instance.pid, instance.startTime + 1}), std::nullopt);
}

// A loaded machine: each end comes a while after the one before, time enough
// for a survivor to start its partner again.
class SlowEndSystem : public Win32ProcessSystem {
public:
    EndOutcome Terminate(const ProcessInstance& process, std::string* programShortPath) override {
        Sleep(200);
        return Win32ProcessSystem::Terminate(process, programShortPath);
    }
};

// Two helpers that restart each other the moment either ends are gone after
// one 结束进程树 of their parent, and stay gone.
TEST(Suspend, AWatchdogPairIsGoneAfterOneTreeEnd) {
    HelperProcess parent("tvxpair.exe", 20, "pair");
    ASSERT_TRUE(parent.started());
    SlowEndSystem system;
    for (int attempt = 0; attempt < 300 && Running(system, "tvxpair.exe") < 3; ++attempt) Sleep(10);
    ASSERT_EQ(Running(system, "tvxpair.exe"), 3u);
    ScriptedPrompt prompt;
    prompt.answers = {kIdYes};
    const std::vector<std::string> reference;
    const CommandContext context{system, prompt, 5, reference};
    EXPECT_TRUE(RunTerminateTreeCommand(context, {"tvxpair.exe", parent.pid(), StartTimeOfProcess(parent.pid())}));
    ASSERT_FALSE(prompt.shown.empty());
    EXPECT_EQ(prompt.shown.back().text, "中止成功");
    Sleep(300);
    EXPECT_EQ(Running(system, "tvxpair.exe"), 0u);
    Sleep(700);
    EXPECT_EQ(Running(system, "tvxpair.exe"), 0u);
}

// The same pair on the block list is gone after one refresh that ends it
// without asking, and stays gone.
TEST(Suspend, ABlockedWatchdogPairIsGoneAfterOneRefresh) {
    HelperProcess first("tvxbpair.exe", 20, "watch");
    ASSERT_TRUE(first.started());
    SlowEndSystem system;
    for (int attempt = 0; attempt < 300 && Running(system, "tvxbpair.exe") < 2; ++attempt) Sleep(10);
    ASSERT_EQ(Running(system, "tvxbpair.exe"), 2u);
    BlockList blockList;
    blockList.AddLoaded("tvxbpair");
    const std::vector<std::string> reference;
    ScriptedPrompt prompt;
    BuildProcessRows({blockList, reference, 0, system, prompt});
    Sleep(300);
    EXPECT_EQ(Running(system, "tvxbpair.exe"), 0u);
    Sleep(700);
    EXPECT_EQ(Running(system, "tvxbpair.exe"), 0u);
}

}  // namespace
