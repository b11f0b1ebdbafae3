#include <gtest/gtest.h>

#include <map>

#include "finder/WindowFinder.h"

namespace {

// Windows of a test's own: each with its parent (0 for a top-level one), owner
// and title; the point (x, 0) is over the window numbered x.
struct ScriptedWindows : WindowFinderSystem {
    struct Window {
        WindowId parent = 0;
        uint32_t pid = 0;
        std::string title;
        bool shown = true;
    };
    std::map<WindowId, Window> windows;
    std::vector<WindowId> frontToBack;
    WindowId desktop = 999;

    WindowId WindowAt(ScreenPoint point) override { return static_cast<WindowId>(point.x); }
    WindowId ParentOf(WindowId window) override { return windows.count(window) ? windows[window].parent : 0; }
    WindowId Desktop() override { return desktop; }
    uint32_t OwnerPid(WindowId window) override { return windows.count(window) ? windows[window].pid : 0; }
    std::string Title(WindowId window) override { return windows.count(window) ? windows[window].title : ""; }
    std::vector<WindowId> TopLevelWindows() override { return frontToBack; }
    bool IsShown(WindowId window) override { return windows.count(window) && windows[window].shown; }
};

constexpr uint32_t kOwnPid = 100;

}  // namespace

// The window that counts is the top-level one around whatever lies under the
// cursor (a button in a dialog in a frame gives the frame); its owner and title
// come with it. Nothing comes over no window, over the desktop, over a window
// gone meanwhile, or from a chain of parents that never ends.
TEST(WindowFinderTest, TheTopLevelWindowAroundThePointCounts) {
    ScriptedWindows system;
    system.windows[10] = {0, 200, "记事本"};
    system.windows[11] = {10, 200, "编辑区"};
    system.windows[12] = {11, 201, "嵌入的控件"};  // another process's child
    system.windows[20] = {0, 0, "已关闭"};
    system.windows[30] = {31, 300, ""};
    system.windows[31] = {30, 300, ""};
    // Whatever the seam would say of it, 0 is no window.
    system.windows[0] = {0, 400, "无"};

    for (int point : {10, 11, 12}) {
        const std::optional<FoundWindow> found = TopLevelWindowAt(system, {point, 0});
        ASSERT_TRUE(found) << point;
        EXPECT_EQ(10u, found->window);
        EXPECT_EQ(200u, found->pid);
        EXPECT_EQ("记事本", found->title);
    }
    EXPECT_FALSE(TopLevelWindowAt(system, {0, 0}));
    EXPECT_FALSE(TopLevelWindowAt(system, {999, 0}));
    EXPECT_FALSE(TopLevelWindowAt(system, {20, 0}));
    EXPECT_FALSE(TopLevelWindowAt(system, {30, 0}));
}

// Parents are climbed as deep as a window can be nested (and far deeper):
// 255 windows above the one under the cursor still lead to the top one; only a
// chain of more than 256 windows, which only a loop of parents makes, gives up.
TEST(WindowFinderTest, DeepChainsAreClimbedToTheTop) {
    for (const WindowId windowsInChain : {256u, 257u}) {
        ScriptedWindows system;
        const WindowId top = 1000;
        system.windows[top] = {0, 200, "顶层"};
        for (WindowId window = top + 1; window < top + windowsInChain; ++window) {
            system.windows[window] = {window - 1, 200, ""};
        }
        const std::optional<FoundWindow> found =
            TopLevelWindowAt(system, {static_cast<int>(top + windowsInChain - 1), 0});
        EXPECT_EQ(windowsInChain == 256u, found.has_value()) << windowsInChain;
        EXPECT_EQ(windowsInChain == 256u ? top : 0, found.value_or(FoundWindow{}).window);
    }
}

// A release selects only another process's window; over ours or nothing it
// selects nothing.
TEST(WindowFinderTest, OnlyAnotherProcessesWindowIsSelected) {
    EXPECT_EQ(FinderOutcome::Nothing, JudgeFoundWindow(std::nullopt, kOwnPid));
    EXPECT_EQ(FinderOutcome::OwnWindow, JudgeFoundWindow(FoundWindow{1, kOwnPid, "瓦诺德"}, kOwnPid));
    EXPECT_EQ(FinderOutcome::OtherProcess, JudgeFoundWindow(FoundWindow{1, kOwnPid + 1, ""}, kOwnPid));
}

// The tip names the title (or says it has none) and the process; line breaks
// in a title do not break the tip.
TEST(WindowFinderTest, TipTexts) {
    EXPECT_EQ("窗口“无标题 - 记事本”属于 notepad.exe（PID 4321）",
              WindowOwnerTip({7, 4321, "无标题 - 记事本"}, "notepad.exe"));
    EXPECT_EQ("窗口“（无标题）”属于 ad.exe（PID 8）", WindowOwnerTip({7, 8, ""}, "ad.exe"));
    EXPECT_EQ("窗口“第一行  第二行 第三行”属于 a.exe（PID 9）",
              WindowOwnerTip({7, 9, "第一行\r\n第二行\t第三行"}, "a.exe"));
    EXPECT_EQ("窗口“弹窗”属于 PID 4321，该进程已结束", WindowOwnerGoneTip({7, 4321, "弹窗"}));
    EXPECT_EQ("窗口“（无标题）”属于 PID 5，该进程已结束", WindowOwnerGoneTip({7, 5, ""}));
}

// The 窗口 line: the process's shown top-level windows front to back, at most
// five titles, then how many there are in all; "无" for none.
TEST(WindowFinderTest, TitlesLineShowsAtMostFiveTitles) {
    ScriptedWindows system;
    const std::vector<std::string> titles = {"一", "二", "", "四", "五", "六", "七"};
    for (size_t index = 0; index < titles.size(); ++index) {
        const WindowId window = 10 + index;
        system.windows[window] = {0, 200, titles[index]};
        system.frontToBack.push_back(window);
    }
    system.windows[30] = {0, 200, "隐藏的", false};
    system.windows[31] = {0, 201, "别人的"};
    system.frontToBack.insert(system.frontToBack.begin() + 1, 30);
    system.frontToBack.insert(system.frontToBack.begin() + 3, 31);

    EXPECT_EQ(titles, ShownWindowTitles(system, 200));
    EXPECT_EQ(std::vector<std::string>{"别人的"}, ShownWindowTitles(system, 201));
    EXPECT_TRUE(ShownWindowTitles(system, 202).empty());

    EXPECT_EQ("窗口: 一；二；（无标题）；四；五 等 7 个", WindowTitlesLine(titles));
    EXPECT_EQ("窗口: 一；二；（无标题）；四；五", WindowTitlesLine({titles.begin(), titles.begin() + 5}));
    EXPECT_EQ("窗口: 一；二；（无标题）；四；五 等 6 个", WindowTitlesLine({titles.begin(), titles.begin() + 6}));
    EXPECT_EQ("窗口: 别人的", WindowTitlesLine({"别人的"}));
    EXPECT_EQ("窗口: 无", WindowTitlesLine({}));
}

// The frame goes around the part of the window on the screen; a window wholly
// off it (or of no size) gets none.
TEST(WindowFinderTest, FrameStaysOnTheScreen) {
    const ScreenRect screen{0, 0, 1280, 800};
    EXPECT_EQ((ScreenRect{10, 20, 300, 400}), FramePlace({10, 20, 300, 400}, screen));
    EXPECT_EQ((ScreenRect{0, 0, 1280, 800}), FramePlace({-8, -8, 1288, 808}, screen));
    EXPECT_EQ((ScreenRect{1200, 700, 1280, 800}), FramePlace({1200, 700, 1400, 900}, screen));
    EXPECT_FALSE(FramePlace({1280, 0, 1400, 100}, screen));
    EXPECT_FALSE(FramePlace({-100, -100, 0, 0}, screen));
    EXPECT_FALSE(FramePlace({10, 10, 10, 50}, screen));
    EXPECT_FALSE(FramePlace({10, 10, 50, 10}, screen));
}
