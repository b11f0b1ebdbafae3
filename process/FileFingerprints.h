// Program files blocked by their contents: a recorded size and SHA-256 end a
// process whatever its file is called, and the watch that finds which running
// processes have such a file without reading a file more than once.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "process/BlockWatch.h"

constexpr size_t kSha256HexLength = 64;

// One recorded program file and the block-list name it was recorded under.
struct FileFingerprint {
    std::string name;
    uint64_t size = 0;
    std::string sha256;  // 64 lower-case hex digits
};

// Lower-case hex digits of bytes, two a byte.
std::string HexText(const unsigned char* bytes, size_t count);

// The recorded fingerprints, asked by size first: only a file of a recorded
// size is worth reading.
class FingerprintList {
public:
    void Assign(std::vector<FileFingerprint> entries);
    bool empty() const { return m_entries.empty(); }
    bool HasSize(uint64_t size) const;
    // The name of the first entry recorded with this size and hash (hex
    // compared without case); null when none.
    const std::string* NameFor(uint64_t size, std::string_view sha256hex) const;
    const std::vector<FileFingerprint>& entries() const { return m_entries; }

private:
    std::vector<FileFingerprint> m_entries;  // in file order
    std::vector<uint64_t> m_sizes;           // sorted
};

// Size and last-write moment of a file: a hash is only good while both stay.
struct FileStamp {
    uint64_t size = 0;
    uint64_t lastWrite = 0;  // 100-ns units since 1601
};

// A remembered hash belongs to one path (ASCII letters folded, '/' read as
// '\', as the file system compares them), size and last-write moment: a file
// written again, or another file at the path, is read again.
struct HashKey {
    std::wstring path;
    uint64_t size = 0;
    uint64_t lastWrite = 0;
    bool operator<(const HashKey& other) const;
};
HashKey MakeHashKey(std::wstring_view path, const FileStamp& stamp);

// What the watch asks of the platform. Paths are UTF-16, as the system gives them.
class ProgramFileFacts {
public:
    virtual ~ProgramFileFacts() = default;
    // The program file of a process; empty when it cannot be read.
    virtual std::wstring ProgramPathOf(uint32_t pid) = 0;
    virtual bool StampOf(const std::wstring& path, FileStamp& stamp) = 0;
    // The system's own Windows folder (not a user's private one on a terminal
    // server); empty when it cannot be read.
    virtual std::wstring WindowsFolder() = 0;
    // SHA-256 of the file in 64 lower-case hex digits, read on the caller's
    // thread; empty when it cannot be read or is not as stamp says before and
    // after the reading (replaced meanwhile).
    virtual std::string Sha256Of(const std::wstring& path, const FileStamp& stamp) = 0;
    // Asks for the hash of path as it is at stamp, to be handed back later
    // through FingerprintWatch::TakeHash (off the caller's thread: a large
    // file must not hold up the caller).
    virtual void RequestHash(const std::wstring& path, const FileStamp& stamp) = 0;
};

// True for a file right in one of the homes of the system's own programs (the
// Windows folder, its System32 or SysWOW64): such files get no fingerprint.
// Folders below them (Temp, Tasks) are writable by users, and files there do.
bool IsInSystemProgramHome(std::wstring_view path, ProgramFileFacts& facts);

// Whether the file at path has a recorded fingerprint, read now on the
// caller's thread: only a file of a recorded size outside the system's
// program homes is read. For a file a user looks at, not for every process.
bool HasRecordedFingerprint(const std::wstring& path, const FingerprintList& list, ProgramFileFacts& facts);

// Which running processes have a program file of a recorded fingerprint.
// Each process's file is looked at once, when it is first seen; a hash is
// asked for once per key and remembered.
class FingerprintWatch {
public:
    // The processes of a look: new ones get their files looked at, gone ones
    // are forgotten. True when a process was found to match just now.
    bool Look(const std::vector<ProcessKey>& processes, const FingerprintList& list, ProgramFileFacts& facts,
              uint32_t ownPid);
    // A requested hash arrives (empty: the file could not be read, or changed
    // while it was). True when a process of the latest look matches by it.
    bool TakeHash(const std::wstring& path, const FileStamp& stamp, const std::string& sha256hex,
                  const FingerprintList& list);
    // The recorded name a process's file matches, for the process of this pid
    // and name at the latest look; null when none. startTime is that
    // process's creation moment, for the caller's stale-pid check.
    const std::string* MatchOf(uint32_t pid, std::string_view name, uint64_t* startTime = nullptr) const;
    // After the list changed: every process is looked at again at the next
    // look (the remembered hashes stay).
    void Forget() { m_processes.clear(); }

private:
    struct Verdict {
        HashKey key;  // empty path: no file worth a hash
        bool pending = false;
        std::string match;  // the recorded name; empty when none
    };
    bool Judge(Verdict& verdict, const FingerprintList& list) const;

    std::map<ProcessKey, Verdict> m_processes;
    std::map<HashKey, std::string> m_hashes;  // empty: unreadable
    std::map<HashKey, bool> m_requested;
};
