#include "files/FileStore.h"

namespace {

std::string StepFailure(const char* step, const std::string& cause) {
    return cause.empty() ? std::string(step) : std::string(step) + "：" + cause;
}

}  // namespace

bool SaveFileSafely(FileStore& store, const std::string& path, std::string_view bytes, std::string& reason) {
    std::string temporaryPath;
    std::string cause;
    std::unique_ptr<WritableFile> file = store.CreateTemporary(path, temporaryPath, cause);
    if (!file) {
        reason = StepFailure("无法创建临时文件", cause);
        return false;
    }

    const char* failedStep = nullptr;
    if (!file->Write(bytes, cause)) {
        failedStep = "写入失败";
    } else if (!file->Flush(cause)) {
        failedStep = "写入磁盘失败";
    } else if (!file->Close(cause)) {
        failedStep = "关闭文件失败";
    }
    if (failedStep == nullptr) {
        file.reset();
        if (store.Replace(temporaryPath, path, cause)) return true;
        failedStep = "无法替换原文件";
    }
    // The temporary file must be closed before it can be removed.
    file.reset();
    store.Remove(temporaryPath);
    reason = StepFailure(failedStep, cause);
    return false;
}
