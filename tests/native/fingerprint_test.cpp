// Program files blocked by size and SHA-256 (prochash.dat, the watch that reads
// as few files as it can) and names of the administrator's policy.
#include <gtest/gtest.h>

#include "blocklist/FingerprintFile.h"
#include "blocklist/PolicyNames.h"
#include "process/Refresh.h"
#include "tests/native/command_fakes.h"

namespace {

const std::string kHashA(64, 'a');
const std::string kHashB = std::string(63, 'b') + "c";

// Program files by pid, and every question the watch asks of them.
class ScriptedFiles : public ProgramFileFacts {
public:
    std::map<uint32_t, std::wstring> paths;
    std::map<std::wstring, FileStamp> stamps;
    std::map<std::wstring, std::string> hashes;
    std::vector<std::wstring> stamped, requested, hashed;
    std::wstring windowsFolder = L"C:\\Windows";
    std::wstring ProgramPathOf(uint32_t pid) override { return paths.count(pid) ? paths[pid] : std::wstring(); }
    bool StampOf(const std::wstring& path, FileStamp& stamp) override {
        stamped.push_back(path);
        if (!stamps.count(path)) return false;
        stamp = stamps[path];
        return true;
    }
    std::wstring WindowsFolder() override { return windowsFolder; }
    std::string Sha256Of(const std::wstring& path, const FileStamp&) override {
        hashed.push_back(path);
        return hashes.count(path) ? hashes[path] : std::string();
    }
    void RequestHash(const std::wstring& path, const FileStamp&) override { requested.push_back(path); }
};

}  // namespace

// Good lines work; every other line is ignored and kept byte for byte.
// A name is as long as a process name may be, and no longer.
TEST(FingerprintFile, ANameOfTheLongestProcessName) {
    FileFingerprint read;
    EXPECT_TRUE(ParseFingerprintLine(std::string(259, 'n') + "\t1\t" + kHashA, read));
    EXPECT_EQ(259u, read.name.size());
    EXPECT_FALSE(ParseFingerprintLine(std::string(260, 'n') + "\t1\t" + kHashA, read));
    EXPECT_FALSE(ParseFingerprintLine("\t1\t" + kHashA, read));
}

// A size is decimal digits alone; a hash hex digits alone, at either end of
// each range.
TEST(FingerprintFile, DigitsAtTheEdgesOfTheirRanges) {
    FileFingerprint read;
    EXPECT_TRUE(ParseFingerprintLine(
        "a.exe\t9090\t" + std::string(32, '0') + std::string(16, '9') + std::string(8, 'a') + std::string(8, 'f'),
        read));
    EXPECT_EQ(9090u, read.size);
    EXPECT_TRUE(ParseFingerprintLine("a.exe\t" + std::string(19, '0') + "7\t" + kHashA, read));
    EXPECT_EQ(7u, read.size);
    EXPECT_FALSE(ParseFingerprintLine("a.exe\t" + std::string(20, '0') + "7\t" + kHashA, read)) << "21 digits";
    for (const char* size : {"1/", "1:", "1x", " 1"}) {
        EXPECT_FALSE(ParseFingerprintLine("a.exe\t" + std::string(size) + "\t" + kHashA, read)) << size;
    }
    for (char digit : {'/', ':', '`', 'g', ' '}) {
        EXPECT_FALSE(ParseFingerprintLine("a.exe\t1\t" + std::string(63, 'a') + digit, read)) << digit;
    }
}

TEST(FingerprintFile, ReadsGoodLinesKeepsTheRest) {
    const std::string bad = "broken\r\n" + std::string(1 << 20, 'x') + "\r\ngame.exe\t10\t" + kHashA.substr(1) +
                            "\r\nneg.exe\t-1\t" + kHashA + "\r\nhuge.exe\t" + std::string(30, '9') + "\t" + kHashA +
                            "\r\nover.exe\t18446744073709551616\t" + kHashA + "\r\nfour\t1\t" + kHashA + "\tx\n";
    const std::string bytes = "游戏.exe\t123\t" + kHashA + "\r\n" + bad + "max.exe\t18446744073709551615\t" +
                              std::string(64, 'F') + "\rlast.exe\t0\t" + kHashB;
    const std::vector<FileFingerprint> read = ReadFingerprints(bytes);
    ASSERT_EQ(3u, read.size());
    EXPECT_EQ("游戏.exe", read[0].name);
    EXPECT_EQ(123u, read[0].size);
    EXPECT_EQ(UINT64_MAX, read[1].size);
    EXPECT_EQ(std::string(64, 'f'), read[1].sha256) << "upper-case digits read as lower-case";
    EXPECT_EQ("last.exe", read[2].name) << "a last line without its end";

    EXPECT_EQ(bytes, RemoveFingerprintsOf(bytes, {"nobody.exe", "broken", "four"}));
    EXPECT_EQ("a\r\n", RemoveFingerprintsOf("a\r\nlast.exe\t0\t" + kHashB + "\r\n", {"last.exe"}))
        << "a last line goes with its CR LF";
    EXPECT_EQ(bad + "max.exe\t18446744073709551615\t" + std::string(64, 'F') + "\r",
              RemoveFingerprintsOf(bytes, {"游戏.exe", "last.exe"}));
}

TEST(FingerprintFile, AppendKeepsEveryByteAndAddsALineOnce) {
    const FileFingerprint game{"game.exe", 42, kHashA};
    const std::string line = "game.exe\t42\t" + kHashA + "\r\n";
    EXPECT_EQ(line, AppendFingerprintBytes("", game));
    EXPECT_EQ("junk\r\n" + line, AppendFingerprintBytes("junk", game));
    EXPECT_EQ("junk\r\n" + line, AppendFingerprintBytes("junk\r\n", game)) << "no blank line";
    EXPECT_EQ("junk\r" + line, AppendFingerprintBytes("junk\r", game));
    EXPECT_EQ("junk\n" + line, AppendFingerprintBytes("junk\n" + line, game)) << "not twice";
    EXPECT_EQ(2u, ReadFingerprints(AppendFingerprintBytes(line, {"other.exe", 42, kHashA})).size());
}

TEST(FingerprintList, NameBySizeAndHash) {
    FingerprintList list;
    list.Assign({{"a.exe", 10, kHashA}, {"b.exe", 20, kHashB}, {"c.exe", 10, kHashB}});
    EXPECT_TRUE(list.HasSize(20));
    EXPECT_FALSE(list.HasSize(11));
    ASSERT_NE(nullptr, list.NameFor(10, kHashB));
    EXPECT_EQ("c.exe", *list.NameFor(10, kHashB));
    EXPECT_EQ(nullptr, list.NameFor(20, kHashA)) << "size and hash of one entry";
    EXPECT_EQ(nullptr, list.NameFor(10, kHashA.substr(1)));
    // A file a user looks at (a startup entry's) is read only at a recorded
    // size and outside the Windows folder.
    ScriptedFiles files;
    files.stamps = {{L"C:\\t\\x.exe", {10, 1}}, {L"C:\\t\\y.exe", {11, 1}}, {L"C:\\Windows\\z.exe", {10, 1}}};
    files.hashes = {{L"C:\\t\\x.exe", kHashB}, {L"C:\\Windows\\z.exe", kHashB}};
    EXPECT_TRUE(HasRecordedFingerprint(L"C:\\t\\x.exe", list, files));
    EXPECT_FALSE(HasRecordedFingerprint(L"C:\\t\\y.exe", list, files));
    EXPECT_FALSE(HasRecordedFingerprint(L"C:\\Windows\\z.exe", list, files));
    EXPECT_EQ(std::vector<std::wstring>{L"C:\\t\\x.exe"}, files.hashed);
    const unsigned char bytes[] = {0x00, 0x9f, 0xa0, 0xff};
    EXPECT_EQ("009fa0ff", HexText(bytes, sizeof(bytes)));
}

TEST(HashKey, OnePathSizeAndMoment) {
    const FileStamp stamp{100, 5};
    const HashKey key = MakeHashKey(L"C:/Games/GAME.exe", stamp);
    const auto same = [](const HashKey& a, const HashKey& b) { return !(a < b) && !(b < a); };
    EXPECT_TRUE(same(key, MakeHashKey(L"c:\\games\\game.EXE", stamp)));
    EXPECT_FALSE(same(key, MakeHashKey(L"C:/Games/GAME.exe", {100, 6}))) << "written again";
    EXPECT_FALSE(same(key, MakeHashKey(L"C:/Games/GAME.exe", {101, 5})));
    EXPECT_FALSE(same(key, MakeHashKey(L"C:/Games/GAME2.exe", stamp)));
    EXPECT_EQ(L"c:\\zip\\az@[`{.exe", MakeHashKey(L"C:\\ZIP/AZ@[`{.exe", stamp).path) << "A to Z alone fold";
    EXPECT_FALSE(same(MakeHashKey(L"C:\\Bj\u00F6rn.exe", stamp), MakeHashKey(L"C:\\BJ\u00D6RN.exe", stamp)));
}

// Only the three homes of the system's own programs are spared: the folders
// below them are writable by users, and a recorded program copied there under
// any name is still known by its contents.
TEST(FingerprintWatch, OnlyTheSystemsProgramHomesAreSpared) {
    FingerprintList list;
    list.Assign({{"game.exe", 100, kHashA}});
    ScriptedFiles files;
    files.windowsFolder = L"C:\\WINNT";
    const std::vector<std::wstring> spared = {L"C:\\WINNT\\a.exe", L"c:\\winnt\\system32\\b.exe",
                                              L"C:\\WINNT\\SysWOW64\\c.exe"};
    const std::vector<std::wstring> read = {
        L"C:\\WINNT\\Temp\\d.exe", L"C:\\WINNT\\Tasks\\e.exe", L"C:\\WINNT\\tracing\\f.exe",
        L"C:\\WINNT\\System32\\spool\\drivers\\color\\g.exe", L"C:\\Windows\\h.exe"};
    std::vector<ProcessKey> look;
    uint32_t pid = 10;
    for (const std::vector<std::wstring>* group : {&spared, &read}) {
        for (const std::wstring& path : *group) {
            files.paths[pid] = path;
            files.stamps[path] = {100, 1};
            look.push_back({pid++, "x.exe", 1});
        }
    }
    FingerprintWatch watch;
    watch.Look(look, list, files, 0);
    EXPECT_EQ(read, files.requested);
    files.hashes[L"C:\\WINNT\\Temp\\d.exe"] = kHashA;
    files.hashes[L"C:\\WINNT\\a.exe"] = kHashA;
    EXPECT_TRUE(HasRecordedFingerprint(L"C:\\WINNT\\Temp\\d.exe", list, files));
    EXPECT_FALSE(HasRecordedFingerprint(L"C:\\WINNT\\a.exe", list, files));
    files.windowsFolder.clear();
    EXPECT_FALSE(IsInSystemProgramHome(L"C:\\WINNT\\a.exe", files)) << "a Windows folder unknown spares nothing";
}

// One hash a file, however many processes run it; a hash that arrives again
// for a file already judged changes nothing.
TEST(FingerprintWatch, OneHashAFileAndAVerdictStays) {
    FingerprintList list;
    list.Assign({{"game.exe", 100, kHashA}});
    ScriptedFiles files;
    files.paths = {{10, L"D:\\x\\game.exe"}, {11, L"d:/X/GAME.EXE"}};
    files.stamps = {{L"D:\\x\\game.exe", {100, 1}}, {L"d:/X/GAME.EXE", {100, 1}}};
    FingerprintWatch watch;
    watch.Look({{10, "game.exe", 1}, {11, "GAME.EXE", 1}}, list, files, 0);
    EXPECT_EQ(std::vector<std::wstring>{L"D:\\x\\game.exe"}, files.requested) << "one file, asked once";
    EXPECT_TRUE(watch.TakeHash(L"D:\\x\\game.exe", {100, 1}, kHashA, list));
    EXPECT_NE(nullptr, watch.MatchOf(11, "GAME.EXE"));
    EXPECT_FALSE(watch.TakeHash(L"D:\\x\\game.exe", {100, 1}, "", list));
    ASSERT_NE(nullptr, watch.MatchOf(10, "game.exe")) << "judged once, not again";
    EXPECT_EQ("game.exe", *watch.MatchOf(10, "game.exe"));
}

// Only files of a recorded size are looked at closer, each hash is asked for
// once and remembered, and a file replaced while read ends nothing.
TEST(FingerprintWatch, ReadsOnlyWhatItMustAndOnce) {
    FingerprintList list;
    list.Assign({{"game.exe", 100, kHashA}});
    ScriptedFiles files;
    files.paths = {{10, L"D:\\x\\notepad2.exe"},  {11, L"D:\\y\\copy.exe"},     {12, L"D:\\other.exe"},
                   {13, L"C:\\Windows\\sys.exe"}, {14, L"D:\\x\\NOTEPAD2.EXE"}, {99, L"D:\\x\\notepad2.exe"}};
    files.stamps = {{L"D:\\x\\notepad2.exe", {100, 1}},
                    {L"D:\\y\\copy.exe", {100, 2}},
                    {L"D:\\other.exe", {55, 1}},
                    {L"C:\\Windows\\sys.exe", {100, 1}},
                    {L"D:\\x\\NOTEPAD2.EXE", {100, 1}}};
    FingerprintWatch watch;
    files.paths[0] = L"D:\\idle.exe";
    files.stamps[L"D:\\idle.exe"] = {100, 9};
    std::vector<ProcessKey> look = {{0, "idle", 1},       {10, "notepad2.exe", 1}, {11, "copy.exe", 1},
                                    {12, "other.exe", 1}, {13, "sys.exe", 1},      {99, "own.exe", 1}};
    EXPECT_FALSE(watch.Look(look, list, files, 99));
    EXPECT_EQ((std::vector<std::wstring>{L"D:\\x\\notepad2.exe", L"D:\\y\\copy.exe"}), files.requested)
        << "not the other size, the Windows folder, the idle process or the program itself";
    EXPECT_FALSE(watch.Look(look, list, files, 99));
    EXPECT_EQ(4u, files.stamped.size()) << "a known process is not looked at again";

    EXPECT_TRUE(watch.TakeHash(L"D:\\x\\notepad2.exe", {100, 1}, kHashA, list));
    EXPECT_FALSE(watch.TakeHash(L"D:\\y\\copy.exe", {100, 2}, "", list)) << "replaced while read";
    ASSERT_NE(nullptr, watch.MatchOf(10, "notepad2.exe"));
    EXPECT_EQ("game.exe", *watch.MatchOf(10, "notepad2.exe"));
    EXPECT_EQ(nullptr, watch.MatchOf(10, "other-name.exe"));
    EXPECT_EQ(nullptr, watch.MatchOf(11, "copy.exe"));

    // The same file started again: its remembered hash ends it at once.
    look.push_back({14, "NOTEPAD2.EXE", 7});
    EXPECT_TRUE(watch.Look(look, list, files, 99));
    EXPECT_EQ(2u, files.requested.size());
    look.erase(look.begin() + 1);  // pid 10
    watch.Look(look, list, files, 99);
    EXPECT_EQ(nullptr, watch.MatchOf(10, "notepad2.exe")) << "gone processes are forgotten";

    list.Assign({});
    watch.Forget();
    files.stamped.clear();
    EXPECT_FALSE(watch.Look(look, list, files, 99));
    EXPECT_TRUE(files.stamped.empty()) << "without fingerprints no file is looked at";
}

TEST(PolicyNames, StringsOnlyAndTheSixtyFourBitView) {
    EXPECT_EQ((std::vector<std::string>{"game.exe", "游戏"}), PolicyBlockNames({{1, "game.exe"},
                                                                                {1, ""},
                                                                                {4, "dword"},
                                                                                {2, "expand.exe"},
                                                                                {7, "multi"},
                                                                                {1, "lost?.exe"},
                                                                                {1, std::string(300, 'x')},
                                                                                {1, "a\r\nb"},
                                                                                {1, "游戏"}}));
    EXPECT_EQ(0x20119u, PolicyKeyAccess(true));
    EXPECT_EQ(0x20019u, PolicyKeyAccess(false));
}

TEST(BlockCauses, LogLinesAndNotices) {
    const LocalTime time{2026, 12, 9, 13, 56, 27};
    EndRecord record{EndReason::BlockList, "D:\\x\\notepad2.exe", 7, true, "game.exe", {}, {}};
    record.basis = BlockBasis::Fingerprint;
    EXPECT_EQ("2026-12-09 13:56:27  封锁列表(文件指纹 匹配 game.exe)  D:\\x\\notepad2.exe  PID 7  已结束\r\n",
              EndLogLine(record, time));
    EndRecord policy{EndReason::BlockList, "foo.exe", 8, true, "foo", {}, {}};
    policy.basis = BlockBasis::Policy;
    EXPECT_EQ("2026-12-09 13:56:27  组策略封锁(匹配 foo)  foo.exe  PID 8  已结束\r\n", EndLogLine(policy, time));
    EXPECT_EQ("notepad2.exe（文件指纹 匹配 game.exe）\r\nfoo.exe（组策略 匹配 foo）",
              BlockNoticeText({record, policy}));
}

// The file's names come first, then the policy's, then a recorded file; the
// program itself and a record the caller no longer vouches for are spared.
TEST(BlockCauses, RefreshEndsByPolicyAndByFile) {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    RecordingEndLog log;
    BlockList blockList;
    blockList.AddLoaded("both");
    blockList.SetPolicyNames({"both", "policy"});
    std::vector<std::string> reference;
    system.ownPid = 5;
    system.processes = {Record(1, "both.exe"), Record(2, "policy.exe"), Record(3, "renamed.exe"), Record(4, "calc.exe"),
                        Record(5, "renamed.exe")};
    const std::string recorded = "game.exe";
    RefreshContext context{blockList, reference, 0, system, prompt, &log};
    context.fingerprintMatch = [&](const ProcessRecord& record) {
        return record.name == "renamed.exe" ? &recorded : nullptr;
    };
    const std::vector<ProcessRow> rows = BuildProcessRows(context);
    EXPECT_EQ((std::vector<uint32_t>{1, 2, 3}), system.terminated);
    ASSERT_EQ(3u, log.records.size());
    EXPECT_EQ(BlockBasis::Name, log.records[0].basis);
    EXPECT_EQ(BlockBasis::Policy, log.records[1].basis);
    EXPECT_EQ("policy", log.records[1].entry);
    EXPECT_EQ(BlockBasis::Fingerprint, log.records[2].basis);
    EXPECT_EQ("game.exe", log.records[2].entry);
    EXPECT_EQ(" 危险进程", rows[2].word);
    EXPECT_EQ(" 应用程序进程", rows[3].word);
    EXPECT_EQ(" 应用程序进程", rows[4].word) << "the program itself";

    // The check between refreshes ends the same ones, and says which.
    system.terminated.clear();
    EXPECT_EQ((std::vector<uint32_t>{1, 2, 3}), EndBlockedProcesses(context, IdentifiedWalk(system)));
    system.unterminable = {2};
    EXPECT_EQ((std::vector<uint32_t>{1, 3}), EndBlockedProcesses(context, IdentifiedWalk(system)));
}
