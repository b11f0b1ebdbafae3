#include "framework/Registry.h"

#include <algorithm>
#include <vector>

RegistryKey::RegistryKey(HKEY root, const wchar_t* path, REGSAM access, bool create)
    : m_status(create ? RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, &m_key, nullptr)
                      : RegOpenKeyExW(root, path, 0, access, &m_key)) {
    if (m_status != ERROR_SUCCESS) m_key = nullptr;
}

RegistryKey::~RegistryKey() {
    if (m_key) RegCloseKey(m_key);
}

namespace {

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }

}  // namespace

std::optional<std::wstring> ReadRegistryText(HKEY root, const wchar_t* path, const wchar_t* name) {
    const RegistryKey key(root, path, KEY_QUERY_VALUE);
    if (!key.get()) return std::nullopt;
    DWORD type = 0;
    DWORD bytes = 0;
    LONG status = RegQueryValueExW(key.get(), name, nullptr, &type, nullptr, &bytes);
    // Sized in bytes (a stored string can have an odd length), with room for
    // a terminator the stored string may lack. The value can grow between two
    // calls: ask again, a few times at most.
    std::vector<BYTE> buffer;
    for (int attempt = 0; attempt < 8 && (status == ERROR_SUCCESS || status == ERROR_MORE_DATA); ++attempt) {
        if (!IsStringType(type)) return std::nullopt;
        buffer.assign(bytes + 2 * sizeof(wchar_t), 0);
        bytes = static_cast<DWORD>(buffer.size());
        status = RegQueryValueExW(key.get(), name, nullptr, &type, buffer.data(), &bytes);
        if (status == ERROR_SUCCESS) break;
    }
    if (status != ERROR_SUCCESS || !IsStringType(type)) return std::nullopt;
    std::wstring value(bytes / sizeof(wchar_t), L'\0');
    std::copy_n(buffer.data(), value.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(&value[0]));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    return value;
}
