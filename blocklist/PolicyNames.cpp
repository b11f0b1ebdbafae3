#include "blocklist/PolicyNames.h"

#include "blocklist/BlockListRules.h"

namespace {

constexpr uint32_t kRegistryString = 1;       // REG_SZ
constexpr uint32_t kKeyRead = 0x20019;        // KEY_READ
constexpr uint32_t kKeyWow64View64 = 0x0100;  // KEY_WOW64_64KEY

}  // namespace

std::vector<std::string> PolicyBlockNames(const std::vector<PolicyValue>& values) {
    std::vector<std::string> names;
    for (const PolicyValue& value : values) {
        if (value.type != kRegistryString) continue;
        const BlockNameCheck check = CheckBlockName(value.text);
        if (check == BlockNameCheck::Empty || check == BlockNameCheck::TooLong || check == BlockNameCheck::NotExact ||
            check == BlockNameCheck::HoldsLineBreak) {
            continue;
        }
        names.push_back(value.text);
    }
    return names;
}

uint32_t PolicyKeyAccess(bool runsUnderWow64) { return kKeyRead | (runsUnderWow64 ? kKeyWow64View64 : 0); }
