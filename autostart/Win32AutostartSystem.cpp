#include "autostart/Win32AutostartSystem.h"

#include <windows.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "autostart/Win32Owners.h"
#include "files/Win32FileStore.h"
#include "framework/Handle.h"
#include "framework/Registry.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "process/Win32ProcessIdentity.h"
#include "process/Win32ProcessSystem.h"

namespace {

HKEY RootKey(RegistryRoot root) { return root == RegistryRoot::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE; }

std::wstring ShellFolder(int csidl) {
    // SHGetFolderPathW takes a buffer of MAX_PATH and never writes more.
    std::wstring path(MAX_PATH + 1, L'\0');
    if (FAILED(SHGetFolderPathW(nullptr, csidl, nullptr, 0, &path[0]))) return std::wstring();
    path.resize(wcsnlen(path.c_str(), path.size()));
    return path;
}

std::optional<std::wstring> EnvironmentVariable(const std::wstring& name) {
    const DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    if (needed == 0) return std::nullopt;
    std::wstring value(needed, L'\0');
    const DWORD length = GetEnvironmentVariableW(name.c_str(), &value[0], needed);
    if (length >= needed) return std::nullopt;
    value.resize(length);
    return value;
}

}  // namespace

unsigned long ViewAccess(RegistryView view) {
    switch (view) {
    case RegistryView::Key64: return KEY_WOW64_64KEY;
    case RegistryView::Key32: return KEY_WOW64_32KEY;
    case RegistryView::Native: break;
    }
    return 0;
}

long Win32AutostartSystem::ListValues(RegistryRoot root, RegistryView view, const std::wstring& key,
                                      std::vector<RegistryValue>& values) {
    const RegistryKey opened(RootKey(root), key.c_str(), KEY_QUERY_VALUE | ViewAccess(view));
    if (!opened.get()) return opened.status();
    DWORD longestName = 0;
    DWORD longestData = 0;
    LONG status = RegQueryInfoKeyW(opened.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                   &longestName, &longestData, nullptr, nullptr);
    if (status != ERROR_SUCCESS) return status;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(longestData + 2);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        status = RegEnumValueW(opened.get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &dataSize);
        if (status == ERROR_MORE_DATA) {
            // A value grew since the key was measured: room for it, and again.
            name.resize(name.size() * 2 + 256);
            data.resize(std::max<size_t>(data.size() * 2, dataSize + 2));
            --index;
            continue;
        }
        if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS) return status;
        values.push_back(
            {std::wstring(name.data(), nameLength), type, std::vector<uint8_t>(data.begin(), data.begin() + dataSize)});
    }
}

long Win32AutostartSystem::ListSubkeys(RegistryRoot root, RegistryView view, const std::wstring& key,
                                       std::vector<std::wstring>& subkeys) {
    const RegistryKey opened(RootKey(root), key.c_str(), KEY_ENUMERATE_SUB_KEYS | ViewAccess(view));
    if (!opened.get()) return opened.status();
    // Key names are at most 255 characters.
    std::vector<wchar_t> name(257);
    for (DWORD index = 0;; ++index) {
        DWORD length = static_cast<DWORD>(name.size());
        const LONG status =
            RegEnumKeyExW(opened.get(), index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (status != ERROR_SUCCESS) return status;
        subkeys.emplace_back(name.data(), length);
    }
}

long Win32AutostartSystem::ReadValue(RegistryRoot root, RegistryView view, const std::wstring& key,
                                     const std::wstring& name, RegistryValue& value) {
    const RegistryKey opened(RootKey(root), key.c_str(), KEY_QUERY_VALUE | ViewAccess(view));
    if (!opened.get()) return opened.status();
    DWORD type = 0;
    DWORD size = 0;
    LONG status = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> data;
    // The value can grow between two calls: ask again, a few times at most.
    for (int attempt = 0; attempt < 8 && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA); ++attempt) {
        data.resize(size + 2);
        size = static_cast<DWORD>(data.size());
        status = RegQueryValueExW(opened.get(), name.c_str(), nullptr, &type, data.data(), &size);
        if (status == ERROR_SUCCESS) break;
    }
    if (status != ERROR_SUCCESS) return status;
    value = {name, type, std::vector<uint8_t>(data.begin(), data.begin() + size)};
    return ERROR_SUCCESS;
}

long Win32AutostartSystem::WriteValue(RegistryRoot root, RegistryView view, const std::wstring& key,
                                      const RegistryValue& value) {
    const RegistryKey opened(RootKey(root), key.c_str(), KEY_SET_VALUE | ViewAccess(view), true);
    if (!opened.get()) return opened.status();
    return RegSetValueExW(opened.get(), value.name.c_str(), 0, value.type, value.bytes.data(),
                          static_cast<DWORD>(value.bytes.size()));
}

long Win32AutostartSystem::DeleteValue(RegistryRoot root, RegistryView view, const std::wstring& key,
                                       const std::wstring& name) {
    const RegistryKey opened(RootKey(root), key.c_str(), KEY_SET_VALUE | ViewAccess(view));
    if (!opened.get()) return opened.status();
    return RegDeleteValueW(opened.get(), name.c_str());
}

long Win32AutostartSystem::OpenKeyForChange(RegistryRoot root, RegistryView view, const std::wstring& key) {
    const RegistryKey opened(RootKey(root), key.c_str(), KEY_SET_VALUE | ViewAccess(view));
    return opened.status();
}

long Win32AutostartSystem::DeleteKey(RegistryRoot root, RegistryView view, const std::wstring& key) {
    if (view == RegistryView::Native) return RegDeleteKeyW(RootKey(root), key.c_str());
    // Only 64-bit systems have views, and all of them RegDeleteKeyExW.
    using DeleteKeyEx = LONG(WINAPI*)(HKEY, LPCWSTR, REGSAM, DWORD);
    const auto deleteKeyEx = FindSystemFunction<DeleteKeyEx>(L"advapi32.dll", "RegDeleteKeyExW");
    if (!deleteKeyEx) return ERROR_CALL_NOT_IMPLEMENTED;
    return deleteKeyEx(RootKey(root), key.c_str(), ViewAccess(view), 0);
}

bool Win32AutostartSystem::Is64BitSystem() { return sizeof(void*) == 8 || RunsUnderWow64(GetCurrentProcess()); }

WindowsVersion Win32AutostartSystem::Version() {
    using GetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof(version);
    const auto rtlGetVersion = FindSystemFunction<GetVersion>(L"ntdll.dll", "RtlGetVersion");
    if ((rtlGetVersion && rtlGetVersion(&version) == 0) || GetVersionExW(&version)) {
        return {version.dwMajorVersion, version.dwMinorVersion};
    }
    return {};
}

uint64_t Win32AutostartSystem::Now() {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    return (uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime;
}

bool Win32AutostartSystem::ToLocalTime(uint64_t moment, LocalTime& local) { return LocalTimeOfMoment(moment, local); }

std::wstring Win32AutostartSystem::Folder(SystemFolder folder) {
    switch (folder) {
    case SystemFolder::UserStartup: return ShellFolder(CSIDL_STARTUP);
    case SystemFolder::CommonStartup: return ShellFolder(CSIDL_COMMON_STARTUP);
    case SystemFolder::Windows: return FullLongPath(SystemFolderPath(GetSystemWindowsDirectoryW));
    case SystemFolder::System: return SystemFolderPath(GetSystemDirectoryW);
    case SystemFolder::UserLocalData: return ShellFolder(CSIDL_LOCAL_APPDATA);
    case SystemFolder::CommonData: return ShellFolder(CSIDL_COMMON_APPDATA);
    case SystemFolder::Temporary: {
        const DWORD needed = GetTempPathW(0, nullptr);
        if (needed == 0) return std::wstring();
        std::wstring path(needed, L'\0');
        const DWORD length = GetTempPathW(needed, &path[0]);
        if (length == 0 || length >= needed) return std::wstring();
        path.resize(length);
        return FullLongPath(path);
    }
    }
    return std::wstring();
}

std::vector<std::wstring> Win32AutostartSystem::FilesIn(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    const FileSearch search(InFolder(folder, L"*"), found);
    if (!search.found()) return names;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) names.emplace_back(found.cFileName);
    } while (search.Next(found));
    return names;
}

bool Win32AutostartSystem::IsFile(const std::wstring& path) { return IsExistingFile(path); }

bool Win32AutostartSystem::ReadShortcut(const std::wstring& path, ShortcutTarget& target) {
    ComPointer<IShellLinkW> link;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW, link.out()))) {
        return false;
    }
    ComPointer<IPersistFile> file;
    if (FAILED(link->QueryInterface(IID_IPersistFile, file.out())) || FAILED(file->Load(path.c_str(), STGM_READ))) {
        return false;
    }
    // The longest path and command line the system takes.
    std::vector<wchar_t> text(32768, L'\0');
    if (FAILED(link->GetPath(text.data(), static_cast<int>(text.size()), nullptr, 0))) text[0] = L'\0';
    target.path = text.data();
    text[0] = L'\0';
    if (FAILED(link->GetArguments(text.data(), static_cast<int>(text.size())))) text[0] = L'\0';
    target.arguments = text.data();
    return true;
}

long Win32AutostartSystem::MoveFileTo(const std::wstring& from, const std::wstring& to) {
    // Every missing folder on the way, the own folder below the data folder included.
    for (size_t separator = to.find(L'\\', 3); separator != std::wstring::npos;
         separator = to.find(L'\\', separator + 1)) {
        CreateDirectoryW(to.substr(0, separator).c_str(), nullptr);
    }
    return MoveFileExW(from.c_str(), to.c_str(), 0) ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long Win32AutostartSystem::DeleteFileAt(const std::wstring& path) {
    return DeleteFileW(path.c_str()) ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long Win32AutostartSystem::OpenFileForDelete(const std::wstring& path) {
    const UniqueHandle file(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
    return file ? ERROR_SUCCESS : static_cast<long>(GetLastError());
}

long Win32AutostartSystem::RecycleFile(const std::wstring& path) {
    // The shell's list of files: each ended by a NUL, the list by another.
    const std::wstring files = path + L'\0';
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = files.c_str();
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_WANTNUKEWARNING;
    const int status = SHFileOperationW(&operation);
    if (status != 0) return status;
    return operation.fAnyOperationsAborted ? ERROR_CANCELLED : ERROR_SUCCESS;
}

CommandLookups Win32AutostartSystem::Lookups() {
    CommandLookups lookups;
    // The entries are started by Explorer, whose program folders a 32-bit copy does not share.
    const bool wow64 = RunsUnderWow64(GetCurrentProcess());
    lookups.environment = [wow64](const std::wstring& name) {
        return ExplorerEnvironmentValue(name, wow64, EnvironmentVariable);
    };
    // The places the shell looks for a bare name: the system folder, the
    // Windows folder, then PATH.
    lookups.searchFolders = {SystemFolderPath(GetSystemDirectoryW), Folder(SystemFolder::Windows)};
    const std::wstring path = EnvironmentVariable(L"PATH").value_or(std::wstring());
    for (size_t start = 0; start < path.size();) {
        const size_t end = std::min(path.find(L';', start), path.size());
        if (end > start) lookups.searchFolders.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    lookups.isFile = IsExistingFile;
    return lookups;
}

ProgramVersion Win32AutostartSystem::ReadVersion(const std::wstring& path) { return ReadFileVersionTexts(path); }

std::string Win32AutostartSystem::Text(const std::wstring& wide) { return TextFromWide(wide); }

bool Win32AutostartSystem::InTextCodePage(char32_t character) {
    std::wstring units;
    if (character > 0xFFFF) {
        const char32_t above = character - 0x10000;
        units = {static_cast<wchar_t>(0xD800 + (above >> 10)), static_cast<wchar_t>(0xDC00 + (above & 0x3FF))};
    } else {
        units = {static_cast<wchar_t>(character)};
    }
    BOOL usedDefault = FALSE;
    const int length = WideCharToMultiByte(kTextCodePage, WC_NO_BEST_FIT_CHARS, units.c_str(),
                                           static_cast<int>(units.size()), nullptr, 0, nullptr, &usedDefault);
    return length > 0 && !usedDefault;
}

namespace {

// "DOMAIN\user" of the process's token, its SID text where the system cannot
// map it; empty when the token cannot be read.
std::string AccountOfProcess(uint32_t pid) {
    const std::optional<std::wstring> sid = ReadProcessUserSid(pid);
    if (!sid) return std::string();
    return TextFromWide(LookUpAccountName(*sid).value_or(*sid));
}

}  // namespace

std::string Win32AutostartSystem::ProgramAccount() { return AccountOfProcess(GetCurrentProcessId()); }

std::string Win32AutostartSystem::DesktopAccount() {
    DWORD shellPid = 0;
    const HWND shell = GetShellWindow();
    if (!shell || !GetWindowThreadProcessId(shell, &shellPid)) return std::string();
    return AccountOfProcess(shellPid);
}

std::string Win32AutostartSystem::ErrorText(long status) { return SystemErrorText(static_cast<unsigned long>(status)); }
