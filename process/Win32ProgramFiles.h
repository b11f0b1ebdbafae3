// Program files on the platform: a process's file, its size and last-write
// moment, its SHA-256 through the system's cryptography, and a worker thread
// that hashes files for the window without holding it up.
#pragma once

#include <windows.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "process/FileFingerprints.h"

class Win32ProgramFiles : public ProgramFileFacts {
public:
    Win32ProgramFiles() = default;
    ~Win32ProgramFiles() override;
    Win32ProgramFiles(const Win32ProgramFiles&) = delete;
    Win32ProgramFiles& operator=(const Win32ProgramFiles&) = delete;

    // Where a finished hash is announced: message is posted to window.
    void SetNotify(HWND window, UINT message);

    std::wstring ProgramPathOf(uint32_t pid) override;
    bool StampOf(const std::wstring& path, FileStamp& stamp) override;
    // GetSystemWindowsDirectory: on a terminal server GetWindowsDirectory
    // names the user's private folder, which the user may write to.
    std::wstring WindowsFolder() override;
    std::string Sha256Of(const std::wstring& path, const FileStamp& stamp) override;
    void RequestHash(const std::wstring& path, const FileStamp& stamp) override;

    struct HashResult {
        std::wstring path;
        FileStamp stamp;
        std::string sha256;  // empty: unreadable or changed
    };
    // The hashes finished since the last call, in order.
    std::vector<HashResult> TakeResults();

private:
    void Work();

    HWND m_window = nullptr;
    UINT m_message = 0;
    std::wstring m_windowsFolder;  // found at the first need
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<HashResult> m_jobs;
    std::vector<HashResult> m_done;
    std::atomic<bool> m_stop{false};
    std::thread m_worker;  // started by the first request
};
