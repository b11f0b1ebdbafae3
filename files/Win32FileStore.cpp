#include "files/Win32FileStore.h"

#include <windows.h>
#include <shlwapi.h>

#include "framework/FormatText.h"
#include "framework/Handle.h"
#include "framework/Text.h"

namespace {

// Temporary files get the target's name with a numbered suffix; a number
// taken by a file left behind (by a crash, say) or by another instance is
// skipped.
constexpr int kTemporaryNameAttempts = 100;

// Reads and writes go in pieces a DWORD count can always hold.
constexpr DWORD kChunkBytes = 64 * 1024;

class LocalBuffer {
public:
    ~LocalBuffer() {
        if (m_text) LocalFree(m_text);
    }
    wchar_t** receiver() { return &m_text; }
    const wchar_t* get() const { return m_text; }

private:
    wchar_t* m_text = nullptr;
};

std::string LastErrorText() { return SystemErrorText(GetLastError()); }

class Win32WritableFile : public WritableFile {
public:
    explicit Win32WritableFile(UniqueHandle handle) : m_handle(std::move(handle)) {}

    bool Write(std::string_view bytes, std::string& reason) override {
        while (!bytes.empty()) {
            const DWORD wanted = bytes.size() < kChunkBytes ? static_cast<DWORD>(bytes.size()) : kChunkBytes;
            DWORD written = 0;
            if (!WriteFile(m_handle.get(), bytes.data(), wanted, &written, nullptr) || written == 0) {
                reason = LastErrorText();
                return false;
            }
            bytes.remove_prefix(written);
        }
        return true;
    }

    bool Flush(std::string& reason) override {
        if (FlushFileBuffers(m_handle.get())) return true;
        reason = LastErrorText();
        return false;
    }

    bool Close(std::string& reason) override {
        if (CloseHandle(m_handle.release())) return true;
        reason = LastErrorText();
        return false;
    }

private:
    UniqueHandle m_handle;
};

}  // namespace

std::wstring CurrentFolder() {
    std::wstring folder(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(folder.size()), &folder[0]);
        if (length == 0) return std::wstring();
        if (length < folder.size()) {
            folder.resize(length);
            return folder;
        }
        folder.resize(length);  // the size asked for, terminator included
    }
}

std::wstring InFolder(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    const bool separated = folder.back() == L'\\' || folder.back() == L'/';
    return folder + (separated ? L"" : L"\\") + name;
}

std::wstring Win32FileStore::Resolve(const std::string& path) const {
    const std::wstring wide = WideFromUtf8(path);
    return PathIsRelativeW(wide.c_str()) ? InFolder(m_folder, wide) : wide;
}

std::string SystemErrorText(unsigned long errorCode) {
    LocalBuffer buffer;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, errorCode, 0, reinterpret_cast<wchar_t*>(buffer.receiver()), 0, nullptr);
    std::wstring message = length > 0 && buffer.get() ? std::wstring(buffer.get(), length) : std::wstring();
    while (!message.empty() && (message.back() == L'\r' || message.back() == L'\n' || message.back() == L' ')) {
        message.pop_back();
    }
    const std::string code = FormatText("（错误代码 %lu）", errorCode);
    return message.empty() ? code : TextFromWide(message) + code;
}

ReadStatus Win32FileStore::ReadAll(const std::string& path, std::string& bytes, std::string& reason) {
    bytes.clear();
    UniqueHandle file(CreateFileW(Resolve(path).c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        const DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return ReadStatus::Missing;
        reason = SystemErrorText(error);
        return ReadStatus::Failed;
    }
    std::string chunk(kChunkBytes, '\0');
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), &chunk[0], kChunkBytes, &read, nullptr)) {
            reason = LastErrorText();
            bytes.clear();
            return ReadStatus::Failed;
        }
        if (read == 0) return ReadStatus::Read;
        bytes.append(chunk, 0, read);
    }
}

std::unique_ptr<WritableFile> Win32FileStore::CreateTemporary(const std::string& targetPath, std::string& temporaryPath,
                                                              std::string& reason) {
    for (int attempt = 1; attempt <= kTemporaryNameAttempts; ++attempt) {
        const std::string candidate = targetPath + FormatText(".%d.tmp", attempt);
        UniqueHandle file(CreateFileW(Resolve(candidate).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file) {
            temporaryPath = candidate;
            return std::make_unique<Win32WritableFile>(std::move(file));
        }
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) {
            reason = SystemErrorText(error);
            return nullptr;
        }
    }
    reason = SystemErrorText(ERROR_FILE_EXISTS);
    return nullptr;
}

bool Win32FileStore::Replace(const std::string& temporaryPath, const std::string& targetPath, std::string& reason) {
    // A read-only target keeps its protection: the move would replace it on
    // some systems, so it is refused here as the system refuses writing it.
    const std::wstring target = Resolve(targetPath);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
        reason = SystemErrorText(ERROR_ACCESS_DENIED);
        return false;
    }
    if (MoveFileExW(Resolve(temporaryPath).c_str(), target.c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    }
    reason = LastErrorText();
    return false;
}

void Win32FileStore::Remove(const std::string& path) { DeleteFileW(Resolve(path).c_str()); }

namespace {

// A full log makes way for a new one; the one before it goes. An older log
// the move cannot replace (an empty folder of that name, say) is removed
// first, but only when it is what stood in the way: a log held open by
// another program cannot move, and the older one then stays. A folder with
// files in it is never touched.
bool MoveFullLogAside(const std::wstring& path) {
    const std::wstring older = path + L".1";
    if (MoveFileExW(path.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    const UniqueHandle movable(CreateFileW(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                           nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!movable) return false;
    if (!DeleteFileW(older.c_str()) && !RemoveDirectoryW(older.c_str())) return false;
    return MoveFileExW(path.c_str(), older.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

}  // namespace

bool AppendLogLine(const std::wstring& path, std::string_view line, uint64_t limitBytes) {
    WIN32_FILE_ATTRIBUTE_DATA attributes{};
    if (GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        const uint64_t size = (uint64_t{attributes.nFileSizeHigh} << 32) | attributes.nFileSizeLow;
        // A log that cannot make way stops growing rather than fill the disk.
        if (size + line.size() > limitBytes && !MoveFullLogAside(path)) return false;
    }
    UniqueHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr) &&
           written == line.size();
}
