#include "tests/wine/support/StartupPlanting.h"

#include <objbase.h>
#include <shlobj.h>

std::optional<RawValue> ReadRawValue(HKEY root, REGSAM view, const std::wstring& key, const std::wstring& name) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return std::nullopt;
    RawValue value;
    DWORD size = 0;
    LONG status = RegQueryValueExW(opened, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS) {
        value.bytes.resize(size);
        status = RegQueryValueExW(opened, name.c_str(), nullptr, &value.type, value.bytes.data(), &size);
        value.bytes.resize(size);
    }
    RegCloseKey(opened);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return value;
}

PlantedValue::PlantedValue(HKEY root, REGSAM view, std::wstring key, std::wstring name, RawValue value)
    : m_root(root), m_view(view), m_key(std::move(key)), m_name(std::move(name)) {
    HKEY opened = nullptr;
    DWORD disposition = 0;
    if (RegCreateKeyExW(m_root, m_key.c_str(), 0, nullptr, 0, KEY_SET_VALUE | m_view, nullptr, &opened, &disposition) !=
        ERROR_SUCCESS) {
        return;
    }
    m_bMadeKey = disposition == REG_CREATED_NEW_KEY;
    RegSetValueExW(opened, m_name.c_str(), 0, value.type, value.bytes.data(), static_cast<DWORD>(value.bytes.size()));
    RegCloseKey(opened);
}

PlantedValue::~PlantedValue() {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(m_root, m_key.c_str(), 0, KEY_SET_VALUE | m_view, &opened) == ERROR_SUCCESS) {
        RegDeleteValueW(opened, m_name.c_str());
        RegCloseKey(opened);
    }
    // The parent opened in the view, so the leaf goes from that view.
    const size_t separator = m_key.find_last_of(L'\\');
    if (!m_bMadeKey || separator == std::wstring::npos) return;
    if (RegOpenKeyExW(m_root, m_key.substr(0, separator).c_str(), 0, KEY_ALL_ACCESS | m_view, &opened) ==
        ERROR_SUCCESS) {
        RegDeleteKeyW(opened, m_key.substr(separator + 1).c_str());
        RegCloseKey(opened);
    }
}

RawValue TextValue(const std::wstring& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.c_str());
    return {REG_SZ, std::vector<uint8_t>(bytes, bytes + (text.size() + 1) * sizeof(wchar_t))};
}

bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments) {
    IShellLinkW* shellLink = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&shellLink)))) {
        return false;
    }
    IPersistFile* file = nullptr;
    const bool made = SUCCEEDED(shellLink->SetPath(target.c_str())) &&
                      SUCCEEDED(shellLink->SetArguments(arguments.c_str())) &&
                      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                      SUCCEEDED(file->Save(link.c_str(), TRUE));
    if (file) file->Release();
    shellLink->Release();
    return made;
}
