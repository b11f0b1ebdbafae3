#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>

#include "process/ProcessCommands.h"
#include "process/ReferenceInfo.h"

TEST(ParseReferenceInfo, StopsAtTheFirstLineWithTheMarker) {
    EXPECT_EQ((std::vector<std::string>{"a.exe 一", "b.exe 二"}),
              ParseReferenceInfo("a.exe 一\r\nb.exe 二\r\n[EOF]\r\nc.exe 三\r\n"));
    EXPECT_EQ((std::vector<std::string>{"a.exe"}), ParseReferenceInfo("a.exe\r\nxx [EOF] yy\r\nc.exe\r\n"));
    // The marker is case-sensitive.
    EXPECT_EQ((std::vector<std::string>{"a.exe", "[eof]", "c.exe"}), ParseReferenceInfo("a.exe\r\n[eof]\r\nc.exe"));
    EXPECT_TRUE(ParseReferenceInfo("[EOF]").empty());
    EXPECT_TRUE(ParseReferenceInfo("").empty());
}

TEST(ParseReferenceInfo, LineEnds) {
    EXPECT_EQ((std::vector<std::string>{"a", "", "b", "c\rd", "e"}), ParseReferenceInfo("a\r\n\r\nb\nc\rd\ne"));
    EXPECT_EQ((std::vector<std::string>{"a", ""}), ParseReferenceInfo("a\n\n"));
}

TEST(ParseReferenceInfo, LongLinesAreCutIntoSeveralEntries) {
    const std::string line450(450, 'x');
    const auto lines = ParseReferenceInfo(line450 + "\r\ny\r\n");
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(300u, lines[0].size());
    EXPECT_EQ(150u, lines[1].size());
    EXPECT_EQ("y", lines[2]);
    // Exactly 300 bytes is one entry, with no empty entry after it.
    EXPECT_EQ(1u, ParseReferenceInfo(std::string(300, 'x') + "\r\n").size());
    // The marker in the rest of a cut line still ends the reading.
    EXPECT_EQ(1u, ParseReferenceInfo(std::string(300, 'x') + "[EOF]\r\nz").size());
}

TEST(ParseReferenceInfo, CutNeverSplitsADoubleByteCharacter) {
    // 299 ASCII bytes then a double-byte character: the character moves to
    // the next entry whole.
    const std::string line = std::string(299, 'x') + "\xD6\xD0" + "yz";
    const auto lines = ParseReferenceInfo(line);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(299u, lines[0].size());
    EXPECT_EQ("\xD6\xD0yz", lines[1]);
}

TEST(GetFileNamePart, TakesTheTextAfterTheLastSeparator) {
    EXPECT_EQ("KERNEL32.DLL", GetFileNamePart("C:\\WINDOWS\\SYSTEM\\KERNEL32.DLL"));
    EXPECT_EQ("notepad.exe", GetFileNamePart("notepad.exe"));
    EXPECT_EQ("\\ABC.EXE", GetFileNamePart("\\ABC.EXE"));
    EXPECT_EQ("", GetFileNamePart("C:\\DIR\\"));
    // 0x5C as the second byte of a double-byte character is no separator.
    EXPECT_EQ(
        "\x95\x5C"
        "a.exe",
        GetFileNamePart("C:\\\x95\x5C"
                        "a.exe"));
}

TEST(LookupReferenceText, FirstMatchingLineWins) {
    const std::vector<std::string> reference = {"", "abc.exe 调用 EXPLORER.EXE 的工具", "explorer.exe 桌面"};
    EXPECT_EQ("\n正常进程参考信息:\nabc.exe 调用 EXPLORER.EXE 的工具", LookupReferenceText("explorer.exe", reference));
    EXPECT_EQ("\n正常进程参考信息:\nexplorer.exe 桌面",
              LookupReferenceText("C:\\WINNT\\Explorer.EXE", {"explorer.exe 桌面"}));
    EXPECT_EQ("", LookupReferenceText("calc.exe", reference));
    // An empty name (no selection) names no line.
    EXPECT_EQ("", LookupReferenceText("", reference));
    EXPECT_EQ("", LookupReferenceText("C:\\DIR\\", reference));
    EXPECT_EQ("", LookupReferenceText("calc.exe", {}));
}

TEST(ShippedReferenceFile, SparesWhatTheSystemsNeedAndNothingElse) {
    const std::string path =
        std::string(__FILE__).substr(0, std::string(__FILE__).rfind("tests/")) + "res/processinfo.dat";
    std::ifstream file(path, std::ios::binary);
    ASSERT_TRUE(file) << path;
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, bytes.find("\r\n[EOF]"));
    const std::vector<std::string> lines = ParseReferenceInfo(bytes);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n') - 1, static_cast<long>(lines.size()));
    const char* needed[] = {
        "smss.exe",          "csrss.exe",    "wininit.exe",        "winlogon.exe", "services.exe", "lsass.exe",
        "lsm.exe",           "svchost.exe",  "spoolsv.exe",        "explorer.exe", "dwm.exe",      "taskhost.exe",
        "taskhostw.exe",     "sihost.exe",   "fontdrvhost.exe",    "ctfmon.exe",   "conhost.exe",  "RuntimeBroker.exe",
        "SearchIndexer.exe", "MsMpEng.exe",  "audiodg.exe",        "dllhost.exe",  "wmiprvse.exe", "alg.exe",
        "msdtc.exe",         "Registry",     "Memory Compression", "MSGSRV32.EXE", "MPREXE.EXE",   "SYSTRAY.EXE",
        "mmtask.tsk",        "KERNEL32.DLL", "winedevice.exe",     "plugplay.exe", "rpcss.exe"};
    for (const char* name : needed) {
        ProcessRecord record;
        record.pid = 1000;
        record.name = name;
        EXPECT_TRUE(IsSparedBySlimDown(record, 1, lines)) << name;
        EXPECT_EQ(0u, LookupReferenceText(name, lines).find("\n正常进程参考信息:\n")) << name;
    }
    for (const char* name : {"notepad.exe", "tvx_sleeper.exe", "calc.exe", "winword.exe", "cmd.exe"}) {
        EXPECT_FALSE(IsNamedInReference(name, lines)) << name;
    }
}
