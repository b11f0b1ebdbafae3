// The indexed name tests must answer exactly as the plain ContainsNoCase
// rules. Random texts over a small alphabet reach the corners: capitals and
// their small letters, a double-byte character whose second byte is 'X', NUL,
// needles of one and two bytes, at the very end, longer than the text.
#include <gtest/gtest.h>

#include <random>

#include "process/ProcessRules.h"

namespace {

class TextMaker {
public:
    explicit TextMaker(uint32_t seed) : random_(seed) {}

    std::string Text(size_t maxLength) {
        static const std::string kBytes("aAbBxX.\x81\xB0\xA1", 10);
        std::string text;
        const size_t length = random_() % (maxLength + 1);
        for (size_t i = 0; i < length; ++i) {
            const uint32_t pick = random_() % 12;
            if (pick < 10) {
                text += kBytes[pick];
            } else {
                text += pick == 10 ? std::string("\x81X") : std::string(1, '\0');
            }
        }
        return text;
    }
    uint32_t Below(uint32_t limit) { return random_() % limit; }

private:
    std::mt19937 random_;
};

std::vector<std::string> NaiveMatches(const BlockList& blockList, const std::string& name) {
    std::vector<std::string> matches;
    for (const std::string& entry : blockList.names()) {
        if (!entry.empty() && ContainsNoCase(name, entry)) matches.push_back(entry);
    }
    return matches;
}

}  // namespace

TEST(BlockListTable, MatchesAsEveryEntrySearchedInTurnThroughLoadsAndResets) {
    TextMaker maker(1);
    BlockList blockList;
    for (int round = 0; round < 40; ++round) {
        if (round % 10 == 9) blockList.ResetLoaded();
        const uint32_t added = maker.Below(12);
        // Short entries, and long ones whose anchor lies inside them.
        for (uint32_t i = 0; i < added; ++i) blockList.AddLoaded(maker.Text(i % 3 == 0 ? 12 : 4));
        blockList.SetBuiltin();
        for (int probe = 0; probe < 60; ++probe) {
            const std::string name = maker.Text(probe % 2 == 0 ? 8 : 24);
            const std::vector<std::string> expected = NaiveMatches(blockList, name);
            ASSERT_EQ(expected, blockList.Matches(name)) << "round " << round;
            ASSERT_EQ(!expected.empty(), blockList.MatchesAny(name)) << "round " << round;
        }
    }
}

TEST(BlockListTable, EntriesOfAReplacedLoadNoLongerMatch) {
    BlockList blockList;
    blockList.AddLoaded("virus.exe");
    blockList.AddLoaded("v");
    blockList.ResetLoaded();
    blockList.AddLoaded("worm.exe");
    EXPECT_TRUE(blockList.Matches("virus.exe").empty());
    EXPECT_EQ((std::vector<std::string>{"worm.exe"}), blockList.Matches("C:\\WORM.EXE"));
    // A copy keeps its own table.
    BlockList copy = blockList;
    blockList.ResetLoaded();
    EXPECT_EQ((std::vector<std::string>{"worm.exe"}), copy.Matches("worm.exe"));
    EXPECT_TRUE(blockList.Matches("worm.exe").empty());
}

TEST(PreparedReference, NamesAsEveryLineSearchedInTurn) {
    TextMaker maker(2);
    // Line counts around the 64 lines one index word holds.
    for (size_t lineCount : {0u, 1u, 5u, 63u, 64u, 65u, 130u}) {
        std::vector<std::string> lines;
        for (size_t i = 0; i < lineCount; ++i) lines.push_back(maker.Text(i % 7 == 0 ? 0 : 16));
        const PreparedReference reference(lines);
        for (int probe = 0; probe < 300; ++probe) {
            const std::string name = maker.Text(probe % 3 == 0 ? 2 : 6);
            ASSERT_EQ(IsNamedInReference(name, lines), reference.Names(name)) << lineCount << " lines";
        }
        // A line in full, and an empty name (found in any line, even an empty one).
        if (lineCount > 1) {
            EXPECT_TRUE(reference.Names(lines[1])) << lineCount;
        }
        EXPECT_EQ(lineCount > 0, reference.Names("")) << lineCount;
    }
}

TEST(PreparedReference, ClassifiesAsThePlainLines) {
    BlockList blockList;
    blockList.AddLoaded("Bad.exe");
    blockList.AddLoaded("");
    const std::vector<std::string> lines = {"explorer.exe 资源管理器", "", "svchost.exe 服务宿主"};
    const PreparedReference reference(lines);
    const char* names[] = {"c:\\Tarvemonix.EXE.system",
                           "SYSTEM",
                           "ddhelp.exe.bad.exe",
                           "Explorer.EXE",
                           "plorer",
                           "c:\\x\\BAD.exe",
                           "FLCSS.exe",
                           "calc.exe",
                           "",
                           "s",
                           "[system process]"};
    for (const char* name : names) {
        EXPECT_EQ(ClassifyProcess(name, blockList, lines), ClassifyProcess(name, blockList, reference)) << name;
    }
    EXPECT_EQ(ProcessCategory::CategorySelf, ClassifyProcess("SYSTEM\\tarvemonix.exe", blockList, reference));
    EXPECT_EQ(ProcessCategory::CategoryDangerous, ClassifyProcess("c:\\x\\BAD.exe", blockList, reference));
}
