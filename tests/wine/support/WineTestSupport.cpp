#include "tests/wine/support/WineTestSupport.h"

#include <commctrl.h>

#include <utility>

#include "framework/Text.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"
#include "tests/wine/support/EndableStart.h"

namespace {

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::wstring MakeTempDirectory() {
    wchar_t base[MAX_PATH + 1] = {};
    GetTempPathW(MAX_PATH, base);
    static unsigned counter = 0;
    for (;;) {
        const std::wstring path =
            std::wstring(base) + L"tvx" + std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(++counter);
        if (CreateDirectoryW(path.c_str(), nullptr)) return path;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return path;
    }
}

void RemoveTree(const std::wstring& directory) {
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW((directory + L"\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = directory + L"\\" + name;
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(directory.c_str());
}

}  // namespace

HelperProcess::HelperProcess(const std::string& exeName, int seconds, const std::string& mode)
    : m_directory(MakeTempDirectory()), m_path(m_directory + L"\\" + Widen(exeName)) {
    if (!CopyFileW(TVX_SLEEPER_PATH, m_path.c_str(), FALSE)) return;
    const std::wstring commandLine = L"\"" + m_path + L"\" " + std::to_wstring(seconds) + L" " + WideFromText(mode);
    EndableProcess started;
    if (!StartEndable(m_path, commandLine, m_directory, started)) return;
    m_started = true;
    m_process = started.process.release();
    m_pid = started.pid;
}

std::wstring BuiltProgramPath() { return TVX_PROGRAM_PATH; }

RunningProgram::RunningProgram(const std::wstring& folder)
    : RunningProgram(folder, L"\"" + BuiltProgramPath() + L"\"") {}

RunningProgram::RunningProgram(const std::wstring& folder, std::wstring commandLine) {
    EndableProcess started;
    if (!StartEndable(std::wstring(), std::move(commandLine), folder, started)) return;
    m_process = started.process.release();
    m_pid = started.pid;
}

RunningProgram::~RunningProgram() {
    if (!m_process) return;
    TerminateProcess(m_process, 0);
    WaitForSingleObject(m_process, 5000);
    CloseHandle(m_process);
}

bool RunningProgram::Ended(DWORD timeoutMs) const {
    return m_process && WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;
}

namespace {

struct MainWindowSearch {
    DWORD pid;
    HWND found;
    static BOOL CALLBACK Visit(HWND window, LPARAM data) {
        auto* search = reinterpret_cast<MainWindowSearch*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        // The caption ends in "（管理员）" with administrator rights.
        if (owner != search->pid || GetWindowTextOf(window).rfind("瓦诺德 V2.8", 0) != 0) return TRUE;
        search->found = window;
        return FALSE;
    }
};

}  // namespace

HWND RunningProgram::MainWindow(DWORD timeoutMs) const {
    const DWORD start = GetTickCount();
    do {
        MainWindowSearch search{m_pid, nullptr};
        EnumWindows(&MainWindowSearch::Visit, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        Sleep(100);
    } while (GetTickCount() - start < timeoutMs);
    return nullptr;
}

HelperProcess::~HelperProcess() {
    if (m_process) {
        TerminateProcess(m_process, 0);
        WaitForSingleObject(m_process, 5000);
        CloseHandle(m_process);
    }
    RemoveTree(m_directory);
}

bool HelperProcess::IsRunning() const { return m_process && WaitForSingleObject(m_process, 0) == WAIT_TIMEOUT; }

bool HelperProcess::WaitForExit(DWORD timeoutMs) const {
    return !m_process || WaitForSingleObject(m_process, timeoutMs) == WAIT_OBJECT_0;
}

int ScriptedPrompt::Show(const std::string& text, const std::string& caption, unsigned style) {
    shown.push_back({text, caption, style});
    if (whileShown) whileShown();
    if ((style & 0xF) != kMbYesNo) return kIdOk;
    if (answers.empty()) return kIdNo;
    const int answer = answers.front();
    answers.pop_front();
    return answer;
}

int FindRowOfPid(const CListCtrl& list, uint32_t pid) {
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemText(row, 2) == std::to_string(pid)) return row;
    }
    return -1;
}

void NotifyFromList(HWND dialog, HWND list, UINT code, int column) {
    NMLISTVIEW notification{};
    notification.hdr.hwndFrom = list;
    notification.hdr.idFrom = IDC_PROCESSLIST;
    notification.hdr.code = code;
    notification.iItem = -1;
    notification.iSubItem = column;
    SendMessageW(dialog, WM_NOTIFY, IDC_PROCESSLIST, reinterpret_cast<LPARAM>(&notification));
}

void CountedSystem::WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) {
    for (int index = 0; index < count; ++index) {
        const std::string name = "proc" + std::to_string((index * 7919) % count) + ".exe";
        if (!visit({static_cast<uint32_t>(8 + 4 * index), name})) return;
    }
    if (!lastName.empty()) visit({static_cast<uint32_t>(8 + 4 * count), lastName});
}

bool CountedSystem::SampleProcesses(ProcessSample& sample) {
    ProcessSystem::SampleProcesses(sample);
    sample.hasFigures = true;
    sample.takenAt = ++looks * 10000000;
    for (SampledProcess& process : sample.processes) {
        process.workingSet = workingSet[process.pid];
        process.cpuTime = cpuTime[process.pid];
    }
    return true;
}

double NowMs() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void PumpMessages(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < milliseconds);
}

bool WaitsToBeDrawn(HWND window) {
    RECT update{};
    GetUpdateRect(window, &update, FALSE);
    return IsRectEmpty(&update) == FALSE;
}

ScratchDirectory::ScratchDirectory() : m_path(MakeTempDirectory()) {
    wchar_t current[MAX_PATH + 1] = {};
    GetCurrentDirectoryW(MAX_PATH, current);
    m_previous = current;
    SetCurrentDirectoryW(m_path.c_str());
}

ScratchDirectory::~ScratchDirectory() {
    SetCurrentDirectoryW(m_previous.c_str());
    RemoveTree(m_path);
}

std::string ReadFileBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    CloseHandle(file);
    return bytes;
}

void WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (const auto* locked = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = locked;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

uint64_t StartTimeOfProcess(uint32_t pid) {
    const UniqueHandle process = OpenProcessForQuery(pid, 0);
    return process ? StartTimeOfHandle(process.get()) : 0;
}
