#include "blocklist/BlockListCommands.h"

#include <algorithm>

#include "blocklist/BlockListRules.h"
#include "blocklist/FingerprintFile.h"

namespace {

const char* const kNoticeCaption = "提示";
const char* const kQuestionCaption = "警告";

// The file's present bytes. A file that exists but cannot be read is never
// rewritten: writing from what could not be read would lose the list.
bool ReadForChange(FileStore& store, std::string& bytes, MessagePrompt& prompt,
                   const char* fileName = kBlockListFileName) {
    std::string reason;
    if (store.ReadAll(fileName, bytes, reason) != ReadStatus::Failed) return true;
    prompt.Notify(FileReadFailureText(fileName, reason), kNoticeCaption);
    return false;
}

bool Save(FileStore& store, const std::string& bytes, MessagePrompt& prompt,
          const char* fileName = kBlockListFileName) {
    std::string reason;
    if (SaveFileSafely(store, fileName, bytes, reason)) return true;
    prompt.Notify(FileSaveFailureText(fileName, reason), kNoticeCaption);
    return false;
}

}  // namespace

std::vector<std::string> ReadBlockListNames(FileStore& store) {
    std::string bytes;
    std::string reason;
    if (store.ReadAll(kBlockListFileName, bytes, reason) != ReadStatus::Read) return {};
    return ReadBlockNames(bytes);
}

bool LoadBlockListInto(BlockList& table, FileStore& store, std::string& failure) {
    std::string bytes;
    std::string reason;
    const ReadStatus status = store.ReadAll(kBlockListFileName, bytes, reason);
    if (status == ReadStatus::Failed) {
        failure = FileReadFailureText(kBlockListFileName, reason);
        return false;
    }
    table.ResetLoaded();
    if (status == ReadStatus::Read) {
        for (std::string& name : ReadBlockNames(bytes)) table.AddLoaded(std::move(name));
    }
    return true;
}

OfferOutcome OfferBlockName(std::string_view name, MessagePrompt& prompt, FileStore& store) {
    const BlockNameCheck check = CheckBlockName(name);
    if (check == BlockNameCheck::Empty) return OfferOutcome::Declined;
    if (check != BlockNameCheck::Acceptable) {
        prompt.Notify(BlockNameRefusalText(check), kNoticeCaption);
        return OfferOutcome::Refused;
    }
    if (!prompt.AskYesNo(BlockQuestionText(name), kQuestionCaption)) return OfferOutcome::Declined;

    std::string bytes;
    if (!ReadForChange(store, bytes, prompt)) return OfferOutcome::Failed;
    if (!Save(store, AppendBlockNameBytes(bytes, name), prompt)) return OfferOutcome::Failed;
    return OfferOutcome::Appended;
}

bool RemoveBlockName(std::string_view removedName, MessagePrompt& prompt, FileStore& store) {
    std::string bytes;
    return ReadForChange(store, bytes, prompt) && Save(store, RewriteWithoutName(bytes, removedName), prompt);
}

std::string FileReadFailureText(const std::string& path, const std::string& reason) {
    return "无法读取文件" + path + "，文件未作改动。\n" + reason;
}

std::string FileSaveFailureText(const std::string& path, const std::string& reason) {
    return "无法保存文件" + path + "，原文件保持不变。\n" + reason;
}

void PendingFingerprints::Add(std::string name, const std::wstring& path, const FileStamp& stamp) {
    m_waiting.push_back({std::move(name), MakeHashKey(path, stamp)});
}

std::vector<FileFingerprint> PendingFingerprints::TakeArrived(const std::wstring& path, const FileStamp& stamp,
                                                              const std::string& sha256hex) {
    const HashKey key = MakeHashKey(path, stamp);
    std::vector<FileFingerprint> arrived;
    for (auto at = m_waiting.begin(); at != m_waiting.end();) {
        if (at->key < key || key < at->key) {
            ++at;
            continue;
        }
        if (sha256hex.size() == kSha256HexLength) arrived.push_back({std::move(at->name), stamp.size, sha256hex});
        at = m_waiting.erase(at);
    }
    return arrived;
}

OfferOutcome OfferBlockProgram(std::string_view name, const std::wstring& programPath, MessagePrompt& prompt,
                               FileStore& store, ProgramFileFacts& files, PendingFingerprints& pending) {
    const OfferOutcome outcome = OfferBlockName(name, prompt, store);
    if (outcome != OfferOutcome::Appended || programPath.empty() || IsInSystemProgramHome(programPath, files)) {
        return outcome;
    }
    FileStamp stamp;
    if (!files.StampOf(programPath, stamp)) return outcome;
    pending.Add(std::string(name), programPath, stamp);
    files.RequestHash(programPath, stamp);
    return outcome;
}

bool RecordFingerprints(const std::vector<FileFingerprint>& arrived, MessagePrompt& prompt, FileStore& store) {
    if (arrived.empty()) return false;
    const std::vector<std::string> names = ReadBlockListNames(store);
    std::string bytes;
    if (!ReadForChange(store, bytes, prompt, kFingerprintFileName)) return false;
    const std::string before = bytes;
    for (const FileFingerprint& fingerprint : arrived) {
        if (std::find(names.begin(), names.end(), fingerprint.name) != names.end()) {
            bytes = AppendFingerprintBytes(bytes, fingerprint);
        }
    }
    return bytes != before && Save(store, bytes, prompt, kFingerprintFileName);
}

bool LoadFingerprintsInto(FingerprintList& list, const std::vector<std::string>& blockNames, FileStore& store,
                          std::string& failure) {
    std::string bytes;
    std::string reason;
    const ReadStatus status = store.ReadAll(kFingerprintFileName, bytes, reason);
    if (status == ReadStatus::Failed) {
        failure = FileReadFailureText(kFingerprintFileName, reason);
        return false;
    }
    std::vector<FileFingerprint> enforced;
    if (status == ReadStatus::Read) {
        for (FileFingerprint& fingerprint : ReadFingerprints(bytes)) {
            if (std::find(blockNames.begin(), blockNames.end(), fingerprint.name) != blockNames.end()) {
                enforced.push_back(std::move(fingerprint));
            }
        }
    }
    list.Assign(std::move(enforced));
    return true;
}

std::set<std::string> RemovedNames(const std::vector<std::string>& before, const std::vector<std::string>& after) {
    std::set<std::string> removed(before.begin(), before.end());
    for (const std::string& name : after) removed.erase(name);
    return removed;
}

bool RemoveFingerprintsOfNames(const std::set<std::string>& names, MessagePrompt& prompt, FileStore& store) {
    if (names.empty()) return true;
    std::string bytes;
    std::string reason;
    if (store.ReadAll(kFingerprintFileName, bytes, reason) != ReadStatus::Read) return true;
    const std::string rewritten = RemoveFingerprintsOf(bytes, names);
    return rewritten == bytes || Save(store, rewritten, prompt, kFingerprintFileName);
}
