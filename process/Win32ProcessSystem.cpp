#include "process/Win32ProcessSystem.h"

#include <windows.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstring>
#include <cwchar>
#include <utility>

#include "framework/FormatText.h"
#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"

namespace {
// PROCESS_QUERY_LIMITED_INFORMATION (Vista on), which the headers of the
// oldest system this program is built for do not define.
constexpr DWORD kProcessQueryLimitedInformation = 0x1000;
}  // namespace

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

bool IsProcessProtected(uint32_t pid) {
    using QueryInformationProcess = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kProcessProtectionInformation = 61;
    const auto query = FindSystemFunction<QueryInformationProcess>(L"ntdll.dll", "NtQueryInformationProcess");
    const UniqueHandle process(OpenProcess(kProcessQueryLimitedInformation, FALSE, pid));
    UCHAR level = 0;  // PS_PROTECTION: the type in the low three bits
    if (!query || !process || query(process.get(), kProcessProtectionInformation, &level, sizeof(level), nullptr) < 0) {
        return false;
    }
    return (level & 0x07) != 0;
}

bool Win32ProcessSystem::IsProtected(uint32_t pid) { return IsProcessProtected(pid); }

std::vector<uint32_t> Win32ProcessSystem::TakeDeniedEnds() { return std::exchange(m_deniedEnds, {}); }

std::vector<uint32_t> Win32ProcessSystem::TakeProtectedEnds() { return std::exchange(m_protectedEnds, {}); }

bool Win32ProcessSystem::EnableDebugPrivilege() {
    // A token gains no privilege while its process runs, and keeps one once
    // enabled: the first answer serves every later refresh.
    if (!m_debugPrivilege) m_debugPrivilege = EnableOwnDebugPrivilege();
    return *m_debugPrivilege;
}

bool Win32ProcessSystem::EnableOwnDebugPrivilege() {
    HANDLE rawToken = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) return false;
    UniqueHandle token(rawToken);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) return false;
    AdjustTokenPrivileges(token.get(), FALSE, &privileges, sizeof(privileges), nullptr, nullptr);
    return GetLastError() == ERROR_SUCCESS;
}

namespace {

std::wstring FirstModulePath(uint32_t pid) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPMODULE, pid));
    if (!snapshot) return std::wstring();
    MODULEENTRY32W module{};
    module.dwSize = sizeof(module);
    if (!Module32FirstW(snapshot.get(), &module)) return std::wstring();
    return module.szExePath;
}

std::wstring QueriedImagePath(uint32_t pid) {
    UniqueHandle process(OpenProcess(kProcessQueryLimitedInformation, FALSE, pid));
    return process ? ImagePathOfHandle(process.get()) : std::wstring();
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

}  // namespace

namespace {

// Turns the file-system redirection of this thread off for the object's
// lifetime; does nothing where the system has no redirection.
class FileSystemRedirectionOff {
public:
    FileSystemRedirectionOff() {
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

// The short form of a program file's path in code page 936; empty where the
// file cannot be found, or where that code page cannot hold the path, which
// would then name another file (or several).
std::string ShortPathText(const std::wstring& imagePath) {
    std::wstring shortPath;
    OnProgramFile(imagePath, [&] { shortPath = ShortPathOf(imagePath); });
    const std::string text = TextFromWide(shortPath);
    return WideFromText(text) == shortPath ? text : std::string();
}

// The handle names the process known by that pid and start time, and it runs.
bool HandleIsTheProcess(HANDLE process, const ProcessInstance& instance) {
    DWORD exitCode = 0;
    return IsSameProcess({instance.pid, StartTimeOfHandle(process)}, instance) &&
           GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE;
}

// How opening a process known by its pid and start time went.
enum class Opening { Opened, Gone, Denied, Failed };

// Opens the process once with rights (and the query right its start time
// needs), and keeps the handle only while it names that very process.
Opening OpenTheProcess(const ProcessInstance& instance, unsigned long rights, UniqueHandle& process) {
    process = OpenProcessForQuery(instance.pid, rights);
    if (!process) {
        const DWORD error = GetLastError();
        // A pid no process has any more: the process ended.
        if (error == ERROR_INVALID_PARAMETER) return Opening::Gone;
        return error == ERROR_ACCESS_DENIED ? Opening::Denied : Opening::Failed;
    }
    if (HandleIsTheProcess(process.get(), instance)) return Opening::Opened;
    process.reset();
    return Opening::Gone;
}

}  // namespace

void OnProgramFile(const std::wstring& path, const std::function<void()>& call) {
    // Found before the redirection goes off: no library loads while it is.
    static const std::wstring systemFolder = SystemFolderPath(GetSystemDirectoryW);
    static const std::wstring systemFolderShort = ShortPathOf(systemFolder);
    if (!NeedsRedirectionOff(path, systemFolder, systemFolderShort)) {
        call();
        return;
    }
    const FileSystemRedirectionOff redirectionOff;
    call();
}

UniqueHandle OpenProgramFile(const std::wstring& path, DWORD flags) {
    UniqueHandle file;
    OnProgramFile(path, [&] {
        // Others may go on reading, writing and even replacing the file.
        file.reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, flags, nullptr));
    });
    return file;
}

EndOutcome Win32ProcessSystem::Terminate(const ProcessInstance& instance, std::string* programShortPath) {
    if (programShortPath) programShortPath->clear();
    if (IsTerminationRefused(instance.pid, false)) return EndOutcome::Failed;
    // Not every right: a service's process refuses an administrator
    // PROCESS_ALL_ACCESS, and yet lets him end it.
    UniqueHandle process;
    switch (OpenTheProcess(instance, PROCESS_TERMINATE | SYNCHRONIZE, process)) {
    case Opening::Opened: break;
    case Opening::Gone: return EndOutcome::Gone;
    case Opening::Denied: NoteRefusal(instance.pid); return EndOutcome::Failed;
    case Opening::Failed: return EndOutcome::Failed;
    }
    if (IsTerminationRefused(instance.pid, IsMarkedCritical(instance.pid, process.get()))) return EndOutcome::Failed;
    if (programShortPath) {
        // While the handle is open the pid names no other process: the
        // module walk of systems before Vista reads this one.
        std::wstring imagePath = ImagePathOfHandle(process.get());
        if (imagePath.empty()) imagePath = FirstModulePath(instance.pid);
        *programShortPath = ShortPathText(imagePath);
    }
    if (TerminateProcess(process.get(), 1)) return EndOutcome::Ended;
    if (GetLastError() == ERROR_ACCESS_DENIED) NoteRefusal(instance.pid);
    return EndOutcome::Failed;
}

bool Win32ProcessSystem::IsRunning(const ProcessInstance& instance) {
    UniqueHandle process;
    return OpenTheProcess(instance, 0, process) == Opening::Opened;
}

void Win32ProcessSystem::NoteRefusal(uint32_t pid) {
    (IsProtected(pid) ? m_protectedEnds : m_deniedEnds).push_back(pid);
}

ChangeOutcome Win32ProcessSystem::ChangeProcess(const ProcessInstance& instance, unsigned long rights,
                                                const std::function<bool(void*)>& change) {
    if (IsTerminationRefused(instance.pid, false)) return ChangeOutcome::Failed;
    UniqueHandle process;
    switch (OpenTheProcess(instance, rights, process)) {
    case Opening::Opened: break;
    case Opening::Gone: return ChangeOutcome::Gone;
    case Opening::Denied: NoteRefusal(instance.pid); return ChangeOutcome::Denied;
    case Opening::Failed: return ChangeOutcome::Failed;
    }
    if (change(process.get())) return ChangeOutcome::Done;
    if (GetLastError() != ERROR_ACCESS_DENIED) return ChangeOutcome::Failed;
    NoteRefusal(instance.pid);
    return ChangeOutcome::Denied;
}

namespace {
constexpr DWORD kProcessSuspendResume = 0x0800;
constexpr DWORD kThreadQueryLimitedInformation = 0x0800;
}  // namespace

bool ChangeEachThread(uint32_t pid, bool suspend) {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return false;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    bool all = true;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        const UniqueHandle thread(OpenThread(THREAD_SUSPEND_RESUME, FALSE, entry.th32ThreadID));
        const DWORD previous = !thread   ? static_cast<DWORD>(-1)
                               : suspend ? SuspendThread(thread.get())
                                         : ResumeThread(thread.get());
        all = all && previous != static_cast<DWORD>(-1);
    }
    return all;
}

namespace {

// NtSuspendProcess or NtResumeProcess on the handle where ntdll has it, else
// each thread in turn. Sets the last error on failure.
bool ChangeWholeProcess(HANDLE process, uint32_t pid, bool suspend) {
    using ProcessCall = LONG(WINAPI*)(HANDLE);
    const auto call = FindSystemFunction<ProcessCall>(L"ntdll.dll", suspend ? "NtSuspendProcess" : "NtResumeProcess");
    if (!call) return ChangeEachThread(pid, suspend);
    constexpr LONG kStatusAccessDenied = static_cast<LONG>(0xC0000022);
    const LONG status = call(process);
    if (status >= 0) return true;
    SetLastError(status == kStatusAccessDenied ? ERROR_ACCESS_DENIED : ERROR_GEN_FAILURE);
    return false;
}

}  // namespace

ChangeOutcome Win32ProcessSystem::Suspend(const ProcessInstance& instance) {
    // No rights help with a critical process: suspending it stops the system.
    if (IsEndRefused(instance)) return ChangeOutcome::Failed;
    return ChangeProcess(instance, kProcessSuspendResume,
                         [&](void* process) { return ChangeWholeProcess(process, instance.pid, true); });
}

ChangeOutcome Win32ProcessSystem::Resume(const ProcessInstance& instance) {
    return ChangeProcess(instance, kProcessSuspendResume,
                         [&](void* process) { return ChangeWholeProcess(process, instance.pid, false); });
}

std::vector<uint32_t> ThreadSuspendCounts(uint32_t pid) {
    using QueryThread = LONG(WINAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
    constexpr ULONG kThreadSuspendCount = 35;
    const auto query = FindSystemFunction<QueryThread>(L"ntdll.dll", "NtQueryInformationThread");
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!query || !snapshot) return {};
    std::vector<uint32_t> counts;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Thread32First(snapshot.get(), &entry); more; more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID != pid) continue;
        UniqueHandle thread(OpenThread(kThreadQueryLimitedInformation, FALSE, entry.th32ThreadID));
        // Systems before Vista know only the full query right.
        if (!thread) thread.reset(OpenThread(THREAD_QUERY_INFORMATION, FALSE, entry.th32ThreadID));
        ULONG count = 0;
        if (!thread || query(thread.get(), kThreadSuspendCount, &count, sizeof(count), nullptr) < 0) return {};
        counts.push_back(count);
    }
    return counts;
}

bool Win32ProcessSystem::IsSuspended(const ProcessInstance& instance) {
    switch (LookedSuspensionOf(instance)) {
    case LookedSuspension::Suspended: return true;
    case LookedSuspension::Running: return false;
    case LookedSuspension::Untold: break;
    }
    // The counts are read only while the pid still names the process.
    UniqueHandle process;
    return OpenTheProcess(instance, 0, process) == Opening::Opened &&
           IsSuspendedByCounts(ThreadSuspendCounts(instance.pid));
}

std::optional<PriorityLevel> Win32ProcessSystem::ReadPriority(const ProcessInstance& instance) {
    UniqueHandle process;
    if (OpenTheProcess(instance, 0, process) != Opening::Opened) return std::nullopt;
    return PriorityFromClassValue(GetPriorityClass(process.get()));
}

ChangeOutcome Win32ProcessSystem::SetPriority(const ProcessInstance& instance, PriorityLevel level) {
    return ChangeProcess(instance, PROCESS_SET_INFORMATION,
                         [&](void* process) { return SetPriorityClass(process, PriorityClassValue(level)) != FALSE; });
}

bool Win32ProcessSystem::IsEndRefused(const ProcessInstance& instance) {
    if (IsTerminationRefused(instance.pid, false) || IsProtected(instance.pid)) return true;
    UniqueHandle process;
    return OpenTheProcess(instance, 0, process) == Opening::Opened && IsMarkedCritical(instance.pid, process.get());
}

std::wstring ProcessImagePath(uint32_t pid) {
    std::wstring path = QueriedImagePath(pid);
    return path.empty() ? FirstModulePath(pid) : path;
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

std::string Win32ProcessSystem::GetProcessShortPath(uint32_t pid) { return ShortPathText(ProcessImagePath(pid)); }

bool Win32ProcessSystem::WaitForProcessEnd(uint32_t pid, uint32_t timeoutMs) {
    UniqueHandle process(OpenProcess(SYNCHRONIZE, FALSE, pid));
    // A pid that no longer opens belongs to no running process.
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;
    return WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

FileDeletionResult Win32ProcessSystem::DeleteFileNow(const std::string& path) {
    // The shell's source list: the path, its terminator and a second NUL.
    const std::wstring file = WideFromText(path);
    std::wstring sources = file;
    sources.push_back(L'\0');
    SHFILEOPSTRUCTW operation{};
    // The window the user just worked in owns any box the shell shows.
    operation.hwnd = GetActiveWindow();
    operation.wFunc = FO_DELETE;
    operation.pFrom = sources.c_str();
    // No FOF_ALLOWUNDO: the file is removed at once, not moved to the recycle bin.
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION;
    int failure = 0;
    OnProgramFile(file, [&] { failure = SHFileOperationW(&operation); });
    if (failure != 0) return FileDeletionResult::Failed;
    return operation.fAnyOperationsAborted ? FileDeletionResult::Cancelled : FileDeletionResult::Deleted;
}

uint32_t Win32ProcessSystem::OwnPid() { return GetCurrentProcessId(); }

std::wstring FullLongPath(const std::wstring& path) {
    if (path.empty()) return path;
    const DWORD fullNeeded = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (fullNeeded == 0) return path;
    std::wstring full(fullNeeded, L'\0');
    const DWORD fullLength = GetFullPathNameW(path.c_str(), fullNeeded, &full[0], nullptr);
    if (fullLength == 0 || fullLength >= fullNeeded) return path;
    full.resize(fullLength);
    const DWORD longNeeded = GetLongPathNameW(full.c_str(), nullptr, 0);
    if (longNeeded == 0) return full;
    std::wstring longPath(longNeeded, L'\0');
    const DWORD longLength = GetLongPathNameW(full.c_str(), &longPath[0], longNeeded);
    if (longLength == 0 || longLength >= longNeeded) return full;
    longPath.resize(longLength);
    return longPath;
}

namespace {

std::wstring WindowsFolder() {
    const std::wstring folder = SystemFolderPath(GetSystemWindowsDirectoryW);
    return folder.empty() ? folder : FullLongPath(folder);
}

// "\StringFileInfo\<language><code page>\<name>" for a translation pair.
std::wstring StringInfoKey(DWORD translation, const wchar_t* name) {
    const std::string hex =
        FormatText("%04X%04X", static_cast<unsigned>(LOWORD(translation)), static_cast<unsigned>(HIWORD(translation)));
    return L"\\StringFileInfo\\" + std::wstring(hex.begin(), hex.end()) + L"\\" + name;
}

}  // namespace

ProgramFile Win32ProcessSystem::LocateProgramFile(uint32_t pid) {
    const std::wstring imagePath = ProcessImagePath(pid);
    if (imagePath.empty()) return {};
    const auto known = m_programFiles.find(imagePath);
    if (known != m_programFiles.end()) return known->second;
    if (m_windowsFolder.empty()) m_windowsFolder = WindowsFolder();
    const std::wstring path = FullLongPath(imagePath);
    constexpr size_t kRemembered = 1024;
    if (m_programFiles.size() >= kRemembered) m_programFiles.clear();
    return m_programFiles[imagePath] = {path, PlaceOf(path, m_windowsFolder)};
}

std::string Win32ProcessSystem::Text(const std::wstring& wide) { return TextFromWide(wide); }

ProgramVersion ReadFileVersionTexts(const std::wstring& path) {
    using InfoSize = DWORD(WINAPI*)(LPCWSTR, LPDWORD);
    using Info = BOOL(WINAPI*)(LPCWSTR, DWORD, DWORD, LPVOID);
    using QueryValue = BOOL(WINAPI*)(LPCVOID, LPCWSTR, LPVOID*, PUINT);
    const SystemLibrary library(L"version.dll");
    const auto infoSize = library.Find<InfoSize>("GetFileVersionInfoSizeW");
    const auto info = library.Find<Info>("GetFileVersionInfoW");
    const auto queryValue = library.Find<QueryValue>("VerQueryValueW");
    if (!infoSize || !info || !queryValue || path.empty()) return {};
    // The library is loaded before redirection goes off: no library loads while it is.
    std::vector<uint64_t> block;
    OnProgramFile(path, [&] {
        DWORD ignored = 0;
        const DWORD size = infoSize(path.c_str(), &ignored);
        if (size == 0) return;
        block.resize((size + sizeof(uint64_t) - 1) / sizeof(uint64_t));
        if (!info(path.c_str(), 0, size, block.data())) block.clear();
    });
    if (block.empty()) return {};
    // The file's first translation, else US English in Unicode, as most files carry.
    DWORD translation = MAKELONG(0x0409, 1200);
    void* translations = nullptr;
    UINT translationsSize = 0;
    if (queryValue(block.data(), L"\\VarFileInfo\\Translation", &translations, &translationsSize) &&
        translationsSize >= sizeof(DWORD)) {
        std::memcpy(&translation, translations, sizeof(DWORD));
    }
    auto text = [&](const wchar_t* name) {
        void* value = nullptr;
        UINT length = 0;
        if (!queryValue(block.data(), StringInfoKey(translation, name).c_str(), &value, &length) || length == 0) {
            return std::string();
        }
        return TextFromWide(
            std::wstring(static_cast<const wchar_t*>(value), wcsnlen(static_cast<const wchar_t*>(value), length)));
    };
    return {text(L"FileDescription"), text(L"CompanyName")};
}

ProgramVersion Win32ProcessSystem::ReadProgramVersion(uint32_t pid) {
    return ReadFileVersionTexts(ProcessImagePath(pid));
}

bool IsExistingFile(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    OnProgramFile(path, [&] { attributes = GetFileAttributesW(path.c_str()); });
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring ImagePathOfHandle(void* process) {
    using Query = BOOL(WINAPI*)(HANDLE, DWORD, LPWSTR, PDWORD);
    const auto query = FindSystemFunction<Query>(L"kernel32.dll", "QueryFullProcessImageNameW");
    if (!query) return std::wstring();
    // The longest path the system handles; the call reports a smaller size.
    std::wstring path(32768, L'\0');
    DWORD size = static_cast<DWORD>(path.size());
    if (!query(process, 0, &path[0], &size)) return std::wstring();
    path.resize(size);
    return path;
}

UniqueHandle OpenProcessForQuery(uint32_t pid, unsigned long moreRights) {
    UniqueHandle process(OpenProcess(kProcessQueryLimitedInformation | moreRights, FALSE, pid));
    // A pid no process has: nothing to try again.
    if (!process && GetLastError() == ERROR_INVALID_PARAMETER) return process;
    // Systems before Vista know only the full query right.
    if (!process) process.reset(OpenProcess(PROCESS_QUERY_INFORMATION | moreRights, FALSE, pid));
    return process;
}

uint64_t StartTimeOfHandle(void* process) {
    FILETIME created{}, exited{}, kernel{}, user{};
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
    return (uint64_t{created.dwHighDateTime} << 32) | created.dwLowDateTime;
}

bool Win32ProcessSystem::ToLocalTime(uint64_t moment, LocalTime& local) { return LocalTimeOfMoment(moment, local); }

bool LocalTimeOfMoment(uint64_t moment, LocalTime& local) {
    FILETIME utcTime{static_cast<DWORD>(moment), static_cast<DWORD>(moment >> 32)};
    SYSTEMTIME utc{};
    SYSTEMTIME there{};
    if (!FileTimeToSystemTime(&utcTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &there)) return false;
    local = {there.wYear, there.wMonth, there.wDay, there.wHour, there.wMinute, there.wSecond};
    return true;
}
