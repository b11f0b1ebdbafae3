// Plain rules of the process list: the name test, the system names, the
// classification and the block table. Texts are code page 936 bytes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "framework/FormatText.h"
#include "process/NameSearch.h"
#include "process/SuspendRules.h"

// One record of a process snapshot.
struct ProcessRecord {
    uint32_t pid = 0;
    std::string name;  // as the snapshot gives it; may hold a directory path
    uint32_t threads = 0;
    uint32_t usage = 0;
    uint32_t parentPid = 0;
    int32_t basePriority = 0;
    uint64_t startTime = 0;  // from the system's look (see IdentifiedWalk); 0 when unknown
    LookedSuspension suspension = LookedSuspension::Untold;  // from the same look
};

enum class ProcessCategory { CategorySystem, CategoryApplication, CategoryDangerous, CategorySelf };

// The word shown in the list's second column.
const char* CategoryWord(ProcessCategory category);

// One row of the main list: name, category word, pid as decimal text.
struct ProcessRow {
    std::string name;
    std::string word;
    std::string pidText;
    uint32_t parentPid = 0;  // for the tree order
    uint64_t startTime = 0;  // 0 when unknown
};

extern const std::array<const char*, 13> SystemProcessNames;
extern const char* const kOwnExecutableName;   // "TARVEMONIX.EXE"
extern const char* const kBuiltinBlockedName;  // "FLCSS.EXE"

// Byte-wise substring test that folds only ASCII A-Z (also inside double-byte
// characters, as the program always has). An empty needle is found everywhere.
bool ContainsNoCase(std::string_view haystack, std::string_view needle);

// The in-memory block table. Slot 0 holds the built-in name; the names loaded
// from the block list file follow in file order. There is no capacity limit:
// every loaded name is enforced.
class BlockList {
public:
    BlockList() : names_{kBuiltinBlockedName} { table_.Add(names_[0]); }

    // Every load starts again from the built-in slot alone.
    void ResetLoaded();
    void AddLoaded(std::string name);
    void SetBuiltin();

    int count() const { return static_cast<int>(names_.size()); }
    const std::vector<std::string>& names() const { return names_; }

    // The entries that match a process name (ContainsNoCase(processName,
    // entry)), in slot order, once per match. Empty entries are skipped: they
    // would match every process.
    std::vector<std::string> Matches(std::string_view processName) const;
    // Whether Matches or PolicyMatches would give any entry.
    bool MatchesAny(std::string_view processName) const {
        return table_.AnyFound(processName) || policyTable_.AnyFound(processName);
    }

    // Names blocked by the administrator's policy, matched by the same rule
    // beside the file's; a load of the file keeps them.
    void SetPolicyNames(std::vector<std::string> names);
    const std::vector<std::string>& policyNames() const { return policyNames_; }
    std::vector<std::string> PolicyMatches(std::string_view processName) const;

private:
    std::vector<std::string> names_;
    NeedleTable table_;  // names_ folded, slot for slot; kept with every change
    std::vector<std::string> policyNames_;
    NeedleTable policyTable_;
};

// True when a reference line names the process (the name occurs inside the line).
bool IsNamedInReference(std::string_view name, const std::vector<std::string>& referenceLines);

// The reference lines made ready for many tests, as a refresh makes them:
// Names gives the answer of IsNamedInReference without searching every line.
class PreparedReference {
public:
    explicit PreparedReference(const std::vector<std::string>& referenceLines) : lines_(referenceLines) {}
    bool Names(std::string_view name) const { return lines_.AnyContains(name); }

private:
    TextTable lines_;
};

// First rule that holds: own program, system name, reference line, block list,
// otherwise application.
ProcessCategory ClassifyProcess(std::string_view name, const BlockList& blockList,
                                const std::vector<std::string>& referenceLines);
// The same with prepared reference lines, for classifying many names.
ProcessCategory ClassifyProcess(std::string_view name, const BlockList& blockList, const PreparedReference& reference);

// Operating-system class from the version query.
int OsClassFromVersion(uint32_t platformId, uint32_t majorVersion);

// True for the NT classes (2, 4 and 5), whose processes carry rights.
bool IsNtClass(int osClass);

constexpr int kOsClassWhenQueryFails = 5;

// Decimal text of a pid as the list shows it ("%d").
std::string PidText(uint32_t pid);

// Reading of a decimal cell as the C library's atoi does (leading blanks, sign,
// digits up to the first other byte; 0 without digits). Saturates instead of
// overflowing.
long long AtoiPrefix(std::string_view text);
