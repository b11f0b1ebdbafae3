#include "process/Win32EndWatch.h"

#include <algorithm>

VOID CALLBACK ProcessEndWatch::OnEnded(PVOID followed, BOOLEAN /*timedOut*/) {
    auto* process = static_cast<Followed*>(followed);
    process->ended = true;
    process->anyEnded->store(true);
}

ProcessEndWatch::Followed::~Followed() {
    // Waits for a callback that runs, so none runs after the entry is gone.
    if (wait) UnregisterWaitEx(wait, INVALID_HANDLE_VALUE);
    if (process) CloseHandle(process);
}

void ProcessEndWatch::Follow(const std::vector<uint32_t>& pids) {
    std::vector<uint32_t> sorted(pids);
    std::sort(sorted.begin(), sorted.end());
    for (auto at = m_followed.begin(); at != m_followed.end();) {
        if (std::binary_search(sorted.begin(), sorted.end(), at->first) && !at->second->ended) {
            ++at;
            continue;
        }
        at = m_followed.erase(at);
    }
    size_t unfollowed = 0;
    for (uint32_t pid : sorted) {
        // The idle and system entries never end.
        if (pid == 0 || pid == 4) continue;
        std::unique_ptr<Followed>& followed = m_followed[pid];
        if (!followed) followed = std::make_unique<Followed>();
        // Not waited on yet: opened again at each look until it can be.
        if (!followed->wait) {
            followed->anyEnded = &m_ended;
            followed->process = OpenProcess(SYNCHRONIZE, FALSE, pid);
            // One that has ended already (still listed while another program
            // holds a handle to it) needs no wait: its end was told, or the
            // look saw it. No handle is kept to it, which would keep it
            // listed, and so followed, for as long as the watch runs.
            const bool opened = followed->process != nullptr;
            const bool running = opened && WaitForSingleObject(followed->process, 0) == WAIT_TIMEOUT;
            if (running && !RegisterWaitForSingleObject(&followed->wait, followed->process, &OnEnded, followed.get(),
                                                        INFINITE, WT_EXECUTEONLYONCE | WT_EXECUTEINWAITTHREAD)) {
                followed->wait = nullptr;
            }
            if (!followed->wait && opened) {
                CloseHandle(followed->process);
                followed->process = nullptr;
            }
            followed->told = opened && (!running || followed->wait);
        }
        if (!followed->told) ++unfollowed;
    }
    m_unfollowed = unfollowed;
}
