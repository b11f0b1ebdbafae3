// Startup entries planted in the prefix's registry and Startup folder for a
// test, and taken away again when it ends.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct RawValue {
    DWORD type = 0;
    std::vector<uint8_t> bytes;
    bool operator==(const RawValue& other) const { return type == other.type && bytes == other.bytes; }
};

// The value as the registry holds it, type and bytes; none when it is missing.
std::optional<RawValue> ReadRawValue(HKEY root, REGSAM view, const std::wstring& key, const std::wstring& name);

// A value written for the object's lifetime (and its key, when the object made it).
class PlantedValue {
public:
    PlantedValue(HKEY root, REGSAM view, std::wstring key, std::wstring name, RawValue value);
    ~PlantedValue();
    PlantedValue(const PlantedValue&) = delete;
    PlantedValue& operator=(const PlantedValue&) = delete;

private:
    HKEY m_root;
    REGSAM m_view;
    std::wstring m_key;
    std::wstring m_name;
    bool m_bMadeKey = false;
};

// A REG_SZ value's bytes, with its terminator.
RawValue TextValue(const std::wstring& text);

// A shortcut file (.lnk) that starts target with arguments; COM must be started.
bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments);
