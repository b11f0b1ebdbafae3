#include <gtest/gtest.h>

#include "app/ProcessListClock.h"

namespace {

WindowState Shown(bool shown, bool probeRunning = false) {
    WindowState state;
    state.shown = shown;
    state.probeRunning = probeRunning;
    return state;
}

// The probe answer of the hidden tick, counting how often it is asked.
struct Probe {
    bool changed = false;
    int asked = 0;
    std::function<bool()> Answer() {
        return [this] {
            ++asked;
            return changed;
        };
    }
};

}  // namespace

// Seen, every second looks and shows its figures. Hidden, the probe's thread
// stands in for every look; without it a look comes when the last two
// differed, when the probe says so, or after the longest calm, and never
// shows figures.
TEST(ProcessListClock, LooksEverySecondSeenAndHiddenOnlyWhenTheProcessesMayHaveChanged) {
    ProcessListClock clock;
    Probe probe;
    SecondPlan plan = clock.OnSecond(Shown(true, true), true, probe.Answer());
    EXPECT_TRUE(plan.look && plan.updateFigures);
    EXPECT_EQ(0, probe.asked) << "seen, the probe is not asked";

    for (int second = 0; second < 2 * kLongestHiddenSecondsWithoutLook; ++second) {
        EXPECT_FALSE(clock.OnSecond(Shown(false, true), false, probe.Answer()).look) << "the thread stands in";
    }
    EXPECT_EQ(0, probe.asked);

    plan = clock.OnSecond(Shown(false), false, probe.Answer());
    EXPECT_TRUE(plan.look) << "the last two looks differed";
    EXPECT_FALSE(plan.updateFigures) << "nobody sees the figures";
    EXPECT_EQ(0, probe.asked) << "a look comes anyway";
    probe.changed = true;
    EXPECT_TRUE(clock.OnSecond(Shown(false), true, probe.Answer()).look) << "the probe saw a change";
    probe.changed = false;
    for (int second = 1; second < kLongestHiddenSecondsWithoutLook; ++second) {
        EXPECT_FALSE(clock.OnSecond(Shown(false), true, probe.Answer()).look) << second;
    }
    EXPECT_TRUE(clock.OnSecond(Shown(false), true, probe.Answer()).look) << "the longest calm";
    EXPECT_EQ(kLongestHiddenSecondsWithoutLook + 1, probe.asked);

    // Any look starts the calm anew, a seen one too.
    for (int second = 1; second < kLongestHiddenSecondsWithoutLook; ++second)
        clock.OnSecond(Shown(false), true, [] { return false; });
    EXPECT_TRUE(clock.OnSecond(Shown(true), true, probe.Answer()).look);
    EXPECT_FALSE(clock.OnSecond(Shown(false), true, probe.Answer()).look) << "calm again from the seen look";
}

// Seen, a look the probe brought half a second or more after the figures'
// latest look gives the figures, and the next tick takes none; a nearer one,
// or one while hidden, leaves the tick its own.
TEST(ProcessListClock, SeenALookOfTheProbeStandsInForTheNextTicksLook) {
    constexpr uint64_t kSecond = 10000000;
    ProcessListClock clock;
    const std::function<bool()> calm = [] { return false; };
    EXPECT_FALSE(clock.ProbeLookServesFigures(Shown(true, true), 10 * kSecond + kSecond / 2 - 1, 10 * kSecond));
    EXPECT_TRUE(clock.OnSecond(Shown(true, true), true, calm).look) << "too near: the figures would jump";
    EXPECT_TRUE(clock.ProbeLookServesFigures(Shown(true, true), 10 * kSecond + kSecond / 2, 10 * kSecond));
    const SecondPlan plan = clock.OnSecond(Shown(true, true), true, calm);
    EXPECT_FALSE(plan.look || plan.updateFigures) << "the probe's look gave them";
    EXPECT_TRUE(clock.OnSecond(Shown(true, true), true, calm).look) << "stands in once";

    EXPECT_FALSE(clock.ProbeLookServesFigures(Shown(false, true), 20 * kSecond, 10 * kSecond));
    EXPECT_FALSE(clock.OnSecond(Shown(false, true), true, calm).look);
    EXPECT_TRUE(clock.OnSecond(Shown(true, true), true, calm).look) << "hidden, nothing stood in";
    EXPECT_TRUE(clock.ProbeLookServesFigures(Shown(true, true), 20 * kSecond, 10 * kSecond));
    EXPECT_FALSE(clock.OnSecond(Shown(false), true, calm).look) << "hidden without a thread, calm";
    EXPECT_TRUE(clock.OnSecond(Shown(true), true, calm).look) << "what stood in was used up";
}

// The 20-second refresh: a refresh that runs takes a second one in after it;
// otherwise a look decides, taken first unless the probe's thread keeps the
// latest one up to date.
TEST(ProcessListClock, TheRefreshTickLooksFirstUnlessTheProbeKeepsTheLookNew) {
    const ProcessListClock clock;
    for (const bool shown : {false, true}) {
        EXPECT_EQ(RefreshTick::LookFirst, clock.OnRefreshTick(Shown(shown)));
        EXPECT_EQ(RefreshTick::Decide, clock.OnRefreshTick(Shown(shown, true)));
        WindowState refreshing = Shown(shown, true);
        refreshing.refreshing = true;
        EXPECT_EQ(RefreshTick::RefreshNow, clock.OnRefreshTick(refreshing));
    }
}

// Hidden, the refresh waits for the showing unless the look holds what it
// would end or ask about; seen, it runs only when its rows would differ.
TEST(ProcessListClock, TheRefreshWaitsWhileItWouldChangeNothingSeen) {
    ProcessListClock clock;
    EXPECT_TRUE(clock.RefreshNowAfterLook(Shown(false), true, true)) << "a blocked process in the look";
    EXPECT_FALSE(clock.RefreshWaitsForShow());
    EXPECT_FALSE(clock.RefreshNowAfterLook(Shown(false), false, false));
    EXPECT_TRUE(clock.RefreshWaitsForShow()) << "hidden, the showing fills the list";
    clock.OnRefreshStarts();
    EXPECT_FALSE(clock.RefreshWaitsForShow());

    EXPECT_FALSE(clock.RefreshNowAfterLook(Shown(true), false, true)) << "the same rows would come back";
    EXPECT_FALSE(clock.RefreshWaitsForShow()) << "seen, nothing waits for a showing";
    EXPECT_TRUE(clock.RefreshNowAfterLook(Shown(true), false, false)) << "the processes changed";
    EXPECT_TRUE(clock.RefreshNowAfterLook(Shown(true), true, true)) << "a blocked process in the look";

    // A recorded file found by a look that could not act brings the refresh.
    WindowState asking = Shown(true);
    asking.askingFirst = true;
    EXPECT_FALSE(clock.BlockCheckActs(asking, true, true));
    EXPECT_TRUE(clock.BlockedFileWaits());
    for (const bool shown : {false, true}) EXPECT_TRUE(clock.RefreshNowAfterLook(Shown(shown), false, true));
    clock.OnRefreshStarts();
    EXPECT_FALSE(clock.BlockedFileWaits()) << "the refresh acted on it";
    EXPECT_FALSE(clock.RefreshNowAfterLook(Shown(true), false, true));
}

// The check acts on a look only while no refresh runs, no box of the window is
// open and the user did not ask to be asked; a recorded file it could not act
// on waits for the next look that may, or for hashes that arrive.
TEST(ProcessListClock, TheBlockCheckActsOnlyWhenNothingElseRunsAndKeepsWhatWaits) {
    ProcessListClock clock;
    const WindowState free = Shown(true);
    EXPECT_TRUE(clock.BlockCheckActs(free, true, false));
    EXPECT_FALSE(clock.EndsFromLook(false)) << "nothing blocked";
    EXPECT_TRUE(clock.EndsFromLook(true));
    EXPECT_FALSE(clock.BlockCheckActs(free, false, false)) << "a look that only notes files";

    WindowState busy[3] = {free, free, free};
    busy[0].refreshing = true;
    busy[1].questionOpen = true;
    busy[2].askingFirst = true;
    for (const WindowState& state : busy) {
        EXPECT_FALSE(clock.BlockCheckActs(state, true, true));
        EXPECT_TRUE(clock.BlockedFileWaits());
        EXPECT_FALSE(clock.RefreshForHashes(state, false)) << "hashes arrive while it may not act";
    }
    EXPECT_FALSE(clock.BlockCheckActs(free, false, false));
    EXPECT_TRUE(clock.BlockedFileWaits()) << "a look that may not end leaves it waiting";
    EXPECT_TRUE(clock.BlockCheckActs(free, true, false));
    EXPECT_TRUE(clock.EndsFromLook(false)) << "the file found before";
    EXPECT_FALSE(clock.BlockedFileWaits());
    EXPECT_FALSE(clock.EndsFromLook(false)) << "acted on once";

    EXPECT_FALSE(clock.RefreshForHashes(free, false));
    EXPECT_TRUE(clock.RefreshForHashes(free, true));
    EXPECT_FALSE(clock.BlockedFileWaits());
    EXPECT_FALSE(clock.RefreshForHashes(free, false)) << "acted on once";
    EXPECT_FALSE(clock.RefreshForHashes(busy[1], true));
    EXPECT_TRUE(clock.RefreshForHashes(free, false)) << "found while a box was open";
}

// One notice waits at a time; one that could not be posted does not wait, so
// the next change tries again.
TEST(ProcessListClock, TheProbeNoticeWaitsOnceAndAFailedPostLeavesNoneWaiting) {
    ProbeNotice notice;
    int posts = 0;
    bool posted = true;
    const auto post = [&] {
        ++posts;
        return posted;
    };
    notice.OnChange(post);
    notice.OnChange(post);
    EXPECT_EQ(1, posts) << "one message waits";
    notice.Taken();
    notice.OnChange(post);
    EXPECT_EQ(2, posts);

    notice.Taken();
    posted = false;
    notice.OnChange(post);
    notice.OnChange(post);
    EXPECT_EQ(4, posts) << "the queue refused it: nothing waits";
    posted = true;
    notice.OnChange(post);
    notice.OnChange(post);
    EXPECT_EQ(5, posts);
}
