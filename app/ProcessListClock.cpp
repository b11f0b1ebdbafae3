#include "app/ProcessListClock.h"

SecondPlan ProcessListClock::OnSecond(const WindowState& window, bool sameProcessesAsBefore,
                                      const std::function<bool()>& listMayHaveChanged) {
    const bool probeLookServed = m_probeLookServedSecond;
    m_probeLookServedSecond = false;
    if (window.shown && probeLookServed) return {};
    if (!window.shown) {
        if (window.probeRunning) return {};
        const bool due = !sameProcessesAsBefore || listMayHaveChanged() ||
                         ++m_secondsWithoutLook >= kLongestHiddenSecondsWithoutLook;
        if (!due) return {};
    }
    m_secondsWithoutLook = 0;
    return {true, window.shown};
}

bool LookServesFigures(uint64_t lookAt, uint64_t latestFigureLookAt) {
    constexpr uint64_t kHalfSecond = 5000000;
    return lookAt >= latestFigureLookAt + kHalfSecond;
}

bool ProcessListClock::ProbeLookServesFigures(const WindowState& window, uint64_t lookAt, uint64_t latestFigureLookAt) {
    if (!window.shown || !LookServesFigures(lookAt, latestFigureLookAt)) return false;
    m_probeLookServedSecond = true;
    return true;
}

RefreshTick ProcessListClock::OnRefreshTick(const WindowState& window) const {
    if (window.refreshing) return RefreshTick::RefreshNow;
    return window.probeRunning ? RefreshTick::Decide : RefreshTick::LookFirst;
}

bool ProcessListClock::RefreshNowAfterLook(const WindowState& window, bool lookHoldsWhatRefreshActsOn,
                                           bool listShowsLook) {
    if (m_blockedFileWaiting || lookHoldsWhatRefreshActsOn) return true;
    if (window.shown) return !listShowsLook;
    m_refreshWaitsForShow = true;
    return false;
}

void ProcessListClock::OnRefreshStarts() {
    m_refreshWaitsForShow = false;
    m_blockedFileWaiting = false;
}

bool ProcessListClock::MayAct(const WindowState& window) {
    return !window.refreshing && !window.questionOpen && !window.askingFirst;
}

bool ProcessListClock::BlockCheckActs(const WindowState& window, bool mayEnd, bool fileFound) {
    m_blockedFileWaiting = fileFound || m_blockedFileWaiting;
    return mayEnd && MayAct(window);
}

bool ProcessListClock::EndsFromLook(bool newBlockedByName) {
    if (!newBlockedByName && !m_blockedFileWaiting) return false;
    m_blockedFileWaiting = false;
    return true;
}

bool ProcessListClock::RefreshForHashes(const WindowState& window, bool fileFound) {
    m_blockedFileWaiting = fileFound || m_blockedFileWaiting;
    if (!m_blockedFileWaiting || !MayAct(window)) return false;
    m_blockedFileWaiting = false;
    return true;
}

void ProbeNotice::OnChange(const std::function<bool()>& post) {
    if (m_posted.exchange(true)) return;
    if (!post()) m_posted = false;
}
