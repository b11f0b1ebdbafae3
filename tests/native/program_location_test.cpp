#include <gtest/gtest.h>

#include "process/ProgramLocation.h"

TEST(ProgramLocation, BelowTheWindowsFolderByWholeFolderNames) {
    const wchar_t* windows = L"C:\\Windows";
    EXPECT_TRUE(IsInsideFolder(L"C:\\WINDOWS\\system32\\svchost.exe", windows));
    EXPECT_TRUE(IsInsideFolder(L"C:\\Windows\\a", L"C:\\Windows")) << "a name of one letter";
    EXPECT_FALSE(IsInsideFolder(L"C:\\Windows\\", L"C:\\Windows")) << "the folder itself";
    EXPECT_TRUE(IsInsideFolder(L"\\\\?\\C:\\Windows\\explorer.exe", L"c:\\windows\\"));
    EXPECT_TRUE(IsInsideFolder(L"C:/Windows/System32/conhost.exe", windows));
    EXPECT_TRUE(IsInsideFolder(L"\\??\\C:\\Windows\\System32\\smss.exe", windows));
    EXPECT_TRUE(IsInsideFolder(L"z:\\wine\\svchost.exe", L"Z:\\WINE"));
    EXPECT_FALSE(IsInsideFolder(L"C:\\Windows2\\svchost.exe", windows));
    EXPECT_FALSE(IsInsideFolder(L"C:\\Windows\\", windows)) << "the folder itself";
    EXPECT_FALSE(IsInsideFolder(L"C:\\Windows\\..\\Temp\\svchost.exe", windows));
    EXPECT_FALSE(IsInsideFolder(L"C:\\Windows\\..", windows));
    EXPECT_FALSE(IsInsideFolder(L"D:\\Windows\\svchost.exe", windows));
    EXPECT_FALSE(IsInsideFolder(L"C:\\Users\\a\\AppData\\Local\\Temp\\svchost.exe", windows));
}

TEST(ProgramLocation, OnlyCoreNamesKnownToLieElsewhereAreSuspicious) {
    for (const char* name :
         {"smss.exe", "csrss.exe", "wininit.exe", "winlogon.exe", "services.exe", "lsass.exe", "svchost.exe",
          "spoolsv.exe", "explorer.exe", "dwm.exe", "taskhostw.exe", "conhost.exe", "ctfmon.exe", "RunDll32.EXE"}) {
        EXPECT_TRUE(IsSuspiciousLocation(name, ProgramPlace::Elsewhere)) << name;
    }
    EXPECT_FALSE(IsSuspiciousLocation("svchost.exe", ProgramPlace::InWindowsFolder));
    EXPECT_FALSE(IsSuspiciousLocation("svchost.exe", ProgramPlace::Unknown));
    EXPECT_FALSE(IsSuspiciousLocation("mysvchost.exe", ProgramPlace::Elsewhere));
    EXPECT_EQ(ProgramPlace::Unknown, PlaceOf(L"", L"C:\\Windows"));
    EXPECT_EQ(ProgramPlace::Unknown, PlaceOf(L"C:\\Temp\\svchost.exe", L""));
    EXPECT_EQ(ProgramPlace::Elsewhere, PlaceOf(L"C:\\Temp\\svchost.exe", L"C:\\Windows"));
    // The homes themselves, not the folders below them.
    for (const wchar_t* home :
         {L"C:\\WINDOWS\\x.exe", L"c:\\windows\\SYSTEM32\\x.exe", L"C:\\Windows\\syswow64\\x.exe"})
        EXPECT_EQ(ProgramPlace::InWindowsFolder, PlaceOf(home, L"C:\\Windows\\")) << home;
    for (const wchar_t* below : {L"C:\\Windows\\Temp\\svchost.exe", L"C:\\Windows\\System32\\Tasks\\svchost.exe",
                                 L"C:\\Windows\\System32\\..\\svchost.exe", L"C:\\Windows2\\svchost.exe"})
        EXPECT_EQ(ProgramPlace::Elsewhere, PlaceOf(below, L"C:\\Windows")) << below;
}

// A 32-bit program on 64-bit Windows reaches "System32\x.exe" itself, not
// SysWOW64's namesake, only with the redirection off; no other file needs it.
TEST(ProgramLocation, RedirectionGoesOffForTheSystemFolderAlone) {
    const std::wstring system = L"C:\\Windows\\system32";
    const std::wstring systemShort = L"C:\\WINDOW~1\\SYSTEM32";
    EXPECT_TRUE(NeedsRedirectionOff(L"C:\\Windows\\System32\\x.exe", system, systemShort));
    EXPECT_TRUE(NeedsRedirectionOff(L"c:\\windows\\system32\\drivers\\etc\\y.exe", system, systemShort));
    EXPECT_TRUE(NeedsRedirectionOff(L"\\\\?\\C:\\Windows\\System32\\x.exe", system, systemShort));
    EXPECT_TRUE(NeedsRedirectionOff(L"C:\\WINDOW~1\\SYSTEM32\\x.exe", system, systemShort)) << "the short form";
    EXPECT_TRUE(NeedsRedirectionOff(L"C:\\WINDOW~1\\SYSTEM32\\x.exe", L"", systemShort));
    EXPECT_FALSE(NeedsRedirectionOff(L"C:\\Windows\\SysWOW64\\x.exe", system, systemShort));
    EXPECT_FALSE(NeedsRedirectionOff(L"C:\\Windows\\System32x\\x.exe", system, systemShort));
    EXPECT_FALSE(NeedsRedirectionOff(L"C:\\Windows\\x.exe", system, systemShort));
    EXPECT_FALSE(NeedsRedirectionOff(L"C:\\Windows\\System32", system, systemShort)) << "the folder itself";
    EXPECT_FALSE(NeedsRedirectionOff(L"D:\\Bj\u00F6rn\\x.exe", system, systemShort));
    EXPECT_FALSE(NeedsRedirectionOff(L"C:\\Windows\\System32\\x.exe", L"", L"")) << "no system folder known";
}
