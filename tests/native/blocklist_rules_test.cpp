#include <gtest/gtest.h>

#include "blocklist/BlockListRules.h"

namespace {

using Names = std::vector<std::string>;

std::string Repeat(char c, size_t count) { return std::string(count, c); }

}  // namespace

TEST(ReadBlockNames, EmptyFilesAndTheMarker) {
    EXPECT_EQ(Names{}, ReadBlockNames(""));
    EXPECT_EQ(Names{}, ReadBlockNames("EOF"));
    EXPECT_EQ((Names{"a.exe", "B.EXE"}), ReadBlockNames("a.exe\r\nB.EXE\r\nEOF"));
    // Without the marker every line up to the end counts, the last one too.
    EXPECT_EQ((Names{"a.exe", "b.exe"}), ReadBlockNames("a.exe\r\nb.exe"));
    EXPECT_EQ((Names{"a.exe", "b.exe"}), ReadBlockNames("a.exe\r\nb.exe\r\n"));
}

TEST(ReadBlockNames, ALineHoldingTheMarkerEndsTheList) {
    EXPECT_EQ(Names{"a.exe"}, ReadBlockNames("a.exe\r\nmyEOFtool.exe\r\nb.exe\r\nEOF"));
    EXPECT_EQ(Names{"a.exe"}, ReadBlockNames("a.exe\r\nEOF\r\nb.exe\r\nEOF"));
    // Only the capitals end it.
    EXPECT_EQ((Names{"eof.exe", "Eof"}), ReadBlockNames("eof.exe\r\nEof\r\nEOF"));
    // The marker ends the list even on a line too long to be a name.
    EXPECT_EQ(Names{"a"}, ReadBlockNames("a\r\n" + Repeat('x', 300) + "EOF\r\nb\r\n"));
}

TEST(ReadBlockNames, EmptyLinesAreSkipped) {
    EXPECT_EQ((Names{"a.exe", "b.exe"}), ReadBlockNames("\r\na.exe\r\n\r\n\r\nb.exe\r\n\r\nEOF"));
    EXPECT_EQ(Names{}, ReadBlockNames("\r\n\r\nEOF"));
}

TEST(ReadBlockNames, LongLinesAreSkippedWholeNeverSplit) {
    const std::string longest = Repeat('n', 258) + "e";
    const std::string tooLong = Repeat('n', 257) + ".exe";  // 261 bytes ending in "exe"
    const Names names =
        ReadBlockNames("a\r\n" + longest + "\r\n" + tooLong + "\r\n" + Repeat('m', 260) + "\r\nb\r\nEOF");
    EXPECT_EQ((Names{"a", longest, "b"}), names);
    EXPECT_EQ(259u, names[1].size());
    // A long last line without a line end goes as well.
    EXPECT_EQ(Names{"a"}, ReadBlockNames("a\r\n" + Repeat('z', 1000)));
}

TEST(ReadBlockNames, EveryNameOfALongList) {
    std::string file;
    Names expected;
    for (int i = 0; i < 150; ++i) {
        expected.push_back("proc" + std::to_string(i) + ".exe");
        file += expected.back() + "\r\n";
    }
    file += "EOF";
    EXPECT_EQ(expected, ReadBlockNames(file));
}

TEST(ReadBlockNames, LoneLineFeedsAndCarriageReturnsEndLines) {
    EXPECT_EQ((Names{"a", "b"}), ReadBlockNames("a\nb\nEOF"));
    EXPECT_EQ((Names{"a", "b"}), ReadBlockNames("a\rb\rEOF"));
    EXPECT_EQ((Names{"a", "b", "c", "d"}), ReadBlockNames("a\r\nb\nc\rd\r\r\n\n\rEOF"));
    // A line end at the very end of the file leaves no extra name.
    EXPECT_EQ(Names{"a"}, ReadBlockNames("a\r"));
}

TEST(ReadBlockNames, NamesKeepTheirBytes) {
    // Code page 936 text, blanks and case are kept; nothing is trimmed.
    EXPECT_EQ((Names{" \xB2\xE2\xCA\xD4.EXE ", "c:\\Dir\\X.exe"}),
              ReadBlockNames(" \xB2\xE2\xCA\xD4.EXE \r\nc:\\Dir\\X.exe\r\nEOF"));
}

TEST(AppendBlockNameBytes, FilesOfTheProgramsOwnForm) {
    EXPECT_EQ("x.exe\r\nEOF", AppendBlockNameBytes("", "x.exe"));
    EXPECT_EQ("x.exe\r\nEOF", AppendBlockNameBytes("EOF", "x.exe"));
    const std::string example = AppendBlockNameBytes(AppendBlockNameBytes("", "a.exe"), "B.EXE");
    EXPECT_EQ("a.exe\r\nB.EXE\r\nEOF", example);
    EXPECT_EQ(17u, example.size());
    // Duplicates are written again.
    EXPECT_EQ("a\r\na\r\nEOF", AppendBlockNameBytes("a\r\nEOF", "a"));
    // Other line ends and skipped lines in front of the marker stay as they are.
    EXPECT_EQ("a\nb\r\n\r\nc\r\nEOF", AppendBlockNameBytes("a\nb\r\n\r\nEOF", "c"));
}

TEST(AppendBlockNameBytes, OddTailsLoseNoName) {
    const char* const files[] = {
        "a.exe\r\nEOF\r\n",          // marker followed by a line end
        "a.exe\r\nb.exe",            // no marker, no final line end
        "a.exe\r\nb.exe\r\n",        // no marker
        "a.exe\r",                   // lone CR at the end
        "a.exe\r\nEO",               // cut marker
        "a.exe\r\nxEOF",             // marker glued to a name
        "a.exe\r\nEOF\r\nb\r\nEOF",  // a second marker further on
        "\r\n",
    };
    for (const char* file : files) {
        const std::string after = AppendBlockNameBytes(file, "new.exe");
        Names expected = ReadBlockNames(file);
        expected.push_back("new.exe");
        EXPECT_EQ(expected, ReadBlockNames(after)) << file;
        EXPECT_EQ("new.exe\r\nEOF", after.substr(after.size() - 12)) << file;
    }
    EXPECT_EQ("a.exe\r\nb.exe\r\nnew.exe\r\nEOF", AppendBlockNameBytes("a.exe\r\nb.exe", "new.exe"));
    EXPECT_EQ("a.exe\r\nnew.exe\r\nEOF", AppendBlockNameBytes("a.exe\r\nEOF\r\n", "new.exe"));
    EXPECT_EQ("a.exe\rnew.exe\r\nEOF", AppendBlockNameBytes("a.exe\r", "new.exe")) << "no empty line";
}

TEST(RewriteWithoutName, RemovesEveryCopyAndNormalises) {
    EXPECT_EQ("b\r\nEOF", RewriteWithoutName("a\r\nb\r\na\r\nEOF", "a"));
    // Equality is exact: case and longer names that contain it stay.
    EXPECT_EQ("A\r\nab\r\nEOF", RewriteWithoutName("a\r\nA\r\nab\r\nEOF", "a"));
    // Nothing taken: the same names in normal form.
    EXPECT_EQ("a\r\nb\r\nEOF", RewriteWithoutName("\r\na\n\nb\rEOF\r\n", ""));
    // Lines after the marker line are dropped; a line too long to be a name
    // was written by hand and stays byte for byte where it was.
    EXPECT_EQ("a\r\nEOF", RewriteWithoutName("a\r\nEOF\r\nb\r\nEOF", ""));
    const std::string handWritten = Repeat('q', 260);
    EXPECT_EQ("a\r\n" + handWritten + "\r\nc\r\nEOF",
              RewriteWithoutName("a\r\n" + handWritten + "\r\nb\r\nc\r\nEOF", "b"));
    EXPECT_EQ(handWritten + "\r\nEOF", RewriteWithoutName(handWritten + "\nq\nEOF", "q"));
    EXPECT_EQ("EOF", RewriteWithoutName("a\r\nEOF", "a"));
    EXPECT_EQ("EOF", RewriteWithoutName("", ""));
    EXPECT_EQ("a\r\nEOF", RewriteWithoutName("a", "b"));
}

TEST(CheckBlockName, LengthAndContent) {
    EXPECT_EQ(BlockNameCheck::Acceptable, CheckBlockName("x.exe"));
    EXPECT_EQ(BlockNameCheck::Acceptable, CheckBlockName(Repeat('n', 259)));
    EXPECT_EQ(BlockNameCheck::Acceptable, CheckBlockName("eof.exe"));
    EXPECT_EQ(BlockNameCheck::Empty, CheckBlockName(""));
    EXPECT_EQ(BlockNameCheck::TooLong, CheckBlockName(Repeat('n', 260)));
    EXPECT_EQ(BlockNameCheck::HoldsLineBreak, CheckBlockName("a\r\nexe"));
    EXPECT_EQ(BlockNameCheck::HoldsLineBreak, CheckBlockName("a\rb"));
    EXPECT_EQ(BlockNameCheck::HoldsLineBreak, CheckBlockName(std::string("a\0b", 3)));
    EXPECT_EQ(BlockNameCheck::HoldsMarker, CheckBlockName("myEOFtool.exe"));
    // '?' is what the conversion to code page 936 leaves of a character it
    // cannot represent; double-byte characters never hold it.
    EXPECT_EQ(BlockNameCheck::NotExact, CheckBlockName("??.exe"));
    EXPECT_EQ(BlockNameCheck::Acceptable, CheckBlockName("\x81\x40\xFE\xFE.exe"));
    for (BlockNameCheck refused : {BlockNameCheck::TooLong, BlockNameCheck::HoldsLineBreak, BlockNameCheck::HoldsMarker,
                                   BlockNameCheck::NotExact}) {
        EXPECT_FALSE(BlockNameRefusalText(refused).empty());
    }
    EXPECT_EQ("", BlockNameRefusalText(BlockNameCheck::Acceptable));
}

TEST(CheckBlockName, EveryAcceptedNameReadsBackAsOneName) {
    // Names at the limit and with odd bytes survive the append and the read.
    const Names names = {Repeat('n', 259), " x ", "\xB7\xE2\xCB\xF8.exe", "e\x0BO"};
    std::string file;
    for (const std::string& name : names) {
        ASSERT_EQ(BlockNameCheck::Acceptable, CheckBlockName(name));
        file = AppendBlockNameBytes(file, name);
    }
    EXPECT_EQ(names, ReadBlockNames(file));
}

TEST(BlockQuestionText, NamesTheProcess) {
    EXPECT_EQ("真的要把x.exe设为危险进程并永久封锁吗？", BlockQuestionText("x.exe"));
    // A percent sign in a name is text, not a format.
    EXPECT_EQ("真的要把%s%d.exe设为危险进程并永久封锁吗？", BlockQuestionText("%s%d.exe"));
}
