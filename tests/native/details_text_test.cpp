#include <gtest/gtest.h>

#include <sstream>

#include "process/DetailsText.h"
#include "tests/native/command_fakes.h"

namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) lines.push_back(line);
    return lines;
}

struct DetailsTest : ::testing::Test {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    std::vector<std::string> reference = {"svchost.exe 服务宿主", "explorer.exe 桌面与任务栏"};

    void SetUp() override {
        ProcessRecord other;
        other.pid = 1000;
        other.name = "other.exe";
        ProcessRecord explorer;
        explorer.pid = 1234;
        explorer.name = "explorer.exe";
        explorer.threads = 17;
        explorer.usage = 0;
        explorer.basePriority = 8;
        explorer.parentPid = 1200;
        system.processes = {other, explorer};
        system.threads = {{5000, 1000, 0, 0}, {5100, 1234, -2, 0}, {5200, 1234, 1, 0}};
        system.shortPaths[1234] = "C:\\WINDOWS\\EXPLORER.EXE";
    }
    CommandContext Context(int osClass) { return {system, prompt, osClass, reference}; }
};

}  // namespace

TEST_F(DetailsTest, FullLayoutOnClassTwo) {
    const std::string text = BuildDetailsText(Context(2), Row("explorer.exe", 1234));
    const std::vector<std::string> expected = {" 进程名: explorer.exe",
                                               " 线程数: 17",
                                               " 进程值: 0",
                                               " 基本优先权: 8",
                                               " 父进程ID :1200",
                                               " 进程ID: 1234",
                                               " 线程ID: 5100",
                                               " Delta Priority: -2",
                                               " 线程值: 0",
                                               "",
                                               "全路径:C:\\WINDOWS\\EXPLORER.EXE",
                                               "",
                                               "正常进程参考信息:",
                                               "explorer.exe 桌面与任务栏"};
    EXPECT_EQ(expected, Lines(text));
    EXPECT_NE('\n', text.back());
}

TEST_F(DetailsTest, NoPathPartOutsideClassTwo) {
    for (int osClass : {1, 3, 4, 5}) {
        const std::string text = BuildDetailsText(Context(osClass), {"explorer.exe", 1234});
        EXPECT_EQ(std::string::npos, text.find("全路径")) << osClass;
        EXPECT_NE(std::string::npos, text.find(" 线程值: 0\n\n正常进程参考信息:\nexplorer.exe")) << osClass;
    }
}

TEST_F(DetailsTest, NoReferencePartWithoutAMatchingLine) {
    system.processes[1].name = "tool.exe";
    const std::string text = BuildDetailsText(Context(2), Row("tool.exe", 1234));
    EXPECT_EQ(11u, Lines(text).size());
    EXPECT_EQ("\n全路径:C:\\WINDOWS\\EXPLORER.EXE\n", text.substr(text.find("\n全路径")));
}

TEST_F(DetailsTest, EndedProcessKeepsPathAndReferenceParts) {
    const std::string text = BuildDetailsText(Context(2), Row("explorer.exe", 9999));
    EXPECT_EQ("\n全路径:\n\n正常进程参考信息:\nexplorer.exe 桌面与任务栏", text);
    EXPECT_EQ("", BuildDetailsText(Context(5), Row("gone.exe", 9999)));
}

TEST_F(DetailsTest, CommandShowsTheTextAndRefreshes) {
    EXPECT_TRUE(RunDetailsCommand(Context(5), Row("explorer.exe", 1234)));
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("进程信息", prompt.shown[0].caption);
    EXPECT_EQ(0x2040u, prompt.shown[0].style);
    EXPECT_EQ(0u, prompt.shown[0].text.find(" 进程名: explorer.exe\n"));
}

// After the snapshot's text, byte for byte, the facts; each one that cannot
// be read says so. The reason for suspicion gives way to the block list.
TEST_F(DetailsTest, FactsFollowTheSnapshotText) {
    // 1 h 2 min 3 s of processor time, started at the moment 7.
    system.sample = {true, 1, 1, {{1234, "explorer.exe", 37230000000, 7, 12345 * 1024, 2048 * 1024, 1200}}};
    system.files[1234] = {L"C:\\Temp\\explorer.exe", ProgramPlace::Elsewhere};
    system.version = {"Windows 资源管理器", "Microsoft"};
    const SelectedProcess row{"explorer.exe", 1234, 7};
    const std::string snapshotText = BuildDetailsText(Context(5), row);
    RunDetailsCommand(Context(5), row);
    ASSERT_EQ(1u, prompt.shown.size());
    const std::string& text = prompt.shown[0].text;
    ASSERT_EQ(0u, text.find(snapshotText + "\n\n"));
    const std::vector<std::string> facts = {" 程序文件: C:\\Temp\\explorer.exe",
                                            " 启动时间: 2026-12-08 10:11:07",
                                            " CPU 时间: 1:02:03",
                                            " 工作集: 12,345 K",
                                            " 专用字节: 2,048 K",
                                            " 文件描述: Windows 资源管理器",
                                            " 公司: Microsoft",
                                            " 优先级: 无法读取",
                                            " 可疑进程: 程序文件不在系统目录中",
                                            " 命令行: 无法读取",
                                            " 父进程: PID 1200（已结束）",
                                            " 用户: 无法读取",
                                            " 数字签名: 无法读取"};
    EXPECT_EQ(facts, Lines(text.substr(snapshotText.size() + 2)));

    BlockList blocked;
    blocked.AddLoaded("explorer");
    CommandContext context = Context(5);
    context.blockList = &blocked;
    EXPECT_EQ(std::string::npos, BuildDetailsFacts(context, Row("explorer.exe", 1234)).find("可疑进程"));

    // A recorded program file says so last; a name match goes before it.
    const std::string recorded = "game.exe";
    context.fingerprintMatch = [&](const SelectedProcess&) { return &recorded; };
    EXPECT_EQ(std::string::npos, BuildDetailsFacts(context, Row("explorer.exe", 1234)).find("封锁依据"));
    context.blockList = nullptr;
    EXPECT_EQ(" 封锁依据: 文件指纹（game.exe）", Lines(BuildDetailsFacts(context, Row("explorer.exe", 1234))).back());

    const std::string ended = BuildDetailsFacts(Context(5), Row("explorer.exe", 9999));
    EXPECT_EQ(8u, Lines(ended).size());
    for (const std::string& line : Lines(ended)) EXPECT_NE(std::string::npos, line.find(": 无法读取")) << line;

    system.sample.processes[0].startTime = 0;  // not known
    system.sample.processes[0].workingSet = kUnknownBytes;
    system.sample.processes[0].privateBytes = kUnknownBytes;
    const std::vector<std::string> unknown = Lines(BuildDetailsFacts(Context(5), Row("explorer.exe", 1234)));
    EXPECT_EQ(" 启动时间: 无法读取", unknown[1]);
    EXPECT_EQ(" 工作集: 无法读取", unknown[3]);
    EXPECT_EQ(" 专用字节: 无法读取", unknown[4]);
    system.sample.hasFigures = false;  // a look of names and pids only
    const std::vector<std::string> withoutFigures = Lines(BuildDetailsFacts(Context(5), Row("explorer.exe", 1234)));
    EXPECT_EQ(facts[0], withoutFigures[0]);
    for (size_t line = 1; line <= 4; ++line) {
        EXPECT_NE(std::string::npos, withoutFigures[line].find(": 无法读取")) << withoutFigures[line];
    }
}

// The program file's path stays UTF-16 up to the text shown, which the system
// makes (here its default: '?' for what code page 936 would need).
TEST_F(DetailsTest, ThePathIsShownAsTheSystemSpellsIt) {
    system.sample = {true, 1, 1, {{1234, "explorer.exe", 0, 7, 0, 0}}};
    system.files[1234] = {L"D:\\Bj\u00F6rn\\explorer.exe", ProgramPlace::Elsewhere};
    EXPECT_EQ(" 程序文件: D:\\Bj?rn\\explorer.exe", Lines(BuildDetailsFacts(Context(5), {"explorer.exe", 1234}))[0]);
}

// The lines handed in by the rooms above come last, each as the others are
// set (one space in), asked for the selected process; the box's own text
// before them stays exactly as without them.
TEST_F(DetailsTest, HandedInLinesFollowTheOwnLines) {
    const SelectedProcess row{"explorer.exe", 1234, 7};
    RunDetailsCommand(Context(5), row);
    CommandContext context = Context(5);
    std::vector<uint32_t> askedFor;
    context.moreDetailLines = [&](const SelectedProcess& process) {
        askedFor.push_back(process.pid);
        return std::vector<std::string>{"窗口: 无", "网络连接: 2 个（监听 1 个）"};
    };
    RunDetailsCommand(context, row);
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ(std::vector<uint32_t>{1234}, askedFor);
    EXPECT_EQ(prompt.shown[0].text + "\n 窗口: 无\n 网络连接: 2 个（监听 1 个）", prompt.shown[1].text);
}
