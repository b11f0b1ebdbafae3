#include <gtest/gtest.h>

#include "process/Refresh.h"
#include "tests/native/command_fakes.h"

namespace {

struct RefreshFixture : ::testing::Test {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    BlockList blockList;
    std::vector<std::string> reference = {"explorer.exe 资源管理器"};

    std::vector<ProcessRow> Refresh(int promptFlag) {
        return BuildProcessRows({blockList, reference, promptFlag, system, prompt});
    }
};

}  // namespace

TEST_F(RefreshFixture, SilentTerminationOfBlockedProcessStillListsItsRow) {
    system.processes = {Record(0, "[System Process]"),  Record(4, "System"),
                        Record(1234, "explorer.exe"),   Record(2000, "flcss.exe"),
                        Record(2100, "TARVEMONIX.EXE"), Record(2200, "notepad.exe")};
    const std::vector<ProcessRow> rows = Refresh(0);

    ASSERT_EQ(6u, rows.size());
    EXPECT_EQ((std::vector<uint32_t>{2000}), system.terminated);
    EXPECT_TRUE(prompt.shown.empty());
    const char* expected[][3] = {
        {"[System Process]", " 系统进程", "0"}, {"System", " 系统进程", "4"},
        {"explorer.exe", " 系统进程", "1234"},  {"flcss.exe", " 危险进程", "2000"},
        {"TARVEMONIX.EXE", "瓦诺德", "2100"},   {"notepad.exe", " 应用程序进程", "2200"},
    };
    for (size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(expected[i][0], rows[i].name) << i;
        EXPECT_EQ(expected[i][1], rows[i].word) << i;
        EXPECT_EQ(expected[i][2], rows[i].pidText) << i;
    }
}

TEST_F(RefreshFixture, PromptFlagOneAsksWithTheEntryAndReportsSuccess) {
    system.processes = {Record(2000, "c:\\x\\Flcss.exe")};
    prompt.answers = {kIdYes};
    const std::vector<ProcessRow> rows = Refresh(1);

    EXPECT_EQ((std::vector<uint32_t>{2000}), system.terminated);
    ASSERT_EQ(2u, prompt.shown.size());
    // Both boxes name the block-list entry as stored, not the process name.
    EXPECT_EQ("发现危险进程FLCSS.EXE,是否中止？", prompt.shown[0].text);
    EXPECT_EQ("提示", prompt.shown[0].caption);
    EXPECT_EQ(kMbYesNo, prompt.shown[0].style);
    EXPECT_EQ("中止FLCSS.EXE成功", prompt.shown[1].text);
    EXPECT_EQ("提示", prompt.shown[1].caption);
    EXPECT_EQ(kMbOk, prompt.shown[1].style);
    ASSERT_EQ(1u, rows.size());
}

TEST_F(RefreshFixture, AnswerNoLeavesProcessDangerous) {
    system.processes = {Record(2000, "flcss.exe")};
    prompt.answers = {kIdNo};
    const std::vector<ProcessRow> rows = Refresh(1);
    EXPECT_TRUE(system.terminated.empty());
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ(" 危险进程", rows[0].word);
}

TEST_F(RefreshFixture, FailedTerminationShowsNoSuccessBox) {
    system.processes = {Record(2000, "flcss.exe")};
    system.unterminable = {2000};
    prompt.answers = {kIdYes};
    Refresh(1);
    EXPECT_EQ(1u, prompt.shown.size());
}

TEST_F(RefreshFixture, TwoMatchingEntriesGiveTwoQuestions) {
    blockList.AddLoaded("virus");
    system.processes = {Record(3000, "VIRUS-FLCSS.EXE")};
    prompt.answers = {kIdNo, kIdYes};
    Refresh(1);
    ASSERT_EQ(3u, prompt.shown.size());
    EXPECT_EQ("发现危险进程FLCSS.EXE,是否中止？", prompt.shown[0].text);
    EXPECT_EQ("发现危险进程virus,是否中止？", prompt.shown[1].text);
    EXPECT_EQ("中止virus成功", prompt.shown[2].text);
    EXPECT_EQ((std::vector<uint32_t>{3000}), system.terminated);

    // Yes to the first question ends it: the second entry is not asked about.
    system.terminated.clear();
    prompt.shown.clear();
    prompt.answers = {kIdYes, kIdYes};
    Refresh(1);
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("中止FLCSS.EXE成功", prompt.shown[1].text);
    EXPECT_EQ((std::vector<uint32_t>{3000}), system.terminated);
}

// One process is one end and one log line, however many entries match it.
TEST_F(RefreshFixture, TwoMatchingEntriesEndTheProcessOnceAndLogBothEntries) {
    blockList.AddLoaded("virus");
    system.processes = {Record(3000, "VIRUS-FLCSS.EXE")};
    RecordingEndLog log;
    BuildProcessRows({blockList, reference, 0, system, prompt, &log});
    EXPECT_EQ((std::vector<uint32_t>{3000}), system.terminated);
    ASSERT_EQ(1u, log.records.size());
    EXPECT_EQ("FLCSS.EXE、virus", log.records[0].entry);
}

// The pid asked about is given to another program while the question is open.
// The question may stay open while the blocked program ends and another
// takes its pid, even one of the same name (setup.exe started again).
TEST_F(RefreshFixture, AnswerAfterThePidWasReusedEndsNothing) {
    for (const char* reusedBy : {"word.exe", "flcss.exe"}) {
        system.processes = {Record(2000, "flcss.exe")};
        system.startTimes[2000] = 1;
        ScriptedPrompt reusing;
        reusing.whileShown = [&] {
            system.processes[0].name = reusedBy;
            system.startTimes[2000] = 2;
        };
        reusing.answers = {kIdYes};
        BuildProcessRows({blockList, reference, 1, system, reusing});
        EXPECT_TRUE(system.terminated.empty()) << reusedBy;
        EXPECT_EQ(1u, reusing.shown.size()) << "no success box";
    }
}

TEST_F(RefreshFixture, PromptFlagOtherThanOneTerminatesSilently) {
    system.processes = {Record(2000, "flcss.exe")};
    Refresh(2);
    EXPECT_EQ((std::vector<uint32_t>{2000}), system.terminated);
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(RefreshFixture, EmptyBlockEntryMarksNothing) {
    blockList.AddLoaded("");
    system.processes = {Record(10, "notepad.exe")};
    const std::vector<ProcessRow> rows = Refresh(0);
    EXPECT_TRUE(system.terminated.empty());
    EXPECT_EQ(" 应用程序进程", rows[0].word);
}

// An entry matching the program's own process (its name, or a fragment such
// as "EXE") must not end it, asked or not; other matches are still handled.
TEST_F(RefreshFixture, OwnProcessIsNeverEndedByTheBlockList) {
    blockList.AddLoaded("EXE");
    system.ownPid = 2100;
    system.processes = {Record(2100, "TarveMonix.exe"), Record(2200, "copy of tarvemonix.exe"),
                        Record(2300, "helper.exe")};
    for (int promptFlag : {0, 1}) {
        system.terminated.clear();
        prompt.shown.clear();
        prompt.answers = {kIdYes, kIdYes, kIdYes, kIdYes};
        const std::vector<ProcessRow> rows = Refresh(promptFlag);
        EXPECT_EQ((std::vector<uint32_t>{2200, 2300}), system.terminated) << promptFlag;
        EXPECT_EQ(promptFlag == 1 ? 4u : 0u, prompt.shown.size()) << "two questions and two results";
        ASSERT_EQ(3u, rows.size());
        EXPECT_EQ("瓦诺德", rows[0].word) << "the own row is listed and classified as before";
    }
}

// A core Windows name run from outside the Windows folder is pointed out; the
// block list wins, an unknown place changes nothing, and only core names cost
// a look at the file.
TEST_F(RefreshFixture, CoreNamesOutsideTheWindowsFolderAreSuspicious) {
    blockList.AddLoaded("explorer");
    system.processes = {Record(10, "svchost.exe"), Record(11, "SVCHOST.EXE"), Record(12, "svchost.exe"),
                        Record(13, "notepad.exe"), Record(14, "explorer.exe")};
    system.files = {{10, {L"C:\\Temp\\svchost.exe", ProgramPlace::Elsewhere}},
                    {11, {L"C:\\Windows\\System32\\svchost.exe", ProgramPlace::InWindowsFolder}},
                    {13, {L"C:\\Temp\\notepad.exe", ProgramPlace::Elsewhere}},
                    {14, {L"C:\\Temp\\explorer.exe", ProgramPlace::Elsewhere}}};
    const std::vector<ProcessRow> rows = Refresh(0);
    const char* expected[] = {" 可疑进程", " 应用程序进程", " 应用程序进程", " 应用程序进程", " 系统进程"};
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(expected[i], rows[i].word) << i;
    EXPECT_EQ((std::vector<uint32_t>{10, 11, 12}), system.located);
}

TEST(CountText, FormatsTheNumber) {
    EXPECT_EQ("共有0个进程", CountText(0));
    EXPECT_EQ("共有37个进程", CountText(37));
}

namespace {

// The check between refreshes reports what it ended, asked first or not; a
// process it ended before is listed by the refresh as blocked (by its file
// too) and not ended again.
TEST_F(RefreshFixture, TheCheckReportsItsEndsAndTheRefreshDoesNotRepeatThem) {
    system.processes = {Record(2000, "flcss.exe"), Record(2100, "renamed.exe")};
    const std::string recorded = "game.exe";
    RefreshContext context{blockList, reference, 1, system, prompt};
    context.fingerprintMatch = [&](const ProcessRecord& record) {
        return record.name == "renamed.exe" ? &recorded : nullptr;
    };
    prompt.answers = {kIdYes, kIdNo};
    EXPECT_EQ(std::vector<uint32_t>{2000}, EndBlockedProcesses(context, IdentifiedWalk(system)));

    system.terminated.clear();
    prompt.shown.clear();
    context.promptDangerous = 0;
    context.endedBefore = {2000, 2100};
    const std::vector<ProcessRow> rows = BuildProcessRows(context);
    EXPECT_TRUE(system.terminated.empty());
    EXPECT_TRUE(prompt.shown.empty());
    ASSERT_EQ(2u, rows.size());
    EXPECT_EQ(" 危险进程", rows[0].word);
    EXPECT_EQ(" 危险进程", rows[1].word) << "blocked by its file";
}

}  // namespace

namespace {

// Blocked programs that start each other again are held still, then ended;
// one whose end failed is let go again. One alone, or one asked about, is not
// held.
TEST_F(RefreshFixture, SeveralBlockedAreHeldStillWhileTheyAreEnded) {
    blockList.AddLoaded("virus");
    const std::vector<ProcessRecord> pair = {Record(2000, "flcss.exe"), Record(2100, "virus.exe"),
                                             Record(2200, "notepad.exe")};
    system.processes = pair;
    system.unterminable = {2100};
    Refresh(0);
    const std::vector<std::string> heldThenEnded = {"suspend 2000", "suspend 2100", "terminate 2000", "terminate 2100",
                                                    "resume 2100"};
    EXPECT_EQ(heldThenEnded, system.events);
    system.events.clear();
    const RefreshContext context{blockList, reference, 0, system, prompt};
    EXPECT_EQ(std::vector<uint32_t>{2000}, EndBlockedProcesses(context, IdentifiedWalk(system)));
    EXPECT_EQ(heldThenEnded, system.events) << "the check between refreshes";

    system.events.clear();
    system.processes = {Record(2000, "flcss.exe")};
    Refresh(0);
    EXPECT_EQ(std::vector<std::string>{"terminate 2000"}, system.events);

    system.events.clear();
    system.processes = pair;
    prompt.answers = {kIdNo, kIdNo};
    Refresh(1);
    EXPECT_TRUE(system.events.empty()) << "nothing frozen while the user is asked";
}

}  // namespace
