#include "finder/FileUsers.h"

#include <algorithm>

namespace {

// The upper case the file system compares a character by, for the scripts a
// user's folder names are most often written in; every other character is
// its own.
wchar_t UpperCaseOf(wchar_t c) {
    const auto shifted = [c](int by) { return static_cast<wchar_t>(c - by); };
    const auto is = [c](int code) { return c == static_cast<wchar_t>(code); };
    const auto within = [c](int first, int last) {
        return c >= static_cast<wchar_t>(first) && c <= static_cast<wchar_t>(last);
    };
    const bool odd = (c & 1) != 0;
    if (within('a', 'z')) return shifted(0x20);
    if (c < static_cast<wchar_t>(0xE0)) return c;
    if (within(0xE0, 0xFE)) return is(0xF7) ? c : shifted(0x20);  // U+00F7 is the division sign
    if (is(0xFF)) return static_cast<wchar_t>(0x178);
    // Latin Extended-A: pairs of upper and lower case; the dotless i has none.
    if (within(0x100, 0x137)) return odd && !is(0x131) ? shifted(1) : c;
    if (within(0x139, 0x148)) return odd ? c : shifted(1);
    if (within(0x14A, 0x177)) return odd ? shifted(1) : c;
    if (is(0x17A) || is(0x17C) || is(0x17E)) return shifted(1);
    // Greek: the final sigma is a sigma; the accented vowels have their own places.
    if (is(0x3AC)) return static_cast<wchar_t>(0x386);
    if (within(0x3AD, 0x3AF)) return shifted(0x25);
    if (is(0x3C2)) return static_cast<wchar_t>(0x3A3);
    if (within(0x3B1, 0x3CB)) return shifted(0x20);
    if (is(0x3CC)) return static_cast<wchar_t>(0x38C);
    if (is(0x3CD) || is(0x3CE)) return shifted(0x3F);
    // Cyrillic.
    if (within(0x430, 0x44F)) return shifted(0x20);
    if (within(0x450, 0x45F)) return shifted(0x50);
    // Full-width Latin letters.
    if (within(0xFF41, 0xFF5A)) return shifted(0x20);
    return c;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

// "C:\": the one path whose last backslash is its own.
bool IsDriveRoot(const std::wstring& path) { return path.size() == 3 && path[1] == L':' && path[2] == L'\\'; }

// Both in comparable form: path lies below folder, not merely beside it.
bool IsComparableInFolder(const std::wstring& path, const std::wstring& folder) {
    if (folder.empty()) return false;
    const std::wstring prefix = IsDriveRoot(folder) ? folder : folder + L'\\';
    return path.size() > prefix.size() && StartsWith(path, prefix);
}

bool IsNamedBy(const SampledProcess& process, const std::vector<FileHolder>& holders) {
    return std::any_of(holders.begin(), holders.end(), [&](const FileHolder& holder) {
        return holder.pid == process.pid &&
               (holder.startTime == 0 || process.startTime == 0 || holder.startTime == process.startTime);
    });
}

// The reason the process holds the target (in comparable form), if it does.
bool FindReason(const std::wstring& target, bool isFolder, const LookedProcess& process,
                const std::vector<FileHolder>& holders, FileUseReason& reason) {
    const auto holds = [&](const std::wstring& path) {
        if (path.empty()) return false;
        const std::wstring comparable = ComparablePath(path);
        return isFolder ? IsComparableInFolder(comparable, target) : comparable == target;
    };
    const std::vector<std::wstring>& modules = process.files.modules;
    if (holds(process.files.programPath)) {
        reason = isFolder ? FileUseReason::ProgramInFolder : FileUseReason::LoadsFile;
        return true;
    }
    if (std::any_of(modules.begin(), modules.end(), holds)) {
        reason = isFolder ? FileUseReason::LoadsFromFolder : FileUseReason::LoadsFile;
        return true;
    }
    if (!isFolder && IsNamedBy(process.sampled, holders)) {
        reason = FileUseReason::OpensFile;
        return true;
    }
    return false;
}

// Negative when a comes first; bytes as unsigned, as string comparison takes them.
int CompareWithoutAsciiCase(std::string a, std::string b) {
    for (std::string* text : {&a, &b}) {
        for (char& c : *text) c = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return a.compare(b);
}

}  // namespace

std::wstring ComparablePath(std::wstring_view path) {
    if (StartsWith(path, L"\\\\?\\UNC\\")) {
        path.remove_prefix(8);
        return ComparablePath(L"\\\\" + std::wstring(path));
    }
    if (StartsWith(path, L"\\\\?\\")) path.remove_prefix(4);
    std::wstring comparable;
    comparable.reserve(path.size());
    for (const wchar_t c : path) comparable += c == L'/' ? L'\\' : UpperCaseOf(c);
    while (!comparable.empty() && comparable.back() == L'\\' && !IsDriveRoot(comparable)) comparable.pop_back();
    return comparable;
}

std::wstring PathOfMappedName(std::wstring_view mapped, const std::vector<DriveDevice>& drives) {
    if (StartsWith(mapped, L"\\??\\UNC\\")) return L"\\\\" + std::wstring(mapped.substr(8));
    if (StartsWith(mapped, L"\\??\\")) return std::wstring(mapped.substr(4));
    const auto onDevice = [mapped](const DriveDevice& drive) {
        const std::wstring_view device = drive.device;
        return !device.empty() && mapped.size() > device.size() && mapped[device.size()] == L'\\' &&
               ComparablePath(mapped.substr(0, device.size())) == ComparablePath(device);
    };
    const auto found = std::find_if(drives.begin(), drives.end(), onDevice);
    if (found != drives.end()) return found->drive + std::wstring(mapped.substr(found->device.size()));
    // The network's device: "\Device\Mup\server\share" is "\\server\share".
    const DriveDevice network{L"\\", L"\\Device\\Mup"};
    if (onDevice(network)) return network.drive + std::wstring(mapped.substr(network.device.size()));
    return std::wstring();
}

bool IsSamePath(std::wstring_view a, std::wstring_view b) { return ComparablePath(a) == ComparablePath(b); }

bool IsPathInFolder(std::wstring_view path, std::wstring_view folder) {
    return IsComparableInFolder(ComparablePath(path), ComparablePath(folder));
}

const char* FileUseReasonText(FileUseReason reason) {
    switch (reason) {
    case FileUseReason::LoadsFile: return "加载了该文件";
    case FileUseReason::OpensFile: return "打开了该文件";
    case FileUseReason::ProgramInFolder: return "程序位于该文件夹";
    case FileUseReason::LoadsFromFolder: return "加载了该文件夹中的文件";
    }
    return "";
}

FileUsersFound JoinFileUsers(const std::wstring& target, bool isFolder, const std::vector<LookedProcess>& processes,
                             const std::vector<FileHolder>& holders) {
    FileUsersFound found;
    const std::wstring comparableTarget = ComparablePath(target);
    if (comparableTarget.empty()) return found;
    for (const LookedProcess& process : processes) {
        if (process.files.read == ModulesRead::Gone) continue;
        FileUseReason reason = FileUseReason::LoadsFile;
        if (FindReason(comparableTarget, isFolder, process, holders, reason)) {
            found.users.push_back({{process.sampled.pid, process.sampled.startTime},
                                   process.sampled.name,
                                   process.files.programPath,
                                   reason});
        } else if (process.files.read == ModulesRead::Unreadable && process.sampled.pid != 0 &&
                   process.sampled.pid != 4) {
            ++found.unreadable;
        }
    }
    std::stable_sort(found.users.begin(), found.users.end(), [](const FileUser& a, const FileUser& b) {
        const int byName = CompareWithoutAsciiCase(a.name, b.name);
        return byName != 0 ? byName < 0 : a.process.pid < b.process.pid;
    });
    return found;
}

std::vector<std::string> FileUserCells(const FileUser& user, const std::string& pathText) {
    return {user.name, std::to_string(user.process.pid), pathText, FileUseReasonText(user.reason)};
}

int CompareFileUsers(const FileUser& a, const FileUser& b, int column) {
    const auto order = [](auto x, auto y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (column) {
    case kFileUserProcessColumn: return CompareWithoutAsciiCase(a.name, b.name);
    case kFileUserPidColumn: return order(a.process.pid, b.process.pid);
    case kFileUserPathColumn: return order(ComparablePath(a.programPath), ComparablePath(b.programPath));
    case kFileUserReasonColumn: return order(static_cast<int>(a.reason), static_cast<int>(b.reason));
    default: return 0;
    }
}

std::vector<std::string> UnreadableCells(size_t unreadable) {
    return {"其他 " + std::to_string(unreadable) + " 个进程", "", "", "无法读取"};
}

std::string NothingFoundText(const std::string& pathText) { return "没有找到占用“" + pathText + "”的进程。"; }

FileSearch SearchFileUsers(const std::wstring& path, ProcessSystem& processes, FileUsersSystem& files) {
    FileSearch search;
    search.target = files.FullLongPath(path);
    search.isFolder = files.IsFolder(search.target);
    const std::vector<FileHolder> holders =
        search.isFolder ? std::vector<FileHolder>() : files.ProcessesUsingFile(search.target);
    ProcessSample look;
    processes.SampleProcesses(look);
    std::vector<LookedProcess> looked;
    looked.reserve(look.processes.size());
    for (const SampledProcess& sampled : look.processes) {
        looked.push_back({sampled, files.ReadProcessFiles({sampled.pid, sampled.startTime})});
    }
    search.found = JoinFileUsers(search.target, search.isFolder, looked, holders);
    return search;
}
