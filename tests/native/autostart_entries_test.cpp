#include <gtest/gtest.h>

#include <map>
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
    CommandLookups Lookups() override {
        return {nullptr, {L"C:\\Windows\\system32"}, [this](const std::wstring& path) { return IsFile(path); }};
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
