// Shared helpers of the Win32 tests: helper processes, a scripted message
// prompt, message pumping and a scratch working directory.
#pragma once

#include <windows.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "app/ShellOperations.h"
#include "framework/Controls.h"
#include "process/MessagePrompt.h"
#include "process/ProcessSystem.h"

// A copy of the sleeper program under a chosen file name, started as a
// process (mode "spin" or "hold N", see the sleeper; code page 936, so a
// window title may be Chinese); terminated and deleted
// when the object goes. One that the program under test ended while it was
// starting counts as started and ended, with its pid.
class HelperProcess {
public:
    explicit HelperProcess(const std::string& exeName, int seconds = 60, const std::string& mode = "");
    ~HelperProcess();
    HelperProcess(const HelperProcess&) = delete;
    HelperProcess& operator=(const HelperProcess&) = delete;

    uint32_t pid() const { return m_pid; }
    const std::wstring& path() const { return m_path; }
    bool started() const { return m_started; }
    bool IsRunning() const;
    // Waits up to timeoutMs for the process to end.
    bool WaitForExit(DWORD timeoutMs) const;

private:
    std::wstring m_directory;
    std::wstring m_path;
    bool m_started = false;
    HANDLE m_process = nullptr;  // none when it ended while starting
    uint32_t m_pid = 0;
};

// The real program (the built tarvemonix.exe), started in a folder and ended,
// with its tray icon left to Wine, when the object goes.
class RunningProgram {
public:
    explicit RunningProgram(const std::wstring& folder);
    // Runs commandLine (a program and its arguments) in folder.
    RunningProgram(const std::wstring& folder, std::wstring commandLine);
    ~RunningProgram();
    RunningProgram(const RunningProgram&) = delete;
    RunningProgram& operator=(const RunningProgram&) = delete;

    bool Ended(DWORD timeoutMs) const;
    DWORD pid() const { return m_pid; }
    // The program's main window, once it exists (waits up to timeoutMs).
    HWND MainWindow(DWORD timeoutMs) const;

private:
    HANDLE m_process = nullptr;
    DWORD m_pid = 0;
};

// The start time of the process that has the pid now, as the system's look
// gives it; 0 when it cannot be read.
uint64_t StartTimeOfProcess(uint32_t pid);

// The built tarvemonix.exe.
std::wstring BuiltProgramPath();

// The shell seam with no tray icon and nothing opened.
class SilentShell : public ShellOperations {
public:
    bool NotifyIcon(DWORD, const NOTIFYICONDATAA&) override { return true; }
    void Open(HWND, const std::string&, const std::wstring&) override {}
};

// Answers message boxes from a script and records every box shown.
class ScriptedPrompt : public MessagePrompt {
public:
    struct Shown {
        std::string text;
        std::string caption;
        unsigned style;
    };
    std::vector<Shown> shown;
    std::deque<int> answers;           // taken in order for Yes/No boxes; kIdNo when empty
    std::function<void()> whileShown;  // runs inside each box, as a nested message loop would

    int Show(const std::string& text, const std::string& caption, unsigned style) override;
};

// The row of the main list whose pid column holds pid, or -1.
int FindRowOfPid(const CListCtrl& list, uint32_t pid);

// Sends the main window a notification of its list about a column, as the
// list view does (LVN_COLUMNCLICK: a click on that column's heading).
void NotifyFromList(HWND dialog, HWND list, UINT code, int column);

// A walk of as many processes as count says ("procN.exe" in a shuffled
// order, pids 8, 12, ...), for lists of a chosen size; it ends nothing. Its
// looks carry the figures set here (0 where none is), one second apart on
// one processor.
class CountedSystem : public ProcessSystem {
public:
    explicit CountedSystem(int processes) : count(processes) {}
    int count;
    std::map<uint32_t, uint64_t> workingSet;
    std::map<uint32_t, uint64_t> cpuTime;
    uint64_t looks = 0;
    bool listChanged = true;  // what the cheap probe says
    std::string lastName;     // when set, one more process of this name ends the walk
    void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) override;
    bool SampleProcesses(ProcessSample& sample) override;
    bool ProcessListMayHaveChanged() override { return listChanged; }
    EndOutcome Terminate(const ProcessInstance&, std::string*) override { return EndOutcome::Failed; }
    bool IsRunning(const ProcessInstance&) override { return false; }
    bool EnableDebugPrivilege() override { return true; }
};

// Milliseconds of the performance counter, for timing a stretch of work.
double NowMs();

// Dispatches the thread's messages for about the given time.
void PumpMessages(DWORD milliseconds);

// Whether part of the window waits to be drawn (Wine's GetUpdateRect can
// report an update with an empty rectangle, so the rectangle is looked at).
bool WaitsToBeDrawn(HWND window);

// A fresh empty directory made the current one for the object's lifetime.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::wstring& path() const { return m_path; }

private:
    std::wstring m_previous;
    std::wstring m_path;
};

// Whole file as bytes; empty when missing.
std::string ReadFileBytes(const std::wstring& path);
void WriteFileBytes(const std::wstring& path, const std::string& bytes);
bool FileExists(const std::wstring& path);
// The clipboard's Unicode text; empty when it holds none.
std::wstring ClipboardText();
