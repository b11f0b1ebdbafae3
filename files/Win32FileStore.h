// The file seam on the platform's file functions. Paths are code page 936
// text and are passed to the wide functions.
#pragma once

#include "files/FileStore.h"

class Win32FileStore : public FileStore {
public:
    ReadStatus ReadAll(const std::string& path, std::string& bytes, std::string& reason) override;
    std::unique_ptr<WritableFile> CreateTemporary(const std::string& targetPath, std::string& temporaryPath,
                                                  std::string& reason) override;
    bool Replace(const std::string& temporaryPath, const std::string& targetPath, std::string& reason) override;
    void Remove(const std::string& path) override;
};

// The system's text for an error code (code page 936), with the code itself.
std::string SystemErrorText(unsigned long errorCode);
