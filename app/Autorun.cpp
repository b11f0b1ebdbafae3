#include "app/Autorun.h"

#include <windows.h>

#include "app/StartupRules.h"
#include "files/Win32FileStore.h"

namespace {

const wchar_t* const kRunKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

class RegistryKey {
public:
    RegistryKey(REGSAM access, bool create) {
        const LONG status =
            create ? RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, access, nullptr, &m_key, nullptr)
                   : RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, access, &m_key);
        if (status != ERROR_SUCCESS) {
            m_key = nullptr;
            m_status = status;
        }
    }
    ~RegistryKey() {
        if (m_key) RegCloseKey(m_key);
    }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return m_key; }
    LONG status() const { return m_status; }

private:
    HKEY m_key = nullptr;
    LONG m_status = ERROR_SUCCESS;
};

// The entry's text; empty when there is none or it is not a string.
std::wstring ReadAutorunValue() {
    const RegistryKey key(KEY_QUERY_VALUE, false);
    if (!key.get()) return std::wstring();
    DWORD type = 0;
    DWORD bytes = 0;
    if (RegQueryValueExW(key.get(), kAutorunValueName, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ)) {
        return std::wstring();
    }
    // One more character than the bytes hold, for a value stored without its
    // terminator or with an odd length.
    std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
    DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
    if (RegQueryValueExW(key.get(), kAutorunValueName, nullptr, &type, reinterpret_cast<BYTE*>(&value[0]), &size) !=
        ERROR_SUCCESS) {
        return std::wstring();
    }
    value.resize(value.find(L'\0') == std::wstring::npos ? value.size() : value.find(L'\0'));
    return value;
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

bool SetAutorunForThisProgram(bool enabled, std::string& reason) {
    const RegistryKey key(KEY_SET_VALUE, enabled);
    LONG status = key.status();
    if (key.get() && enabled) {
        const std::wstring value = AutorunValue(ThisProgramPath());
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
