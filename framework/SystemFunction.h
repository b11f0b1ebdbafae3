// Functions that only some versions of the system have, looked up at run time
// so the program still starts where they are missing.
#pragma once

#include <windows.h>

#include <string>

// The function name from an already loaded module (kernel32, ntdll), or null.
template <typename Function>
Function FindSystemFunction(const wchar_t* module, const char* name) {
    HMODULE handle = GetModuleHandleW(module);
    return handle ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(handle, name))) : nullptr;
}

// Whether process is a 32-bit program on 64-bit Windows (WOW64). Looked up at
// run time: systems before XP SP2 have no IsWow64Process, and no WOW64.
inline bool RunsUnderWow64(HANDLE process) {
    using IsWow64Process = BOOL(WINAPI*)(HANDLE, PBOOL);
    const auto isWow64 = FindSystemFunction<IsWow64Process>(L"kernel32.dll", "IsWow64Process");
    BOOL wow64 = FALSE;
    return isWow64 && isWow64(process, &wow64) && wow64;
}

// A folder the system names through a call of GetSystemDirectoryW's form
// (GetWindowsDirectoryW, GetSystemWindowsDirectoryW); empty when it fails.
inline std::wstring SystemFolderPath(UINT(WINAPI* folderOf)(LPWSTR, UINT)) {
    const UINT needed = folderOf(nullptr, 0);
    if (needed == 0) return std::wstring();
    std::wstring folder(needed, L'\0');
    const UINT length = folderOf(&folder[0], needed);
    if (length == 0 || length >= needed) return std::wstring();
    folder.resize(length);
    return folder;
}

// A library of the system directory, loaded from there only (never a file of
// that name beside the program or in the current folder) for the object's
// lifetime.
class SystemLibrary {
public:
    explicit SystemLibrary(const wchar_t* name) {
        constexpr DWORD kSearchSystem32 = 0x00000800;  // LOAD_LIBRARY_SEARCH_SYSTEM32
        m_module = LoadLibraryExW(name, nullptr, kSearchSystem32);
        // Systems before that flag refuse it: the full path does the same there.
        if (m_module || GetLastError() != ERROR_INVALID_PARAMETER) return;
        const std::wstring path = SystemFolderPath(GetSystemDirectoryW);
        if (path.empty()) return;
        m_module = LoadLibraryExW((path + L"\\" + name).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    }
    ~SystemLibrary() {
        if (m_module) FreeLibrary(m_module);
    }
    SystemLibrary(const SystemLibrary&) = delete;
    SystemLibrary& operator=(const SystemLibrary&) = delete;

    // The function name of the library, or null.
    template <typename Function>
    Function Find(const char* name) const {
        return m_module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(m_module, name))) : nullptr;
    }

private:
    HMODULE m_module = nullptr;
};
