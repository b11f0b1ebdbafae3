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
}

TEST(StartupRules, TheLogonEntryNamesTheQuotedProgram) {
    const std::wstring program = L"C:\\Program Files\\瓦诺德\\tarvemonix.exe";
    EXPECT_EQ(L"\"C:\\Program Files\\瓦诺德\\tarvemonix.exe\" /tray", AutorunValue(program));
    EXPECT_EQ(program, AutorunProgramPath(AutorunValue(program)));
    EXPECT_EQ(L"C:\\x\\tarvemonix.exe", AutorunProgramPath(L"C:\\x\\tarvemonix.exe /tray"));
    EXPECT_EQ(L"C:\\unclosed", AutorunProgramPath(L"\"C:\\unclosed"));
    EXPECT_EQ(L"", AutorunProgramPath(L""));
}
