#include <gtest/gtest.h>

#include "process/BlockWatch.h"

namespace {

std::vector<ProcessKey> Keys(std::initializer_list<ProcessKey> keys) { return keys; }

struct BlockWatchTest : ::testing::Test {
    BlockWatchTest() {
        table.AddLoaded("");
        table.AddLoaded("virus");
        watch.Remember(Keys({{4, "System"}, {100, "explorer.exe"}, {200, "virus.exe"}}));
    }
    BlockList table;
    BlockWatch watch;
    static constexpr uint32_t kOwnPid = 300;
};

}  // namespace

// Only a process that was not there at the last look brings a refresh
// forward: a blocked process that survived the refresh (its end failed or
// the user said No) does not, or the check would refresh every second.
TEST_F(BlockWatchTest, NewBlockedProcessesOnly) {
    EXPECT_FALSE(
        watch.FindsNewBlocked(Keys({{200, "virus.exe"}, {4, "System"}, {100, "explorer.exe"}}), table, kOwnPid));
    EXPECT_FALSE(watch.FindsNewBlocked(Keys({{200, "virus.exe"}, {500, "notepad.exe"}}), table, kOwnPid))
        << "new but not blocked";
    EXPECT_TRUE(watch.FindsNewBlocked(Keys({{200, "virus.exe"}, {600, "C:\\x\\FLCSS.exe"}}), table, kOwnPid))
        << "the built-in entry counts";
    EXPECT_FALSE(watch.FindsNewBlocked(Keys({{200, "virus.exe"}, {600, "C:\\x\\FLCSS.exe"}}), table, kOwnPid))
        << "known from the previous look";
    EXPECT_TRUE(watch.FindsNewBlocked(Keys({{200, "VIRUS2.EXE"}}), table, kOwnPid))
        << "a pid given to another program is a new process";

    // Started again at once under the pid of the copy just ended: the new
    // copy's start time differs.
    watch.Remember(Keys({{200, "virus.exe", 111}, {201, "other.exe"}}));
    EXPECT_FALSE(watch.FindsNewBlocked(Keys({{200, "virus.exe", 111}}), table, kOwnPid));
    EXPECT_TRUE(watch.FindsNewBlocked(Keys({{200, "virus.exe", 112}}), table, kOwnPid));
}

TEST_F(BlockWatchTest, TheProgramItselfAndEmptyEntriesNeverCount) {
    table.AddLoaded("tarvemonix");
    EXPECT_FALSE(watch.FindsNewBlocked(Keys({{kOwnPid, "tarvemonix.exe"}, {700, "calc.exe"}}), table, kOwnPid));
    EXPECT_TRUE(watch.FindsNewBlocked(Keys({{kOwnPid, "tarvemonix.exe"}, {800, "tarvemonix.exe"}}), table, kOwnPid));
}

TEST(BlockWatch, EverythingIsNewAtTheFirstLook) {
    BlockList table;
    BlockWatch watch;
    EXPECT_TRUE(watch.FindsNewBlocked(Keys({{9, "flcss.exe"}}), table, 1));
}
