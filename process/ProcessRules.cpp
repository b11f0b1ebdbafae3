#include "process/ProcessRules.h"

#include <algorithm>
#include <limits>

const std::array<const char*, 13> SystemProcessNames = {
    "RUNDLL32.EXE", "TASKMON.EXE", "KERNEL32.DLL", "mmtask.tsk",   "SPOOL32.EXE", "MSGSRV32.EXE",     "MDM.EXE",
    "MPREXE.EXE",   "DDHELP.EXE",  "RPCSS.EXE",    "IEXPLORE.EXE", "System",      "[System Process]",
};

const char* const kOwnExecutableName = "TARVEMONIX.EXE";
const char* const kBuiltinBlockedName = "FLCSS.EXE";

const char* CategoryWord(ProcessCategory category) {
    switch (category) {
    case ProcessCategory::CategorySystem: return " 系统进程";
    case ProcessCategory::CategoryApplication: return " 应用程序进程";
    case ProcessCategory::CategoryDangerous: return " 危险进程";
    case ProcessCategory::CategorySelf: return "瓦诺德";
    }
    return "";
}

namespace {

char FoldAsciiUpper(char c) {
    const unsigned char byte = static_cast<unsigned char>(c);
    return (byte >= 0x41 && byte <= 0x5A) ? static_cast<char>(byte + 0x20) : c;
}

}  // namespace

bool ContainsNoCase(std::string_view haystack, std::string_view needle) {
    auto equalFolded = [](char a, char b) { return FoldAsciiUpper(a) == FoldAsciiUpper(b); };
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end(), equalFolded) != haystack.end() ||
           needle.empty();
}

void BlockList::ResetLoaded() {
    names_.resize(1);
    table_.Clear();
    table_.Add(names_[0]);
}

void BlockList::AddLoaded(std::string name) {
    table_.Add(name);
    names_.push_back(std::move(name));
}

void BlockList::SetBuiltin() {
    // Called before every refresh; the table is only built again on a change.
    if (names_[0] == kBuiltinBlockedName) return;
    names_[0] = kBuiltinBlockedName;
    table_.Clear();
    for (const std::string& name : names_) table_.Add(name);
}

std::vector<std::string> BlockList::Matches(std::string_view processName) const {
    std::vector<std::string> matches;
    for (size_t slot : table_.FoundSlots(processName)) matches.push_back(names_[slot]);
    return matches;
}

void BlockList::SetPolicyNames(std::vector<std::string> names) {
    policyNames_ = std::move(names);
    policyTable_.Clear();
    for (const std::string& name : policyNames_) policyTable_.Add(name);
}

std::vector<std::string> BlockList::PolicyMatches(std::string_view processName) const {
    std::vector<std::string> matches;
    for (size_t slot : policyTable_.FoundSlots(processName)) matches.push_back(policyNames_[slot]);
    return matches;
}

bool IsNamedInReference(std::string_view name, const std::vector<std::string>& referenceLines) {
    return std::any_of(referenceLines.begin(), referenceLines.end(),
                       [&](const std::string& line) { return ContainsNoCase(line, name); });
}

namespace {

// Slot 0: the own program; the system names follow.
const NeedleTable& OwnAndSystemNames() {
    static const NeedleTable table = [] {
        NeedleTable names;
        names.Add(kOwnExecutableName);
        for (const char* systemName : SystemProcessNames) names.Add(systemName);
        return names;
    }();
    return table;
}

template <typename NamedInReference>
ProcessCategory Classify(std::string_view name, const BlockList& blockList, NamedInReference namedInReference) {
    bool own = false;
    bool system = false;
    OwnAndSystemNames().Search(name, [&](size_t slot) {
        own = slot == 0;
        system = true;
        return !own;
    });
    if (own) return ProcessCategory::CategorySelf;
    if (system || namedInReference(name)) return ProcessCategory::CategorySystem;
    if (blockList.MatchesAny(name)) return ProcessCategory::CategoryDangerous;
    return ProcessCategory::CategoryApplication;
}

}  // namespace

ProcessCategory ClassifyProcess(std::string_view name, const BlockList& blockList,
                                const std::vector<std::string>& referenceLines) {
    return Classify(name, blockList,
                    [&](std::string_view processName) { return IsNamedInReference(processName, referenceLines); });
}

ProcessCategory ClassifyProcess(std::string_view name, const BlockList& blockList, const PreparedReference& reference) {
    return Classify(name, blockList, [&](std::string_view processName) { return reference.Names(processName); });
}

int OsClassFromVersion(uint32_t platformId, uint32_t majorVersion) {
    switch (platformId) {
    case 0: return 3;
    case 1: return 1;
    case 2:
        if (majorVersion == 5) return 2;
        return majorVersion < 5 ? 4 : 5;
    default: return 5;
    }
}

bool IsNtClass(int osClass) { return osClass == 2 || osClass == 4 || osClass == 5; }

std::string PidText(uint32_t pid) {
    // "%d" of the 32-bit value, as the list has always shown it.
    return std::to_string(static_cast<int32_t>(pid));
}

long long AtoiPrefix(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr long long kLimit = std::numeric_limits<int32_t>::max();
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(value * 10 + (text[i] - '0'), kLimit + 1);
    }
    return negative ? -value : std::min(value, kLimit);
}
