#include "process/FileFingerprints.h"

#include <algorithm>
#include <tuple>

#include "process/ProgramLocation.h"

std::string HexText(const unsigned char* bytes, size_t count) {
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2);
    for (size_t index = 0; index < count; ++index) {
        text += kDigits[bytes[index] >> 4];
        text += kDigits[bytes[index] & 0x0F];
    }
    return text;
}

void FingerprintList::Assign(std::vector<FileFingerprint> entries) {
    m_entries = std::move(entries);
    m_sizes.clear();
    for (const FileFingerprint& entry : m_entries) m_sizes.push_back(entry.size);
    std::sort(m_sizes.begin(), m_sizes.end());
}

bool FingerprintList::HasSize(uint64_t size) const { return std::binary_search(m_sizes.begin(), m_sizes.end(), size); }

namespace {

bool EqualHex(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c + 0x20) : c; };
               return lower(x) == lower(y);
           });
}

}  // namespace

bool IsInSystemProgramHome(std::wstring_view path, ProgramFileFacts& facts) {
    return PlaceOf(path, facts.WindowsFolder()) == ProgramPlace::InWindowsFolder;
}

bool HasRecordedFingerprint(const std::wstring& path, const FingerprintList& list, ProgramFileFacts& facts) {
    FileStamp stamp;
    if (list.empty() || !facts.StampOf(path, stamp) || !list.HasSize(stamp.size)) return false;
    if (IsInSystemProgramHome(path, facts)) return false;
    const std::string sha256 = facts.Sha256Of(path, stamp);
    return !sha256.empty() && list.NameFor(stamp.size, sha256) != nullptr;
}

const std::string* FingerprintList::NameFor(uint64_t size, std::string_view sha256hex) const {
    if (sha256hex.size() != kSha256HexLength || !HasSize(size)) return nullptr;
    for (const FileFingerprint& entry : m_entries) {
        if (entry.size == size && EqualHex(entry.sha256, sha256hex)) return &entry.name;
    }
    return nullptr;
}

bool HashKey::operator<(const HashKey& other) const {
    return std::tie(path, size, lastWrite) < std::tie(other.path, other.size, other.lastWrite);
}

HashKey MakeHashKey(std::wstring_view path, const FileStamp& stamp) {
    HashKey key{std::wstring(path), stamp.size, stamp.lastWrite};
    for (wchar_t& c : key.path) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c + 0x20);
        if (c == L'/') c = L'\\';
    }
    return key;
}

bool FingerprintWatch::Judge(Verdict& verdict, const FingerprintList& list) const {
    verdict.match.clear();
    verdict.pending = false;
    const auto known = m_hashes.find(verdict.key);
    if (known == m_hashes.end()) {
        verdict.pending = true;
        return false;
    }
    if (const std::string* name = list.NameFor(verdict.key.size, known->second)) verdict.match = *name;
    return !verdict.match.empty();
}

bool FingerprintWatch::Look(const std::vector<ProcessKey>& processes, const FingerprintList& list,
                            ProgramFileFacts& facts, uint32_t ownPid) {
    std::map<ProcessKey, Verdict> current;
    bool found = false;
    for (const ProcessKey& process : processes) {
        const auto known = m_processes.find(process);
        if (known != m_processes.end()) {
            current.insert(current.end(), *known);
            continue;
        }
        Verdict verdict;
        // Without fingerprints no file is looked at: the look costs nothing more.
        if (!list.empty() && process.pid != ownPid && process.pid != 0) {
            const std::wstring path = facts.ProgramPathOf(process.pid);
            FileStamp stamp;
            if (!path.empty() && facts.StampOf(path, stamp) && list.HasSize(stamp.size) &&
                !IsInSystemProgramHome(path, facts)) {
                verdict.key = MakeHashKey(path, stamp);
                found = Judge(verdict, list) || found;
                if (verdict.pending && m_requested.emplace(verdict.key, true).second) facts.RequestHash(path, stamp);
            }
        }
        current.emplace(process, std::move(verdict));
    }
    m_processes = std::move(current);
    return found;
}

bool FingerprintWatch::TakeHash(const std::wstring& path, const FileStamp& stamp, const std::string& sha256hex,
                                const FingerprintList& list) {
    const HashKey key = MakeHashKey(path, stamp);
    m_requested.erase(key);
    // Bounded: a program run for months reads its files afresh now and then.
    constexpr size_t kRemembered = 4096;
    if (m_hashes.size() >= kRemembered) m_hashes.clear();
    m_hashes[key] = sha256hex;
    bool found = false;
    for (auto& process : m_processes) {
        if (process.second.pending && !(process.second.key < key) && !(key < process.second.key)) {
            found = Judge(process.second, list) || found;
        }
    }
    return found;
}

const std::string* FingerprintWatch::MatchOf(uint32_t pid, std::string_view name, uint64_t* startTime) const {
    for (auto at = m_processes.lower_bound(ProcessKey{pid, {}, 0}); at != m_processes.end() && at->first.pid == pid;
         ++at) {
        if (at->first.name != name || at->second.match.empty()) continue;
        if (startTime) *startTime = at->first.startTime;
        return &at->second.match;
    }
    return nullptr;
}
