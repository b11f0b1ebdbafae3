// How fast the real program ends a blocked program, and what its watch costs:
// with many other processes running, a blocked program is started at random
// moments, by name and as a renamed copy of a recorded file, with the window
// seen and hidden in the tray; between the series the program is left alone
// for a while and its own processor time (from the system's process list) is
// printed, beside the floor of the window seen: one look at every process a
// second. "cpu_window <state> begin/end" lines let the calling script read
// the Wine process's times from Linux around each quiet spell.
//
// block_speed_bench.exe <other-processes> <starts> <quiet-seconds>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "framework/Text.h"
#include "process/Win32ProcessSystem.h"
#include "process/Win32ProgramFiles.h"
#include "tests/wine/support/EndableStart.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

void Print(const std::string& name, double value, const char* unit) {
    std::printf("%s %.*f %s\n", name.c_str(), value >= 100 ? 0 : (value >= 10 ? 1 : 2), value, unit);
    std::fflush(stdout);
}

// Starts path and waits for its end; the milliseconds it lived after its
// start returned, or -1. One ended while it was starting lived 0 ms of them.
double LifeOf(const std::wstring& path) {
    EndableProcess started;
    if (!StartEndable(path, L"\"" + path + L"\" 30", std::wstring(), started)) return -1;
    if (started.endedWhileStarting) return 0;
    const double start = NowMs();
    const bool ended = WaitForSingleObject(started.process.get(), 10000) == WAIT_OBJECT_0;
    const double lived = NowMs() - start;
    if (!ended) TerminateProcess(started.process.get(), 1);
    return ended ? lived : -1;
}

void Lifetimes(const std::string& name, const std::wstring& path, int starts) {
    std::vector<double> lives;
    unsigned seed = 12345;
    for (int index = 0; index < starts; ++index) {
        seed = seed * 1103515245 + 12345;
        Sleep((seed >> 16) % 1000);
        const double lived = LifeOf(path);
        if (lived >= 0) lives.push_back(lived);
    }
    std::printf("%s_ended %zu of_%d\n", name.c_str(), lives.size(), starts);
    if (lives.empty()) return;
    std::sort(lives.begin(), lives.end());
    Print(name + "_median", lives[lives.size() / 2], "ms");
    Print(name + "_max", lives.back(), "ms");
}

double ProgramTime(DWORD pid) {
    Win32ProcessSystem system;
    ProcessSample sample;
    system.SampleProcesses(sample);
    for (const SampledProcess& process : sample.processes) {
        if (process.pid == pid) return static_cast<double>(process.cpuTime);
    }
    return 0;
}

void QuietSpell(const std::string& state, DWORD pid, int seconds) {
    std::printf("cpu_window %s begin\n", state.c_str());
    std::fflush(stdout);
    const double before = ProgramTime(pid);
    const double start = NowMs();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const double used = ProgramTime(pid) - before;
    const double elapsed = NowMs() - start;
    std::printf("cpu_window %s end\n", state.c_str());
    Print("own_times_processor_use_" + state, 100.0 * used / (elapsed * 10000.0), "%");
}

// The floor of the window seen: its figures need one look at every process a
// second. This process's own time for one look, the mean of several.
void LookFloor() {
    const auto threadTime = [] {
        FILETIME created{};
        FILETIME ended{};
        FILETIME kernel{};
        FILETIME user{};
        GetThreadTimes(GetCurrentThread(), &created, &ended, &kernel, &user);
        const auto ticks = [](const FILETIME& time) {
            return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
        };
        return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
    };
    constexpr int kLooks = 40;
    Win32ProcessSystem system;
    ProcessSample sample;
    system.SampleProcesses(sample);
    const double before = threadTime();
    for (int look = 0; look < kLooks; ++look) system.SampleProcesses(sample);
    const double perLook = (threadTime() - before) / kLooks;
    Print("one_look_processor_time", perLook, "ms");
    Print("one_look_a_second_processor_use", perLook / 10.0, "%");
}

bool HideInTray(HWND window) {
    for (int attempt = 0; attempt < 20 && IsWindowVisible(window); ++attempt) {
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        Sleep(500);
    }
    return !IsWindowVisible(window);
}

}  // namespace

int main(int argc, char** argv) {
    const int others = argc > 1 ? std::atoi(argv[1]) : 300;
    const int starts = argc > 2 ? std::atoi(argv[2]) : 15;
    const int quietSeconds = argc > 3 ? std::atoi(argv[3]) : 30;
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int index = 0; index < others; ++index) {
        helpers.push_back(std::make_unique<HelperProcess>("tvxother" + std::to_string(index) + ".exe", 900));
    }
    ScratchDirectory directory;
    const std::wstring folder = directory.path();
    // The blocked name, and a file recorded under another name: the helper
    // with bytes after its end, so that the other processes' files (the helper
    // as it is) differ in size and are never read.
    CreateDirectoryW((folder + L"\\named").c_str(), nullptr);
    CreateDirectoryW((folder + L"\\renamed").c_str(), nullptr);
    const std::wstring named = folder + L"\\named\\tvxspeed.exe";
    const std::wstring renamed = folder + L"\\renamed\\tvxcopy.exe";
    CopyFileW(TVX_SLEEPER_PATH, named.c_str(), FALSE);
    WriteFileBytes(renamed, ReadFileBytes(TVX_SLEEPER_PATH) + "tvx bench: another file");
    Win32ProgramFiles files;
    FileStamp stamp;
    files.StampOf(renamed, stamp);
    const std::string hash = files.Sha256Of(renamed, stamp);
    WriteFileBytes(L"proc.dat", "tvxspeed\r\ntvxrecorded\r\nEOF");
    WriteFileBytes(L"prochash.dat", "tvxrecorded\t" + std::to_string(stamp.size) + "\t" + hash + "\r\n");

    LookFloor();
    RunningProgram program(folder);
    const HWND window = program.MainWindow(30000);
    if (!window) return 1;
    Sleep(3000);
    Print("fingerprint_first_start_of_an_unread_file", LifeOf(renamed), "ms");
    for (const bool hidden : {false, true}) {
        if (hidden && !HideInTray(window)) return 1;
        Sleep(2000);
        const std::string state = hidden ? "hidden" : "seen";
        Lifetimes("blocked_by_name_life_" + state, named, starts);
        Lifetimes("blocked_by_fingerprint_life_" + state, renamed, starts);
        QuietSpell(state, program.pid(), quietSeconds);
    }
    return 0;
}
