#include "app/Autorun.h"

#include <windows.h>

#include "app/StartupRules.h"
#include "files/Win32FileStore.h"
#include "framework/Registry.h"

namespace {

const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// The entry's text; empty when there is none or it is not a string.
std::wstring ReadAutorunValue() {
    return ReadRegistryText(HKEY_CURRENT_USER, kRunKey, kAutorunValueName).value_or(std::wstring());
}

}  // namespace

std::wstring ThisProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (length == 0) return std::wstring();
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

bool IsAutorunSetForThisProgram() {
    const std::wstring named = AutorunProgramPath(ReadAutorunValue());
    return !named.empty() && lstrcmpiW(named.c_str(), ThisProgramPath().c_str()) == 0;
}

bool SetAutorunForThisProgram(bool enabled, const std::wstring& folder, std::string& reason) {
    const RegistryKey key(HKEY_CURRENT_USER, kRunKey, KEY_SET_VALUE, enabled);
    LONG status = key.status();
    if (key.get() && enabled) {
        const std::wstring value = AutorunValue(ThisProgramPath(), folder);
        status = RegSetValueExW(key.get(), kAutorunValueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    } else if (key.get()) {
        status = RegDeleteValueW(key.get(), kAutorunValueName);
    }
    // Nothing to remove is what removing asked for.
    if (status == ERROR_SUCCESS || (!enabled && status == ERROR_FILE_NOT_FOUND)) return true;
    reason = SystemErrorText(static_cast<unsigned long>(status));
    return false;
}
