// The block list operations of the block command and the editor, over the
// file seam and the message seam, so that they run the same with the real
// file system and message boxes as with scripted ones.
#pragma once

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "files/FileStore.h"
#include "process/FileFingerprints.h"
#include "process/MessagePrompt.h"
#include "process/ProcessRules.h"

// The names in proc.dat, in file order. A missing file or one that cannot be
// read gives no names and no message.
std::vector<std::string> ReadBlockListNames(FileStore& store);

// Refills the main table from proc.dat (slot 0 keeps the built-in name); a
// missing file is an empty list. A file that exists but cannot be read (held
// by another program) leaves the table as it was: false, with the notice's
// text in failure.
bool LoadBlockListInto(BlockList& table, FileStore& store, std::string& failure);

enum class OfferOutcome {
    Appended,  // the user said Yes and the file holds the name
    Declined,  // the user said No, or the name was empty: nothing asked or written
    Refused,   // the name cannot be stored; a notice said why
    Failed,    // the file could not be read or written; a notice said so and it is unchanged
};

// Asks "真的要把%s设为危险进程并永久封锁吗？" (caption "警告") and on Yes appends the
// name to proc.dat. A name that cannot be stored is refused with a notice
// before anything is asked.
OfferOutcome OfferBlockName(std::string_view name, MessagePrompt& prompt, FileStore& store);

// Rewrites proc.dat without any copy of removedName (an empty one removes
// nothing and only brings the file into form). False, after a notice, when
// the file could not be read or written; it is then unchanged.
bool RemoveBlockName(std::string_view removedName, MessagePrompt& prompt, FileStore& store);

// Notices (caption "提示") for a file that could not be read or saved.
std::string FileReadFailureText(const std::string& path, const std::string& reason);
std::string FileSaveFailureText(const std::string& path, const std::string& reason);

// Program files just blocked whose hashes are being read off the window's
// thread (a large file must not hold the window up), with the names they go
// into prochash.dat under.
class PendingFingerprints {
public:
    void Add(std::string name, const std::wstring& path, const FileStamp& stamp);
    // The hash of path at stamp arrived: the fingerprints that waited for it,
    // none when it is empty (unreadable, or replaced meanwhile). They wait no more.
    std::vector<FileFingerprint> TakeArrived(const std::wstring& path, const FileStamp& stamp,
                                             const std::string& sha256hex);

private:
    struct Waiting {
        std::string name;
        HashKey key;
    };
    std::vector<Waiting> m_waiting;
};

// What 封锁进程 does: OfferBlockName, and once the name is in proc.dat, the
// program file's hash is asked of files and its fingerprint waits in pending,
// for RecordFingerprint. A file that cannot be read (or an empty programPath)
// blocks the name alone without a word; a file in a home of the system's own
// programs gets no fingerprint.
OfferOutcome OfferBlockProgram(std::string_view name, const std::wstring& programPath, MessagePrompt& prompt,
                               FileStore& store, ProgramFileFacts& files, PendingFingerprints& pending);
// Appends to prochash.dat the fingerprints whose names proc.dat still holds:
// the editor may have taken one away while its file was read, and its
// fingerprint would end a program the user has just let go. True when one
// was recorded; a file that could not be read or saved is said in a notice
// and left unchanged.
bool RecordFingerprints(const std::vector<FileFingerprint>& arrived, MessagePrompt& prompt, FileStore& store);

// Refills list from prochash.dat with the fingerprints whose names are among
// blockNames (the names of the loaded proc.dat): a fingerprint is enforced
// only while its name is. A missing file is an empty list. A file that exists
// but cannot be read (held by another program) leaves the list as it was:
// false, with the notice's text in failure.
bool LoadFingerprintsInto(FingerprintList& list, const std::vector<std::string>& blockNames, FileStore& store,
                          std::string& failure);

// The names proc.dat held before and holds after an edit, and prochash.dat
// rewritten without the fingerprints of the names that went. Nothing is
// written when no name went or a file cannot be read; false after a notice
// when prochash.dat could not be saved.
std::set<std::string> RemovedNames(const std::vector<std::string>& before, const std::vector<std::string>& after);
bool RemoveFingerprintsOfNames(const std::set<std::string>& names, MessagePrompt& prompt, FileStore& store);
