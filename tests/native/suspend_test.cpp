#include <gtest/gtest.h>

#include "process/DetailsText.h"
#include "process/Refresh.h"
#include "process/SuspendCommands.h"
#include "process/TreeTerminate.h"
#include "tests/native/command_fakes.h"

namespace {

constexpr ThreadState kSuspendedThread{5, 5};

TEST(SuspendRules, ASuspendedProcessHasEveryThreadWaitingForItsSuspension) {
    EXPECT_EQ(SuspensionFromThreadStates({kSuspendedThread, kSuspendedThread}), LookedSuspension::Suspended);
    // One thread running, ready, or waiting for anything else: not suspended.
    for (ThreadState other : {ThreadState{2, 0}, ThreadState{1, 5}, ThreadState{5, 6}, ThreadState{5, 4}}) {
        EXPECT_EQ(SuspensionFromThreadStates({kSuspendedThread, other}), LookedSuspension::Running)
            << other.state << "/" << other.waitReason;
    }
    // A look that gives every state 0 tells nothing, nor one without threads.
    EXPECT_EQ(SuspensionFromThreadStates({{0, 0}, {0, 0}}), LookedSuspension::Untold);
    EXPECT_EQ(SuspensionFromThreadStates({}), LookedSuspension::Untold);
    EXPECT_EQ(SuspensionFromThreadStates({{0, 5}}), LookedSuspension::Running);

    EXPECT_TRUE(IsSuspendedByCounts({1, 2}));
    EXPECT_FALSE(IsSuspendedByCounts({1, 0}));
    EXPECT_FALSE(IsSuspendedByCounts({0, 1}));
    EXPECT_FALSE(IsSuspendedByCounts({}));
}

TEST(SuspendRules, TheRowOffersOneOfTheTwoCommandsAndItsWordSaysSuspended) {
    EXPECT_EQ(RowSuspendCommand(false), SuspendCommand::Suspend);
    EXPECT_EQ(RowSuspendCommand(true), SuspendCommand::Resume);
    EXPECT_STREQ(SuspendCommandText(SuspendCommand::Suspend), "挂起进程");
    EXPECT_STREQ(SuspendCommandText(SuspendCommand::Resume), "恢复进程");
    EXPECT_EQ(WordWithSuspension(" 应用程序进程", true), " 应用程序进程（已挂起）");
    EXPECT_EQ(WordWithSuspension(" 应用程序进程", false), " 应用程序进程");
    EXPECT_TRUE(IsSystemProcessWord(" 系统进程"));
    EXPECT_TRUE(IsSystemProcessWord(" 系统进程（已挂起）"));
    EXPECT_FALSE(IsSystemProcessWord(" 应用程序进程"));
    EXPECT_FALSE(IsSystemProcessWord("x 系统进程"));
}

TEST(SuspendRules, PriorityClassesAndTextsBothWays) {
    const std::vector<std::pair<uint32_t, const char*>> expected = {
        {0x100, "实时"}, {0x80, "高"}, {0x8000, "高于正常"}, {0x20, "正常"}, {0x4000, "低于正常"}, {0x40, "低"}};
    size_t index = 0;
    for (PriorityLevel level : kPriorityLevels) {
        EXPECT_EQ(PriorityClassValue(level), expected[index].first) << index;
        EXPECT_STREQ(PriorityText(level), expected[index].second) << index;
        EXPECT_EQ(PriorityFromClassValue(expected[index].first), level) << index;
        ++index;
    }
    for (uint32_t value : {0u, 0x10u, 0x21u, 0x200u}) EXPECT_FALSE(PriorityFromClassValue(value)) << value;
    // 高于正常 and 低于正常 came with Windows 2000.
    for (int osClass : {1, 2, 3, 4, 5}) {
        const bool offered = osClass == 2 || osClass == 5;
        EXPECT_EQ(IsPriorityOffered(PriorityLevel::AboveNormal, osClass), offered) << osClass;
        EXPECT_EQ(IsPriorityOffered(PriorityLevel::BelowNormal, osClass), offered) << osClass;
        EXPECT_TRUE(IsPriorityOffered(PriorityLevel::High, osClass));
        EXPECT_TRUE(IsPriorityOffered(PriorityLevel::Idle, osClass));
    }
}

TEST(SuspendRules, TheHeldListKnowsAProcessByPidAndStartTime) {
    SuspendedByProgram held;
    held.Add({10, 100}, "a.exe");
    held.Add({10, 100}, "a.exe");
    held.Add({20, 0}, "unknown.exe");
    EXPECT_EQ(held.held().size(), 2u);
    EXPECT_TRUE(held.Holds({10, 100}));
    EXPECT_FALSE(held.Holds({10, 101}));  // the pid given again
    EXPECT_FALSE(held.Holds({20, 0}));    // an unknown start is no process
    held.Remove({10, 101});
    EXPECT_TRUE(held.Holds({10, 100}));
    held.Remove({10, 100});
    EXPECT_FALSE(held.Holds({10, 100}));
}

TEST(SuspendLog, LinesNameTheCommandAndTheResult) {
    const LocalTime time{2026, 12, 8, 13, 56, 27};
    EXPECT_EQ(EndLogLine({EndReason::Suspend, "A.EXE", 12, true, {}, {}, {}}, time),
              "2026-12-08 13:56:27  挂起进程  A.EXE  PID 12  成功\r\n");
    EXPECT_EQ(EndLogLine({EndReason::Resume, "A.EXE", 12, false, {}, {}, {}}, time),
              "2026-12-08 13:56:27  恢复进程  A.EXE  PID 12  失败\r\n");
    EXPECT_EQ(EndLogLine({EndReason::ResumeAtExit, "A.EXE", 12, true, {}, {}, {}}, time),
              "2026-12-08 13:56:27  恢复进程  A.EXE  PID 12  成功  （程序退出时）\r\n");
    // A failed suspend asked again is written again.
    RefusedEnds refused;
    EXPECT_TRUE(refused.IsWorthALine({EndReason::Suspend, "A.EXE", 12, false, {}, {}, {}}));
    EXPECT_TRUE(refused.IsWorthALine({EndReason::Suspend, "A.EXE", 12, false, {}, {}, {}}));
    EXPECT_TRUE(refused.IsWorthALine({EndReason::Terminate, "A.EXE", 12, false, {}, {}, {}}));
    EXPECT_FALSE(refused.IsWorthALine({EndReason::Terminate, "A.EXE", 12, false, {}, {}, {}}));
}

struct SuspendTest : ::testing::Test {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    RecordingEndLog log;
    std::vector<std::string> reference;
    SuspendedByProgram held;

    void SetUp() override { system.processes = {Record(100, "app.exe"), Record(200, "svchost.exe")}; }
    CommandContext Context() { return {system, prompt, 5, reference, &log}; }
};

TEST_F(SuspendTest, SuspendHoldsTheProcessAndLogsIt) {
    system.ownPid = 999;
    EXPECT_TRUE(RunSuspendCommand(Context(), Row("app.exe", 100), " 应用程序进程", held));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(system.events, (std::vector<std::string>{"suspend 100"}));
    EXPECT_TRUE(held.Holds({100, 100000}));
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].reason, EndReason::Suspend);
    EXPECT_EQ(log.records[0].name, "app.exe");
    EXPECT_EQ(log.records[0].pid, 100u);
    EXPECT_TRUE(log.records[0].ended);

    EXPECT_TRUE(RunResumeCommand(Context(), Row("app.exe", 100), held));
    EXPECT_FALSE(held.Holds({100, 100000}));
    ASSERT_EQ(log.records.size(), 2u);
    EXPECT_EQ(log.records[1].reason, EndReason::Resume);
    EXPECT_TRUE(log.records[1].ended);
    EXPECT_TRUE(system.suspended.empty());
}

TEST_F(SuspendTest, NeverItselfNorAProcessNoRightsWouldEnd) {
    system.ownPid = 100;
    system.refused = {200};
    for (const SelectedProcess& row : {Row("app.exe", 100), Row("svchost.exe", 200)}) {
        prompt.shown.clear();
        EXPECT_FALSE(RunSuspendCommand(Context(), row, " 应用程序进程", held));
        EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{SuspendRefusedText(row.name, row.pid)}));
    }
    EXPECT_EQ(SuspendRefusedText("app.exe", 100), "app.exe（PID 100）不能挂起。");
    EXPECT_TRUE(system.events.empty());
    EXPECT_TRUE(log.records.empty());
}

TEST_F(SuspendTest, ASystemProcessIsSuspendedOnlyAfterTheQuestion) {
    prompt.answers = {kIdNo};
    EXPECT_FALSE(RunSuspendCommand(Context(), Row("svchost.exe", 200), " 系统进程", held));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "挂起 svchost.exe 可能使系统无响应，确定要挂起吗？");
    EXPECT_TRUE(system.events.empty());
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunSuspendCommand(Context(), Row("svchost.exe", 200), " 系统进程", held));
    EXPECT_EQ(system.events, (std::vector<std::string>{"suspend 200"}));
}

TEST_F(SuspendTest, AnEndedRowARefusalAndAFailureEachSaySoAndHoldNothing) {
    // The pid given to another program since the row was filled.
    EXPECT_TRUE(RunSuspendCommand(Context(), {"app.exe", 100, 5}, " 应用程序进程", held));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"app.exe已经结束。"}));
    EXPECT_TRUE(log.records.empty());
    // Refused for want of rights: the window offers the restart, no box here.
    prompt.shown.clear();
    system.deniedChanges = {100};
    EXPECT_TRUE(RunSuspendCommand(Context(), Row("app.exe", 100), " 应用程序进程", held));
    EXPECT_TRUE(prompt.shown.empty());
    system.deniedChanges.clear();
    system.failedChanges = {100};
    EXPECT_TRUE(RunSuspendCommand(Context(), Row("app.exe", 100), " 应用程序进程", held));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"挂起失败"}));
    EXPECT_TRUE(held.held().empty());
    ASSERT_EQ(log.records.size(), 2u);
    EXPECT_FALSE(log.records[0].ended);
    EXPECT_FALSE(log.records[1].ended);

    // A resume that fails keeps the process held, for the exit.
    held.Add({100, 100000}, "app.exe");
    prompt.shown.clear();
    EXPECT_TRUE(RunResumeCommand(Context(), Row("app.exe", 100), held));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"恢复失败"}));
    EXPECT_TRUE(held.Holds({100, 100000}));
    system.failedChanges.clear();
    system.deniedChanges = {100};
    RunResumeCommand(Context(), Row("app.exe", 100), held);
    EXPECT_TRUE(held.Holds({100, 100000}));
    // Ended meanwhile: nothing left to hold.
    system.processes.erase(system.processes.begin());
    RunResumeCommand(Context(), Row("app.exe", 100), held);
    EXPECT_FALSE(held.Holds({100, 100000}));
}

TEST_F(SuspendTest, PriorityRealtimeAsksFirstRefusalsSaySo) {
    prompt.answers = {kIdNo};
    EXPECT_FALSE(RunPriorityCommand(Context(), Row("app.exe", 100), PriorityLevel::Realtime));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"将 app.exe 设为实时优先级可能使系统无响应，确定吗？"}));
    EXPECT_EQ(prompt.shown[0].caption, "提示");
    EXPECT_TRUE(system.priorities.empty());
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunPriorityCommand(Context(), Row("app.exe", 100), PriorityLevel::Realtime));
    EXPECT_EQ(system.priorities[100], PriorityLevel::Realtime);
    prompt.shown.clear();
    EXPECT_TRUE(RunPriorityCommand(Context(), Row("app.exe", 100), PriorityLevel::BelowNormal));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(system.priorities[100], PriorityLevel::BelowNormal);

    system.deniedChanges = {100};
    EXPECT_TRUE(RunPriorityCommand(Context(), Row("app.exe", 100), PriorityLevel::High));
    system.deniedChanges.clear();
    system.failedChanges = {100};
    EXPECT_TRUE(RunPriorityCommand(Context(), Row("app.exe", 100), PriorityLevel::High));
    EXPECT_TRUE(RunPriorityCommand(Context(), {"app.exe", 100, 5}, PriorityLevel::High));
    EXPECT_EQ(prompt.Texts(),
              (std::vector<std::string>{"没有权限更改 app.exe 的优先级。", "更改优先级失败", "app.exe已经结束。"}));
    EXPECT_EQ(system.priorities[100], PriorityLevel::BelowNormal);
}

// Only what is still that very process and still suspended is resumed.
TEST_F(SuspendTest, TheExitResumesWhatItHoldsAndIsStillSuspended) {
    system.processes = {Record(100, "app.exe"), Record(200, "b.exe"), Record(300, "c.exe"), Record(400, "d.exe")};
    system.suspended = {100, 300, 400};
    held.Add({100, 100000}, "app.exe");
    held.Add({200, 200000}, "b.exe");  // resumed by another tool
    held.Add({300, 7}, "c.exe");       // its pid given to another program
    held.Add({400, 400000}, "d.exe");  // cannot be resumed
    system.failedChanges = {400};
    ResumeHeldAtExit(system, &log, held);
    EXPECT_EQ(system.events, (std::vector<std::string>{"resume 100", "resume 400"}));
    EXPECT_EQ(system.suspended, (std::set<uint32_t>{300, 400}));
    ASSERT_EQ(log.records.size(), 2u);
    EXPECT_EQ(log.records[0].reason, EndReason::ResumeAtExit);
    EXPECT_EQ(log.records[0].name, "app.exe");
    EXPECT_TRUE(log.records[0].ended);
    EXPECT_EQ(log.records[1].pid, 400u);
    EXPECT_FALSE(log.records[1].ended);
    EXPECT_TRUE(held.held().empty());
}

TEST_F(SuspendTest, TheRowWordAndTheDetailsTellASuspendedProcess) {
    BlockList blockList;
    system.sample = {true, 1, 1, {{100, "app.exe", 0, 100000}, {200, "svchost.exe", 0, 200000}}};
    system.sample.processes[1].suspension = LookedSuspension::Suspended;
    held.Add({100, 100000}, "app.exe");
    RefreshContext refresh{blockList, reference, 0, system, prompt};
    refresh.look = &system.sample;
    std::vector<ProcessRow> rows = BuildProcessRows(refresh);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].word, " 应用程序进程");
    EXPECT_EQ(rows[1].word, " 应用程序进程（已挂起）");
    refresh.heldSuspended = &held;
    rows = BuildProcessRows(refresh);
    EXPECT_EQ(rows[0].word, " 应用程序进程（已挂起）");

    const auto lastLines = [&](const CommandContext& context, const SelectedProcess& row) {
        const std::string facts = BuildDetailsFacts(context, row);
        return facts.substr(facts.find(" 优先级"));
    };
    system.priorities[100] = PriorityLevel::AboveNormal;
    EXPECT_EQ(lastLines(Context(), Row("app.exe", 100)), " 优先级: 高于正常");
    CommandContext context = Context();
    context.heldSuspended = &held;
    EXPECT_EQ(lastLines(context, Row("app.exe", 100)), " 优先级: 高于正常\n 状态: 已挂起");
    system.suspended = {200};
    EXPECT_EQ(lastLines(Context(), Row("svchost.exe", 200)), " 优先级: 无法读取\n 状态: 已挂起");
}

struct WatchdogTreeTest : ::testing::Test {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    RecordingEndLog log;
    std::vector<std::string> reference;

    void SetUp() override {
        // parent 100 started the pair 200 and 300, which restart each other.
        system.processes = {Child(100, 1, "parent.exe"), Child(200, 100, "guard.exe"), Child(300, 100, "twin.exe")};
        system.startTimes = {{1, 1}, {100, 10}, {200, 20}, {300, 30}};
    }
    static ProcessRecord Child(uint32_t pid, uint32_t parent, const char* name) {
        ProcessRecord record = Record(pid, name);
        record.parentPid = parent;
        return record;
    }
    CommandContext Context() { return {system, prompt, 5, reference, &log}; }
};

TEST_F(WatchdogTreeTest, EveryMemberIsSuspendedBeforeAnyEndAndOnlyAFailedOneIsResumed) {
    // Answered No: nothing is held, nothing ended, nothing to refresh.
    prompt.answers = {kIdNo};
    EXPECT_FALSE(RunTerminateTreeCommand(Context(), {"parent.exe", 100, 10}));
    EXPECT_TRUE(system.events.empty());

    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunTerminateTreeCommand(Context(), {"parent.exe", 100, 10}));
    EXPECT_EQ(system.events, (std::vector<std::string>{"suspend 100", "suspend 300", "suspend 200", "terminate 100",
                                                       "terminate 300", "terminate 200"}));
    EXPECT_EQ(prompt.Texts().back(), "中止成功");

    system.events.clear();
    system.unterminable = {200};
    prompt.answers = {kIdYes};
    RunTerminateTreeCommand(Context(), {"parent.exe", 100, 10});
    EXPECT_EQ(system.events, (std::vector<std::string>{"suspend 100", "suspend 300", "suspend 200", "terminate 100",
                                                       "terminate 300", "terminate 200", "resume 200"}));
    EXPECT_EQ(prompt.Texts().back(), "中止失败");

    // A member that could not be suspended is not resumed.
    system.events.clear();
    system.failedChanges = {200};
    prompt.answers = {kIdYes};
    RunTerminateTreeCommand(Context(), {"parent.exe", 100, 10});
    EXPECT_EQ(system.events.back(), "terminate 200");
}

// A child started between the look and the suspension is held and ended too.
TEST_F(WatchdogTreeTest, AChildStartedMeanwhileIsSuspendedAndEndedTheSameWay) {
    prompt.whileShown = [&] {
        system.processes.push_back(Child(400, 300, "again.exe"));
        system.startTimes[400] = 40;
    };
    system.unterminable = {400};
    prompt.answers = {kIdYes};
    RunTerminateTreeCommand(Context(), {"parent.exe", 100, 10});
    const std::vector<std::string> last(system.events.end() - 3, system.events.end());
    EXPECT_EQ(last, (std::vector<std::string>{"suspend 400", "terminate 400", "resume 400"}));
}

}  // namespace
