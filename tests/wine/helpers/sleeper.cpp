// A process for the tests to look at and terminate: sleeps for the number of
// seconds given (default 60) and exits.
#include <windows.h>

#include <cstdlib>

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    Sleep(static_cast<DWORD>(seconds) * 1000);
    return 0;
}
