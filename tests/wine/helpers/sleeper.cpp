// A process for the tests to look at and terminate: sleeps for the number of
// seconds given (default 60) and exits. "spin" keeps one processor busy for
// that time instead; "hold N" first writes N megabytes, so they are in its
// working set; "spawn N" first starts a copy of itself with "spawn N-1", so
// N processes below it form a chain. "count FILE" writes a count that grows
// every 10 ms into FILE (in its folder) until the time is up. "pair" starts a
// copy of itself with "watch" and sleeps; "watch [PID]" keeps a partner: the
// process PID, or else a copy of itself it starts with "watch <own pid>", and
// starts the partner again (with its own pid) the moment it ends: a pair that
// restarts each other. "listen PORT" listens on 127.0.0.1:PORT and "connect
// PORT" connects to it, each using its socket once (a getsockopt) so that the
// system names it as the socket's owner. "window TITLE" shows a top-level
// window with that title (read as UTF-16 from the command line) at 700, 40
// until the time is up. "load FILE" loads the library FILE, a path below its
// own folder, and keeps it loaded.
// Before windows.h, which would bring the older socket header.
#include <winsock2.h>

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string OwnPath() {
    std::vector<char> path(MAX_PATH * 4);
    GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    return path.data();
}

// Starts a copy of this program with the arguments; its handle, or null.
HANDLE StartCopy(const std::string& arguments) {
    const std::string path = OwnPath();
    std::string commandLine = "\"" + path + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(path.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &child)) {
        return nullptr;
    }
    CloseHandle(child.hThread);
    return child.hProcess;
}

int Count(const char* file, DWORD end) {
    for (unsigned long count = 0; static_cast<LONG>(end - GetTickCount()) > 0; ++count) {
        const std::string text = std::to_string(count);
        HANDLE out =
            CreateFileA(file, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
            CloseHandle(out);
        }
        Sleep(10);
    }
    return 0;
}

// The partner lives only until this one's own end: a pair left running by
// a failed test ends all the same.
int Watch(const char* partnerPid, DWORD end) {
    const auto restart = [end]() -> HANDLE {
        const DWORD left = (end - GetTickCount()) / 1000;
        if (left == 0) return nullptr;
        return StartCopy(std::to_string(left) + " watch " + std::to_string(GetCurrentProcessId()));
    };
    HANDLE partner =
        partnerPid ? OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::atoi(partnerPid))) : restart();
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        if (partner && WaitForSingleObject(partner, 10) != WAIT_OBJECT_0) continue;
        if (partner) CloseHandle(partner);
        partner = restart();
        if (!partner) Sleep(10);
    }
    if (partner) CloseHandle(partner);
    return 0;
}

}  // namespace

// The window's title: the command line's fourth argument, as UTF-16.
std::wstring WindowTitleArgument() {
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring title = arguments && count > 3 ? arguments[3] : L"";
    LocalFree(arguments);
    return title;
}

int ShowWindowUntil(DWORD end) {
    const HWND window = CreateWindowExW(0, L"STATIC", WindowTitleArgument().c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                        700, 40, 320, 240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!window) return 3;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
    DestroyWindow(window);
    return 0;
}

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const DWORD end = GetTickCount() + static_cast<DWORD>(seconds) * 1000;
    if (argc > 3 && std::strcmp(argv[2], "count") == 0) return Count(argv[3], end);
    if (argc > 2 && std::strcmp(argv[2], "window") == 0) return ShowWindowUntil(end);
    if (argc > 2 && std::strcmp(argv[2], "watch") == 0) return Watch(argc > 3 ? argv[3] : nullptr, end);
    if (argc > 2 && std::strcmp(argv[2], "pair") == 0) {
        HANDLE first = StartCopy(std::string(argv[1]) + " watch");
        if (first) CloseHandle(first);
    }
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
    HMODULE loaded = nullptr;
    if (argc > 3 && std::strcmp(argv[2], "load") == 0) {
        // Its own folder in UTF-16: the folder's name may be in any script.
        std::vector<wchar_t> own(32768);
        const DWORD length = GetModuleFileNameW(nullptr, own.data(), static_cast<DWORD>(own.size()));
        std::wstring library(own.data(), length);
        library.erase(library.find_last_of(L'\\') + 1);
        for (const char* c = argv[3]; *c != '\0'; ++c) library += static_cast<wchar_t>(*c);
        loaded = LoadLibraryW(library.c_str());
        if (!loaded) return 3;
    }
    std::vector<char> held;
    if (argc > 3 && std::strcmp(argv[2], "hold") == 0) held.assign(static_cast<size_t>(std::atoi(argv[3])) << 20, 1);
    Sleep(static_cast<DWORD>(seconds) * 1000);
    if (socketInUse != INVALID_SOCKET) closesocket(socketInUse);
    if (loaded) FreeLibrary(loaded);
    return held.empty() ? 0 : held[held.size() / 2] - 1;
}
