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
    // A and B each other's parent, a process its own parent, equal start
    // times: every node once, none below another.
    EXPECT_EQ(Shown({{1, 2, 100}, {2, 1, 100}, {3, 3, 50}}), (std::vector<std::string>{"3:0", "1:0", "2:0"}));
    // Unknown start (0) of a child: no parent can be shown to come first.
    EXPECT_EQ(Shown({{4, 0, 0}, {5, 4, 0}}), (std::vector<std::string>{"4:0", "5:0"}));
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

TEST_F(TreeTerminateTest, AsksWithTheCountThenEndsDeepestFirstAndLogsEachEnd) {
    prompt.answers = {kIdYes};
    system.unterminable = {200};
    EXPECT_TRUE(RunTerminateTreeCommand(Context(), {"helper.exe", 100}));
    ASSERT_GE(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "确定要结束 helper.exe 及其 2 个子进程吗？");
    EXPECT_EQ(prompt.shown[0].caption, "提示");
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{300, 100}));
    ASSERT_EQ(log.records.size(), 3u);
    for (const EndRecord& record : log.records) EXPECT_EQ(record.reason, EndReason::TerminateTree);
    EXPECT_FALSE(log.records[1].ended);
    EXPECT_EQ(prompt.Texts().back(), "中止失败");
}

TEST_F(TreeTerminateTest, NoChildrenAsksTheOrdinaryQuestionAndNoSpares) {
    prompt.answers = {kIdNo};
    RunTerminateTreeCommand(Context(), {"grand.exe", 300});
    EXPECT_EQ(prompt.Texts(), (std::vector<std::string>{"真的要终止grand.exe吗？"}));

    // No: nothing ends. Own process and a pid reused during the question: spared.
    prompt.answers = {kIdNo};
    RunTerminateTreeCommand(Context(), {"helper.exe", 100});
    EXPECT_TRUE(system.terminated.empty());
    system.ownPid = 200;
    struct ReusingPrompt : ScriptedPrompt {
        ScriptedSystem* system = nullptr;
        int Show(const std::string& text, const std::string& caption, unsigned style) override {
            system->startTimes[300] = 99;  // 300 now names a new process
            return ScriptedPrompt::Show(text, caption, style);
        }
    } reusing;
    reusing.system = &system;
    reusing.answers = {kIdYes};
    RunTerminateTreeCommand({system, reusing, 4, reference, &log}, {"helper.exe", 100});
    EXPECT_EQ(system.terminated, (std::vector<uint32_t>{100}));
}

}  // namespace
