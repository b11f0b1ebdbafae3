// The policy key read from the registry.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "blocklist/PolicyNames.h"
#include "framework/Registry.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"

namespace {

const wchar_t* const kPolicyKeyPath = L"SOFTWARE\\Policies\\tarvemonix\\BlockList";

}  // namespace

std::vector<std::string> ReadPolicyBlockNames() {
    const RegistryKey key(HKEY_LOCAL_MACHINE, kPolicyKeyPath, PolicyKeyAccess(RunsUnderWow64(GetCurrentProcess())));
    if (!key.get()) return {};
    DWORD longestName = 0;
    DWORD longestData = 0;
    if (RegQueryInfoKeyW(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                         &longestData, nullptr, nullptr) != ERROR_SUCCESS) {
        return {};
    }
    std::vector<PolicyValue> values;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(longestData + 2 * sizeof(wchar_t));
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD dataBytes = static_cast<DWORD>(data.size() - sizeof(wchar_t));
        DWORD type = 0;
        const LONG status =
            RegEnumValueW(key.get(), index, name.data(), &nameLength, nullptr, &type, data.data(), &dataBytes);
        if (status == ERROR_MORE_DATA) {
            // A value grew since the key was measured: measured again, this index again.
            name.resize(name.size() * 2 + 256);
            data.resize(data.size() * 2 + 256);
            --index;
            continue;
        }
        if (status != ERROR_SUCCESS) break;
        if (type != REG_SZ) continue;
        std::wstring text(dataBytes / sizeof(wchar_t), L'\0');
        std::copy_n(data.data(), text.size() * sizeof(wchar_t), reinterpret_cast<BYTE*>(&text[0]));
        while (!text.empty() && text.back() == L'\0') text.pop_back();
        values.push_back({REG_SZ, TextFromWide(text)});
    }
    return PolicyBlockNames(values);
}
