// The ends of the processes of the latest look, told the moment they happen:
// the system waits on each process for the program. With every end known, a
// process that starts as another ends, leaving the size of the system's list
// of processes as it was, cannot hide from the probe for long.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <vector>

class ProcessEndWatch {
public:
    ProcessEndWatch() = default;
    ~ProcessEndWatch() = default;
    ProcessEndWatch(const ProcessEndWatch&) = delete;
    ProcessEndWatch& operator=(const ProcessEndWatch&) = delete;

    // The pids of a look: the new ones are waited on, the gone ones let go.
    void Follow(const std::vector<uint32_t>& pids);
    // True when a followed process ended since the last call. This and
    // FollowsAll may be asked from another thread than Follow's.
    bool TakeEnded() { return m_ended.exchange(false); }
    // False while a process of the latest look could not be waited on (one
    // of another user, say): its end can go unseen.
    bool FollowsAll() const { return m_unfollowed == 0; }

private:
    struct Followed {
        HANDLE process = nullptr;  // null: could not be opened
        HANDLE wait = nullptr;
        bool told = false;               // its end will be told (or has been)
        std::atomic<bool> ended{false};  // a pid seen again after this is another process
        std::atomic<bool>* anyEnded = nullptr;
        ~Followed();
    };
    static VOID CALLBACK OnEnded(PVOID followed, BOOLEAN timedOut);

    std::map<uint32_t, std::unique_ptr<Followed>> m_followed;
    std::atomic<size_t> m_unfollowed{0};  // read by the probe's thread
    std::atomic<bool> m_ended{false};
};
