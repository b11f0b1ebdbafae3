#include "process/Win32ProcessSystem.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cwchar>

#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"

void Win32ProcessSystem::WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    // The wide snapshot, converted to code page 936, gives the names a Chinese
    // system's ANSI snapshot gives, whatever this system's code page is.
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        ProcessRecord record;
        record.pid = entry.th32ProcessID;
        record.name = TextFromWide(entry.szExeFile);
        record.threads = entry.cntThreads;
        record.usage = entry.cntUsage;
        record.parentPid = entry.th32ParentProcessID;
        record.basePriority = entry.pcPriClassBase;
        if (!visit(record)) break;
    }
}

bool IsProcessMarkedCritical(void* processHandle) {
    using QueryInformationProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kProcessBreakOnTermination = 29;
    const auto query = FindSystemFunction<QueryInformationProcess>(L"ntdll.dll", "NtQueryInformationProcess");
    ULONG critical = 0;
    if (!query || query(processHandle, kProcessBreakOnTermination, &critical, sizeof(critical), nullptr) < 0) {
        return false;
    }
    return critical != 0;
}

bool Win32ProcessSystem::IsMarkedCritical(uint32_t /*pid*/, void* processHandle) {
    return IsProcessMarkedCritical(processHandle);
}

bool Win32ProcessSystem::TerminateByPid(uint32_t pid) {
    if (IsTerminationRefused(pid, false)) return false;
    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
    if (process && IsTerminationRefused(pid, IsMarkedCritical(pid, process.get()))) return false;
    if (process && TerminateProcess(process.get(), 1)) return true;
    if (GetLastError() == ERROR_ACCESS_DENIED) m_deniedEnds.push_back(pid);
    return false;
}

std::vector<uint32_t> Win32ProcessSystem::TakeDeniedEnds() {
    std::vector<uint32_t> denied;
    denied.swap(m_deniedEnds);
    return denied;
}

bool Win32ProcessSystem::EnableDebugPrivilege() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, &rawToken)) return false;
    UniqueHandle token(rawToken);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) return false;
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
}

namespace {

// Turns the file-system redirection of a 32-bit program on a 64-bit system
// off for the object's lifetime when needed, so that "...\System32\x.exe"
// names that file and not its namesake in SysWOW64. Does nothing where the
// system has no redirection. While it is off the thread cannot load system
// libraries, so it is only turned off for paths in the system directory.
class FileSystemRedirectionOff {
public:
    explicit FileSystemRedirectionOff(bool needed) {
        if (!needed) return;
        using Disable = BOOL(WINAPI*)(PVOID*);
        const auto disable = FindSystemFunction<Disable>(L"kernel32.dll", "Wow64DisableWow64FsRedirection");
        m_bDisabled = disable && disable(&m_previous);
    }
    ~FileSystemRedirectionOff() {
        if (!m_bDisabled) return;
        using Revert = BOOL(WINAPI*)(PVOID);
        const auto revert = FindSystemFunction<Revert>(L"kernel32.dll", "Wow64RevertWow64FsRedirection");
        if (revert) revert(m_previous);
    }
    FileSystemRedirectionOff(const FileSystemRedirectionOff&) = delete;
    FileSystemRedirectionOff& operator=(const FileSystemRedirectionOff&) = delete;

private:
    PVOID m_previous = nullptr;
    bool m_bDisabled = false;
};

std::wstring FirstModulePath(uint32_t pid) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (!snapshot) return std::wstring();
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    if (!Module32FirstW(snapshot.get(), &module)) return std::wstring();
    return module.szExePath;
}

std::wstring QueriedImagePath(uint32_t pid) {
    using Query = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    const auto query = FindSystemFunction<Query>(L"kernel32.dll", "QueryFullProcessImageNameW");
    if (!query) return std::wstring();
    constexpr DWORD kProcessQueryLimitedInformation = 0x1000;
    UniqueHandle process(OpenProcess(kProcessQueryLimitedInformation, FALSE, pid));
    if (!process) return std::wstring();
    // The longest path the system handles; the call reports a smaller size.
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!query(process.get(), 0, &path[0], &size)) return std::wstring();
    path.resize(size);
    return path;
}

std::wstring ShortPathOf(const std::wstring& path) {
    const DWORD needed = GetShortPathNameW(path.c_str(), nullptr, 0);
    if (needed == 0) return std::wstring();
    std::wstring shortPath(needed, L'\0');
    const DWORD length = GetShortPathNameW(path.c_str(), &shortPath[0], needed);
    if (length == 0 || length >= needed) return std::wstring();
    shortPath.resize(length);
    return shortPath;
}

// True when path lies below the system directory (in its long or short
// form), the directory whose files the redirection swaps.
bool IsInSystemDirectory(const std::wstring& path) {
    const UINT needed = GetSystemDirectoryW(nullptr, 0);
    if (needed == 0) return false;
    std::wstring directory(needed, L'\0');
    const UINT length = GetSystemDirectoryW(&directory[0], needed);
    if (length == 0 || length >= needed) return false;
    directory.resize(length);
    for (const std::wstring& form : {directory, ShortPathOf(directory)}) {
        if (!form.empty() && path.size() > form.size() && path[form.size()] == L'\\' &&
            _wcsnicmp(path.c_str(), form.c_str(), form.size()) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::wstring ProcessImagePath(uint32_t pid) {
    std::wstring path = FirstModulePath(pid);
    return path.empty() ? QueriedImagePath(pid) : path;
}

void Win32ProcessSystem::WalkThreads(const std::function<bool(const ThreadRecord&)>& visit) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        ThreadRecord record;
        record.threadId = entry.th32ThreadID;
        record.ownerPid = entry.th32OwnerProcessID;
        record.deltaPriority = entry.tpDeltaPri;
        record.usage = entry.cntUsage;
        if (!visit(record)) break;
    }
}

std::string Win32ProcessSystem::GetProcessShortPath(uint32_t pid) {
    const std::wstring imagePath = ProcessImagePath(pid);
    FileSystemRedirectionOff redirectionOff(IsInSystemDirectory(imagePath));
    const std::wstring shortPath = ShortPathOf(imagePath);
    // A path that code page 936 cannot hold would name another file (or
    // several) once converted: such a path counts as not found.
    const std::string text = TextFromWide(shortPath);
    return WideFromText(text) == shortPath ? text : std::string();
}

bool Win32ProcessSystem::WaitForProcessEnd(uint32_t pid, uint32_t timeoutMs) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    // A pid that no longer opens belongs to no running process.
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

FileDeletionResult Win32ProcessSystem::DeleteFileNow(const std::string& path) {
    // The shell's source list: the path, its terminator and a second NUL.
    std::wstring sources = WideFromText(path);
    FileSystemRedirectionOff redirectionOff(IsInSystemDirectory(sources));
    sources.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    // The window the user just worked in owns any box the shell shows.
    operation.hwnd = GetActiveWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = sources.c_str();
    // No FOF_ALLOWUNDO: the file is removed at once, not moved to the recycle bin.
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    if (SHFileOperationW(&operation) != 0) return FileDeletionResult::Failed;
    return operation.fAnyOperationsAborted ? FileDeletionResult::Cancelled : FileDeletionResult::Deleted;
}

uint32_t Win32ProcessSystem::OwnPid() { return GetCurrentProcessId(); }
