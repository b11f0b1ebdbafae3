#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <set>
#include <tuple>

#include "autostart/StartupEntries.h"

namespace {

constexpr auto CU = RegistryRoot::CurrentUser;
constexpr auto LM = RegistryRoot::LocalMachine;
constexpr auto Native = RegistryView::Native;
constexpr auto Key64 = RegistryView::Key64;
constexpr auto Key32 = RegistryView::Key32;
const std::wstring kApprovedRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

// A registry of keys (root, view, path) and files, each a shortcut to its
// target where it has one.
class FakeAutostart : public AutostartSystem {
public:
    using Key = std::tuple<RegistryRoot, RegistryView, std::wstring>;
    std::map<Key, std::vector<RegistryValue>> keys;
    std::set<Key> denied;
    std::set<std::wstring> lockedFiles;
    std::vector<std::wstring> recycled;
    std::map<std::wstring, ShortcutTarget> files;
    WindowsVersion version{10, 0};

    RegistryValue* Find(const Key& key, const std::wstring& name) {
        for (RegistryValue& value : keys[key]) {
            if (value.name == name) return &value;
        }
        return nullptr;
    }
    long ListValues(RegistryRoot r, RegistryView v, const std::wstring& k, std::vector<RegistryValue>& out) override {
        out = keys[{r, v, k}];
        return kErrorSuccess;
    }
    long ListSubkeys(RegistryRoot r, RegistryView v, const std::wstring& k, std::vector<std::wstring>& out) override {
        for (const auto& entry : keys) {
            const std::wstring& path = std::get<2>(entry.first);
            if (std::get<0>(entry.first) == r && std::get<1>(entry.first) == v && path.rfind(k + L"\\", 0) == 0) {
                out.push_back(path.substr(k.size() + 1));
            }
        }
        return kErrorSuccess;
    }
    long ReadValue(RegistryRoot r, RegistryView v, const std::wstring& k, const std::wstring& name,
                   RegistryValue& value) override {
        const RegistryValue* found = Find({r, v, k}, name);
        if (found) value = *found;
        return found ? kErrorSuccess : kErrorFileNotFound;
    }
    long WriteValue(RegistryRoot r, RegistryView v, const std::wstring& k, const RegistryValue& value) override {
        if (denied.count({r, v, k})) return kErrorAccessDenied;
        if (RegistryValue* old = Find({r, v, k}, value.name)) {
            *old = value;
        } else {
            keys[{r, v, k}].push_back(value);
        }
        return kErrorSuccess;
    }
    long DeleteValue(RegistryRoot r, RegistryView v, const std::wstring& k, const std::wstring& name) override {
        if (denied.count({r, v, k})) return kErrorAccessDenied;
        auto& values = keys[{r, v, k}];
        const auto kept = std::remove_if(values.begin(), values.end(), [&](auto& value) { return value.name == name; });
        const bool found = kept != values.end();
        values.erase(kept, values.end());
        return found ? kErrorSuccess : kErrorFileNotFound;
    }
    long OpenKeyForChange(RegistryRoot r, RegistryView v, const std::wstring& k) override {
        return denied.count({r, v, k}) ? kErrorAccessDenied : kErrorSuccess;
    }
    bool Is64BitSystem() override { return true; }
    WindowsVersion Version() override { return version; }
    uint64_t Now() override { return 0x0102030405060708ULL; }
    bool ToLocalTime(uint64_t, LocalTime& local) override { return local = {2026, 12, 9, 10, 0, 0}, true; }
    std::wstring Folder(SystemFolder folder) override {
        const wchar_t* folders[] = {L"C:\\U\\Startup", L"C:\\P\\Startup", L"C:\\Windows", L"C:\\Windows\\system32",
                                    L"C:\\U\\Temp",    L"C:\\U\\Local",   L"C:\\Data"};
        return folders[static_cast<int>(folder)];
    }
    std::vector<std::wstring> FilesIn(const std::wstring& folder) override {
        std::vector<std::wstring> names;
        for (const auto& file : files) {
            if (file.first.rfind(folder + L"\\", 0) == 0 &&
                file.first.find(L'\\', folder.size() + 1) == std::wstring::npos) {
                names.push_back(file.first.substr(folder.size() + 1));
            }
        }
        return names;
    }
    bool IsFile(const std::wstring& path) override { return files.count(path) > 0; }
    bool ReadShortcut(const std::wstring& path, ShortcutTarget& target) override {
        return IsFile(path) && !(target = files[path]).path.empty();
    }
    long MoveFileTo(const std::wstring& from, const std::wstring& to) override {
        if (!files.count(from)) return kErrorFileNotFound;
        files[to] = files[from];
        files.erase(from);
        return kErrorSuccess;
    }
    long DeleteFileAt(const std::wstring& path) override {
        return files.erase(path) ? kErrorSuccess : kErrorFileNotFound;
    }
    long OpenFileForDelete(const std::wstring& path) override {
        if (lockedFiles.count(path)) return kErrorAccessDenied;
        return IsFile(path) ? kErrorSuccess : kErrorFileNotFound;
    }
    long RecycleFile(const std::wstring& path) override {
        recycled.push_back(path);
        return DeleteFileAt(path);
    }
    std::map<std::wstring, std::wstring> environment;
    CommandLookups Lookups() override {
        return {[this](const std::wstring& name) {
                    const auto found = environment.find(name);
                    return found == environment.end() ? std::nullopt : std::optional<std::wstring>(found->second);
                },
                {L"C:\\Windows\\system32"},
                [this](const std::wstring& path) { return IsFile(path); }};
    }
    ProgramVersion ReadVersion(const std::wstring&) override { return {"工具", "某公司"}; }
    // Code page 936 stands for ASCII and the CJK ideographs here.
    std::string Text(const std::wstring& wide) override {
        std::string text;
        for (wchar_t c : wide) text += c < 0x80 ? std::string(1, static_cast<char>(c)) : "#";
        return text;
    }
    bool InTextCodePage(char32_t c) override { return c < 0x80 || (c >= 0x4E00 && c <= 0x9FA5); }
    std::string ProgramAccount() override { return "PC\\admin"; }
    std::string DesktopAccount() override { return "PC\\user"; }
    std::string ErrorText(long status) override { return "error " + std::to_string(status); }

    long DeleteKey(RegistryRoot r, RegistryView v, const std::wstring& k) override {
        if (denied.count({r, v, k})) return kErrorAccessDenied;
        return keys.erase({r, v, k}) ? kErrorSuccess : kErrorFileNotFound;
    }
    static constexpr long kNoSuchService = 1060;
    std::map<std::wstring, ServiceRecord> services;
    std::set<std::wstring> deniedServices;
    std::vector<std::wstring> deletedServices;
    long ListServices(std::vector<ServiceRecord>& out) override {
        for (const auto& service : services) out.push_back(service.second);
        return kErrorSuccess;
    }
    long ReadService(const std::wstring& name, ServiceRecord& service) override {
        if (!services.count(name)) return kNoSuchService;
        service = services[name];
        return kErrorSuccess;
    }
    long ChangeServiceStart(const std::wstring& name, const ServiceStart& start) override {
        const long opened = OpenServiceForDelete(name);
        if (opened == kErrorSuccess) services[name].start = start;
        return opened;
    }
    long OpenServiceForDelete(const std::wstring& name) override {
        if (deniedServices.count(name)) return kErrorAccessDenied;
        return services.count(name) ? kErrorSuccess : kNoSuchService;
    }
    long StopAndDeleteService(const std::wstring& name) override {
        const long opened = OpenServiceForDelete(name);
        if (opened == kErrorSuccess) services.erase(name), deletedServices.push_back(name);
        return opened;
    }

    // The Task Scheduler's list, or its definition files where it cannot list.
    long taskListing = kErrorSuccess;
    std::vector<TaskText> scheduledTasks;
    std::map<std::wstring, std::vector<uint8_t>> taskFiles;  // by path below the Tasks folder
    size_t refusedTasks = 0;
    size_t refusedTaskFiles = 0;
    std::set<std::wstring> deniedTasks;
    std::vector<std::pair<std::wstring, bool>> enabledTasks;
    std::vector<std::pair<std::wstring, std::wstring>> registeredTasks;
    std::vector<std::wstring> deletedTasks;
    std::vector<std::string>* calls = nullptr;  // where the order of changes is noted
    long ListScheduledTasks(std::vector<TaskText>& tasks, size_t& refused) override {
        tasks = scheduledTasks;
        refused = refusedTasks;
        return taskListing;
    }
    long ReadTaskFiles(std::vector<TaskFile>& files, size_t& refused) override {
        for (const auto& [path, bytes] : taskFiles) files.push_back({path, bytes});
        refused = refusedTaskFiles;
        return kErrorSuccess;
    }
    long WriteTaskFile(const std::wstring& path, const std::vector<uint8_t>& bytes) override {
        if (deniedTasks.count(path)) return kErrorAccessDenied;
        taskFiles[path] = bytes;
        if (calls) calls->push_back("write");
        return kErrorSuccess;
    }
    long SetTaskEnabled(const std::wstring& path, bool enabled) override {
        if (deniedTasks.count(path)) return kErrorAccessDenied;
        enabledTasks.emplace_back(path, enabled);
        return kErrorSuccess;
    }
    long RegisterTaskAgain(const std::wstring& path, const std::wstring& xml) override {
        if (deniedTasks.count(path)) return kErrorAccessDenied;
        registeredTasks.emplace_back(path, xml);
        if (calls) calls->push_back("register");
        return kErrorSuccess;
    }
    long DeleteScheduledTask(const std::wstring& path) override {
        if (deniedTasks.count(path)) return kErrorAccessDenied;
        deletedTasks.push_back(path);
        if (calls) calls->push_back("delete");
        return kErrorSuccess;
    }
};

class Prompt : public MessagePrompt {
public:
    std::vector<std::string> texts;
    int answer = kIdYes;
    int Show(const std::string& text, const std::string&, unsigned) override {
        texts.push_back(text);
        return answer;
    }
};

class AutostartEntries : public ::testing::Test {
protected:
    FakeAutostart system;
    std::vector<StartupEntry> List() {
        return ListStartupEntries({system, [](const std::wstring& path) { return path.find(L"evil") != path.npos; }});
    }
    StartupEntry Named(const std::wstring& name) {
        for (const StartupEntry& entry : List()) {
            if (entry.name == name) return entry;
        }
        return {};
    }
};

}  // namespace

TEST_F(AutostartEntries, EveryPlaceOnceWithItsMarks) {
    system.files = {{L"C:\\U\\Temp\\svchost.exe", {}},
                    {L"C:\\Tools\\evil.exe", {}},
                    {L"C:\\U\\Startup\\desktop.ini", {}},
                    {L"C:\\U\\Startup\\app.lnk", {L"C:\\Tools\\app.exe", L"/tray"}},
                    {L"C:\\P\\Startup\\broken.lnk", {}},
                    {L"C:\\Tools\\app.exe", {}},
                    {L"C:\\Windows\\system32\\debugger.exe", {}},
                    {L"C:\\Games\\rundll32.exe", {}}};
    // The library is the program, but a rundll32 of its own is a disguise.
    system.keys[{LM, Key64, kRunKey}] = {StringValue(L"host", L"C:\\Games\\rundll32.exe debugger.exe,Start")};
    system.keys[{CU, Native, kRunKey}] = {StringValue(L"fake", L"C:\\U\\Temp\\svchost.exe -k"),
                                          StringValue(L"kept", L"C:\\Tools\\app.exe")};
    system.keys[{LM, Key64, kWinlogonKey}] = {StringValue(L"Shell", L"explorer.exe"),
                                              StringValue(L"Userinit", L"userinit.exe,C:\\Tools\\evil.exe")};
    // One IFEO key that both views show is one entry.
    for (RegistryView view : {Key64, Key32}) {
        system.keys[{LM, view, std::wstring(kImageOptionsKey) + L"\\notepad.exe"}] = {
            StringValue(L"Debugger", L"debugger")};
    }
    // After the key both views show, one only the 32-bit view has.
    system.keys[{LM, Key32, std::wstring(kImageOptionsKey) + L"\\zz.exe"}] = {StringValue(L"Debugger", L"debugger")};
    // An approval mark that enables leaves the entry enabled.
    system.keys[{CU, Native, kApprovedRun}] = {{L"fake", kRegBinary, {0x03, 0, 0, 0}},
                                               {L"kept", kRegBinary, {0x02, 0, 0, 0}}};

    EXPECT_EQ(8u, List().size());
    EXPECT_EQ("已启用", Named(L"kept").status);
    EXPECT_EQ(L"zz.exe", Named(L"zz.exe").name);
    EXPECT_EQ("可疑、已启用", Named(L"host").status);
    EXPECT_EQ("可疑、已禁用", Named(L"fake").status);
    EXPECT_EQ("工具（某公司）", Named(L"fake").description);
    EXPECT_EQ(L"\"C:\\Tools\\app.exe\" /tray", Named(L"app.lnk").command);
    EXPECT_EQ("文件不存在、已启用", Named(L"broken.lnk").status);
    EXPECT_EQ(L"", Named(L"Shell").name) << "Windows' default is not listed";
    EXPECT_EQ("危险、已启用", Named(L"Userinit").status) << "the first item not Windows' own is the program";
    EXPECT_EQ(L"C:\\Windows\\system32\\debugger.exe", Named(L"notepad.exe").program.program);
}

// What starts nothing is passed over, and the listing goes on after it.
TEST_F(AutostartEntries, PassesOverWhatStartsNothingAndListsWhatFollows) {
    system.files = {{L"C:\\U\\Startup\\desktop.ini", {}}, {L"C:\\U\\Startup\\tool.exe", {}}};
    system.keys[{LM, Key64, kWinlogonKey}] = {StringValue(L"Userinit", L"userinit.exe,C:\\Tools\\evil.exe")};
    EXPECT_EQ(L"tool.exe", Named(L"tool.exe").name) << "after the folder's desktop.ini";
    EXPECT_EQ(L"", Named(L"desktop.ini").name);
    EXPECT_EQ(L"Userinit", Named(L"Userinit").name) << "without a Shell value";
}

TEST_F(AutostartEntries, DisableAndEnableGiveEverythingBackByteForByte) {
    // Windows 8 on: the approval mark of the entry's own view; the value stays.
    const RegistryValue tool = StringValue(L"tool", L"C:\\t.exe");
    system.keys[{LM, Key32, kRunKey}] = {tool};
    ASSERT_TRUE(ToggleEntry(system, Named(L"tool")).ok());
    EXPECT_EQ(0x03, system.Find({LM, Key64, kApprovedRun + L"32"}, L"tool")->bytes.at(0));
    EXPECT_TRUE(Named(L"tool").marks.disabled);
    ASSERT_TRUE(ToggleEntry(system, Named(L"tool")).ok());
    EXPECT_EQ(0x02, system.Find({LM, Key64, kApprovedRun + L"32"}, L"tool")->bytes.at(0));
    EXPECT_EQ(tool, *system.Find({LM, Key32, kRunKey}, L"tool"));
    system.keys.clear();

    // Before Windows 8 the value moves to the own key and back, type and bytes.
    system.version = {6, 1};
    const RegistryValue odd{L"odd", kRegExpandSz, {0x41, 0, 0x42}};  // odd length, no terminator
    system.keys[{LM, Key64, kRunKey}] = {odd};
    const std::wstring aside = OwnDisabledSubkey(Named(L"odd").place);
    ASSERT_TRUE(ToggleEntry(system, Named(L"odd")).ok());
    EXPECT_EQ(nullptr, system.Find({LM, Key64, kRunKey}, L"odd"));
    // A machine entry stays in the machine's hive, where every administrator sees it.
    EXPECT_EQ(odd, *system.Find({LM, Key64, aside}, L"odd"));
    EXPECT_TRUE((system.keys[{CU, Native, aside}].empty()));
    EXPECT_EQ("文件不存在、已禁用", Named(L"odd").status);
    ASSERT_TRUE(ToggleEntry(system, Named(L"odd")).ok());
    EXPECT_EQ(odd, *system.Find({LM, Key64, kRunKey}, L"odd"));
    EXPECT_EQ(nullptr, system.Find({LM, Key64, aside}, L"odd"));

    // Refused rights leave the entry where it was, with no copy left behind.
    system.denied.insert({LM, Key64, kRunKey});
    EXPECT_EQ(kErrorAccessDenied, ToggleEntry(system, Named(L"odd")).status);
    EXPECT_EQ(odd, *system.Find({LM, Key64, kRunKey}, L"odd"));
    EXPECT_EQ(nullptr, system.Find({LM, Key64, aside}, L"odd"));
    system.denied.clear();

    // One an earlier version moved into HKCU is listed, and enabled back into HKLM.
    system.keys[{LM, Key64, kRunKey}].clear();
    system.keys[{CU, Native, aside}] = {odd};
    EXPECT_TRUE(Named(L"odd").marks.disabled);
    ASSERT_TRUE(ToggleEntry(system, Named(L"odd")).ok());
    EXPECT_EQ(odd, *system.Find({LM, Key64, kRunKey}, L"odd"));
    EXPECT_TRUE((system.keys[{CU, Native, aside}].empty()));
    system.keys.clear();

    // RunOnce has no approval mark: it moves on every system.
    system.version = {10, 0};
    system.keys[{CU, Native, kRunOnceKey}] = {StringValue(L"once", L"x")};
    ASSERT_TRUE(ToggleEntry(system, Named(L"once")).ok());
    EXPECT_EQ(nullptr, system.Find({CU, Native, kRunOnceKey}, L"once"));
}

TEST_F(AutostartEntries, RemovalAsksLogsFirstAndOnlyThenRemoves) {
    system.keys[{CU, Native, kRunKey}] = {StringValue(L"tool", L"C:\\t.exe /a")};
    system.keys[{LM, Key64, kWinlogonKey}] = {StringValue(L"Shell", L"C:\\x.exe")};
    Prompt prompt;
    std::vector<std::string> log;
    const auto writeLog = [&](const std::string& line) {
        EXPECT_TRUE(log.size() > 0 || system.Find({CU, Native, kRunKey}, L"tool")) << "logged before the removal";
        log.push_back(line);
        return true;
    };
    ChangeResult result;
    prompt.answer = kIdNo;
    EXPECT_EQ(RemovalOutcome::Declined, RemoveEntry(system, Named(L"tool"), prompt, writeLog, result));
    EXPECT_EQ("确定要删除启动项 tool 吗？", prompt.texts.at(0));
    prompt.answer = kIdYes;
    EXPECT_EQ(RemovalOutcome::LogFailed,
              RemoveEntry(
                  system, Named(L"tool"), prompt, [](const std::string&) { return false; }, result));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, Named(L"tool"), prompt, writeLog, result));
    EXPECT_EQ(nullptr, system.Find({CU, Native, kRunKey}, L"tool"));
    EXPECT_EQ(
        "2026-12-09 10:00:00  删除启动项  HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run  tool  "
        "REG_SZ  C:\\t.exe /a\r\n",
        log.at(0));

    // Winlogon gets Windows' default back: a logon without a shell fails.
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, Named(L"Shell"), prompt, writeLog, result));
    EXPECT_EQ(StringValue(L"Shell", L"explorer.exe"), *system.Find({LM, Key64, kWinlogonKey}, L"Shell"));
    EXPECT_TRUE(List().empty());
}

TEST_F(AutostartEntries, AStartupItemDisabledByItsApprovalMarkStaysAndShowsDisabled) {
    system.files = {{L"C:\\U\\Startup\\app.lnk", {L"C:\\Tools\\app.exe", L""}}};
    ASSERT_TRUE(ToggleEntry(system, Named(L"app.lnk")).ok());
    EXPECT_TRUE(system.IsFile(L"C:\\U\\Startup\\app.lnk"));
    EXPECT_TRUE(Named(L"app.lnk").disabledByApproval);
    EXPECT_EQ("文件不存在、已禁用", Named(L"app.lnk").status);
    ASSERT_TRUE(ToggleEntry(system, Named(L"app.lnk")).ok());
    EXPECT_FALSE(IsDisabled(Named(L"app.lnk")));
}

TEST_F(AutostartEntries, DisabledStartupItemsLeaveTheStartMenu) {
    system.version = {6, 1};
    system.files = {{L"C:\\U\\Startup\\app.lnk", {L"C:\\Tools\\app.exe", L""}},
                    {L"C:\\P\\Startup\\all.lnk", {L"C:\\Tools\\all.exe", L""}},
                    {L"C:\\U\\Startup (tarvemonix disabled)\\old.lnk", {L"C:\\Tools\\old.exe", L""}}};
    for (const wchar_t* name : {L"app.lnk", L"all.lnk"}) ASSERT_TRUE(ToggleEntry(system, Named(name)).ok());
    EXPECT_TRUE(system.IsFile(L"C:\\U\\Local\\tarvemonix\\Disabled\\StartUp\\app.lnk"));
    EXPECT_TRUE(system.IsFile(L"C:\\Data\\tarvemonix\\Disabled\\StartUp\\all.lnk"));
    EXPECT_EQ(3u, system.files.size());
    for (const wchar_t* name : {L"app.lnk", L"all.lnk", L"old.lnk"}) {
        EXPECT_EQ("文件不存在、已禁用", Named(name).status) << name;
        ASSERT_TRUE(ToggleEntry(system, Named(name)).ok());
    }
    EXPECT_TRUE(system.IsFile(L"C:\\U\\Startup\\app.lnk"));
    EXPECT_TRUE(system.IsFile(L"C:\\P\\Startup\\all.lnk"));
    EXPECT_TRUE(system.IsFile(L"C:\\U\\Startup\\old.lnk"));
}

TEST_F(AutostartEntries, RemovalLogsOnlyWhatItCanRemoveAsItIsNow) {
    Prompt prompt;
    std::vector<std::string> log;
    const auto writeLog = [&](const std::string& line) {
        log.push_back(line);
        return true;
    };
    ChangeResult result;
    // Without the rights to change the key nothing is logged nor removed.
    system.keys[{LM, Key64, kRunKey}] = {StringValue(L"tool", L"C:\\t.exe")};
    system.denied.insert({LM, Key64, kRunKey});
    EXPECT_EQ(RemovalOutcome::Failed, RemoveEntry(system, Named(L"tool"), prompt, writeLog, result));
    EXPECT_EQ(kErrorAccessDenied, result.status);
    EXPECT_TRUE(log.empty());
    system.denied.clear();

    // The value is read again: what is logged is what goes, characters
    // outside code page 936 escaped.
    const StartupEntry listed = Named(L"tool");
    system.keys[{LM, Key64, kRunKey}] = {StringValue(L"tool", L"C:\\Bj\u00F6rn\\\u65E5.exe", kRegExpandSz)};
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, listed, prompt, writeLog, result));
    ASSERT_EQ(1u, log.size());
    EXPECT_NE(std::string::npos, log[0].find("  tool  REG_EXPAND_SZ  C:\\Bj\\u{F6}rn\\#.exe\r\n")) << log[0];
    // Gone meanwhile: nothing to log.
    EXPECT_EQ(RemovalOutcome::Failed, RemoveEntry(system, listed, prompt, writeLog, result));
    EXPECT_EQ(1u, log.size());

    // A shortcut is deleted; a program placed in the folder itself goes to
    // the recycle bin, and the question says so; a file in use stays.
    system.files = {{L"C:\\U\\Startup\\app.lnk", {L"C:\\Tools\\app.exe", L"/old"}},
                    {L"C:\\U\\Startup\\run.bat", {}},
                    {L"C:\\U\\Startup\\busy.exe", {}}};
    prompt.texts.clear();
    const StartupEntry shortcut = Named(L"app.lnk");
    system.files[L"C:\\U\\Startup\\app.lnk"].arguments = L"/x";  // changed after the listing
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, shortcut, prompt, writeLog, result));
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, Named(L"run.bat"), prompt, writeLog, result));
    EXPECT_EQ((std::vector<std::string>{"确定要删除启动项 app.lnk 吗？",
                                        "确定要删除启动项 run.bat 吗？\n该程序文件将移到回收站。"}),
              prompt.texts);
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\U\\Startup\\run.bat"}, system.recycled);
    EXPECT_NE(std::string::npos,
              log.at(1).find("  app.lnk  文件  C:\\U\\Startup\\app.lnk -> \"C:\\Tools\\app.exe\" /x\r\n"));
    EXPECT_NE(std::string::npos, log.at(2).find("  run.bat  文件（移到回收站）  C:\\U\\Startup\\run.bat -> "));
    system.lockedFiles.insert(L"C:\\U\\Startup\\busy.exe");
    EXPECT_EQ(RemovalOutcome::Failed, RemoveEntry(system, Named(L"busy.exe"), prompt, writeLog, result));
    EXPECT_EQ(3u, log.size());
    EXPECT_TRUE(system.IsFile(L"C:\\U\\Startup\\busy.exe"));
}

namespace {

const std::wstring kSavedTool = L"Software\\tarvemonix\\Disabled\\Services\\tool";

ServiceRecord Service(const std::wstring& name, const std::wstring& binary, ServiceStart start, bool running = false) {
    return {name, name + L" 服务", binary, L"LocalSystem", start, running};
}

}  // namespace

TEST_F(AutostartEntries, ServicesThatStartAutomaticallyOrThatThisProgramDisabled) {
    system.files = {{L"C:\\Tools\\tool.exe", {}}, {L"C:\\Windows\\system32\\shared.dll", {}}};
    system.services[L"tool"] = Service(L"tool", L"\"C:\\Tools\\tool.exe\" -service", {kServiceAutoStart, true}, true);
    system.services[L"manual"] = Service(L"manual", L"C:\\Tools\\tool.exe", {kServiceDemandStart, false});
    system.services[L"off"] = Service(L"off", L"C:\\Tools\\tool.exe", {kServiceDisabled, false});
    system.services[L"ours"] = Service(L"ours", L"C:\\Tools\\evil.exe", {kServiceDisabled, false});
    system.keys[{LM, Key64, L"Software\\tarvemonix\\Disabled\\Services\\ours"}] =
        SavedStartValues({kServiceDemandStart, false});
    system.services[L"shared"] =
        Service(L"shared", L"C:\\Windows\\system32\\svchost.exe -k netsvcs", {kServiceAutoStart, false});
    system.keys[{LM, Native, L"SYSTEM\\CurrentControlSet\\Services\\shared\\Parameters"}] = {
        StringValue(L"ServiceDll", L"C:\\Windows\\system32\\shared.dll", kRegExpandSz)};

    std::vector<std::wstring> names;
    for (const StartupEntry& entry : List()) names.push_back(entry.name);
    EXPECT_EQ((std::vector<std::wstring>{L"ours", L"shared", L"tool"}), names);
    const StartupEntry tool = Named(L"tool");
    EXPECT_EQ("服务", tool.placeText);
    EXPECT_EQ(L"\"C:\\Tools\\tool.exe\" -service", tool.command);
    EXPECT_EQ("tool ##", tool.description) << "the display name, not the file's description";
    EXPECT_EQ("已启用、运行中", tool.status);
    EXPECT_EQ("危险、文件不存在、已禁用", Named(L"ours").status);
    EXPECT_TRUE(IsDisabled(Named(L"ours")));
    EXPECT_TRUE(CanToggle(Named(L"ours")));
    EXPECT_EQ(L"C:\\Windows\\system32\\shared.dll", Named(L"shared").program.program)
        << "a shared host's service runs its library";
    EXPECT_EQ("已启用", Named(L"shared").status);
}

TEST_F(AutostartEntries, DisablingAServiceKeepsItsStartAndEnablingGivesItBack) {
    system.services[L"tool"] = Service(L"tool", L"C:\\t.exe", {kServiceAutoStart, true}, true);
    ChangeResult disabled = ToggleEntry(system, Named(L"tool"));
    ASSERT_TRUE(disabled.ok());
    EXPECT_EQ((ServiceStart{kServiceDisabled, false}), system.services[L"tool"].start);
    EXPECT_EQ(kServiceDisabled, system.services[L"tool"].start.type);
    EXPECT_EQ("已禁用，服务仍在运行，下次启动时不再自动启动。", disabled.notice) << "disabling stops nothing";
    EXPECT_EQ((ServiceStart{kServiceAutoStart, true}), SavedStartFrom(system.keys[{LM, Key64, kSavedTool}]));
    EXPECT_TRUE(IsDisabled(Named(L"tool")));

    ASSERT_TRUE(ToggleEntry(system, Named(L"tool")).ok());
    EXPECT_EQ((ServiceStart{kServiceAutoStart, true}), system.services[L"tool"].start) << "delayed, as it was";
    EXPECT_EQ(0u, system.keys.count({LM, Key64, kSavedTool})) << "the kept start goes once given back";

    // A stopped service is disabled without a notice.
    system.services[L"tool"].running = false;
    EXPECT_EQ("", ToggleEntry(system, Named(L"tool")).notice);

    // Without its kept start a disabled service cannot be enabled: nothing is guessed.
    system.keys.erase({LM, Key64, kSavedTool});
    system.services[L"tool"].start = {kServiceDisabled, false};
    StartupEntry lost;
    lost.place = {PlaceKind::Service, LM, Native};
    lost.name = L"tool";
    lost.service = system.services[L"tool"];
    EXPECT_EQ(kErrorFileNotFound, ToggleEntry(system, lost).status);
    EXPECT_EQ(kServiceDisabled, system.services[L"tool"].start.type);
}

TEST_F(AutostartEntries, AServiceChangeRefusedForRightsChangesNothingAndOffersTheRestart) {
    system.services[L"tool"] = Service(L"tool", L"C:\\t.exe", {kServiceAutoStart, false});
    const StartupEntry tool = Named(L"tool");
    system.deniedServices.insert(L"tool");
    const ChangeResult refused = ToggleEntry(system, tool);
    EXPECT_EQ(kErrorAccessDenied, refused.status);
    EXPECT_EQ("error 5", refused.reason);
    EXPECT_TRUE(OffersAdministratorRestart(refused.status, false));
    EXPECT_EQ(0u, system.keys.count({LM, Key64, kSavedTool})) << "no kept start for a service left as it was";
    EXPECT_EQ(kServiceAutoStart, system.services[L"tool"].start.type);

    // Nor is the start kept where the key refuses it.
    system.deniedServices.clear();
    system.denied.insert({LM, Key64, kSavedTool});
    EXPECT_EQ(kErrorAccessDenied, ToggleEntry(system, tool).status);
    EXPECT_EQ(kServiceAutoStart, system.services[L"tool"].start.type);

    Prompt prompt;
    std::vector<std::string> log;
    ChangeResult result;
    system.deniedServices.insert(L"tool");
    EXPECT_EQ(RemovalOutcome::Failed,
              RemoveEntry(
                  system, tool, prompt, [&](const std::string& line) { return log.push_back(line), true; }, result));
    EXPECT_EQ(kErrorAccessDenied, result.status);
    EXPECT_TRUE(log.empty()) << "only what can be removed is logged";
    EXPECT_EQ(1u, system.services.count(L"tool"));
}

TEST_F(AutostartEntries, RemovingAServiceLogsHowToMakeItAgainFirst) {
    system.services[L"tool"] = Service(L"tool", L"\"C:\\Tools\\tool.exe\" -service", {kServiceAutoStart, true});
    Prompt prompt;
    std::vector<std::string> log;
    ChangeResult result;
    const auto writeLog = [&](const std::string& line) {
        EXPECT_EQ(1u, system.services.count(L"tool")) << "logged before it is deleted";
        return log.push_back(line), true;
    };
    prompt.answer = kIdNo;
    EXPECT_EQ(RemovalOutcome::Declined, RemoveEntry(system, Named(L"tool"), prompt, writeLog, result));
    EXPECT_EQ("确定要删除服务 tool 吗？此操作会停止并删除该服务。", prompt.texts.at(0));
    EXPECT_TRUE(log.empty());

    // A service this program disabled is logged with the start it had.
    prompt.answer = kIdYes;
    ASSERT_TRUE(ToggleEntry(system, Named(L"tool")).ok());
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, Named(L"tool"), prompt, writeLog, result));
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(
        "2026-12-09 10:00:00  删除服务  tool  tool ##  \"C:\\Tools\\tool.exe\" -service  自动（延迟启动）  "
        "LocalSystem\r\n",
        log[0]);
    EXPECT_EQ(std::vector<std::wstring>{L"tool"}, system.deletedServices);
    EXPECT_EQ(0u, system.keys.count({LM, Key64, kSavedTool}));

    // A log that cannot be written keeps the service.
    system.services[L"tool"] = Service(L"tool", L"C:\\t.exe", {kServiceAutoStart, false});
    EXPECT_EQ(RemovalOutcome::LogFailed,
              RemoveEntry(
                  system, Named(L"tool"), prompt, [](const std::string&) { return false; }, result));
    EXPECT_EQ(1u, system.services.count(L"tool"));
    EXPECT_EQ("无法写入拦截记录，服务没有删除。", prompt.texts.back());
}

namespace {

std::wstring TaskXml(const std::wstring& inner, bool enabled = true) {
    return L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n<Task xmlns=\"http://schemas.microsoft.com/windows/"
           L"2004/02/mit/task\">\r\n  <Settings><Enabled>" +
           std::wstring(enabled ? L"true" : L"false") + L"</Enabled></Settings>\r\n" + inner + L"\r\n</Task>";
}

const std::wstring kUpdaterXml = TaskXml(
    L"<RegistrationInfo><Description>Keeps the tool new\nand more</Description></RegistrationInfo>"
    L"<Triggers><LogonTrigger/><CalendarTrigger><Repetition><Interval>PT10M</Interval></Repetition>"
    L"<ScheduleByDay><DaysInterval>1</DaysInterval></ScheduleByDay></CalendarTrigger></Triggers>"
    L"<Actions><Exec><Command>%Tools%\\up.exe</Command><Arguments>/quiet</Arguments>"
    L"<WorkingDirectory>%Tools%</WorkingDirectory></Exec>"
    L"<ComHandler><ClassId>{1234}</ClassId></ComHandler><SendEmail/></Actions>");

std::vector<uint8_t> Utf8(const std::wstring& text) { return EncodeXml(text, XmlEncoding::Utf8WithMark); }

}  // namespace

TEST_F(AutostartEntries, TasksShowOneRowPerActionWithTheirTriggers) {
    system.environment[L"Tools"] = L"C:\\Tools";
    system.files = {{L"C:\\Tools\\up.exe", {}}, {L"C:\\Tools\\handler.dll", {}}};
    system.keys[{LM, Key64, L"Software\\Classes\\CLSID\\{1234}\\InprocServer32"}] = {
        StringValue(L"", L"C:\\Tools\\handler.dll")};
    system.scheduledTasks = {{L"\\Vendor\\Updater", kUpdaterXml},
                             {L"\\Off", TaskXml(L"<Actions><Exec><Command>C:\\Tools\\evil.exe</Command></Exec>"
                                                L"</Actions>",
                                                false)},
                             {L"\\Broken", L"<Task><Actions>"}};
    std::vector<StartupEntry> tasks;
    for (StartupEntry& entry : List()) {
        if (entry.place.kind == PlaceKind::Task) tasks.push_back(entry);
    }
    ASSERT_EQ(3u, tasks.size()) << "an exec and a COM handler row, the other action none; a broken task none";
    EXPECT_EQ(L"\\Vendor\\Updater", tasks[0].name);
    EXPECT_EQ(L"C:\\Tools\\up.exe /quiet", tasks[0].command) << "variables expanded as the scheduler does";
    EXPECT_EQ(L"C:\\Tools\\up.exe", tasks[0].program.program);
    EXPECT_EQ("计划任务", tasks[0].placeText);
    EXPECT_EQ("Keeps the tool new#", tasks[0].description) << "its first line, the cut marked";
    EXPECT_EQ("已启用、登录时、每天、每 10 分钟", tasks[0].status);
    EXPECT_EQ("工作文件夹：C:\\Tools", tasks[0].details);
    EXPECT_FALSE(tasks[0].task.fromFiles);
    EXPECT_EQ(L"C:\\Tools\\handler.dll", tasks[1].command) << "the COM class's server file";
    EXPECT_TRUE(tasks[1].program.found);
    EXPECT_EQ("", tasks[1].details);
    EXPECT_EQ("危险、文件不存在、已禁用", tasks[2].status);
    EXPECT_TRUE(IsDisabled(tasks[2]));
    EXPECT_TRUE(CanToggle(tasks[2]) && CanRemove(tasks[2]));

    // A handler without a registered server is a missing file.
    system.keys.clear();
    EXPECT_EQ("文件不存在、已启用、登录时、每天、每 10 分钟", List().at(1).status);

    // A program in the Windows folder's Temp is suspicious.
    system.files[L"C:\\Windows\\Temp\\t.exe"] = {};
    system.scheduledTasks = {{L"\\T", TaskXml(L"<Actions><Exec><Command>C:\\Windows\\Temp\\t.exe</Command></Exec>"
                                              L"</Actions>")}};
    EXPECT_EQ("可疑、已启用", List().at(0).status);

    // Vista has the Task Scheduler 2.0; earlier systems have none to ask.
    system.version = {6, 0};
    EXPECT_EQ(1u, List().size());
    system.version = {5, 1};
    EXPECT_TRUE(List().empty());
}

TEST_F(AutostartEntries, WhereTheSchedulerCannotListTheDefinitionFilesAreRead) {
    system.taskListing = kTaskListingNotImplemented;
    system.refusedTasks = 7;
    system.taskFiles[L"\\Vendor\\Updater"] = Utf8(kUpdaterXml);
    system.taskFiles[L"\\Garbage"] = {0xFF, 0xFE, 0x41};
    std::vector<StartupEntry> entries = List();
    ASSERT_EQ(2u, entries.size());
    EXPECT_EQ(L"\\Vendor\\Updater", entries[0].name);
    EXPECT_TRUE(entries[0].task.fromFiles);
    EXPECT_EQ(XmlEncoding::Utf8WithMark, entries[0].task.fileEncoding);
    EXPECT_EQ(kUpdaterXml, entries[0].task.xml);

    // Refusals counted on the way the tasks were read make one last row that only informs.
    system.refusedTaskFiles = 3;
    entries = List();
    ASSERT_EQ(3u, entries.size());
    const StartupEntry& note = entries.back();
    EXPECT_TRUE(note.noteOnly);
    EXPECT_EQ("（3 个计划任务需要管理员权限才能查看）", note.description);
    EXPECT_EQ("计划任务", note.placeText);
    EXPECT_EQ("", note.status);
    EXPECT_FALSE(CanToggle(note) || CanRemove(note));
    Prompt prompt;
    ChangeResult result;
    EXPECT_EQ(RemovalOutcome::Declined, RemoveEntry(
                                            system, note, prompt, [](const std::string&) { return true; }, result));
    EXPECT_TRUE(prompt.texts.empty());
    EXPECT_FALSE(ToggleEntry(system, note).ok());

    // The scheduler's own refusals where it lists; any other failure of the list shows no task.
    system.taskListing = kErrorSuccess;
    system.scheduledTasks = {{L"\\A", kUpdaterXml}};
    EXPECT_EQ("（7 个计划任务需要管理员权限才能查看）", List().back().description);
    system.taskListing = kErrorAccessDenied;
    EXPECT_TRUE(List().empty());
}

TEST_F(AutostartEntries, ATaskIsDisabledByTheSchedulerOrRegisteredAgainFromItsFile) {
    system.scheduledTasks = {{L"\\Vendor\\Updater", kUpdaterXml}};
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ((std::vector<std::pair<std::wstring, bool>>{{L"\\Vendor\\Updater", false}}), system.enabledTasks);
    EXPECT_TRUE(system.registeredTasks.empty());

    system.scheduledTasks = {
        {L"\\Vendor\\Updater", TaskXml(L"<Actions><Exec><Command>a.exe</Command></Exec></Actions>", false)}};
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ(true, system.enabledTasks.back().second);

    // From the files: registered again, then its file written whole in the encoding it had.
    std::vector<std::string> calls;
    system.calls = &calls;
    system.taskListing = kTaskListingNotImplemented;
    system.taskFiles[L"\\Vendor\\Updater"] = Utf8(kUpdaterXml);
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    const std::wstring disabled = *TaskXmlWithEnabled(kUpdaterXml, false);
    EXPECT_EQ((std::vector<std::pair<std::wstring, std::wstring>>{{L"\\Vendor\\Updater", disabled}}),
              system.registeredTasks);
    EXPECT_EQ(Utf8(disabled), system.taskFiles[L"\\Vendor\\Updater"]);
    EXPECT_EQ((std::vector<std::string>{"register", "write"}), calls);
    EXPECT_TRUE(IsDisabled(List().at(0)));
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ(Utf8(kUpdaterXml), system.taskFiles[L"\\Vendor\\Updater"]) << "enabled again, byte for byte";

    // Refused for want of rights: the file stays, and the restart is offered.
    system.deniedTasks.insert(L"\\Vendor\\Updater");
    calls.clear();
    const ChangeResult refused = ToggleEntry(system, List().at(0));
    EXPECT_EQ(kErrorAccessDenied, refused.status);
    EXPECT_TRUE(OffersAdministratorRestart(refused.status, false));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(Utf8(kUpdaterXml), system.taskFiles[L"\\Vendor\\Updater"]);
}

TEST_F(AutostartEntries, RemovingATaskLogsItsWholeDefinitionFirst) {
    system.scheduledTasks = {{L"\\Vendor\\Updater", kUpdaterXml}};
    std::vector<std::string> calls;
    system.calls = &calls;
    Prompt prompt;
    std::vector<std::string> log;
    ChangeResult result;
    const auto writeLog = [&](const std::string& line) { return calls.push_back("log"), log.push_back(line), true; };
    prompt.answer = kIdNo;
    EXPECT_EQ(RemovalOutcome::Declined, RemoveEntry(system, List().at(0), prompt, writeLog, result));
    EXPECT_EQ("确定要删除计划任务 \\Vendor\\Updater 吗？", prompt.texts.at(0));
    EXPECT_TRUE(calls.empty());

    prompt.answer = kIdYes;
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, List().at(0), prompt, writeLog, result));
    EXPECT_EQ((std::vector<std::string>{"log", "delete"}), calls);
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0u, log[0].find("2026-12-09 10:00:00  删除计划任务  \\Vendor\\Updater  <?xml version="));
    EXPECT_NE(std::string::npos, log[0].find("<Description>Keeps the tool new&#10;and more</Description>"));
    EXPECT_EQ(log[0].size() - 1, log[0].find('\n')) << "one line";

    // A log that cannot be written keeps the task.
    calls.clear();
    EXPECT_EQ(RemovalOutcome::LogFailed,
              RemoveEntry(
                  system, List().at(0), prompt, [](const std::string&) { return false; }, result));
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ("无法写入拦截记录，计划任务没有删除。", prompt.texts.back());

    system.deniedTasks.insert(L"\\Vendor\\Updater");
    EXPECT_EQ(RemovalOutcome::Failed, RemoveEntry(system, List().at(0), prompt, writeLog, result));
    EXPECT_EQ(kErrorAccessDenied, result.status);
}
