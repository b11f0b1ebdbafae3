#include "process/Win32ProgramFiles.h"

#include <wincrypt.h>

#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "process/Win32ProcessSystem.h"

namespace {

// The headers name it only for targets after Windows XP SP2, which the
// program still starts on (there the hash fails and the name alone is blocked).
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;  // ALG_SID_SHA_256

class CryptProvider {
public:
    CryptProvider() {
        if (!CryptAcquireContextW(&m_provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT)) m_provider = 0;
    }
    ~CryptProvider() {
        if (m_provider) CryptReleaseContext(m_provider, 0);
    }
    CryptProvider(const CryptProvider&) = delete;
    CryptProvider& operator=(const CryptProvider&) = delete;
    HCRYPTPROV get() const { return m_provider; }

private:
    HCRYPTPROV m_provider = 0;
};

class CryptHash {
public:
    explicit CryptHash(HCRYPTPROV provider) {
        if (!provider || !CryptCreateHash(provider, kSha256, 0, 0, &m_hash)) m_hash = 0;
    }
    ~CryptHash() {
        if (m_hash) CryptDestroyHash(m_hash);
    }
    CryptHash(const CryptHash&) = delete;
    CryptHash& operator=(const CryptHash&) = delete;
    HCRYPTHASH get() const { return m_hash; }

private:
    HCRYPTHASH m_hash = 0;
};

uint64_t Join(DWORD high, DWORD low) { return (uint64_t{high} << 32) | low; }

bool StampOfHandle(HANDLE file, FileStamp& stamp) {
    BY_HANDLE_FILE_INFORMATION information{};
    if (!GetFileInformationByHandle(file, &information)) return false;
    stamp.size = Join(information.nFileSizeHigh, information.nFileSizeLow);
    stamp.lastWrite = Join(information.ftLastWriteTime.dwHighDateTime, information.ftLastWriteTime.dwLowDateTime);
    return true;
}

bool SameStamp(const FileStamp& a, const FileStamp& b) { return a.size == b.size && a.lastWrite == b.lastWrite; }

// Reads the file in slices; stop is asked between them.
std::string HashFile(const std::wstring& path, const FileStamp& expected, const std::atomic<bool>* stop) {
    // Others may go on reading, writing and even replacing the file: a change
    // shows in its stamp, and the hash is then thrown away.
    const UniqueHandle file = OpenProgramFile(path, FILE_FLAG_SEQUENTIAL_SCAN);
    FileStamp before;
    if (!file || !StampOfHandle(file.get(), before) || !SameStamp(before, expected)) return {};
    const CryptProvider provider;
    const CryptHash hash(provider.get());
    if (!hash.get()) return {};
    std::vector<BYTE> slice(1 << 20);
    uint64_t total = 0;
    for (;;) {
        if (stop && stop->load()) return {};
        DWORD read = 0;
        if (!ReadFile(file.get(), slice.data(), static_cast<DWORD>(slice.size()), &read, nullptr)) return {};
        if (read == 0) break;
        total += read;
        if (!CryptHashData(hash.get(), slice.data(), read, 0)) return {};
    }
    FileStamp after;
    if (total != expected.size || !StampOfHandle(file.get(), after) || !SameStamp(after, expected)) return {};
    BYTE digest[32] = {};
    DWORD digestSize = sizeof(digest);
    if (!CryptGetHashParam(hash.get(), HP_HASHVAL, digest, &digestSize, 0) || digestSize != sizeof(digest)) return {};
    return HexText(digest, digestSize);
}

}  // namespace

Win32ProgramFiles::~Win32ProgramFiles() {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

void Win32ProgramFiles::SetNotify(HWND window, UINT message) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_window = window;
    m_message = message;
}

std::wstring Win32ProgramFiles::ProgramPathOf(uint32_t pid) { return ProcessImagePath(pid); }

bool Win32ProgramFiles::StampOf(const std::wstring& path, FileStamp& stamp) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    BOOL read = FALSE;
    OnProgramFile(path, [&] { read = GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data); });
    if (!read) return false;
    if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    stamp.size = Join(data.nFileSizeHigh, data.nFileSizeLow);
    stamp.lastWrite = Join(data.ftLastWriteTime.dwHighDateTime, data.ftLastWriteTime.dwLowDateTime);
    return true;
}

std::wstring Win32ProgramFiles::WindowsFolder() {
    if (m_windowsFolder.empty()) m_windowsFolder = FullLongPath(SystemFolderPath(GetSystemWindowsDirectoryW));
    return m_windowsFolder;
}

std::string Win32ProgramFiles::Sha256Of(const std::wstring& path, const FileStamp& stamp) {
    return HashFile(path, stamp, nullptr);
}

void Win32ProgramFiles::RequestHash(const std::wstring& path, const FileStamp& stamp) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_jobs.push_back({path, stamp, {}});
        if (!m_worker.joinable()) m_worker = std::thread([this] { Work(); });
    }
    m_wake.notify_one();
}

std::vector<Win32ProgramFiles::HashResult> Win32ProgramFiles::TakeResults() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    std::vector<HashResult> done;
    done.swap(m_done);
    return done;
}

void Win32ProgramFiles::Work() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stop.load() || !m_jobs.empty(); });
        if (m_stop) return;
        HashResult job = std::move(m_jobs.front());
        m_jobs.pop_front();
        lock.unlock();
        job.sha256 = HashFile(job.path, job.stamp, &m_stop);
        lock.lock();
        if (m_stop) return;
        m_done.push_back(std::move(job));
        if (m_window) PostMessageW(m_window, m_message, 0, 0);
    }
}
