#include <gtest/gtest.h>

#include <map>

#include "finder/FileUsers.h"

namespace {

LookedProcess Looked(uint32_t pid, std::string name, std::wstring program, std::vector<std::wstring> modules = {},
                     ModulesRead read = ModulesRead::Read, uint64_t startTime = UINT64_MAX) {
    LookedProcess looked;
    looked.sampled.pid = pid;
    looked.sampled.name = std::move(name);
    looked.sampled.startTime = startTime == UINT64_MAX ? 1000 + pid : startTime;
    looked.files.read = read;
    looked.files.programPath = std::move(program);
    looked.files.modules = std::move(modules);
    return looked;
}

// "name:pid:reason" of each row, in order.
std::vector<std::string> Rows(const FileUsersFound& found) {
    std::vector<std::string> rows;
    for (const FileUser& user : found.users) {
        rows.push_back(user.name + ":" + std::to_string(user.process.pid) + ":" + FileUseReasonText(user.reason));
    }
    return rows;
}

using Strings = std::vector<std::string>;

// Processes with their files and the Restart Manager's answer, as a test sets them.
class ScriptedFiles : public FileUsersSystem {
public:
    std::map<uint32_t, ProcessFiles> files;
    std::vector<FileHolder> holders;
    std::vector<std::string> calls;
    bool folder = false;
    std::wstring FullLongPath(const std::wstring& path) override {
        calls.push_back("long");
        return path == L"C:\\PROGRA~1\\x.dll" ? L"C:\\Program Files\\x.dll" : path;
    }
    bool IsFolder(const std::wstring&) override { return folder; }
    std::vector<FileHolder> ProcessesUsingFile(const std::wstring& path) override {
        calls.push_back("rm " + std::string(path.begin(), path.end()));
        return holders;
    }
    ProcessFiles ReadProcessFiles(const ProcessInstance& process) override {
        calls.push_back("read " + std::to_string(process.pid) + "@" + std::to_string(process.startTime));
        const auto found = files.find(process.pid);
        return found == files.end() ? ProcessFiles{} : found->second;
    }
};

class SampledSystem : public ProcessSystem {
public:
    std::vector<SampledProcess> processes;
    std::vector<std::string>* calls = nullptr;
    bool SampleProcesses(ProcessSample& sample) override {
        if (calls) calls->push_back("look");
        sample = ProcessSample{};
        sample.processes = processes;
        return true;
    }
    void WalkProcesses(const std::function<bool(const ProcessRecord&)>&) override {}
    EndOutcome Terminate(const ProcessInstance&, std::string*) override { return EndOutcome::Failed; }
    bool IsRunning(const ProcessInstance&) override { return true; }
    bool EnableDebugPrivilege() override { return true; }
};

ProcessFiles Files(std::wstring program, std::vector<std::wstring> modules = {}, ModulesRead read = ModulesRead::Read) {
    return {read, std::move(program), std::move(modules)};
}

}  // namespace

TEST(FileUserPaths, CompareWithoutCaseInEveryScriptOfUsersFolders) {
    EXPECT_TRUE(IsSamePath(L"C:\\Program Files\\App\\app.exe", L"c:\\PROGRAM FILES\\app\\APP.EXE"));
    EXPECT_TRUE(IsSamePath(L"C:\\Users\\Björn\\ä.dll", L"C:\\USERS\\BJÖRN\\Ä.DLL"));
    EXPECT_TRUE(IsSamePath(L"C:\\Users\\Łukasz\\ő.dll", L"C:\\Users\\łUKASZ\\Ő.DLL"));
    EXPECT_TRUE(IsSamePath(L"C:\\ÿ\\Ž", L"C:\\Ÿ\\ž"));
    EXPECT_TRUE(IsSamePath(L"C:\\ā\\ķ", L"C:\\Ā\\Ķ"));
    EXPECT_TRUE(IsSamePath(L"C:\\ź\\ż", L"C:\\Ź\\Ż"));
    EXPECT_TRUE(IsSamePath(L"C:\\Σοφία\\άέ", L"C:\\ΣΟΦΊΑ\\ΆΈ"));
    EXPECT_TRUE(IsSamePath(L"C:\\σς\\όύώ", L"C:\\ΣΣ\\ΌΎΏ"));
    EXPECT_TRUE(IsSamePath(L"C:\\Пётр\\ёж", L"C:\\ПЁТР\\ЁЖ"));
    EXPECT_TRUE(IsSamePath(L"C:\\ａｂｃ", L"C:\\ＡＢＣ"));
    EXPECT_TRUE(IsSamePath(L"C:\\日本語\\a.dll", L"c:\\日本語\\A.dll"));
    // Different letters stay different, whatever their case.
    EXPECT_FALSE(IsSamePath(L"C:\\a.dll", L"C:\\b.dll"));
    EXPECT_FALSE(IsSamePath(L"C:\\÷", L"C:\\×")) << "the division sign is no letter";
    EXPECT_FALSE(IsSamePath(L"C:\\ß", L"C:\\SS"));
    EXPECT_FALSE(IsSamePath(L"C:\\ı", L"C:\\i")) << "the dotless i has no upper case of its own";
    EXPECT_FALSE(IsSamePath(L"C:\\ı", L"C:\\İ"));
    EXPECT_FALSE(IsSamePath(L"C:\\日本語", L"C:\\日本")) << "a path is not the same as its beginning";
    EXPECT_FALSE(IsSamePath(L"C:\\@[`{", L"C:\\`{@["));
    EXPECT_FALSE(IsSamePath(L"C:\\ĸ", L"C:\\ķ")) << "U+0138 ends the first run of pairs";
    EXPECT_FALSE(IsSamePath(L"C:\\Ĺ", L"C:\\ĸ"));
    EXPECT_FALSE(IsSamePath(L"C:\\ŉ", L"C:\\ň"));
    EXPECT_FALSE(IsSamePath(L"C:\\ſ", L"C:\\ž"));
}

TEST(FileUserPaths, TheSystemsSpellingsOfOnePathAreOnePath) {
    EXPECT_TRUE(IsSamePath(L"\\\\?\\C:\\a\\b.dll", L"C:\\a\\b.dll"));
    EXPECT_TRUE(IsSamePath(L"\\\\?\\UNC\\server\\share\\b.dll", L"\\\\server\\share\\b.dll"));
    EXPECT_TRUE(IsSamePath(L"C:/a/b.dll", L"C:\\a\\b.dll"));
    EXPECT_TRUE(IsSamePath(L"C:\\a\\", L"C:\\a"));
    EXPECT_EQ(ComparablePath(L"C:\\"), L"C:\\") << "a drive's root keeps its backslash";
    EXPECT_EQ(ComparablePath(L"c:\\a\\\\"), L"C:\\A");
    EXPECT_EQ(ComparablePath(L"\\\\?\\UNC\\s\\x\\"), L"\\\\S\\X");
    EXPECT_EQ(ComparablePath(L"\\\\?\\"), L"") << "the prefix alone names nothing";
}

TEST(FileUserPaths, AFolderHoldsWhatLiesBelowItOnly) {
    EXPECT_TRUE(IsPathInFolder(L"C:\\a\\b\\x.dll", L"C:\\a\\b"));
    EXPECT_TRUE(IsPathInFolder(L"C:\\a\\b\\c\\d\\x.dll", L"c:\\A\\B\\"));
    EXPECT_TRUE(IsPathInFolder(L"C:\\x.dll", L"C:\\"));
    EXPECT_TRUE(IsPathInFolder(L"C:\\Users\\日本語\\x.exe", L"C:\\Users\\日本語"));
    EXPECT_FALSE(IsPathInFolder(L"C:\\a\\bc\\x.dll", L"C:\\a\\b")) << "a neighbour whose name begins alike";
    EXPECT_FALSE(IsPathInFolder(L"C:\\a\\bc", L"C:\\a\\b"));
    EXPECT_FALSE(IsPathInFolder(L"C:\\a\\b", L"C:\\a\\b")) << "the folder itself is not in it";
    EXPECT_FALSE(IsPathInFolder(L"C:\\a\\b\\", L"C:\\a\\b"));
    EXPECT_FALSE(IsPathInFolder(L"D:\\x.dll", L"C:\\"));
    EXPECT_FALSE(IsPathInFolder(L"c:\\", L"C:\\")) << "nor is a drive's root in itself";
    EXPECT_FALSE(IsPathInFolder(L"C:\\x.dll", L"")) << "no folder holds nothing";
    EXPECT_FALSE(IsPathInFolder(L"", L"C:\\a"));
}

TEST(FileUsersJoin, AFileIsHeldByItsLoadersAndByThoseTheRestartManagerNames) {
    const std::wstring dll = L"C:\\Tools\\hook.dll";
    const std::vector<LookedProcess> processes = {
        // Ended since the look: it holds nothing any more, and the rest are read on.
        Looked(5, "ended.exe", dll, {dll}, ModulesRead::Gone),
        Looked(10, "zeta.exe", L"C:\\Z\\zeta.exe", {L"C:\\Z\\zeta.exe", L"c:\\tools\\HOOK.DLL"}),
        Looked(20, "Alpha.exe", L"C:\\A\\alpha.exe", {L"C:\\A\\alpha.exe"}),
        Looked(30, "beta.exe", L"C:\\B\\beta.exe", {L"C:\\B\\beta.exe", L"C:\\Tools\\hook.dll"}),
        Looked(40, "other.exe", L"C:\\O\\other.exe", {L"C:\\O\\other.exe", L"C:\\Tools\\hook.dll2"}),
        Looked(50, "alpha.exe", L"C:\\Tools\\hook.dll", {}),
    };
    // The Restart Manager names a loader too: it stays 加载了该文件, once.
    const FileUsersFound found = JoinFileUsers(dll, false, processes, {{20, 1020}, {30, 1030}});
    EXPECT_EQ(Rows(found), (Strings{"Alpha.exe:20:打开了该文件", "alpha.exe:50:加载了该文件",
                                    "beta.exe:30:加载了该文件", "zeta.exe:10:加载了该文件"}));
    EXPECT_EQ(found.users[0].programPath, L"C:\\A\\alpha.exe");
    EXPECT_EQ(found.users[0].process.startTime, 1020u);
    EXPECT_EQ(found.unreadable, 0u);
}

TEST(FileUsersJoin, TheRestartManagersProcessIsTheLooksProcessOfThatStart) {
    const std::vector<LookedProcess> processes = {
        Looked(20, "reused.exe", L"C:\\r.exe", {}, ModulesRead::Read, 5000),
        Looked(30, "unknown.exe", L"C:\\u.exe", {}, ModulesRead::Read, 0),
        Looked(40, "same.exe", L"C:\\s.exe", {}, ModulesRead::Read, 7000),
    };
    // Pid 20 was another process when the Restart Manager named it; 30's start
    // is unknown to the look and 50's to the Restart Manager: the pid decides.
    const FileUsersFound found =
        JoinFileUsers(L"C:\\f.txt", false, processes, {{20, 4000}, {30, 3000}, {40, 7000}, {60, 0}});
    EXPECT_EQ(Rows(found), (Strings{"same.exe:40:打开了该文件", "unknown.exe:30:打开了该文件"}));
    const FileUsersFound byPid = JoinFileUsers(L"C:\\f.txt", false, processes, {{40, 0}});
    EXPECT_EQ(Rows(byPid), (Strings{"same.exe:40:打开了该文件"}));
}

TEST(FileUsersJoin, AFolderHoldsTheProcessesOfItsProgramsAndModules) {
    const std::wstring folder = L"C:\\Users\\Björn\\App";
    const std::vector<LookedProcess> processes = {
        Looked(10, "app.exe", L"C:\\Users\\BJÖRN\\app\\bin\\app.exe", {L"C:\\Users\\Björn\\App\\bin\\app.exe"}),
        Looked(20, "host.exe", L"C:\\Windows\\host.exe", {L"C:\\Windows\\host.exe", L"C:\\Users\\Björn\\App\\p.dll"}),
        Looked(30, "near.exe", L"C:\\Users\\Björn\\Apps\\near.exe", {L"C:\\Users\\Björn\\Application\\n.dll"}),
        Looked(40, "idle.exe", L"C:\\Windows\\idle.exe", {L"C:\\Windows\\idle.exe"}),
    };
    // The Restart Manager is not asked about folders; a holder named anyway changes nothing.
    const FileUsersFound found = JoinFileUsers(folder, true, processes, {{40, 1040}});
    EXPECT_EQ(Rows(found), (Strings{"app.exe:10:程序位于该文件夹", "host.exe:20:加载了该文件夹中的文件"}));
}

TEST(FileUsersJoin, WhatCouldNotBeReadIsCountedUnlessItsProgramTellsEnough) {
    const std::wstring dll = L"C:\\Tools\\hook.dll";
    const std::vector<LookedProcess> processes = {
        Looked(0, "[System Process]", L"", {}, ModulesRead::Unreadable),
        Looked(4, "System", L"", {}, ModulesRead::Unreadable),
        Looked(10, "svc.exe", L"C:\\Tools\\svc.exe", {}, ModulesRead::Unreadable),
        Looked(20, "hook.dll", L"C:\\Tools\\HOOK.dll", {}, ModulesRead::Unreadable),
        Looked(30, "other.exe", L"", {}, ModulesRead::Unreadable),
        Looked(40, "opened.exe", L"", {}, ModulesRead::Unreadable),
        Looked(50, "gone.exe", L"C:\\Tools\\hook.dll", {L"C:\\Tools\\hook.dll"}, ModulesRead::Gone),
        Looked(60, "read.exe", L"C:\\r.exe", {L"C:\\r.exe"}),
    };
    const FileUsersFound forFile = JoinFileUsers(dll, false, processes, {{40, 1040}, {50, 1050}});
    EXPECT_EQ(Rows(forFile), (Strings{"hook.dll:20:加载了该文件", "opened.exe:40:打开了该文件"}));
    EXPECT_EQ(forFile.unreadable, 2u) << "svc.exe and other.exe might hold it; pids 0 and 4 have no modules";

    const FileUsersFound forFolder = JoinFileUsers(L"C:\\Tools", true, processes, {});
    EXPECT_EQ(Rows(forFolder), (Strings{"hook.dll:20:程序位于该文件夹", "svc.exe:10:程序位于该文件夹"}));
    EXPECT_EQ(forFolder.unreadable, 2u);

    EXPECT_TRUE(JoinFileUsers(L"", false, processes, {{40, 1040}}).users.empty()) << "no path names nothing";
}

TEST(FileUsersJoin, RowsOfOneNameGoByPid) {
    const std::vector<LookedProcess> processes = {
        Looked(30, "b.exe", L"C:\\x.exe"), Looked(10, "B.exe", L"C:\\x.exe"), Looked(20, "b.exe", L"C:\\x.exe"),
        Looked(5, "b.ex", L"C:\\x.exe"),   Looked(6, "c", L"C:\\x.exe"),      Looked(7, "[", L"C:\\x.exe"),
    };
    EXPECT_EQ(Rows(JoinFileUsers(L"C:\\x.exe", false, processes, {})),
              (Strings{"[:7:加载了该文件", "b.ex:5:加载了该文件", "B.exe:10:加载了该文件", "b.exe:20:加载了该文件",
                       "b.exe:30:加载了该文件", "c:6:加载了该文件"}))
        << "names in the order of their lower-case letters, as the main list sorts them";
}

TEST(FileUsersTexts, RowsAndMessages) {
    const FileUser user{{1234, 99}, "app.exe", L"C:\\a\\app.exe", FileUseReason::LoadsFromFolder};
    EXPECT_EQ(FileUserCells(user, "C:\\a\\app.exe"),
              (Strings{"app.exe", "1234", "C:\\a\\app.exe", "加载了该文件夹中的文件"}));
    EXPECT_EQ(UnreadableCells(3), (Strings{"其他 3 个进程", "", "", "无法读取"}));
    EXPECT_EQ(NothingFoundText("C:\\x.txt"), "没有找到占用“C:\\x.txt”的进程。");
    EXPECT_STREQ(FileUseReasonText(FileUseReason::OpensFile), "打开了该文件");
    EXPECT_STREQ(FileUseReasonText(FileUseReason::ProgramInFolder), "程序位于该文件夹");
}

TEST(FileUsersSearch, AsksTheRestartManagerBeforeTheLookAndReadsEachProcessOfIt) {
    ScriptedFiles files;
    SampledSystem processes;
    processes.calls = &files.calls;
    processes.processes = {{10, "a.exe", 0, 111}, {20, "b.exe", 0, 222}, {30, "c.exe", 0, 333}};
    files.files[10] = Files(L"C:\\a.exe", {L"C:\\a.exe", L"C:\\Program Files\\x.dll"});
    files.files[20] = Files(L"C:\\b.exe", {L"C:\\b.exe"});
    files.files[30] = Files(L"C:\\c.exe", {}, ModulesRead::Unreadable);
    files.holders = {{20, 222}, {90, 999}};  // 90 ended before the look
    const FileSearch search = SearchFileUsers(L"C:\\PROGRA~1\\x.dll", processes, files);
    EXPECT_EQ(search.target, L"C:\\Program Files\\x.dll");
    EXPECT_FALSE(search.isFolder);
    EXPECT_EQ(files.calls,
              (Strings{"long", "rm C:\\Program Files\\x.dll", "look", "read 10@111", "read 20@222", "read 30@333"}));
    EXPECT_EQ(Rows(search.found), (Strings{"a.exe:10:加载了该文件", "b.exe:20:打开了该文件"}));
    EXPECT_EQ(search.found.unreadable, 1u);
}

TEST(FileUsersSearch, AFolderIsNotPutToTheRestartManager) {
    ScriptedFiles files;
    files.folder = true;
    SampledSystem processes;
    processes.processes = {{10, "a.exe", 0, 111}};
    files.files[10] = Files(L"C:\\Dir\\sub\\a.exe", {L"C:\\Dir\\sub\\a.exe"});
    files.holders = {{10, 111}};
    const FileSearch search = SearchFileUsers(L"C:\\Dir", processes, files);
    EXPECT_TRUE(search.isFolder);
    EXPECT_EQ(files.calls, (Strings{"long", "read 10@111"}));
    EXPECT_EQ(Rows(search.found), (Strings{"a.exe:10:程序位于该文件夹"}));
}

TEST(FileUserPaths, MappedNamesBecomePathsOnTheirDrives) {
    const std::vector<DriveDevice> drives = {
        {L"C:", L"\\Device\\HarddiskVolume1"}, {L"D:", L"\\Device\\HarddiskVolume12"}, {L"E:", L""}};
    EXPECT_EQ(PathOfMappedName(L"\\Device\\HarddiskVolume1\\Windows\\a.dll", drives), L"C:\\Windows\\a.dll");
    EXPECT_EQ(PathOfMappedName(L"\\device\\harddiskvolume12\\日本語\\b.dll", drives), L"D:\\日本語\\b.dll")
        << "the device's name without case; not the first drive whose device begins alike";
    EXPECT_EQ(PathOfMappedName(L"\\Device\\HarddiskVolume123\\c.dll", drives), L"") << "no drive's device";
    EXPECT_EQ(PathOfMappedName(L"\\Device\\HarddiskVolume1", drives), L"") << "a device, not a file on it";
    EXPECT_EQ(PathOfMappedName(L"\\Device\\Mup\\server\\share\\d.dll", drives), L"\\\\server\\share\\d.dll");
    EXPECT_EQ(PathOfMappedName(L"\\Device\\Mup", drives), L"");
    EXPECT_EQ(PathOfMappedName(L"\\??\\C:\\windows\\e.dll", drives), L"C:\\windows\\e.dll");
    EXPECT_EQ(PathOfMappedName(L"\\??\\UNC\\server\\share\\f.dll", drives), L"\\\\server\\share\\f.dll");
    EXPECT_EQ(PathOfMappedName(L"", drives), L"");
    EXPECT_EQ(PathOfMappedName(L"\\Device\\HarddiskVolume1\\g.dll", {}), L"");
}

TEST(FileUsersTexts, ColumnsSortByWhatTheyMean) {
    const FileUser low{{9, 1}, "b.exe", L"C:\\z\\B.exe", FileUseReason::LoadsFile};
    const FileUser high{{10, 1}, "B.exe", L"c:\\z\\b.exe", FileUseReason::OpensFile};
    EXPECT_EQ(CompareFileUsers(low, high, kFileUserProcessColumn), 0) << "names without case";
    EXPECT_LT(CompareFileUsers(low, high, kFileUserPidColumn), 0) << "9 before 10, as numbers";
    EXPECT_GT(CompareFileUsers(high, low, kFileUserPidColumn), 0);
    EXPECT_EQ(CompareFileUsers(low, low, kFileUserPidColumn), 0);
    EXPECT_EQ(CompareFileUsers(low, high, kFileUserPathColumn), 0) << "paths as the file system compares them";
    EXPECT_LT(CompareFileUsers(low, high, kFileUserReasonColumn), 0);
    EXPECT_GT(CompareFileUsers(high, low, kFileUserReasonColumn), 0);
    const FileUser other{{1, 1}, "a.exe", L"C:\\a.exe", FileUseReason::LoadsFromFolder};
    EXPECT_LT(CompareFileUsers(other, low, kFileUserProcessColumn), 0);
    EXPECT_LT(CompareFileUsers(other, low, kFileUserPathColumn), 0);
    EXPECT_GT(CompareFileUsers(low, other, kFileUserPathColumn), 0);
    EXPECT_EQ(CompareFileUsers(other, low, kFileUserColumnCount), 0);
}
