#include "finder/Win32FileUsersSystem.h"

#include <windows.h>
#include <restartmanager.h>

#include "framework/Handle.h"
#include "process/Win32ProcessSystem.h"

namespace {

using RmStartSessionCall = DWORD(WINAPI*)(DWORD*, DWORD, WCHAR*);
using RmEndSessionCall = DWORD(WINAPI*)(DWORD);
using RmRegisterResourcesCall = DWORD(WINAPI*)(DWORD, UINT, LPCWSTR*, UINT, RM_UNIQUE_PROCESS*, UINT, LPCWSTR*);
using RmGetListCall = DWORD(WINAPI*)(DWORD, UINT*, UINT*, RM_PROCESS_INFO*, LPDWORD);
using EnumModulesCall = BOOL(WINAPI*)(HANDLE, HMODULE*, DWORD, LPDWORD, DWORD);
using ModuleFileNameCall = DWORD(WINAPI*)(HANDLE, HMODULE, LPWSTR, DWORD);
using MappedFileNameCall = DWORD(WINAPI*)(HANDLE, LPVOID, LPWSTR, DWORD);

// 32-bit and 64-bit modules alike (LIST_MODULES_ALL; not in older headers).
constexpr DWORD kAllModules = 0x03;

// A Restart Manager session, ended with the object.
class RestartManagerSession {
public:
    RestartManagerSession(RmStartSessionCall start, RmEndSessionCall end) : m_end(end) {
        std::wstring key(CCH_RM_SESSION_KEY + 1, L'\0');
        m_started = start(&m_handle, 0, &key[0]) == ERROR_SUCCESS;
    }
    ~RestartManagerSession() {
        if (m_started) m_end(m_handle);
    }
    RestartManagerSession(const RestartManagerSession&) = delete;
    RestartManagerSession& operator=(const RestartManagerSession&) = delete;
    bool started() const { return m_started; }
    DWORD handle() const { return m_handle; }

private:
    RmEndSessionCall m_end;
    DWORD m_handle = 0;
    bool m_started = false;
};

// A name of whatever length the system gives: name(buffer, size) answers as
// GetModuleFileNameExW does (the length copied, 0 for failure).
template <typename Name>
std::wstring GrowingName(Name name) {
    std::wstring text(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = name(&text[0], static_cast<DWORD>(text.size()));
        if (length == 0) return std::wstring();
        // A name that fills the buffer may have been cut.
        if (length < text.size() - 1 || text.size() >= 65536) {
            text.resize(length);
            return text;
        }
        text.resize(text.size() * 2);
    }
}

}  // namespace

Win32FileUsersSystem::Win32FileUsersSystem() : m_restartManager(L"rstrtmgr.dll"), m_processStatus(L"psapi.dll") {}

const std::vector<DriveDevice>& Win32FileUsersSystem::Drives() {
    if (m_drivesRead) return m_drives;
    m_drivesRead = true;
    const std::wstring letters = GrowingName([](wchar_t* buffer, DWORD size) {
        const DWORD length = GetLogicalDriveStringsW(size, buffer);
        return length < size ? length : size;  // too small: the size it needs, which is larger
    });
    // "C:\", "D:\", ... each ended by a NUL.
    for (size_t start = 0; start + 2 <= letters.size();) {
        const size_t end = letters.find(L'\0', start);
        const std::wstring drive = letters.substr(start, 2);
        if (end == std::wstring::npos) break;
        start = end + 1;
        if (drive[1] != L':') continue;
        const std::wstring targets =
            GrowingName([&drive](wchar_t* buffer, DWORD size) { return QueryDosDeviceW(drive.c_str(), buffer, size); });
        // The first of the names is the device the drive stands for now.
        if (!targets.empty()) m_drives.push_back({drive, targets.substr(0, targets.find(L'\0'))});
    }
    return m_drives;
}

std::wstring Win32FileUsersSystem::FullLongPath(const std::wstring& path) { return ::FullLongPath(path); }

bool Win32FileUsersSystem::IsFolder(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<FileHolder> Win32FileUsersSystem::ProcessesUsingFile(const std::wstring& path) {
    const auto start = m_restartManager.Find<RmStartSessionCall>("RmStartSession");
    const auto end = m_restartManager.Find<RmEndSessionCall>("RmEndSession");
    const auto registerFiles = m_restartManager.Find<RmRegisterResourcesCall>("RmRegisterResources");
    const auto getList = m_restartManager.Find<RmGetListCall>("RmGetList");
    if (!start || !end || !registerFiles || !getList) return {};
    const RestartManagerSession session(start, end);
    if (!session.started()) return {};
    LPCWSTR files[] = {path.c_str()};
    if (registerFiles(session.handle(), 1, files, 0, nullptr, 0, nullptr) != ERROR_SUCCESS) return {};

    std::vector<RM_PROCESS_INFO> named;
    DWORD status = ERROR_MORE_DATA;
    // The list may grow between the calls: ask again with the size it said.
    for (int attempt = 0; attempt < 5 && status == ERROR_MORE_DATA; ++attempt) {
        UINT needed = 0;
        UINT count = static_cast<UINT>(named.size());
        DWORD reasons = 0;
        status = getList(session.handle(), &needed, &count, named.empty() ? nullptr : named.data(), &reasons);
        if (status == ERROR_SUCCESS) {
            named.resize(count);
        } else if (status == ERROR_MORE_DATA) {
            named.resize(needed + 4);
        }
    }
    if (status != ERROR_SUCCESS) return {};
    std::vector<FileHolder> holders;
    holders.reserve(named.size());
    for (const RM_PROCESS_INFO& info : named) {
        const FILETIME& started = info.Process.ProcessStartTime;
        holders.push_back({info.Process.dwProcessId, (uint64_t{started.dwHighDateTime} << 32) | started.dwLowDateTime});
    }
    return holders;
}

ProcessFiles Win32FileUsersSystem::ReadProcessFiles(const ProcessInstance& instance) {
    ProcessFiles files;
    // The module calls ask for the full query right besides the read.
    UniqueHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, instance.pid));
    if (!process) {
        // Without the right to read its memory, its program file may still be named.
        process = OpenProcessForQuery(instance.pid, 0);
        if (!process) {
            files.read = GetLastError() == ERROR_INVALID_PARAMETER ? ModulesRead::Gone : ModulesRead::Unreadable;
            return files;
        }
        files.read = ModulesRead::Unreadable;
    } else {
        files.read = ModulesRead::Read;
    }
    // The handle keeps the pid from naming another process while it is open.
    if (instance.startTime != 0 && StartTimeOfHandle(process.get()) != instance.startTime) {
        files.read = ModulesRead::Gone;
        return files;
    }
    files.programPath = ImagePathOfHandle(process.get());
    if (files.read == ModulesRead::Unreadable) return files;

    auto enumModules = FindSystemFunction<EnumModulesCall>(L"kernel32.dll", "K32EnumProcessModulesEx");
    auto fileNameOf = FindSystemFunction<ModuleFileNameCall>(L"kernel32.dll", "K32GetModuleFileNameExW");
    auto mappedNameOf = FindSystemFunction<MappedFileNameCall>(L"kernel32.dll", "K32GetMappedFileNameW");
    if (!enumModules || !fileNameOf || !mappedNameOf) {
        enumModules = m_processStatus.Find<EnumModulesCall>("EnumProcessModulesEx");
        fileNameOf = m_processStatus.Find<ModuleFileNameCall>("GetModuleFileNameExW");
        mappedNameOf = m_processStatus.Find<MappedFileNameCall>("GetMappedFileNameW");
    }
    std::vector<HMODULE> modules(256);
    DWORD needed = 0;
    for (;;) {
        const auto bytes = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        // A 64-bit process refuses a 32-bit reader (a partial copy): unreadable.
        if (!enumModules || !fileNameOf || !enumModules(process.get(), modules.data(), bytes, &needed, kAllModules)) {
            files.read = ModulesRead::Unreadable;
            return files;
        }
        if (needed <= bytes) break;
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
    modules.resize(needed / sizeof(HMODULE));
    files.modules.reserve(modules.size());
    const HANDLE opened = process.get();
    for (const HMODULE module : modules) {
        // The mapped file's name costs one call; the module's name walks
        // the process's list of modules up to it each time.
        std::wstring path;
        if (mappedNameOf) {
            path = PathOfMappedName(
                GrowingName([&](wchar_t* buffer, DWORD size) { return mappedNameOf(opened, module, buffer, size); }),
                Drives());
        }
        if (path.empty()) {
            path = GrowingName([&](wchar_t* buffer, DWORD size) { return fileNameOf(opened, module, buffer, size); });
        }
        if (path.empty()) continue;
        // A module loaded by its short (8.3) name keeps that name in the list.
        if (path.find(L'~') != std::wstring::npos) path = ::FullLongPath(path);
        files.modules.push_back(std::move(path));
    }
    if (files.programPath.empty() && !files.modules.empty()) files.programPath = files.modules.front();
    return files;
}
