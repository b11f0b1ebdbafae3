// Seam over the few file operations the block list needs, and the safe save
// built on them: a file is replaced only by a complete, flushed copy, so a
// crash, a full disk or a write error leaves either the old file or the new one.
#pragma once

#include <memory>
#include <string>
#include <string_view>

enum class ReadStatus { Read, Missing, Failed };

// A file being written. Destroying it closes it if Close did not run.
class WritableFile {
public:
    virtual ~WritableFile() = default;
    // Each returns false and sets reason (code page 936 text) on failure.
    virtual bool Write(std::string_view bytes, std::string& reason) = 0;
    virtual bool Flush(std::string& reason) = 0;  // down to the disk
    virtual bool Close(std::string& reason) = 0;
};

class FileStore {
public:
    virtual ~FileStore() = default;

    // Missing: there is no such file (bytes empty). Failed: it exists but
    // cannot be read; reason says why.
    virtual ReadStatus ReadAll(const std::string& path, std::string& bytes, std::string& reason) = 0;
    // Creates a new empty file in the folder of targetPath under a name no
    // other file has, and opens it for writing. Null on failure.
    virtual std::unique_ptr<WritableFile> CreateTemporary(const std::string& targetPath, std::string& temporaryPath,
                                                          std::string& reason) = 0;
    // Puts temporaryPath in the place of targetPath in one step, replacing
    // targetPath if it exists. On failure targetPath is unchanged.
    virtual bool Replace(const std::string& temporaryPath, const std::string& targetPath, std::string& reason) = 0;
    // Deletes a file; used to clean up after a failed save.
    virtual void Remove(const std::string& path) = 0;
};

// Writes bytes as the new content of path through a temporary file in the
// same folder that is written, flushed, closed and then moved over path. On
// any failure the temporary file is removed, path keeps its old bytes, the
// result is false and reason names the failing step and its cause.
bool SaveFileSafely(FileStore& store, const std::string& path, std::string_view bytes, std::string& reason);
