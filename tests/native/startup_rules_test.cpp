#include <gtest/gtest.h>

#include "app/StartupRules.h"

TEST(StartupRules, ReadsTrayTakeOverAndFolderAndIgnoresTheRest) {
    EXPECT_TRUE(ReadStartArguments({L"/TRAY"}).inTray);
    EXPECT_TRUE(ReadStartArguments({L"other", L"-Tray"}).inTray);
    EXPECT_FALSE(ReadStartArguments({}).inTray);
    EXPECT_FALSE(ReadStartArguments({L"/tray2", L"tray", L"/ tray"}).inTray);
    EXPECT_EQ(0u, ReadStartArguments({L"/takeover:", L"/takeover:12x", L"/takeover:99999999999"}).takeOverFromPid);
    // What one copy passes, the next reads back, a folder ending in a backslash too.
    for (const std::wstring folder : {L"C:\\", L"D:\\带 空格\\x"}) {
        const StartRequest request = ReadStartArguments({L"/takeover:4294967295", L"/folder:" + folder});
        EXPECT_EQ(4294967295u, request.takeOverFromPid);
        EXPECT_EQ(folder, request.folder);
    }
    EXPECT_EQ(L"/takeover:42 \"/folder:C:\\\\\"", TakeOverArguments(42, L"C:\\"));
    // The restart from the startup entries asks for them again, and only then.
    const std::wstring restart = L"x.exe " + TakeOverArguments(42, L"C:\\") + L" " + kStartupEntriesSwitch;
    std::vector<std::wstring> arguments = SplitCommandLine(restart);
    arguments.erase(arguments.begin());
    EXPECT_TRUE(ReadStartArguments(arguments).openStartupEntries);
    EXPECT_EQ(L"C:\\", ReadStartArguments(arguments).folder);
    EXPECT_FALSE(ReadStartArguments({L"/startup2", L"startup"}).openStartupEntries);
}

TEST(StartupRules, TheLogonEntryNamesTheQuotedProgramAndItsFolder) {
    const std::wstring program = L"C:\\Program Files\\瓦诺德\\tarvemonix.exe";
    EXPECT_EQ(L"\"C:\\Program Files\\瓦诺德\\tarvemonix.exe\" /tray \"/folder:D:\\\\\"",
              AutorunValue(program, L"D:\\"));
    // The shell starts the entry in a folder of its own: what the program reads
    // back from the entry's command line is the folder it was given.
    for (const std::wstring folder : {L"D:\\", L"C:\\Program Files\\瓦诺德", L"\\\\server\\share\\a b\\"}) {
        const std::wstring value = AutorunValue(program, folder);
        EXPECT_EQ(program, AutorunProgramPath(value));
        const std::vector<std::wstring> split = SplitCommandLine(value);
        ASSERT_EQ(3u, split.size()) << value.size();
        EXPECT_EQ(program, split[0]);
        const StartRequest request = ReadStartArguments({split.begin() + 1, split.end()});
        EXPECT_TRUE(request.inTray);
        EXPECT_EQ(folder, request.folder);
    }
    // The splitting rules of Windows programs, escapes and quotes.
    EXPECT_EQ((std::vector<std::wstring>{L"C:\\a b\\p.exe", L"a\\\\b", L"c\"d", L"e\\", L"f g", L""}),
              SplitCommandLine(L"\"C:\\a b\\p.exe\"  a\\\\b c\\\"d \"e\\\\\" \"f g\" \"\""));
    EXPECT_EQ((std::vector<std::wstring>{L"p.exe", L"/tray"}), SplitCommandLine(L"p.exe\t/tray "));
    // Two quotes inside quotes give one, and the quote goes on.
    EXPECT_EQ((std::vector<std::wstring>{L"p.exe", L"a\"b"}), SplitCommandLine(L"p.exe \"a\"\"b\""));
    // An earlier version's entry names no folder: the program's own, not System32.
    EXPECT_EQ(L"C:\\p\\", StartFolderFor(ReadStartArguments({L"/tray"}), L"C:\\p\\"));
    EXPECT_EQ(L"", StartFolderFor(ReadStartArguments({}), L"C:\\p\\"));
    EXPECT_EQ(L"C:\\x\\tarvemonix.exe", AutorunProgramPath(L"C:\\x\\tarvemonix.exe /tray"));
    EXPECT_EQ(L"C:\\unclosed", AutorunProgramPath(L"\"C:\\unclosed"));
    EXPECT_EQ(L"", AutorunProgramPath(L""));
}
