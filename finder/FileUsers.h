// The processes that hold a file or a folder, as plain data: how paths are
// compared (the file system's way: without case, a folder ending at a
// backslash), what each process reads as, and the rows the search shows with
// their reasons.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "process/ProcessInstance.h"
#include "process/ProcessSystem.h"
#include "process/ProcessUsage.h"

// A path as the file system compares it: "\\?\" and "\\?\UNC\" taken off,
// '/' as '\', no backslash at the end (a drive's root keeps its own), and
// each letter in its upper case (ASCII, Latin-1 and Latin Extended-A, Greek,
// Cyrillic and the full-width Latin letters, as the file system's table maps
// them).
std::wstring ComparablePath(std::wstring_view path);
// The same file: equal paths without regard to case.
bool IsSamePath(std::wstring_view a, std::wstring_view b);
// path lies in folder or below it ("C:\a\b\x" is in "C:\a\b"; "C:\a\bc" is
// not; the folder itself is not in it).
bool IsPathInFolder(std::wstring_view path, std::wstring_view folder);

// The system's device name of a drive ("\Device\HarddiskVolume1" for "C:").
struct DriveDevice {
    std::wstring drive;   // "C:"
    std::wstring device;  // as QueryDosDevice names it
};
// A file's name as the memory manager gives it for a mapped module, as a
// path: "\Device\HarddiskVolume1\x\y.dll" on the drive of that device,
// "\Device\Mup\server\share\y.dll" as "\\server\share\y.dll", and
// "\??\C:\y.dll" (as some systems give it) as "C:\y.dll". Empty for a
// device no drive names: the caller asks the slower way.
std::wstring PathOfMappedName(std::wstring_view mapped, const std::vector<DriveDevice>& drives);

// Why a process holds the file or folder searched for.
enum class FileUseReason {
    LoadsFile,        // the file is its program file or one of its loaded modules
    OpensFile,        // named by the Restart Manager alone: the file is open in it
    ProgramInFolder,  // its program file lies in the folder or below it
    LoadsFromFolder,  // one of its loaded modules lies in the folder or below it
};
// 原因: "加载了该文件", "打开了该文件", "程序位于该文件夹", "加载了该文件夹中的文件".
const char* FileUseReasonText(FileUseReason reason);

// What one process reads as: its program file and loaded modules (the
// program file among them as the system lists it), or that its modules could
// not be read (another user's process, a service's or a protected one for a
// program without the rights; a 64-bit process for a 32-bit program), or
// that the pid no longer names that process.
enum class ModulesRead { Read, Unreadable, Gone };
struct ProcessFiles {
    ModulesRead read = ModulesRead::Gone;
    std::wstring programPath;           // full and long; empty when unknown (also when unreadable)
    std::vector<std::wstring> modules;  // full paths, as the system names them
};

// A process the Restart Manager names as using the file.
struct FileHolder {
    uint32_t pid = 0;
    uint64_t startTime = 0;  // creation, 100-ns units since 1601 (UTC); 0 when not given
};

// One row of the result.
struct FileUser {
    ProcessInstance process;
    std::string name;
    std::wstring programPath;
    FileUseReason reason = FileUseReason::LoadsFile;
};

// What the search found: a row for each process that surely holds it, and
// how many processes could not be read and so might hold it too.
struct FileUsersFound {
    std::vector<FileUser> users;
    size_t unreadable = 0;
};

// One process of the look with what it read as.
struct LookedProcess {
    SampledProcess sampled;
    ProcessFiles files;
};

// The union: for a file, each process whose program file or a loaded module
// is the file (LoadsFile), then each other one the Restart Manager named
// (OpensFile; a holder is the look's process of its pid, and of its start time
// when both are known); for a folder, each process whose program file lies
// in it (ProgramInFolder), else a loaded module (LoadsFromFolder). Processes
// that ended are left out; pids 0 and 4 are never counted as unreadable (they
// have no modules to read). Rows by name without regard to ASCII case, then
// by pid.
FileUsersFound JoinFileUsers(const std::wstring& target, bool isFolder, const std::vector<LookedProcess>& processes,
                             const std::vector<FileHolder>& holders);

// Texts of the result list, in column order: 进程, PID, 路径, 原因. The path
// as text goes through the process system's conversion.
enum FileUserColumn {
    kFileUserProcessColumn,
    kFileUserPidColumn,
    kFileUserPathColumn,
    kFileUserReasonColumn,
    kFileUserColumnCount,
};
std::vector<std::string> FileUserCells(const FileUser& user, const std::string& pathText);
// The order of two rows by a column, ascending (negative: a first): names
// without regard to ASCII case, pids as numbers, paths as the file system
// compares them, reasons in the order of FileUseReason.
int CompareFileUsers(const FileUser& a, const FileUser& b, int column);
// The last row, for the processes that could not be read: "其他 <n> 个进程",
// no pid nor path, 原因 "无法读取".
std::vector<std::string> UnreadableCells(size_t unreadable);
// "没有找到占用“<path>”的进程。"
std::string NothingFoundText(const std::string& pathText);

// The seam over the system's calls of the search.
class FileUsersSystem {
public:
    virtual ~FileUsersSystem() = default;
    // The path in full and long form, where it exists; as given otherwise.
    virtual std::wstring FullLongPath(const std::wstring& path) = 0;
    virtual bool IsFolder(const std::wstring& path) = 0;
    // The processes the Restart Manager names for the file; none where the
    // system has no Restart Manager or it fails.
    virtual std::vector<FileHolder> ProcessesUsingFile(const std::wstring& path) = 0;
    // The process's program file and modules, read while the pid names that
    // very process.
    virtual ProcessFiles ReadProcessFiles(const ProcessInstance& process) = 0;
};

// The search: the Restart Manager first, then one look at the processes and
// what each reads as (a process the Restart Manager named and the look lacks
// has ended since). The target as the system names it, in full and long form.
struct FileSearch {
    std::wstring target;
    bool isFolder = false;
    FileUsersFound found;
};
FileSearch SearchFileUsers(const std::wstring& path, ProcessSystem& processes, FileUsersSystem& files);
