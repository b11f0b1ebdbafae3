#include <gtest/gtest.h>

#include "process/EndLog.h"
#include "process/ProcessCommands.h"
#include "process/Refresh.h"
#include "tests/native/command_fakes.h"

namespace {

const LocalTime kTime{2026, 3, 7, 9, 5, 1};

EndRecord Ended(EndReason reason, const char* name, uint32_t pid, bool ended) {
    EndRecord record;
    record.reason = reason;
    record.name = name;
    record.pid = pid;
    record.ended = ended;
    return record;
}

}  // namespace

TEST(EndLogLine, OneLineForEachWayOfEnding) {
    EndRecord blocked = Ended(EndReason::BlockList, "C:\\x\\flcss.exe", 1234, true);
    blocked.entry = "FLCSS.EXE";
    EXPECT_EQ("2026-03-07 09:05:01  封锁列表(匹配 FLCSS.EXE)  C:\\x\\flcss.exe  PID 1234  已结束\r\n",
              EndLogLine(blocked, kTime));
    EXPECT_EQ("2026-03-07 09:05:01  中止进程  a.exe  PID 7  未能结束\r\n",
              EndLogLine(Ended(EndReason::Terminate, "a.exe", 7, false), kTime));
    EXPECT_EQ("2026-03-07 09:05:01  精简进程  b.exe  PID 4294967295  已结束\r\n",
              EndLogLine(Ended(EndReason::SlimDown, "b.exe", 4294967295u, true), kTime));

    EndRecord deleted = Ended(EndReason::DeleteFile, "c.exe", 9, true);
    deleted.path = "C:\\TOOLS\\C.EXE";
    deleted.deletion = FileDeletionResult::Deleted;
    EXPECT_EQ("2026-03-07 09:05:01  删除文件  c.exe  PID 9  已结束  文件 C:\\TOOLS\\C.EXE  已删除\r\n",
              EndLogLine(deleted, kTime));
    deleted.deletion = FileDeletionResult::Failed;
    EXPECT_NE(std::string::npos, EndLogLine(deleted, kTime).find("  删除失败\r\n"));
    deleted.deletion = FileDeletionResult::Cancelled;
    EXPECT_NE(std::string::npos, EndLogLine(deleted, kTime).find("  删除取消\r\n"));
    deleted.ended = false;
    EXPECT_NE(std::string::npos, EndLogLine(deleted, kTime).find("未能结束  文件 C:\\TOOLS\\C.EXE  未删除\r\n"));
}

TEST(EndLogLine, LineBreaksInANameStayInsideTheLine) {
    const std::string line = EndLogLine(Ended(EndReason::Terminate, "a\r\nb\rc\n", 1, true), kTime);
    EXPECT_EQ(line.size() - 2, line.find("\r\n"));
    EXPECT_EQ(std::string::npos, line.substr(0, line.size() - 2).find_first_of("\r\n"));
}

// Every process the flows try to end is reported once, with what ended it.
TEST(EndLog, TheFlowsReportEveryEnd) {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    RecordingEndLog log;
    system.processes = {Record(10, "virus.exe"), Record(20, "notepad.exe"), Record(30, "locked.exe")};
    system.unterminable = {30};
    system.shortPaths[20] = "C:\\NOTEPAD.EXE";
    BlockList table;
    table.AddLoaded("virus");
    table.AddLoaded("locked");
    const std::vector<std::string> reference;
    std::vector<ProcessKey> seen;
    BuildProcessRows({table, reference, 0, system, prompt, &log, &seen});
    ASSERT_EQ(2u, log.records.size());
    EXPECT_EQ(EndReason::BlockList, log.records[0].reason);
    EXPECT_EQ("virus", log.records[0].entry);
    EXPECT_EQ(10u, log.records[0].pid);
    EXPECT_TRUE(log.records[0].ended);
    EXPECT_EQ("locked", log.records[1].entry);
    EXPECT_FALSE(log.records[1].ended);
    EXPECT_EQ(30000u, log.records[1].startTime) << "a refusal tells its process by its start";
    EXPECT_EQ(3u, seen.size()) << "the walk's processes for the check";

    log.records.clear();
    const CommandContext context{system, prompt, 5, reference, &log};
    prompt.answers = {kIdYes, kIdOk};  // every box takes an answer
    RunTerminateCommand(context, Row("locked.exe", 30));
    prompt.answers = {kIdYes};
    RunDeleteFileCommand(context, Row("notepad.exe", 20));
    ASSERT_EQ(2u, log.records.size());
    EXPECT_EQ(EndReason::Terminate, log.records[0].reason);
    EXPECT_FALSE(log.records[0].ended);
    EXPECT_EQ(EndReason::DeleteFile, log.records[1].reason);
    EXPECT_EQ("C:\\NOTEPAD.EXE", log.records[1].path);
    EXPECT_EQ(FileDeletionResult::Deleted, log.records[1].deletion);

    log.records.clear();
    prompt.answers = {kIdYes};
    RunSlimCommand(context);
    EXPECT_EQ(3u, log.records.size());
    for (const EndRecord& record : log.records) EXPECT_EQ(EndReason::SlimDown, record.reason);
}

// A survivor of the block list is tried every 20 seconds: one line for it.
TEST(RefusedEnds, OneLinePerRefusedProcessHoweverOftenItIsTried) {
    RefusedEnds refused;
    EndRecord record = Ended(EndReason::BlockList, "locked.exe", 30, false);
    record.startTime = 5;
    EXPECT_TRUE(refused.IsWorthALine(record));
    EXPECT_FALSE(refused.IsWorthALine(record));
    record.startTime = 6;
    EXPECT_TRUE(refused.IsWorthALine(record)) << "the pid given to a new process";
    record.name = "other.exe";
    EXPECT_TRUE(refused.IsWorthALine(record));
    record.ended = true;
    EXPECT_TRUE(refused.IsWorthALine(record));
    EXPECT_TRUE(refused.IsWorthALine(record)) << "every end is a line";
}

TEST(BlockNotice, NamesTheFirstFewWithTheirEntriesAndTheCount) {
    std::vector<EndRecord> ends;
    for (const char* name : {"C:\\x\\flcss.exe", "b.exe", "c.exe", "d.exe"}) {
        EndRecord end = Ended(EndReason::BlockList, name, 1, true);
        end.entry = "FLCSS";
        ends.push_back(end);
    }
    EXPECT_EQ("flcss.exe（匹配 FLCSS）", BlockNoticeText({ends[0]}));
    EXPECT_EQ("flcss.exe（匹配 FLCSS）\r\nb.exe（匹配 FLCSS）\r\nc.exe（匹配 FLCSS）\r\n等，共4个进程",
              BlockNoticeText(ends));
    // Three are all named, without a count.
    EXPECT_EQ("flcss.exe（匹配 FLCSS）\r\nb.exe（匹配 FLCSS）\r\nc.exe（匹配 FLCSS）",
              BlockNoticeText({ends.begin(), ends.begin() + 3}));
}

TEST(EndLog, MovesAsideAtOneMebibyte) { EXPECT_EQ(uint64_t{1048576}, kEndLogLimitBytes); }
