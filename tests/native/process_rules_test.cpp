#include <gtest/gtest.h>

#include <iterator>

#include "process/ProcessRules.h"

TEST(ContainsNoCase, FoldsOnlyAsciiCapitals) {
    EXPECT_TRUE(ContainsNoCase("ABC.EXE", "bc.e"));
    EXPECT_TRUE(ContainsNoCase("abc.exe", "BC.E"));
    EXPECT_FALSE(ContainsNoCase("abc.exe", "bd"));
    // Bytes of 0x80 and above are never changed.
    EXPECT_FALSE(ContainsNoCase("\xC0", "\xE0"));
    // A second byte in 0x41..0x5A is folded like any other byte.
    EXPECT_TRUE(ContainsNoCase("\xB0\x41", "\xB0\x61"));
    EXPECT_TRUE(ContainsNoCase("\xB0\x61", "\xB0\x41"));
    // Byte-wise search ignores character boundaries: the second byte of one
    // character and the first of the next form a match.
    EXPECT_TRUE(ContainsNoCase("\xB0\xA1\xB0\xA1", "\xA1\xB0"));
    // Every capital from A to Z, in the plain test and in the indexed tables;
    // '@' and '[' just outside the range stay as they are.
    const std::string capitals = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    const std::string smalls = "abcdefghijklmnopqrstuvwxyz";
    EXPECT_TRUE(ContainsNoCase(capitals, smalls));
    EXPECT_TRUE(ContainsNoCase(smalls, capitals));
    EXPECT_FALSE(ContainsNoCase("@", "`"));
    EXPECT_FALSE(ContainsNoCase("[", "{"));
    BlockList blockList;
    blockList.AddLoaded(smalls);
    EXPECT_EQ(std::vector<std::string>{smalls}, blockList.Matches(capitals));
    EXPECT_TRUE(PreparedReference({capitals}).Names(smalls));
}

TEST(ContainsNoCase, EmptyNeedleOccursEverywhere) {
    EXPECT_TRUE(ContainsNoCase("", ""));
    EXPECT_TRUE(ContainsNoCase("x.exe", ""));
    EXPECT_FALSE(ContainsNoCase("", "x"));
    EXPECT_FALSE(ContainsNoCase("ab", "abc"));
}

TEST(ClassifyProcess, SixProcessExample) {
    BlockList blockList;
    const std::vector<std::string> reference = {"explorer.exe 资源管理器"};
    struct Case {
        const char* name;
        const char* word;
    } cases[] = {
        {"[System Process]", " 系统进程"}, {"System", " 系统进程"},      {"explorer.exe", " 系统进程"},
        {"flcss.exe", " 危险进程"},        {"TARVEMONIX.EXE", "瓦诺德"}, {"notepad.exe", " 应用程序进程"},
    };
    for (const Case& c : cases) {
        EXPECT_STREQ(c.word, CategoryWord(ClassifyProcess(c.name, blockList, reference))) << c.name;
    }
}

TEST(ClassifyProcess, EverySystemNameAsWritten) {
    const char* const names[] = {"RUNDLL32.EXE", "TASKMON.EXE", "KERNEL32.DLL",    "mmtask.tsk", "SPOOL32.EXE",
                                 "MSGSRV32.EXE", "MDM.EXE",     "MPREXE.EXE",      "DDHELP.EXE", "RPCSS.EXE",
                                 "IEXPLORE.EXE", "System",      "[System Process]"};
    ASSERT_EQ(std::size(names), SystemProcessNames.size());
    const BlockList blockList;
    const std::vector<std::string> noLines;
    for (size_t i = 0; i < std::size(names); ++i) {
        EXPECT_STREQ(names[i], SystemProcessNames[i]);
        EXPECT_EQ(ProcessCategory::CategorySystem, ClassifyProcess(names[i], blockList, noLines)) << names[i];
        EXPECT_EQ(ProcessCategory::CategorySystem, ClassifyProcess(names[i], blockList, PreparedReference(noLines)))
            << names[i];
    }
}

TEST(ClassifyProcess, RuleOrder) {
    BlockList blockList;
    blockList.AddLoaded("System");
    const std::vector<std::string> reference = {"explorer.exe 资源管理器", ""};
    // Own program wins over a system name and a reference line.
    EXPECT_EQ(ProcessCategory::CategorySelf, ClassifyProcess("c:\\tarvemonix.exe.system", blockList, reference));
    // A blocked system name still reads as a system process.
    EXPECT_EQ(ProcessCategory::CategorySystem, ClassifyProcess("System", blockList, reference));
    EXPECT_EQ(ProcessCategory::CategorySystem, ClassifyProcess("systemtool.exe", blockList, reference));
    // The process name need only occur inside a reference line.
    EXPECT_EQ(ProcessCategory::CategorySystem, ClassifyProcess("plorer.exe", blockList, reference));
    // An empty reference line never names a process.
    EXPECT_EQ(ProcessCategory::CategoryApplication, ClassifyProcess("calc.exe", blockList, reference));
}

TEST(BlockList, MatchesOncePerEntryAndSkipsEmptyEntries) {
    BlockList blockList;
    EXPECT_EQ(1, blockList.count());
    blockList.AddLoaded("ab.exe");
    blockList.AddLoaded("");
    blockList.AddLoaded("AB.EXE");
    EXPECT_EQ((std::vector<std::string>{"ab.exe", "AB.EXE"}), blockList.Matches("CRAB.EXE"));
    EXPECT_EQ((std::vector<std::string>{"FLCSS.EXE"}), blockList.Matches("c:\\x\\Flcss.exe"));
    EXPECT_TRUE(blockList.Matches("notepad.exe").empty());
    blockList.ResetLoaded();
    EXPECT_EQ(1, blockList.count());
    EXPECT_EQ("FLCSS.EXE", blockList.names()[0]);
}

TEST(OsClass, Table) {
    EXPECT_EQ(3, OsClassFromVersion(0, 3));
    EXPECT_EQ(1, OsClassFromVersion(1, 4));
    EXPECT_EQ(2, OsClassFromVersion(2, 5));
    EXPECT_EQ(4, OsClassFromVersion(2, 4));
    EXPECT_EQ(4, OsClassFromVersion(2, 3));
    EXPECT_EQ(5, OsClassFromVersion(2, 6));
    EXPECT_EQ(5, OsClassFromVersion(2, 10));
    EXPECT_EQ(5, OsClassFromVersion(3, 5));
}

TEST(AtoiPrefix, ReadsLikeTheCLibrary) {
    EXPECT_EQ(0, AtoiPrefix(""));
    EXPECT_EQ(0, AtoiPrefix("abc"));
    EXPECT_EQ(42, AtoiPrefix("  42x"));
    EXPECT_EQ(-7, AtoiPrefix("-7"));
    EXPECT_EQ(12, AtoiPrefix("+12,5"));
    EXPECT_EQ(2147483647, AtoiPrefix("99999999999999999999"));
    EXPECT_EQ(-2147483648LL, AtoiPrefix("-99999999999999999999"));
}

TEST(PidText, DecimalWithoutPadding) {
    EXPECT_EQ("0", PidText(0));
    EXPECT_EQ("1234", PidText(1234));
    // Read as a signed 32-bit number, as "%d" shows it.
    EXPECT_EQ("2147483647", PidText(2147483647u));
    EXPECT_EQ("-2147483648", PidText(2147483648u));
    EXPECT_EQ("-1", PidText(4294967295u));
}
