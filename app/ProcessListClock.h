// When the main window looks at the processes, refreshes its list and lets
// the block check act: the one-second tick, the looks taken while hidden, the
// probe's notices, the 20-second refresh that may wait, and the program-file
// hashes that arrive. What the window knows goes in as plain facts, what it
// is to do comes out; the window takes the looks and runs the refreshes.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>

// While the window is hidden and no probe thread runs (a system handed in by a
// test), a look is only taken when the process list may have changed, and
// after this many seconds without one all the same.
constexpr int kLongestHiddenSecondsWithoutLook = 5;

// What the window is doing as the clock is asked.
struct WindowState {
    bool shown = false;
    bool refreshing = false;    // a question's loop can reach the clock
    bool questionOpen = false;  // a message box of the window is open
    bool askingFirst = false;   // "提示关闭危险进程" is ticked
    bool probeRunning = false;  // the probe's thread watches the list
};

// What the one-second tick does.
struct SecondPlan {
    bool look = false;           // look at every process now
    bool updateFigures = false;  // from that look, the CPU and 内存 cells
};

// What the 20-second tick does first.
enum class RefreshTick {
    RefreshNow,
    LookFirst,  // take a look (the block check may not end from it), then decide
    Decide,     // the latest look is as good as a new one: decide from it
};

// Whether a look taken at lookAt (in the steady 100-ns units of
// ProcessSample::takenAt) may give the CPU and 内存 figures after the look of
// the figures at latestFigureLookAt: only half a second or more after it,
// or the CPU shares would jump from the clock's coarse steps.
bool LookServesFigures(uint64_t lookAt, uint64_t latestFigureLookAt);

class ProcessListClock {
public:
    // Seen, a look every second for the figures. Hidden, where the program
    // waits nearly all the time and no figure is shown, the probe's thread
    // stands in for the looks: each change brings one at once. Without that
    // thread the probe is asked here, while the processes stay calm: the
    // last two looks found the same ones and listMayHaveChanged (asked only
    // then) says no, for at most kLongestHiddenSecondsWithoutLook seconds.
    // Seen, a look the probe brought since the last tick stands in for the
    // tick's own.
    SecondPlan OnSecond(const WindowState& window, bool sameProcessesAsBefore,
                        const std::function<bool()>& listMayHaveChanged);
    // A look the probe brought, taken at lookAt: true when, seen, it serves
    // the figures as well (LookServesFigures) and the next tick takes no look
    // of its own.
    bool ProbeLookServesFigures(const WindowState& window, uint64_t lookAt, uint64_t latestFigureLookAt);

    // The 20-second refresh fills the list for the user's eyes and ends or
    // asks about what the block list names. With the probe's thread running
    // the latest look is as good as a new one: every change since would have
    // brought one at once.
    RefreshTick OnRefreshTick(const WindowState& window) const;
    // Decides after OnRefreshTick's look: true when the refresh runs now.
    // It does when the look holds a process it would end or ask about, or a
    // recorded file waits for it; otherwise, hidden, it waits for the
    // showing, and seen it runs only when the list does not already show the
    // look's processes (the same rows would come back).
    bool RefreshNowAfterLook(const WindowState& window, bool lookHoldsWhatRefreshActsOn, bool listShowsLook);
    // Whether a refresh waits for the window to be shown; it runs after the
    // showing itself.
    bool RefreshWaitsForShow() const { return m_refreshWaitsForShow; }
    // A refresh runs: it lists what was waiting for it.
    void OnRefreshStarts();

    // A look was taken; fileFound: a recorded program file runs in it. True
    // when the block check acts on the look now: not while a refresh runs or
    // a box of the window is open, and not when the user asked to be asked
    // (questions every second would be a nuisance, so the 20-second refresh
    // asks as before). A file found while the check may not act waits for
    // the next look that may; mayEnd false: this look only notes files.
    bool BlockCheckActs(const WindowState& window, bool mayEnd, bool fileFound);
    // The acting check's verdict by name: true when the look's blocked
    // processes are ended at once and the refresh follows.
    bool EndsFromLook(bool newBlockedByName);
    // Program-file hashes arrived; fileFound: one is recorded. True when the
    // refresh runs now to end it.
    bool RefreshForHashes(const WindowState& window, bool fileFound);
    // A recorded file runs and nothing has acted on it yet.
    bool BlockedFileWaits() const { return m_blockedFileWaiting; }

private:
    static bool MayAct(const WindowState& window);

    int m_secondsWithoutLook = 0;
    bool m_probeLookServedSecond = false;
    bool m_refreshWaitsForShow = false;
    bool m_blockedFileWaiting = false;
};

// The probe's thread tells the window of a change with one posted message;
// at most one waits at a time, and one that could not be posted (a full
// message queue) does not count as waiting, or the probe would fall silent.
class ProbeNotice {
public:
    // From the probe's thread, when the list may have changed; post returns
    // whether the message was posted.
    void OnChange(const std::function<bool()>& post);
    // The window took the message: the next change posts again.
    void Taken() { m_posted = false; }

private:
    std::atomic<bool> m_posted{false};
};
