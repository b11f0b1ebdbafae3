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

    // Started again at once under the pid of the copy just ended: the walk's
    // keys take the look's start times, and the new copy's differs.
    std::vector<ProcessKey> walked = Keys({{200, "virus.exe"}, {201, "other.exe"}});
    TakeStartTimes(walked, {{200, "virus.exe", 0, 111, 0, 0}, {201, "renamed.exe", 0, 222, 0, 0}});
    EXPECT_EQ(111u, walked[0].startTime);
    EXPECT_EQ(0u, walked[1].startTime) << "another name is another process";
    watch.Remember(walked);
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
