#include "blocklist/BlockListCommands.h"

#include "blocklist/BlockListRules.h"

namespace {

const char* const kNoticeCaption = "提示";
const char* const kQuestionCaption = "警告";

// The file's present bytes. A file that exists but cannot be read is never
// rewritten: writing from what could not be read would lose the list.
bool ReadForChange(FileStore& store, std::string& bytes, MessagePrompt& prompt) {
    std::string reason;
    if (store.ReadAll(kBlockListFileName, bytes, reason) != ReadStatus::Failed) return true;
    prompt.Notify(FileReadFailureText(kBlockListFileName, reason), kNoticeCaption);
    return false;
}

bool Save(FileStore& store, const std::string& bytes, MessagePrompt& prompt) {
    std::string reason;
    if (SaveFileSafely(store, kBlockListFileName, bytes, reason)) return true;
    prompt.Notify(FileSaveFailureText(kBlockListFileName, reason), kNoticeCaption);
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
