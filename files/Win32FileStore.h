// The file seam on the platform's file functions. Paths are UTF-8 text and
// are passed to the wide functions; the program's own file names are ASCII.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "files/FileStore.h"

class Win32FileStore : public FileStore {
public:
    // Relative paths name files in folder, a full path taken once when the
    // program starts: a dialog that changes the current folder then cannot
    // move the program's files. Without a folder they follow the current one.
    explicit Win32FileStore(std::wstring folder = std::wstring()) : m_folder(std::move(folder)) {}

    ReadStatus ReadAll(const std::string& path, std::string& bytes, std::string& reason) override;
    std::unique_ptr<WritableFile> CreateTemporary(const std::string& targetPath, std::string& temporaryPath,
                                                  std::string& reason) override;
    bool Replace(const std::string& temporaryPath, const std::string& targetPath, std::string& reason) override;
    void Remove(const std::string& path) override;

private:
    std::wstring Resolve(const std::string& path) const;

    std::wstring m_folder;
};

// The current folder as a full path; empty when the system cannot tell.
std::wstring CurrentFolder();

// name taken in folder (name itself for an empty folder).
std::wstring InFolder(const std::wstring& folder, const std::wstring& name);

// Appends one line (a few hundred bytes at most) to the log at path. When the
// line would take the log past limitBytes, the log first moves to path + ".1",
// replacing an older one; when it cannot move, nothing is appended. False when
// the line could not be written.
bool AppendLogLine(const std::wstring& path, std::string_view line, uint64_t limitBytes);

// The system's text for an error code (code page 936), with the code itself.
std::string SystemErrorText(unsigned long errorCode);
