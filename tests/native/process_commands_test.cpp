#include <gtest/gtest.h>

#include "process/ProcessCommands.h"
#include "tests/native/command_fakes.h"

namespace {

struct CommandTest : ::testing::Test {
    CommandTest() { system.processes = {Record(2200, "notepad.exe"), Record(2300, "locked.exe")}; }
    ScriptedSystem system;
    ScriptedPrompt prompt;
    std::vector<std::string> reference;
    CommandContext Context(int osClass) { return {system, prompt, osClass, reference}; }
};

}  // namespace

TEST(SlimDownSpareRule, ReverseContainmentAgainstTheTable) {
    const std::vector<std::string> none;
    for (const char* name : {"System", "[System Process]", "RPCSS.EXE", "rpcss.exe", "SS.EXE", "system"}) {
        EXPECT_TRUE(IsSparedBySlimDown(Record(100, name), 1, none)) << name;
    }
    for (const char* name : {"MYSYSTEM.EXE", "notepad.exe", "rpcss.exe.bak", "c:\\windows\\rpcss.exe"}) {
        EXPECT_FALSE(IsSparedBySlimDown(Record(100, name), 1, none)) << name;
    }
}

TEST(SlimDownSpareRule, ReferenceLinesAndOwnProcess) {
    const std::vector<std::string> reference = {"", "Explorer.exe 桌面与任务栏"};
    EXPECT_TRUE(IsSparedBySlimDown(Record(100, "explorer.exe"), 1, reference));
    EXPECT_TRUE(IsSparedBySlimDown(Record(100, "plorer.exe"), 1, reference));
    // An empty reference line spares nothing.
    EXPECT_FALSE(IsSparedBySlimDown(Record(100, "calc.exe"), 1, reference));
    // The own process is recognised by pid, whatever it is called.
    EXPECT_TRUE(IsSparedBySlimDown(Record(2100, "renamed.exe"), 2100, reference));
    EXPECT_FALSE(IsSparedBySlimDown(Record(2100, "renamed.exe"), 2104, reference));
}

TEST_F(CommandTest, TerminateAskedYesReportsTheOutcomeAndRefreshes) {
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunTerminateCommand(Context(5), Row("notepad.exe", 2200)));
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("真的要终止notepad.exe吗？", prompt.shown[0].text);
    EXPECT_EQ("警告", prompt.shown[0].caption);
    EXPECT_EQ(kMbYesNo, prompt.shown[0].style);
    EXPECT_EQ("中止成功", prompt.shown[1].text);
    EXPECT_EQ("提示", prompt.shown[1].caption);
    EXPECT_EQ(std::vector<uint32_t>{2200}, system.terminated);

    prompt.shown.clear();
    prompt.answers = {kIdYes};
    system.unterminable = {2300};
    EXPECT_TRUE(RunTerminateCommand(Context(5), Row("locked.exe", 2300)));
    EXPECT_EQ("中止失败", prompt.shown.back().text);
}

TEST_F(CommandTest, TerminateAnsweredNoStillRefreshes) {
    prompt.answers = {kIdNo};
    EXPECT_TRUE(RunTerminateCommand(Context(2), Row("notepad.exe", 2200)));
    EXPECT_EQ(1u, prompt.shown.size());
    EXPECT_TRUE(system.terminated.empty());
}

TEST_F(CommandTest, TerminateWithoutSelectionFails) {
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunTerminateCommand(Context(5), Row("", 0)));
    EXPECT_EQ((std::vector<std::string>{"真的要终止吗？", "中止失败"}), prompt.Texts());
}

TEST_F(CommandTest, TerminatePrivilegeFailureOnClassTwoOnly) {
    system.privilegeEnabled = false;
    EXPECT_FALSE(RunTerminateCommand(Context(2), Row("notepad.exe", 2200)));
    EXPECT_EQ(std::vector<std::string>{"修改权限错误!"}, prompt.Texts());
    EXPECT_EQ("提示", prompt.shown[0].caption);

    prompt.shown.clear();
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunTerminateCommand(Context(5), Row("notepad.exe", 2200)));
    EXPECT_EQ("中止成功", prompt.shown.back().text);
    // An elevated token holds the privilege switched off: every NT class asks
    // for it, the 9x family has none.
    EXPECT_EQ(2, system.privilegeRequests);
    prompt.answers = {kIdYes};
    RunTerminateCommand(Context(1), Row("notepad.exe", 2200));
    EXPECT_EQ(2, system.privilegeRequests);
}

TEST_F(CommandTest, SlimDownTerminatesTheUnsparedWithoutQuestions) {
    reference = {"explorer.exe 桌面"};
    system.ownPid = 2100;
    system.processes = {Record(0, "[System Process]"), Record(4, "System"),      Record(1234, "explorer.exe"),
                        Record(2000, "MYSYSTEM.EXE"),  Record(2100, "self.exe"), Record(2200, "notepad.exe"),
                        Record(2300, "flcss.exe")};
    system.unterminable = {2000};
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunSlimCommand(Context(1)));
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("该功能最好只在Windows9X下使用，可能会使系统无法正常运行，要继续吗？", prompt.shown[0].text);
    EXPECT_EQ("警告", prompt.shown[0].caption);
    // A failed termination does not stop the walk.
    EXPECT_EQ((std::vector<uint32_t>{2200, 2300}), system.terminated);
}

TEST_F(CommandTest, SlimDownAnsweredNoTerminatesNothing) {
    system.processes = {Record(2200, "notepad.exe")};
    prompt.answers = {kIdNo};
    EXPECT_TRUE(RunSlimCommand(Context(2)));
    EXPECT_TRUE(system.events.empty());
}

TEST_F(CommandTest, DeletePathChoicePerClass) {
    system.shortPaths[2200] = "C:\\PROGRA~1\\TOOL\\NOTEPAD.EXE";
    for (int osClass : {2, 4, 5}) {
        system.deleted.clear();
        prompt.answers = {kIdYes};
        RunDeleteFileCommand(Context(osClass), Row("notepad.exe", 2200));
        EXPECT_EQ(std::vector<std::string>{"C:\\PROGRA~1\\TOOL\\NOTEPAD.EXE"}, system.deleted) << osClass;
    }
    system.processes = {Record(2200, "C:\\WINDOWS\\NOTEPAD.EXE")};
    for (int osClass : {1, 3}) {
        system.deleted.clear();
        prompt.answers = {kIdYes};
        RunDeleteFileCommand(Context(osClass), Row("C:\\WINDOWS\\NOTEPAD.EXE", 2200));
        EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\NOTEPAD.EXE"}, system.deleted) << osClass;
    }
}

TEST(DeletablePath, RefusesEmptyPathsAndWildcards) {
    EXPECT_TRUE(IsDeletablePath("C:\\A\\B.EXE"));
    EXPECT_TRUE(IsDeletablePath("C:\\程序\\工具.exe"));
    EXPECT_FALSE(IsDeletablePath(""));
    EXPECT_FALSE(IsDeletablePath("C:\\A\\?.EXE"));
    EXPECT_FALSE(IsDeletablePath("C:\\A\\*"));
}

TEST_F(CommandTest, DeleteFileTakesThePathBeforeTerminatingAndWaitsForTheEnd) {
    system.shortPaths[2200] = "C:\\TOOLS\\NOTEPAD.EXE";
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunDeleteFileCommand(Context(5), Row("notepad.exe", 2200)));
    EXPECT_EQ((std::vector<std::string>{"path 2200", "terminate 2200", "delete C:\\TOOLS\\NOTEPAD.EXE"}),
              system.events);
    EXPECT_EQ(std::vector<uint32_t>{2200}, system.waitedFor);
    EXPECT_EQ((std::vector<std::string>{"真的要删除notepad.exe吗？", "已经中止进程", "删除成功"}), prompt.Texts());
    EXPECT_EQ("警告", prompt.shown[0].caption);
    EXPECT_EQ("提示", prompt.shown[1].caption);
    EXPECT_EQ(kDeleteResultCaption, prompt.shown[2].caption);
    EXPECT_EQ(kMbOk, prompt.shown[2].style);
}

TEST_F(CommandTest, DeleteFileOutcomes) {
    system.shortPaths[2200] = "C:\\TOOLS\\NOTEPAD.EXE";
    prompt.answers = {kIdYes};
    system.deletionResult = FileDeletionResult::Failed;
    RunDeleteFileCommand(Context(2), Row("notepad.exe", 2200));
    EXPECT_EQ("删除失败", prompt.shown.back().text);
    EXPECT_EQ(kMbOk | kMbIconExclamation, prompt.shown.back().style);

    prompt.answers = {kIdYes};
    system.deletionResult = FileDeletionResult::Cancelled;
    RunDeleteFileCommand(Context(2), Row("notepad.exe", 2200));
    EXPECT_EQ("删除取消", prompt.shown.back().text);
    EXPECT_EQ(kMbOk, prompt.shown.back().style);
}

TEST_F(CommandTest, DeleteFileWithUnknownPathDeletesNothing) {
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunDeleteFileCommand(Context(5), Row("notepad.exe", 2200)));
    EXPECT_TRUE(system.deleted.empty());
    EXPECT_EQ((std::vector<std::string>{"真的要删除notepad.exe吗？", "已经中止进程", "删除失败"}), prompt.Texts());
}

TEST_F(CommandTest, DeleteFileOnNineXUsesTheRowName) {
    system.processes = {Record(2200, "C:\\WINDOWS\\NOTEPAD.EXE")};
    prompt.answers = {kIdYes};
    RunDeleteFileCommand(Context(1), Row("C:\\WINDOWS\\NOTEPAD.EXE", 2200));
    EXPECT_EQ(std::vector<std::string>{"C:\\WINDOWS\\NOTEPAD.EXE"}, system.deleted);
}

TEST_F(CommandTest, DeleteFileAnsweredNoOrNotTerminated) {
    system.shortPaths[2200] = "C:\\TOOLS\\NOTEPAD.EXE";
    prompt.answers = {kIdNo};
    EXPECT_FALSE(RunDeleteFileCommand(Context(5), Row("notepad.exe", 2200)));
    EXPECT_TRUE(system.events.empty());

    prompt.shown.clear();
    prompt.answers = {kIdYes};
    system.unterminable = {2200};
    EXPECT_TRUE(RunDeleteFileCommand(Context(5), Row("notepad.exe", 2200)));
    EXPECT_TRUE(system.deleted.empty());
    EXPECT_EQ(std::vector<std::string>{"真的要删除notepad.exe吗？"}, prompt.Texts());
}

// The row's pid may have ended, or been given to another program, since the
// list was filled or while the question was open: nothing is ended or
// deleted, the user is told, and the list is refreshed.
TEST_F(CommandTest, StalePidEndsAndDeletesNothing) {
    system.shortPaths[2200] = "C:\\TOOLS\\OTHER.EXE";
    // Ended before the question; its pid given to another program, or to the
    // same program started again: another start time.
    const std::vector<std::vector<ProcessRecord>> snapshots = {
        {}, {Record(2200, "other.exe")}, {Record(2200, "notepad.exe")}};
    for (const std::vector<ProcessRecord>& snapshot : snapshots) {
        system.processes = snapshot;
        system.startTimes[2200] = 7;
        prompt.shown.clear();
        prompt.answers = {kIdYes};
        EXPECT_TRUE(RunTerminateCommand(Context(5), Row("notepad.exe", 2200)));
        EXPECT_EQ((std::vector<std::string>{"真的要终止notepad.exe吗？", "notepad.exe已经结束。"}), prompt.Texts());
        EXPECT_EQ("提示", prompt.shown[1].caption);

        prompt.shown.clear();
        prompt.answers = {kIdYes};
        EXPECT_TRUE(RunDeleteFileCommand(Context(5), Row("notepad.exe", 2200)));
        EXPECT_EQ((std::vector<std::string>{"真的要删除notepad.exe吗？", "notepad.exe已经结束。"}), prompt.Texts());
        EXPECT_TRUE(system.terminated.empty());
        EXPECT_TRUE(system.deleted.empty());
        EXPECT_EQ(system.events, std::vector<std::string>(system.events.size(), "terminate 2200"))
            << "no path read of another process";
    }
    // The same while the question is open.
    system.processes = {Record(2200, "notepad.exe")};
    system.startTimes.erase(2200);
    prompt.whileShown = [&] { system.startTimes[2200] = 8; };
    for (int delete_ = 0; delete_ < 2; ++delete_) {
        system.startTimes.erase(2200);
        prompt.answers = {kIdYes};
        if (delete_) {
            RunDeleteFileCommand(Context(5), Row("notepad.exe", 2200));
        } else {
            RunTerminateCommand(Context(5), Row("notepad.exe", 2200));
        }
        EXPECT_TRUE(system.terminated.empty());
        EXPECT_TRUE(system.deleted.empty());
    }
}

// A system that can only walk looks by walking: every process, with the
// start time and parent its walk gives.
TEST(ProcessLook, WithoutLooksOfItsOwnASystemLooksByItsWalk) {
    struct WalkOnly : ScriptedSystem {
        bool SampleProcesses(ProcessSample& look) override { return ProcessSystem::SampleProcesses(look); }
    } system;
    ProcessRecord child = Record(20, "b.exe");
    child.parentPid = 10;
    child.startTime = 7;
    system.processes = {Record(10, "a.exe"), child};
    ProcessSample look;
    ASSERT_TRUE(system.SampleProcesses(look));
    ASSERT_EQ(2u, look.processes.size());
    EXPECT_EQ(10u, look.processes[1].parentPid);
    EXPECT_EQ(7u, look.processes[1].startTime);
    EXPECT_FALSE(look.hasFigures);
}

// The walk takes each process's start time and parent from the look, by pid
// and name: one the look lacks, or names otherwise, is unknown.
TEST(ProcessLook, TheWalkTakesItsIdentitiesFromTheLook) {
    ScriptedSystem system;
    ProcessRecord walked = Record(30, "c.exe");
    walked.parentPid = 99;  // the walk's parent gives way to the look's
    system.processes = {Record(10, "a.exe"), Record(20, "b.exe"), walked};
    ProcessSample look;
    look.processes = {
        {10, "a.exe", 0, 111, 0, 0, 1}, {20, "other.exe", 0, 222, 0, 0, 1}, {30, "c.exe", 0, 333, 0, 0, 10}};
    const std::vector<ProcessRecord> records = IdentifiedWalk(system, look);
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ(111u, records[0].startTime);
    EXPECT_EQ(0u, records[1].startTime) << "another name is another process";
    EXPECT_EQ(333u, records[2].startTime);
    EXPECT_EQ(10u, records[2].parentPid);
    look.processes.clear();
    EXPECT_EQ(0u, IdentifiedWalk(system, look)[0].startTime) << "started after the look";
}

TEST(EndRefusal, TheIdleAndSystemProcessesAndCriticalOnesAreNeverEnded) {
    for (uint32_t pid : {0u, 4u}) EXPECT_TRUE(IsTerminationRefused(pid, false)) << pid;
    for (uint32_t pid : {1u, 5u, 8u}) EXPECT_FALSE(IsTerminationRefused(pid, false)) << pid;
    EXPECT_TRUE(IsTerminationRefused(8, true));
}
