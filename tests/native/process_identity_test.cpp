#include <gtest/gtest.h>

#include "process/DetailsText.h"
#include "process/ProcessIdentity.h"
#include "tests/native/command_fakes.h"

namespace {

TEST(ProcessIdentity, CutsAtACharacterWithAnEllipsis) {
    const std::string ellipsis = "…";
    EXPECT_EQ(CutWithEllipsis("abc", 3), "abc");
    // Two double-byte characters of code page 936 ("中文"): never half of one.
    const std::string chinese = "\xD6\xD0\xCE\xC4";
    const std::string cut = CutWithEllipsis("a" + chinese + "bcdefgh", 4 + ellipsis.size());
    EXPECT_EQ(cut, "a\xD6\xD0" + ellipsis);
    EXPECT_EQ(CutWithEllipsis("abcdef", 1), "");
    EXPECT_EQ(CutWithEllipsis("abcdef", ellipsis.size()), ellipsis) << "room for the ellipsis alone";
    // 0x81 to 0xFE lead a double-byte character; 0x80 stands alone.
    EXPECT_EQ(CutWithEllipsis("a\xFE\xA1"
                              "bcdefgh",
                              2 + ellipsis.size()),
              "a" + ellipsis);
    EXPECT_EQ(CutWithEllipsis("a\x81\x40"
                              "bcdefgh",
                              2 + ellipsis.size()),
              "a" + ellipsis);
    EXPECT_EQ(CutWithEllipsis("a\x80"
                              "bcdefgh",
                              2 + ellipsis.size()),
              "a\x80" + ellipsis);
    // A command line of 32,000 characters fits the tooltip's room, whole in the box.
    const std::string tip = TooltipText("C:\\p.exe", std::string(32000, 'x'), 1000);
    EXPECT_LE(tip.size(), 1000u);
    EXPECT_EQ(tip.substr(0, 9), "C:\\p.exe\n");
    EXPECT_EQ(tip.substr(tip.size() - ellipsis.size()), ellipsis);
    EXPECT_EQ(TooltipText("", std::nullopt, 1000), "无法读取\n无法读取");
}

TEST(ProcessIdentity, TrustAnswers) {
    EXPECT_EQ(VerdictFromTrustStatus(0), SignatureVerdict::Verified);
    EXPECT_EQ(VerdictFromTrustStatus(0x800B0100), SignatureVerdict::None);
    EXPECT_EQ(VerdictFromTrustStatus(0x80096010), SignatureVerdict::Invalid);  // bad digest: a changed file
    EXPECT_EQ(VerdictFromTrustStatus(0x800B0109), SignatureVerdict::Invalid);  // untrusted root
    EXPECT_EQ(VerdictFromTrustStatus(0x80070005), SignatureVerdict::Unreadable);
    // A file a catalog lists is signed by it or not at all.
    EXPECT_EQ(CatalogMemberVerdict(0x800B0100), SignatureVerdict::Invalid);
    EXPECT_EQ(CatalogMemberVerdict(0x800B0003), SignatureVerdict::Invalid);
    EXPECT_EQ(CatalogMemberVerdict(0), SignatureVerdict::Verified);
    EXPECT_EQ(CatalogMemberVerdict(0x800B0109), SignatureVerdict::Invalid);
    EXPECT_EQ(CatalogMemberVerdict(0x80070005), SignatureVerdict::Unreadable);
}

// Windows 8 on: the SHA-256 lookup first, and on any answer but "verified"
// the SHA-1 one; the stronger answer stands. Older systems: SHA-1 alone.
TEST(ProcessIdentity, CatalogsAreAskedBySha256ThenBySha1) {
    const FileSignature verified{SignatureVerdict::Verified, "Example Corp"};
    const FileSignature invalid{SignatureVerdict::Invalid, ""};
    const FileSignature none{SignatureVerdict::None, ""};
    const FileSignature unreadable{};
    const auto check = [](bool hasSha256, FileSignature bySha256, FileSignature bySha1, std::string* asked = nullptr) {
        return CheckCatalogsInTurn(hasSha256, [&](bool sha256) {
            if (asked) *asked += sha256 ? "256 " : "1 ";
            return sha256 ? bySha256 : bySha1;
        });
    };
    std::string asked;
    EXPECT_EQ("Example Corp", check(true, verified, invalid, &asked).signer);
    EXPECT_EQ("256 ", asked) << "a verified SHA-256 answer stands alone";
    asked.clear();
    EXPECT_EQ(SignatureVerdict::None, check(false, verified, none, &asked).verdict);
    EXPECT_EQ("1 ", asked) << "a system without SHA-256 catalogs";
    // The SHA-256 lookup failed (an acquire refused, a member it could not
    // verify): the SHA-1 listing still signs the file.
    EXPECT_EQ("Example Corp", check(true, unreadable, verified).signer);
    EXPECT_EQ(SignatureVerdict::Verified, check(true, invalid, verified).verdict);
    EXPECT_EQ(SignatureVerdict::Verified, check(true, none, verified).verdict);
    EXPECT_EQ(SignatureVerdict::Invalid, check(true, invalid, none).verdict) << "listed, but failing";
    EXPECT_EQ(SignatureVerdict::Invalid, check(true, none, invalid).verdict);
    EXPECT_EQ(SignatureVerdict::None, check(true, unreadable, none).verdict);
    EXPECT_EQ(SignatureVerdict::None, check(true, none, unreadable).verdict);
    EXPECT_EQ(SignatureVerdict::Unreadable, check(true, unreadable, unreadable).verdict);
}

// Each account is asked of the system once a run, mapped or not; one the
// system cannot map is shown by its SID.
TEST(ProcessIdentity, AccountNamesAreAskedOnceAndUnmappedOnesShowTheirSid) {
    AccountNames names;
    std::vector<std::string> asked;
    const auto lookup = [&](const std::string& sid) -> std::optional<std::string> {
        asked.push_back(sid);
        if (sid == "S-1-5-18") return std::string("NT AUTHORITY\\SYSTEM");
        if (sid == "S-1-5-21-9") return std::string();
        return std::nullopt;
    };
    EXPECT_EQ("NT AUTHORITY\\SYSTEM", names.NameOf("S-1-5-18", lookup));
    EXPECT_EQ("S-1-5-21-1-2-3-1001", names.NameOf("S-1-5-21-1-2-3-1001", lookup));
    EXPECT_EQ("S-1-5-21-9", names.NameOf("S-1-5-21-9", lookup));
    EXPECT_EQ("NT AUTHORITY\\SYSTEM", names.NameOf("S-1-5-18", lookup));
    EXPECT_EQ("S-1-5-21-1-2-3-1001", names.NameOf("S-1-5-21-1-2-3-1001", lookup));
    EXPECT_EQ((std::vector<std::string>{"S-1-5-18", "S-1-5-21-1-2-3-1001", "S-1-5-21-9"}), asked);
}

TEST(ProcessIdentity, A32BitProgramIsGivenNo64BitProcessBlock) {
    EXPECT_FALSE(CanReadProcessParameters(false, true));
    EXPECT_TRUE(CanReadProcessParameters(false, false));
    EXPECT_TRUE(CanReadProcessParameters(true, false));  // a 32-bit process seen by the 64-bit program
}

struct IdentityTest : ::testing::Test {
    ScriptedSystem system;
    ScriptedPrompt prompt;
    std::vector<std::string> reference;
    void SetUp() override {
        ProcessRecord parent = Record(100, "explorer.exe");
        ProcessRecord child = Record(200, "svchost.exe");
        child.parentPid = 100;
        system.processes = {parent, child};
        system.commandLines[200] = "svchost.exe -k netsvcs";
        system.users[200] = "WORK\\anna";
        system.files[200] = {L"C:\\Temp\\svchost.exe", ProgramPlace::Elsewhere};
        system.signatures[L"C:\\Temp\\svchost.exe"] = {SignatureVerdict::None, ""};
    }
    std::string Lines() { return BuildIdentityLines({system, prompt, 4, reference}, Row("svchost.exe", 200)); }
};

TEST_F(IdentityTest, DetailsLinesOfALiveProcess) {
    system.processes.push_back(Record(300, "svchost.exe"));  // another of the name
    system.commandLines[300] = "svchost.exe -k other";
    EXPECT_EQ(Lines(),
              " 命令行: svchost.exe -k netsvcs\n 父进程: explorer.exe (PID 100)\n 用户: WORK\\anna\n 数字签名: 无");
}

// The look gives every start time, also of processes no handle opens (a
// service's, another user's): their parent is named, and a parent whose
// start is unknown is not taken for ended.
TEST_F(IdentityTest, ParentFromTheLookEvenWhereNoHandleOpens) {
    system.sample = {true, 1, 1, {{100, "explorer.exe", 0, 50, 0, 0, 1}, {200, "svchost.exe", 0, 200000, 0, 0, 100}}};
    system.startTimes = {{100, 0}, {200, 0}};  // what a handle would give: nothing
    EXPECT_NE(Lines().find(" 父进程: explorer.exe (PID 100)\n"), std::string::npos) << Lines();
    system.sample.processes[0].startTime = 0;
    EXPECT_NE(Lines().find(" 父进程: PID 100（无法读取）\n"), std::string::npos) << Lines();
}

// The signature is asked of the file by its own path, whatever its letters.
TEST_F(IdentityTest, TheSignatureLineNamesTheSignerOrWhatIsWrong) {
    const std::wstring path = L"C:\\Bj\u00F6rn \u65E5\u672C\u8A9E\\svchost.exe";
    system.files[200] = {path, ProgramPlace::Elsewhere};
    const auto signatureLine = [&] {
        const std::string lines = Lines();
        return lines.substr(lines.rfind('\n') + 1);
    };
    system.signatures[path] = {SignatureVerdict::Verified, "Example Corp"};
    EXPECT_EQ(" 数字签名: Example Corp（已验证）", signatureLine());
    system.signatures[path] = {SignatureVerdict::Invalid, ""};
    EXPECT_EQ(" 数字签名: 无效", signatureLine());
    system.signatures[path] = {SignatureVerdict::None, ""};
    EXPECT_EQ(" 数字签名: 无", signatureLine());
    system.signatures[path] = {};
    EXPECT_EQ(" 数字签名: 无法读取", signatureLine());
}

TEST_F(IdentityTest, AParentStartedLaterIsGoneAndUnreadableFiguresSaySo) {
    system.startTimes[100] = 999999;  // pid 100 reused after the child started
    system.commandLines.clear();
    system.users.clear();
    system.files.clear();
    EXPECT_EQ(Lines(), " 命令行: 无法读取\n 父进程: PID 100（已结束）\n 用户: 无法读取\n 数字签名: 无法读取");
    system.processes.pop_back();  // the process itself ended
    EXPECT_EQ(Lines(), " 命令行: 无法读取\n 父进程: 无法读取\n 用户: 无法读取\n 数字签名: 无法读取");
}

}  // namespace
