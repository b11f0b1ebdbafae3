// Registry keys and string values, for the system information and the logon
// entry.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

// An open key, closed with the object. Opens, or with create makes, the key.
class RegistryKey {
public:
    RegistryKey(HKEY root, const wchar_t* path, REGSAM access, bool create = false);
    ~RegistryKey();
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    HKEY get() const { return m_key; }
    // The system's answer to the opening; ERROR_SUCCESS when it is open.
    LONG status() const { return m_status; }

private:
    HKEY m_key = nullptr;
    LONG m_status = ERROR_SUCCESS;
};

// A string value (REG_SZ or REG_EXPAND_SZ) of a key, without terminator;
// none when the key or the value is missing or not a string.
std::optional<std::wstring> ReadRegistryText(HKEY root, const wchar_t* path, const wchar_t* name);
