#include <gtest/gtest.h>

#include <map>
#include <set>
#include <tuple>

#include "autostart/StartupEntries.h"

namespace {

// A registry of keys (root, view, path) of values, and a file system of paths.
class FakeAutostart : public AutostartSystem {
public:
    using Key = std::tuple<RegistryRoot, RegistryView, std::wstring>;
    std::map<Key, std::vector<RegistryValue>> keys;
    std::set<Key> denied;  // refused to every change
    std::map<std::wstring, ShortcutTarget> shortcuts;
    std::set<std::wstring> files;
    bool is64 = true;
    WindowsVersion version{10, 0};

    void Put(RegistryRoot root, RegistryView view, const std::wstring& key, const RegistryValue& value) {
        auto& values = keys[{root, view, key}];
        for (RegistryValue& old : values) {
            if (old.name == value.name) return void(old = value);
        }
        values.push_back(value);
    }
    const RegistryValue* Find(RegistryRoot root, RegistryView view, const std::wstring& key, const std::wstring& name) {
        const auto found = keys.find({root, view, key});
        if (found == keys.end()) return nullptr;
        for (const RegistryValue& value : found->second) {
            if (value.name == name) return &value;
        }
        return nullptr;
    }

    long ListValues(RegistryRoot root, RegistryView view, const std::wstring& key,
                    std::vector<RegistryValue>& values) override {
        const auto found = keys.find({root, view, key});
        if (found == keys.end()) return kErrorFileNotFound;
        values = found->second;
        return kErrorSuccess;
    }
    long ListSubkeys(RegistryRoot root, RegistryView view, const std::wstring& key,
                     std::vector<std::wstring>& subkeys) override {
        for (const auto& [other, values] : keys) {
            const std::wstring& path = std::get<2>(other);
            if (std::get<0>(other) == root && std::get<1>(other) == view && path.rfind(key + L"\\", 0) == 0) {
                subkeys.push_back(path.substr(key.size() + 1));
            }
        }
        return kErrorSuccess;
    }
    long ReadValue(RegistryRoot root, RegistryView view, const std::wstring& key, const std::wstring& name,
                   RegistryValue& value) override {
        const RegistryValue* found = Find(root, view, key, name);
        if (!found) return kErrorFileNotFound;
        value = *found;
        return kErrorSuccess;
    }
    long WriteValue(RegistryRoot root, RegistryView view, const std::wstring& key,
                    const RegistryValue& value) override {
        if (denied.count({root, view, key})) return kErrorAccessDenied;
        Put(root, view, key, value);
        return kErrorSuccess;
    }
    long DeleteValue(RegistryRoot root, RegistryView view, const std::wstring& key, const std::wstring& name) override {
        if (denied.count({root, view, key})) return kErrorAccessDenied;
        auto& values = keys[{root, view, key}];
        const auto before = values.size();
        values.erase(
            std::remove_if(values.begin(), values.end(), [&](const RegistryValue& v) { return v.name == name; }),
            values.end());
        return values.size() < before ? kErrorSuccess : kErrorFileNotFound;
    }
    bool Is64BitSystem() override { return is64; }
    WindowsVersion Version() override { return version; }
    uint64_t Now() override { return 0x0102030405060708ULL; }
    bool ToLocalTime(uint64_t, LocalTime& local) override {
        local = {2026, 12, 9, 10, 0, 0};
        return true;
    }
    std::wstring Folder(SystemFolder folder) override {
        switch (folder) {
        case SystemFolder::UserStartup: return L"C:\\U\\Startup";
        case SystemFolder::CommonStartup: return L"C:\\P\\Startup";
        case SystemFolder::Windows: return L"C:\\Windows";
        case SystemFolder::System: return L"C:\\Windows\\system32";
        case SystemFolder::Temporary: return L"C:\\U\\Temp";
        }
        return L"";
    }
    std::vector<std::wstring> FilesIn(const std::wstring& folder) override {
        std::vector<std::wstring> names;
        for (const std::wstring& file : files) {
            if (file.rfind(folder + L"\\", 0) == 0 && file.find(L'\\', folder.size() + 1) == std::wstring::npos) {
                names.push_back(file.substr(folder.size() + 1));
            }
        }
        return names;
    }
    bool IsFile(const std::wstring& path) override { return files.count(path) > 0; }
    bool ReadShortcut(const std::wstring& path, ShortcutTarget& target) override {
        const auto found = shortcuts.find(path);
        if (found == shortcuts.end()) return false;
        target = found->second;
        return true;
    }
    long MoveFileTo(const std::wstring& from, const std::wstring& to) override {
        if (!files.erase(from)) return kErrorFileNotFound;
        files.insert(to);
        if (shortcuts.count(from)) shortcuts[to] = shortcuts[from], shortcuts.erase(from);
        return kErrorSuccess;
    }
    long DeleteFileAt(const std::wstring& path) override {
        return files.erase(path) ? kErrorSuccess : kErrorFileNotFound;
    }
    CommandLookups Lookups() override {
        CommandLookups lookups;
        lookups.searchFolders = {L"C:\\Windows\\system32"};
        lookups.isFile = [this](const std::wstring& path) { return files.count(path) > 0; };
        return lookups;
    }
    ProgramVersion ReadVersion(const std::wstring&) override { return {"工具", "某公司"}; }
    std::string Text(const std::wstring& wide) override { return std::string(wide.begin(), wide.end()); }
    std::string ErrorText(long status) override { return "error " + std::to_string(status); }
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

constexpr auto CU = RegistryRoot::CurrentUser;
constexpr auto LM = RegistryRoot::LocalMachine;
constexpr auto Native = RegistryView::Native;
const std::wstring kApprovedRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

class AutostartEntries : public ::testing::Test {
protected:
    FakeAutostart system;
    std::vector<StartupEntry> List() {
        return ListStartupEntries(
            {system, [](const std::wstring& path) { return path.find(L"evil") != std::wstring::npos; }});
    }
    const StartupEntry* Named(const std::vector<StartupEntry>& entries, const std::wstring& name) {
        for (const StartupEntry& entry : entries) {
            if (entry.name == name) return &entry;
        }
        return nullptr;
    }
};

}  // namespace

TEST_F(AutostartEntries, EveryPlaceOnceWithItsMarks) {
    system.files = {L"C:\\U\\Temp\\svchost.exe",           L"C:\\Tools\\evil.exe",        L"C:\\U\\Startup\\app.lnk",
                    L"C:\\U\\Startup\\desktop.ini",        L"C:\\P\\Startup\\broken.lnk", L"C:\\Tools\\app.exe",
                    L"C:\\Windows\\system32\\debugger.exe"};
    system.shortcuts[L"C:\\U\\Startup\\app.lnk"] = {L"C:\\Tools\\app.exe", L"/tray"};
    system.Put(CU, Native, kRunKey, StringValue(L"fake", L"C:\\U\\Temp\\svchost.exe -k"));
    system.Put(LM, RegistryView::Key64, kRunKey, StringValue(L"bad", L"\"C:\\Tools\\evil.exe\""));
    system.Put(LM, RegistryView::Key32, kRunKey, StringValue(L"gone", L"C:\\Gone\\x.exe"));
    system.Put(CU, Native, kRunOnceKey, {L"bin", kRegBinary, {1, 2}});
    system.Put(LM, RegistryView::Key64, kWinlogonKey, StringValue(L"Shell", L"explorer.exe"));
    system.Put(LM, RegistryView::Key64, kWinlogonKey, StringValue(L"Userinit", L"userinit.exe,C:\\Tools\\evil.exe"));
    // One IFEO key that both views show is one entry.
    for (RegistryView view : {RegistryView::Key64, RegistryView::Key32}) {
        system.Put(LM, view, std::wstring(kImageOptionsKey) + L"\\notepad.exe", StringValue(L"Debugger", L"debugger"));
    }
    system.Put(CU, Native, kApprovedRun, {L"fake", kRegBinary, {0x03, 0, 0, 0}});

    const std::vector<StartupEntry> entries = List();
    ASSERT_EQ(8u, entries.size());
    const StartupEntry* fake = Named(entries, L"fake");
    EXPECT_EQ("可疑、已禁用", fake->status);
    EXPECT_EQ("HKCU\\...\\Run", fake->placeText);
    EXPECT_EQ("工具（某公司）", fake->description);
    EXPECT_EQ("危险、已启用", Named(entries, L"bad")->status);
    EXPECT_EQ("文件不存在、已启用", Named(entries, L"gone")->status);
    EXPECT_EQ("HKLM\\...\\WOW6432Node\\...\\Run", Named(entries, L"gone")->placeText);
    EXPECT_EQ(L"01 02", Named(entries, L"bin")->command);
    EXPECT_TRUE(Named(entries, L"bin")->marks.missing);
    EXPECT_EQ(L"\"C:\\Tools\\app.exe\" /tray", Named(entries, L"app.lnk")->command);
    EXPECT_EQ("启动文件夹（当前用户）", Named(entries, L"app.lnk")->placeText);
    EXPECT_EQ("文件不存在、已启用", Named(entries, L"broken.lnk")->status);
    EXPECT_EQ(nullptr, Named(entries, L"Shell"));
    EXPECT_EQ("危险、已启用", Named(entries, L"Userinit")->status) << "the first item is the program";
    EXPECT_EQ(L"C:\\Windows\\system32\\debugger.exe", Named(entries, L"notepad.exe")->program.program);
}

TEST_F(AutostartEntries, ApprovalMarksToggleWithoutTouchingTheValue) {
    const RegistryValue value = StringValue(L"tool", L"C:\\t.exe");
    system.files = {L"C:\\t.exe"};
    system.Put(LM, RegistryView::Key32, kRunKey, value);
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    const std::wstring run32 = kApprovedRun + L"32";
    EXPECT_EQ(0x03, system.Find(LM, RegistryView::Key64, run32, L"tool")->bytes.at(0));
    EXPECT_EQ("已禁用", List().at(0).status);
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ(0x02, system.Find(LM, RegistryView::Key64, run32, L"tool")->bytes.at(0));
    EXPECT_EQ(value, *system.Find(LM, RegistryView::Key32, kRunKey, L"tool"));
}

TEST_F(AutostartEntries, OlderSystemsMoveTheValueAsideAndBackByteForByte) {
    system.version = {6, 1};
    RegistryValue odd{L"odd", kRegExpandSz, {0x41, 0, 0x42}};  // odd length, no terminator
    system.files = {L"C:\\Windows\\system32\\A.exe"};
    system.Put(LM, RegistryView::Key64, kRunKey, odd);
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ(nullptr, system.Find(LM, RegistryView::Key64, kRunKey, L"odd"));
    const StartupEntry aside = List().at(0);
    EXPECT_TRUE(aside.movedAside);
    EXPECT_EQ("HKLM\\...\\Run", aside.placeText);
    EXPECT_EQ("已禁用", aside.status);
    ASSERT_TRUE(ToggleEntry(system, aside).ok());
    EXPECT_EQ(odd, *system.Find(LM, RegistryView::Key64, kRunKey, L"odd"));
    EXPECT_TRUE((system.keys[{CU, Native, OwnDisabledSubkey(aside.place)}].empty()));

    // Refused rights leave the entry where it was, with no copy left behind.
    system.denied.insert({LM, RegistryView::Key64, kRunKey});
    const ChangeResult refused = ToggleEntry(system, List().at(0));
    EXPECT_EQ(kErrorAccessDenied, refused.status);
    EXPECT_EQ(odd, *system.Find(LM, RegistryView::Key64, kRunKey, L"odd"));
    EXPECT_TRUE((system.keys[{CU, Native, OwnDisabledSubkey(aside.place)}].empty()));
}

TEST_F(AutostartEntries, ShortcutsMoveBesideTheStartupFolderAndRunOnceAlwaysMoves) {
    system.version = {6, 0};
    system.files = {L"C:\\U\\Startup\\a.lnk"};
    system.shortcuts[L"C:\\U\\Startup\\a.lnk"] = {L"C:\\a.exe", L""};
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ(std::set<std::wstring>{L"C:\\U\\Startup (tarvemonix disabled)\\a.lnk"}, system.files);
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ(std::set<std::wstring>{L"C:\\U\\Startup\\a.lnk"}, system.files);

    system.files.clear();
    system.version = {10, 0};
    system.Put(CU, Native, kRunOnceKey, StringValue(L"once", L"x"));
    ASSERT_TRUE(ToggleEntry(system, List().at(0)).ok());
    EXPECT_EQ(nullptr, system.Find(CU, Native, kRunOnceKey, L"once"));
}

TEST_F(AutostartEntries, RemovalAsksLogsFirstAndOnlyThenRemoves) {
    system.Put(CU, Native, kRunKey, StringValue(L"tool", L"C:\\t.exe /a"));
    system.Put(LM, RegistryView::Key64, kWinlogonKey, StringValue(L"Shell", L"C:\\x.exe"));
    Prompt prompt;
    std::vector<std::string> log;
    ChangeResult result;
    prompt.answer = kIdNo;
    EXPECT_EQ(
        RemovalOutcome::Declined,
        RemoveEntry(
            system, List().at(0), prompt, [&](const std::string& line) { return log.push_back(line), true; }, result));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ("确定要删除启动项 tool 吗？", prompt.texts.at(0));

    prompt.answer = kIdYes;
    EXPECT_EQ(RemovalOutcome::LogFailed,
              RemoveEntry(
                  system, List().at(0), prompt, [](const std::string&) { return false; }, result));
    ASSERT_NE(nullptr, system.Find(CU, Native, kRunKey, L"tool"));

    const auto writeLog = [&](const std::string& line) {
        if (log.empty()) {
            EXPECT_NE(nullptr, system.Find(CU, Native, kRunKey, L"tool")) << "logged before the removal";
        }
        log.push_back(line);
        return true;
    };
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, List().at(0), prompt, writeLog, result));
    EXPECT_EQ(nullptr, system.Find(CU, Native, kRunKey, L"tool"));
    EXPECT_EQ(
        "2026-12-09 10:00:00  删除启动项  HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run  tool  "
        "REG_SZ  C:\\t.exe /a\r\n",
        log.at(0));

    // Winlogon gets Windows' default back: a logon without a shell fails.
    EXPECT_EQ(RemovalOutcome::Removed, RemoveEntry(system, List().at(0), prompt, writeLog, result));
    EXPECT_EQ(StringValue(L"Shell", L"explorer.exe"), *system.Find(LM, RegistryView::Key64, kWinlogonKey, L"Shell"));
    EXPECT_TRUE(List().empty());
}
