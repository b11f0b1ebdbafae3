// A process for the tests to look at and terminate: sleeps for the number of
// seconds given (default 60) and exits. "spin" keeps one processor busy for
// that time instead; "hold N" first writes N megabytes, so they are in its
// working set; "spawn N" first starts a copy of itself with "spawn N-1", so
// N processes below it form a chain; "listen PORT" listens on 127.0.0.1:PORT
// and "connect PORT" connects to it, each using its socket once (a
// getsockopt) so that the system names it as the socket's owner.
// Before windows.h, which would bring the older socket header.
#include <winsock2.h>

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
    WSADATA winsock{};
    SOCKET socketInUse = INVALID_SOCKET;
    if (argc > 3 && (std::strcmp(argv[2], "listen") == 0 || std::strcmp(argv[2], "connect") == 0) &&
        WSAStartup(MAKEWORD(2, 2), &winsock) == 0) {
        socketInUse = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<u_short>(std::atoi(argv[3])));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool listens = std::strcmp(argv[2], "listen") == 0;
        const int status = listens ? bind(socketInUse, reinterpret_cast<sockaddr*>(&address), sizeof(address))
                                   : connect(socketInUse, reinterpret_cast<sockaddr*>(&address), sizeof(address));
        if (status != 0 || (listens && listen(socketInUse, 4) != 0)) return 2;
        int size = 0;
        int length = sizeof(size);
        getsockopt(socketInUse, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&size), &length);
        sockaddr_in name{};
        int nameLength = sizeof(name);
        getsockname(socketInUse, reinterpret_cast<sockaddr*>(&name), &nameLength);
    }
    std::vector<char> held;
    if (argc > 3 && std::strcmp(argv[2], "hold") == 0) held.assign(static_cast<size_t>(std::atoi(argv[3])) << 20, 1);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    if (socketInUse != INVALID_SOCKET) closesocket(socketInUse);
    return held.empty() ? 0 : held[held.size() / 2] - 1;
}
