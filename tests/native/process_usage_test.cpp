#include <gtest/gtest.h>

#include "process/ProcessUsage.h"

namespace {

constexpr uint64_t kSecond = 10000000;

// Two processors, two seconds apart: 4 seconds of processor time in all. Each
// process is {pid, name, processor time, start time, working set}.
const ProcessSample kBefore = {true,
                               10 * kSecond,
                               2,
                               {{0, "[System Process]", 0, 1},
                                {100, "spin.exe", 50 * kSecond, 1},
                                {200, "calm.exe", 7, 1},
                                {300, "gone.exe", 0, 1},
                                {400, "reused.exe", 0, 1},
                                {500, "wrapped.exe", kSecond, 1}}};
const ProcessSample kAfter = {true,
                              12 * kSecond,
                              2,
                              {{0, "[System Process]", 2 * kSecond, 1},
                               {100, "spin.exe", 52 * kSecond, 1, 100 << 20},
                               {200, "calm.exe", 7 + kSecond / 100, 1},
                               {400, "reused.exe", kSecond, 2},
                               {500, "wrapped.exe", 0, 1},
                               {600, "new.exe", 9 * kSecond, 1}}};

}  // namespace

// The idle entry and a process busy on one of two processors each show half;
// a process new to the look, one whose pid now names a later start or another
// name and one whose time went back show 0, as do all when no time has passed.
TEST(CpuShares, ShareOfAllProcessorsSinceTheLookBefore) {
    EXPECT_EQ((std::vector<int>{50, 50, 0, 0, 0, 0}), CpuShares(kBefore, kAfter));
    EXPECT_EQ(std::vector<int>(6, 0), CpuShares(kAfter, kAfter));
    ProcessSample flooded = kAfter;
    flooded.processes[1].cpuTime = 90 * kSecond;
    flooded.processes[2].cpuTime = 7 + kSecond / 50;
    EXPECT_EQ(100, CpuShares(kBefore, flooded)[1]) << "more than the interval holds counts as all";
    EXPECT_EQ(1, CpuShares(kBefore, flooded)[2]) << "half a percent is rounded up";
    ProcessSample renamed = kAfter;
    renamed.processes[1].name = "other.exe";
    EXPECT_EQ(0, CpuShares(kBefore, renamed)[1]) << "the same pid and start time under another name";
}

TEST(UsageTracker, TextsByPidAndNameFromTheLatestLook) {
    EXPECT_EQ("0 K", KilobyteText(1023));
    EXPECT_EQ("1,205,632,705 K", KilobyteText(1234567890123));
    UsageTracker tracker;
    tracker.Add(kBefore);
    EXPECT_EQ("0", tracker.TextsFor(100, "spin.exe").cpu) << "one look gives no share";
    tracker.Add(kAfter);
    EXPECT_EQ("50", tracker.TextsFor(100, "spin.exe").cpu);
    EXPECT_EQ("102,400 K", tracker.TextsFor(100, "spin.exe").memory);
    EXPECT_EQ("", tracker.TextsFor(100, "other.exe").memory) << "the pid names another program";
    EXPECT_EQ("", tracker.TextsFor(300, "gone.exe").cpu) << "ended since";
    EXPECT_FALSE(tracker.SameProcessesAsBefore());
    ProcessSample cut = kAfter;  // a 32-bit program on a 64-bit system
    cut.processes[1].workingSet = kUnknownBytes;
    UsageTracker wow64;
    wow64.Add(cut);
    EXPECT_EQ("", wow64.TextsFor(100, "spin.exe").memory) << "no figure rather than a wrong one";
    EXPECT_EQ("0", wow64.TextsFor(100, "spin.exe").cpu);
    tracker.Add(kAfter);
    EXPECT_TRUE(tracker.SameProcessesAsBefore());
    ProcessSample respawned = kAfter;
    respawned.processes[1].startTime = 3;  // ended and started again at once, under its pid
    tracker.Add(respawned);
    EXPECT_FALSE(tracker.SameProcessesAsBefore());
    ProcessSample namesOnly = respawned;
    namesOnly.hasFigures = false;
    tracker.Add(namesOnly);
    EXPECT_EQ("", tracker.TextsFor(100, "spin.exe").cpu) << "a look without figures shows none";
    EXPECT_EQ("", tracker.TextsFor(100, "spin.exe").memory);
}
