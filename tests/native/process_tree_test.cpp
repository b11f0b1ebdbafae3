#include <gtest/gtest.h>

#include "process/ProcessTree.h"
#include "process/TreeTerminate.h"
#include "tests/native/command_fakes.h"

namespace {

// "pid:level" for each place, in order.
std::vector<std::string> Shown(const std::vector<TreeNode>& nodes) {
    std::vector<std::string> shown;
    for (const TreePlace& place : TreeOrder(nodes)) {
        shown.push_back(std::to_string(nodes[place.index].pid) + ":" + std::to_string(place.level));
    }
    return shown;
}

TEST(ProcessTree, ParentsFirstChildrenInStartOrderOrphansAtTheTop) {
    // 10 started 30 (late) and 20 (early); 20 started 40; 50's parent is gone.
    const std::vector<TreeNode> nodes = {
        {30, 10, 300}, {10, 1, 100}, {50, 99, 50}, {40, 20, 400}, {20, 10, 200},
    };
    EXPECT_EQ(Shown(nodes), (std::vector<std::string>{"50:0", "10:0", "20:1", "40:2", "30:1"}));
}

TEST(ProcessTree, AReusedPidAdoptsNoStrangersAndLoopsEnd) {
    // 7 started after its "child" 8: a pid reused since 8 started.
    EXPECT_EQ(Shown({{7, 1, 500}, {8, 7, 100}}), (std::vector<std::string>{"8:0", "7:0"}));
    // A and B each other's parent in the same clock tick, a process its own
    // parent: every node once, and no loop (the one handed in first is the parent).
    EXPECT_EQ(Shown({{1, 2, 100}, {2, 1, 100}, {3, 3, 50}}), (std::vector<std::string>{"3:0", "1:0", "2:1"}));
    // Unknown start (0) of a child or of a parent: no parent can be shown to
    // come first. A service whose start cannot be read adopts no one.
    EXPECT_EQ(Shown({{4, 0, 0}, {5, 4, 0}}), (std::vector<std::string>{"4:0", "5:0"}));
    EXPECT_EQ(Shown({{500, 1, 0}, {600, 500, 20}, {700, 600, 30}}),
              (std::vector<std::string>{"500:0", "600:0", "700:1"}));
    EXPECT_FALSE(IsParentOf({500, 1, 0}, {600, 500, 20}));
    EXPECT_FALSE(IsParentOf({500, 1, 10}, {600, 500, 0}));
}

// A child created in the clock tick of its parent is its child.
TEST(ProcessTree, AChildOfTheSameTickStaysUnderItsParent) {
    EXPECT_EQ(Shown({{10, 1, 100}, {11, 10, 100}}), (std::vector<std::string>{"10:0", "11:1"}));
    EXPECT_TRUE(IsParentOf({10, 1, 100}, {11, 10, 100}));
    EXPECT_FALSE(IsParentOf({10, 1, 101}, {11, 10, 100}));
}

TEST(ProcessTree, ADeepChainNeedsNoDeepStack) {
    std::vector<TreeNode> chain;
    for (uint32_t pid = 1; pid <= 100000; ++pid) chain.push_back({pid, pid - 1, pid});
    const std::vector<TreePlace> order = TreeOrder(chain);
    ASSERT_EQ(order.size(), chain.size());
    EXPECT_EQ(order.back().level, 99999);
}

TEST(ProcessTree, DescendantsDeepestFirst) {
    const std::vector<TreeNode> nodes = {
        {10, 1, 100}, {20, 10, 200}, {30, 10, 300}, {40, 20, 400}, {60, 99, 600}, {70, 10, 50},
    };
    std::vector<uint32_t> pids;
    for (size_t index : DescendantsDeepestFirst(nodes, 0)) pids.push_back(nodes[index].pid);
    // 70 claims 10 as parent but started first: not a child.
    EXPECT_EQ(pids, (std::vector<uint32_t>{40, 30, 20}));
    EXPECT_TRUE(DescendantsDeepestFirst(nodes, 4).empty());
    EXPECT_TRUE(DescendantsDeepestFirst(nodes, 6).empty());
}

struct TreeTerminateTest : ::testing::Test {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    RecordingEndLog log;
    std::vector<std::string> reference;

    void SetUp() override {
        // helper 100 started 200, which started 300; 400 is a stranger.
        system.processes = {Child(100, 1, "helper.exe"), Child(200, 100, "child.exe"), Child(300, 200, "grand.exe"),
                            Child(400, 100, "old.exe")};
        system.startTimes = {{1, 1}, {100, 10}, {200, 20}, {300, 30}, {400, 5}};
    }
    static ProcessRecord Child(uint32_t pid, uint32_t parent, const char* name) {
        ProcessRecord record = Record(pid, name);
        record.parentPid = parent;
        return record;
    }
    CommandContext Context() { return {system, prompt, 4, reference, &log}; }
};

SelectedProcess Helper() { return {"helper.exe", 100, 10}; }

TEST_F(TreeTerminateTest, AsksWithTheCountThenEndsRootFirstThenDeepestFirstAndLogsEachEnd) {
    prompt.answers = {kIdYes};
    system.unterminable = {200};
    EXPECT_TRUE(RunTerminateTreeCommand(Context(), Helper()));
    ASSERT_GE(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "确定要结束 helper.exe 及其 2 个子进程吗？");
    EXPECT_EQ(prompt.shown[0].caption, "提示");
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{100, 300}));
    ASSERT_EQ(log.records.size(), 3u);
    for (const EndRecord& record : log.records) EXPECT_EQ(record.reason, EndReason::TerminateTree);
    EXPECT_EQ(log.records[2].pid, 200u);
    EXPECT_FALSE(log.records[2].ended);
    EXPECT_EQ(prompt.Texts().back(), "中止失败");

    prompt.shown.clear();
    system.terminated.clear();
    system.unterminable.clear();
    prompt.answers = {kIdYes};
    RunTerminateTreeCommand(Context(), Helper());
    EXPECT_EQ(prompt.Texts().back(), "中止成功");
}

// A tree with a member no rights end is refused whole, before anything ends:
// under services.exe no service host dies before the root is refused.
TEST_F(TreeTerminateTest, AMemberThatCannotBeEndedRefusesTheWholeTree) {
    for (bool own : {false, true}) {
        system.refused.clear();
        system.ownPid = own ? 300 : 0;
        if (!own) system.refused = {300};
        prompt.shown.clear();
        prompt.answers = {kIdYes};
        EXPECT_FALSE(RunTerminateTreeCommand(Context(), Helper()));
        EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"grand.exe（PID 300）不能结束，没有结束任何进程。"}));
        EXPECT_TRUE(system.terminated.empty());
        EXPECT_TRUE(log.records.empty());
    }
}

TEST_F(TreeTerminateTest, NoChildrenAsksTheOrdinaryQuestion) {
    prompt.answers = {kIdNo};
    RunTerminateTreeCommand(Context(), {"grand.exe", 300, 30});
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"真的要终止grand.exe吗？"}));
    prompt.answers = {kIdNo};
    EXPECT_FALSE(RunTerminateTreeCommand(Context(), Helper())) << "nothing to refresh";
    EXPECT_TRUE(system.terminated.empty());
}

// Only NT 5 says when the debug privilege cannot be had; the others go on.
TEST_F(TreeTerminateTest, PrivilegeFailureStopsOnClassTwoOnly) {
    system.privilegeEnabled = false;
    prompt.answers = {kIdYes};
    EXPECT_FALSE(RunTerminateTreeCommand({system, prompt, 2, reference, &log}, Helper()));
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"修改权限错误!"}));
    EXPECT_TRUE(system.terminated.empty());
    prompt.answers = {kIdYes};
    EXPECT_TRUE(RunTerminateTreeCommand({system, prompt, 5, reference, &log}, Helper()));
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{100, 300, 200}));
}

// While the question is open 300 ends and its pid goes to a stranger, and
// 200 starts 500: the stranger lives, 500 is ended with the tree.
TEST_F(TreeTerminateTest, APidReusedMeanwhileIsSparedAChildStartedMeanwhileIsEnded) {
    prompt.whileShown = [&] {
        system.startTimes[300] = 99;
        system.processes[2].parentPid = 400;
        system.processes.push_back(Child(500, 200, "late.exe"));
        system.startTimes[500] = 50;
    };
    prompt.answers = {kIdYes};
    RunTerminateTreeCommand(Context(), Helper());
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{100, 200, 500}));
    EXPECT_EQ(prompt.Texts().back(), "中止成功");
}

TEST_F(TreeTerminateTest, TheOnlyChildStartedMeanwhileIsEnded) {
    system.processes.pop_back();  // no stranger
    prompt.whileShown = [&] {
        system.processes.push_back(Child(500, 300, "late.exe"));
        system.startTimes[500] = 50;
    };
    prompt.answers = {kIdYes};
    RunTerminateTreeCommand(Context(), Helper());
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{100, 300, 200, 500}));
}

// A process whose pid is gone when the tree is taken is not asked about.
TEST_F(TreeTerminateTest, AnEndedRootIsSaidToHaveEnded) {
    EXPECT_TRUE(RunTerminateTreeCommand(Context(), {"helper.exe", 100, 11})) << "the list is refreshed";
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"helper.exe已经结束。"}));
    EXPECT_TRUE(system.terminated.empty());
}

}  // namespace
