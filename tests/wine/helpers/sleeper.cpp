// A process for the tests to look at and terminate: sleeps for the number of
// seconds given (default 60) and exits. "spin" keeps one processor busy for
// that time instead; "hold N" first writes N megabytes, so they are in its
// working set; "spawn N" first starts a copy of itself with "spawn N-1", so
// N processes below it form a chain.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    if (argc > 2 && std::strcmp(argv[2], "spin") == 0) {
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
        }
        return 0;
    }
    if (argc > 3 && std::strcmp(argv[2], "spawn") == 0 && std::atoi(argv[3]) > 0) {
        std::vector<char> path(MAX_PATH * 4);
        GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        std::string commandLine =
            std::string("\"") + path.data() + "\" " + argv[1] + " spawn " + std::to_string(std::atoi(argv[3]) - 1);
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION child{};
        if (CreateProcessA(path.data(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                           &child)) {
            CloseHandle(child.hThread);
            CloseHandle(child.hProcess);
        }
    }
    std::vector<char> held;
    if (argc > 3 && std::strcmp(argv[2], "hold") == 0) held.assign(static_cast<size_t>(std::atoi(argv[3])) << 20, 1);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return held.empty() ? 0 : held[held.size() / 2] - 1;
}
