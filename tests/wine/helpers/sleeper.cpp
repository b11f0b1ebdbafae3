// A process for the tests to look at and terminate: sleeps for the number of
// seconds given (default 60) and exits. "spin" keeps one processor busy for
// that time instead; "hold N" first writes N megabytes, so they are in its
// working set.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    if (argc > 2 && std::strcmp(argv[2], "spin") == 0) {
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
        }
        return 0;
    }
    std::vector<char> held;
    if (argc > 3 && std::strcmp(argv[2], "hold") == 0) held.assign(static_cast<size_t>(std::atoi(argv[3])) << 20, 1);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return held.empty() ? 0 : held[held.size() / 2] - 1;
}
