#include <gtest/gtest.h>

#include "app/StartupRules.h"

TEST(StartupRules, OnlyTrayArgumentsAskToStartInTheTray) {
    EXPECT_TRUE(AsksToStartInTray({L"/TRAY"}));
    EXPECT_TRUE(AsksToStartInTray({L"other", L"-Tray"}));
    EXPECT_FALSE(AsksToStartInTray({}));
    EXPECT_FALSE(AsksToStartInTray({L"/tray2", L"tray", L"/ tray"}));
}

TEST(StartupRules, TheLogonEntryNamesTheQuotedProgram) {
    const std::wstring program = L"C:\\Program Files\\瓦诺德\\tarvemonix.exe";
    EXPECT_EQ(L"\"C:\\Program Files\\瓦诺德\\tarvemonix.exe\" /tray", AutorunValue(program));
    EXPECT_EQ(program, AutorunProgramPath(AutorunValue(program)));
    EXPECT_EQ(L"C:\\x\\tarvemonix.exe", AutorunProgramPath(L"C:\\x\\tarvemonix.exe /tray"));
    EXPECT_EQ(L"C:\\unclosed", AutorunProgramPath(L"\"C:\\unclosed"));
    EXPECT_EQ(L"", AutorunProgramPath(L""));
}
