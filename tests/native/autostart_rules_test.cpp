#include <gtest/gtest.h>

#include <map>
#include <set>

#include "autostart/AutostartRules.h"

namespace {

CommandLookups Lookups(std::set<std::wstring> files) {
    CommandLookups lookups;
    lookups.environment = [](const std::wstring& name) -> std::optional<std::wstring> {
        if (name == L"ProgramFiles") return std::wstring(L"C:\\Program Files");
        if (name == L"SystemRoot") return std::wstring(L"C:\\Windows");
        return std::nullopt;
    };
    lookups.searchFolders = {L"C:\\Windows\\System32", L"C:\\Windows"};
    lookups.isFile = [files](const std::wstring& path) { return files.count(path) > 0; };
    return lookups;
}

}  // namespace

TEST(AutostartRules, CommandLinesToTheirProgramFile) {
    const CommandLookups lookups =
        Lookups({L"C:\\Program Files\\x.exe", L"C:\\Program Files\\Other App\\run me.exe",
                 L"C:\\Windows\\System32\\rundll32.exe", L"C:\\Windows\\System32\\notepad.exe", L"C:\\Tools\\a.dll",
                 L"C:\\Program Files\\My.exe"});
    struct Case {
        const wchar_t* command;
        const wchar_t* program;
        bool found;
    } cases[] = {
        {L"%ProgramFiles%\\x.exe /min", L"C:\\Program Files\\x.exe", true},
        {L"  \"C:\\Program Files\\x.exe\" -a", L"C:\\Program Files\\x.exe", true},
        // Unquoted with blanks: the first existing prefix, shortest first, ".exe" tried
        // (so "My App\\..." runs My.exe, as the system would).
        {L"C:\\Program Files\\Other App\\run me /b", L"C:\\Program Files\\Other App\\run me.exe", true},
        {L"C:\\Program Files\\My App\\run me.exe", L"C:\\Program Files\\My.exe", true},
        {L"C:\\Program Files\\My.exe x", L"C:\\Program Files\\My.exe", true},
        {L"notepad", L"C:\\Windows\\System32\\notepad.exe", true},
        {L"rundll32 C:\\Tools\\a.dll,Entry 1", L"C:\\Tools\\a.dll", true},
        {L"%SystemRoot%\\System32\\rundll32.exe \"C:\\Tools\\a\",Entry", L"C:\\Tools\\a.dll", true},
        {L"rundll32 gone.dll,Entry", L"gone.dll", false},
        {L"\"C:\\Program Files\\x.exe", L"C:\\Program Files\\x.exe", true},
        {L"\"C:\\Program Files\\x.exe -a", L"C:\\Program Files\\x.exe -a", false},
        {L"%Unknown%\\y.exe", L"%Unknown%\\y.exe", false},
        {L"C:\\nothing here\\z.exe /q", L"C:\\nothing", false},
        {L"", L"", false},
        {L"   ", L"", false},
    };
    for (const Case& c : cases) {
        const CommandProgram program = ProgramOfCommand(c.command, lookups);
        EXPECT_EQ(c.program, program.program) << c.command;
        EXPECT_EQ(c.found, program.found) << c.command;
    }
    EXPECT_EQ(L"C:\\Windows\\System32\\rundll32.exe", ProgramOfCommand(L"rundll32 a.dll,E", lookups).host);
}

TEST(AutostartRules, LongCommandsEndAndExpansionLeavesWhatItCannotRead) {
    const CommandLookups lookups = Lookups({});
    int asked = 0;
    CommandLookups counting = lookups;
    counting.isFile = [&asked](const std::wstring&) { return ++asked, false; };
    std::wstring manyBlanks;
    for (int i = 0; i < 16000; ++i) manyBlanks += L"a ";
    EXPECT_FALSE(ProgramOfCommand(manyBlanks, counting).found);
    EXPECT_LE(asked, static_cast<int>(2 * lookups.searchFolders.size() * kMaxUnquotedTries));
    EXPECT_EQ(L"C:\\Program Files%a%", ExpandEnvironmentText(L"%ProgramFiles%%a%", lookups));
    EXPECT_EQ(L"50% C:\\Windows", ExpandEnvironmentText(L"50% %SystemRoot%", lookups));
    EXPECT_EQ(L"%%", ExpandEnvironmentText(L"%%", lookups));
}

TEST(AutostartRules, ValuesOfEveryTypeReadAsACommand) {
    RegistryValue odd = StringValue(L"n", L"ab", kRegExpandSz);
    odd.bytes.resize(3);  // no terminator, an odd last byte
    EXPECT_EQ(L"a", CommandTextOf(odd));
    EXPECT_EQ(L"305419896", CommandTextOf({L"n", kRegDword, {0x78, 0x56, 0x34, 0x12}}));
    EXPECT_EQ(L"ab", CommandTextOf({L"n", kRegSz, {'a', 0, 'b', 0}})) << "a text of four bytes is no number";
    EXPECT_EQ(L"", CommandTextOf({L"n", kRegSz, {}}));
    EXPECT_EQ(L"a b", CommandTextOf(StringValue(L"n", std::wstring(L"a\0b\0", 4), kRegMultiSz)));
}

TEST(AutostartRules, ViewsPlacesAndWaysToDisable) {
    EXPECT_EQ((std::vector<RegistryView>{RegistryView::Key64, RegistryView::Key32}), MachineViews(true));
    EXPECT_EQ(std::vector<RegistryView>{RegistryView::Native}, MachineViews(false));
    EXPECT_EQ("启动文件夹（所有用户）", PlaceText({PlaceKind::StartupFolder, RegistryRoot::LocalMachine}));
    const StartupPlace wowRun{PlaceKind::Run, RegistryRoot::LocalMachine, RegistryView::Key32};
    EXPECT_NE(OwnDisabledSubkey(wowRun), OwnDisabledSubkey({PlaceKind::Run, RegistryRoot::LocalMachine}));
    EXPECT_EQ(DisableWay::OwnPlace, DisableWayFor(PlaceKind::Run, {6, 1}));
    EXPECT_EQ(DisableWay::StartupApproved, DisableWayFor(PlaceKind::StartupFolder, {6, 2}));
    EXPECT_EQ(DisableWay::None, DisableWayFor(PlaceKind::Winlogon, {10, 0}));
    EXPECT_EQ(DisableWay::None, DisableWayFor(PlaceKind::ImageOptions, {6, 1}));
}

TEST(AutostartRules, ApprovalMarksKeepTheirKindAndTime) {
    EXPECT_FALSE(IsDisabledByApproval({}));
    EXPECT_FALSE(IsDisabledByApproval({0x06}));
    EXPECT_TRUE(IsDisabledByApproval({0x07}));
    const std::vector<uint8_t> disabled = DisablingApproval({0x06, 0, 0, 0}, 0x01D9D1C8'8D430DD4ULL);
    EXPECT_EQ((std::vector<uint8_t>{0x07, 0, 0, 0, 0xD4, 0x0D, 0x43, 0x8D, 0xC8, 0xD1, 0xD9, 0x01}), disabled);
    EXPECT_EQ((std::vector<uint8_t>{0x06, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}), EnablingApproval(disabled));
    EXPECT_EQ(0x02, EnablingApproval({})[0]);
}

TEST(AutostartRules, WinlogonDefaults) {
    EXPECT_TRUE(IsDefaultWinlogonShell(L" C:\\WINDOWS\\Explorer.exe ", L"C:\\Windows\\"));
    EXPECT_FALSE(IsDefaultWinlogonShell(L"explorer.exe, C:\\Temp\\x.exe", L"C:\\Windows"));
    EXPECT_FALSE(IsDefaultWinlogonShell(L"C:\\Temp\\explorer.exe", L"C:\\Windows"));
    EXPECT_TRUE(IsDefaultWinlogonUserinit(L"C:\\Windows\\system32\\userinit.exe,", L"C:\\Windows"));
    EXPECT_TRUE(IsDefaultWinlogonUserinit(L"%SystemRoot%\\System32\\userinit.exe,,", L"C:\\Windows"));
    EXPECT_FALSE(IsDefaultWinlogonUserinit(L"C:\\Windows\\system32\\userinit.exe,C:\\x\\evil.exe,", L"C:\\Windows"));
    EXPECT_FALSE(IsDefaultWinlogonUserinit(L"", L"C:\\Windows"));
    // Windows' own, twice, is not what Windows sets.
    EXPECT_FALSE(IsDefaultWinlogonUserinit(L"C:\\Windows\\system32\\userinit.exe,C:\\Windows\\system32\\userinit.exe,",
                                           L"C:\\Windows"));
}

TEST(AutostartRules, MarksTextsAndSuspiciousFiles) {
    EXPECT_EQ("危险、文件不存在、已禁用", StatusText({true, true, false, true}));
    const std::vector<std::wstring> temporary = {L"C:\\Users\\a\\AppData\\Local\\Temp"};
    EXPECT_TRUE(IsSuspiciousProgramFile(L"C:\\$Recycle.Bin\\S-1-5\\$R1.exe", L"C:\\Windows", temporary));
    EXPECT_FALSE(IsSuspiciousProgramFile(L"C:\\Windows\\System32\\svchost.exe", L"C:\\Windows", temporary));
    EXPECT_FALSE(IsSuspiciousProgramFile(L"D:\\Games\\game.exe", L"C:\\Windows", temporary));
    EXPECT_EQ("公司", DescriptionText({"", "公司"}));
    // A value's line breaks cannot split the log's record.
    EXPECT_EQ("2026-12-09 08:07:06  删除启动项  HKCU\\Run  tool  REG_SZ  \"C:\\t.exe\"  /a b\r\n",
              StartupRemovalLogLine("HKCU\\Run", "tool", "REG_SZ", "\"C:\\t.exe\"\r\n/a\nb", {2026, 12, 9, 8, 7, 6}));
    EXPECT_EQ(" 程序文件: C:\\gone.exe（文件不存在）\n 文件描述: 无法读取\n 公司: 无法读取\n 数字签名: 无法读取",
              StartupDetailsText("C:\\gone.exe", false, {}, "无法读取"));
    EXPECT_EQ(0u, StartupDetailsText("", false, {}, "无").find(" 程序文件: 无法读取\n"))
        << "no program: nothing said missing";
    EXPECT_TRUE(OffersAdministratorRestart(kErrorAccessDenied, false));
    EXPECT_FALSE(OffersAdministratorRestart(kErrorAccessDenied, true));
    EXPECT_FALSE(OffersAdministratorRestart(kErrorFileNotFound, false));
}

TEST(AutostartRules, A32BitCopyReadsExplorersProgramFolders) {
    std::map<std::wstring, std::wstring> variables = {{L"ProgramFiles", L"C:\\Program Files (x86)"},
                                                      {L"ProgramW6432", L"C:\\Program Files"},
                                                      {L"CommonProgramFiles", L"C:\\Program Files (x86)\\Common Files"},
                                                      {L"CommonProgramW6432", L"C:\\Program Files\\Common Files"},
                                                      {L"windir", L"C:\\Windows"}};
    const auto environment = [&variables](const std::wstring& name) -> std::optional<std::wstring> {
        const auto found = variables.find(name);
        return found == variables.end() ? std::nullopt : std::optional<std::wstring>(found->second);
    };
    CommandLookups lookups;
    lookups.environment = [&](const std::wstring& name) { return ExplorerEnvironmentValue(name, true, environment); };
    lookups.isFile = [](const std::wstring& path) { return path == L"C:\\Program Files\\Tool\\t.exe"; };
    const CommandProgram program = ProgramOfCommand(L"\"%ProgramFiles%\\Tool\\t.exe\" /s", lookups);
    EXPECT_TRUE(program.found);
    EXPECT_EQ(L"C:\\Program Files\\Tool\\t.exe", program.program);
    EXPECT_EQ(L"C:\\Program Files\\Common Files", ExplorerEnvironmentValue(L"COMMONPROGRAMFILES", true, environment));
    EXPECT_EQ(L"C:\\Windows", ExplorerEnvironmentValue(L"windir", true, environment));
    // A 64-bit copy, or a 32-bit system, has Explorer's own values.
    EXPECT_EQ(L"C:\\Program Files (x86)", ExplorerEnvironmentValue(L"ProgramFiles", false, environment));
    // Where the system sets no ProgramW6432, the name's own value.
    variables.erase(L"ProgramW6432");
    EXPECT_EQ(L"C:\\Program Files (x86)", ExplorerEnvironmentValue(L"ProgramFiles", true, environment));
    EXPECT_EQ(std::nullopt, ExplorerEnvironmentValue(L"Missing", true, environment));
}

TEST(AutostartRules, TheLogKeepsEveryCharacterReadably) {
    // The log's code page here: ASCII and the CJK ideographs.
    const auto inCodePage = [](char32_t c) { return c < 0x80 || (c >= 0x4E00 && c <= 0x9FA5); };
    EXPECT_EQ(L"C:\\Users\\Bj\\u{F6}rn\\日本\\a.exe", EscapeForLog(L"C:\\Users\\Bj\u00F6rn\\日本\\a.exe", inCodePage));
    // A pair of surrogates is one code point; a lone one is escaped as it is.
    const std::wstring pair = {L'x', static_cast<wchar_t>(0xD83D), static_cast<wchar_t>(0xDE00), L'y'};
    EXPECT_EQ(L"x\\u{1F600}y", EscapeForLog(pair, inCodePage));
    const std::wstring lone = {static_cast<wchar_t>(0xDE00), static_cast<wchar_t>(0xD83D)};
    EXPECT_EQ(L"\\u{DE00}\\u{D83D}", EscapeForLog(lone, inCodePage));
    const std::wstring afterLetter = {L'a', static_cast<wchar_t>(0xDE00)};
    EXPECT_EQ(L"a\\u{DE00}", EscapeForLog(afterLetter, inCodePage));
    // Text that looks like an escape keeps its backslash apart.
    EXPECT_EQ(L"\\u{5C}u{41}\\u\\", EscapeForLog(L"\\u{41}\\u\\", inCodePage));
    EXPECT_EQ(L"\\u{0}", EscapeForLog(std::wstring(1, L'\0'), [](char32_t) { return false; }));
}

TEST(AutostartRules, DisabledEntriesStayWithTheirOwnUsers) {
    const StartupPlace machine{PlaceKind::Run, RegistryRoot::LocalMachine, RegistryView::Key32};
    const StartupPlace user{PlaceKind::RunOnce, RegistryRoot::CurrentUser, RegistryView::Native};
    EXPECT_EQ(
        (ValueLocation{RegistryRoot::LocalMachine, RegistryView::Key64, L"Software\\tarvemonix\\Disabled\\HKLM32-Run"}),
        OwnDisabledLocation(machine, true));
    EXPECT_EQ(RegistryView::Native, OwnDisabledLocation(machine, false).view);
    EXPECT_EQ((ValueLocation{RegistryRoot::CurrentUser, RegistryView::Native,
                             L"Software\\tarvemonix\\Disabled\\HKCU-RunOnce"}),
              OwnDisabledLocation(user, true));
    EXPECT_EQ(
        (ValueLocation{RegistryRoot::CurrentUser, RegistryView::Native, L"Software\\tarvemonix\\Disabled\\HKLM32-Run"}),
        EarlierDisabledLocation(machine));
    EXPECT_EQ(L"C:\\Users\\u\\AppData\\Local\\tarvemonix\\Disabled\\StartUp",
              OwnDisabledFolder(L"C:\\Users\\u\\AppData\\Local\\"));
    EXPECT_EQ(L"C:\\S\\Startup (tarvemonix disabled)", EarlierDisabledFolder(L"C:\\S\\Startup\\"));
}

TEST(AutostartRules, RemovalQuestionsAndTheCaptionSayWhatHappens) {
    EXPECT_TRUE(IsShortcutFile(L"App.LNK"));
    EXPECT_EQ("HKCU\\...\\Run", PlaceText({PlaceKind::Run, RegistryRoot::CurrentUser}));
    EXPECT_FALSE(IsSuspiciousProgramFile(L"", L"C:\\Windows", {}));
    // "%%" is a lone '%' before a name.
    EXPECT_EQ(L"%C:\\Program Files", ExpandEnvironmentText(L"%%ProgramFiles%", Lookups({})));
    EXPECT_FALSE(IsShortcutFile(L"app.exe"));
    EXPECT_FALSE(IsShortcutFile(L"lnk"));
    EXPECT_EQ("确定要删除启动项 a.exe 吗？\n该程序文件将移到回收站。", RemovalQuestion("a.exe", true));
    EXPECT_EQ("确定要删除启动项 a.lnk 吗？", RemovalQuestion("a.lnk", false));
    EXPECT_EQ("启动项", StartupDialogCaption("PC\\user", "PC\\user"));
    EXPECT_EQ("启动项", StartupDialogCaption("", "PC\\user"));
    EXPECT_EQ("启动项", StartupDialogCaption("PC\\admin", ""));
    EXPECT_EQ("启动项（以 PC\\admin 的身份运行：“当前用户”的启动项属于 PC\\admin，不属于 PC\\user）",
              StartupDialogCaption("PC\\admin", "PC\\user"));
}

TEST(AutostartRules, OnlyUnmarkedFilesInWindowsHomesSignedByMicrosoftAreHidden) {
    const FileSignature microsoft{SignatureVerdict::Verified, "Microsoft Windows"};
    const EntryMarks none;
    EXPECT_TRUE(HidesAsWindowsOwn(none, ProgramPlace::InWindowsFolder, microsoft));
    EXPECT_TRUE(HidesAsWindowsOwn(none, ProgramPlace::InWindowsFolder, {SignatureVerdict::Verified, "Microsoft"}));
    EXPECT_TRUE(HidesAsWindowsOwn({false, false, false, true}, ProgramPlace::InWindowsFolder, microsoft))
        << "a disabled entry is no marked one";
    // A signed file outside the homes, an unsigned or unverified one inside, another signer.
    EXPECT_FALSE(HidesAsWindowsOwn(none, ProgramPlace::Elsewhere, microsoft));
    EXPECT_FALSE(HidesAsWindowsOwn(none, ProgramPlace::Unknown, microsoft));
    for (const SignatureVerdict verdict :
         {SignatureVerdict::None, SignatureVerdict::Invalid, SignatureVerdict::Unreadable}) {
        EXPECT_FALSE(HidesAsWindowsOwn(none, ProgramPlace::InWindowsFolder, {verdict, "Microsoft Windows"}));
    }
    for (const char* signer : {"Microsoftware Ltd", "Contoso (Microsoft Windows)", "microsoft windows", ""}) {
        EXPECT_FALSE(HidesAsWindowsOwn(none, ProgramPlace::InWindowsFolder, {SignatureVerdict::Verified, signer}))
            << signer;
    }
    // Marked entries always show.
    EXPECT_FALSE(HidesAsWindowsOwn({true, false, false, false}, ProgramPlace::InWindowsFolder, microsoft));
    EXPECT_FALSE(HidesAsWindowsOwn({false, true, false, false}, ProgramPlace::InWindowsFolder, microsoft));
    EXPECT_FALSE(HidesAsWindowsOwn({false, false, true, false}, ProgramPlace::InWindowsFolder, microsoft));

    EXPECT_EQ("共 12 项（已隐藏 130 项 Windows 自带项）", EntryCountText(12, 130));
}

TEST(AutostartRules, OnlyUnmarkedEntriesInWindowsHomesAreWorthASignatureCheck) {
    EXPECT_TRUE(MayBeWindowsOwn({false, false, false, true}, ProgramPlace::InWindowsFolder));
    EXPECT_FALSE(MayBeWindowsOwn({}, ProgramPlace::Elsewhere));
    EXPECT_FALSE(MayBeWindowsOwn({}, ProgramPlace::Unknown));
    EXPECT_FALSE(MayBeWindowsOwn({true, false, false, false}, ProgramPlace::InWindowsFolder));
    EXPECT_FALSE(MayBeWindowsOwn({false, true, false, false}, ProgramPlace::InWindowsFolder));
    EXPECT_FALSE(MayBeWindowsOwn({false, false, true, false}, ProgramPlace::InWindowsFolder));
}
