#include "process/Win32ProcessSystem.h"

#include <windows.h>
#include <tlhelp32.h>

#include "framework/Handle.h"
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
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto query = ntdll ? reinterpret_cast<QueryInformationProcess>(
                             reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQueryInformationProcess")))
                       : nullptr;
    ULONG critical = 0;
    if (!query || query(processHandle, kProcessBreakOnTermination, &critical, sizeof(critical), nullptr) < 0) {
        return false;
    }
    return critical != 0;
}

bool Win32ProcessSystem::TerminateByPid(uint32_t pid) {
    if (IsTerminationRefused(pid, false)) return false;
    UniqueHandle process(OpenProcess(PROCESS_ALL_ACCESS, FALSE, pid));
    if (!process || IsTerminationRefused(pid, IsProcessMarkedCritical(process.get()))) return false;
    return TerminateProcess(process.get(), 1) != FALSE;
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
