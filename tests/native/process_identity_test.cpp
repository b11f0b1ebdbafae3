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
    // A command line of 32,000 characters fits the tooltip's room, whole in the box.
    const std::string tip = TooltipText("C:\\p.exe", std::string(32000, 'x'), 1000);
    EXPECT_LE(tip.size(), 1000u);
    EXPECT_EQ(tip.substr(0, 9), "C:\\p.exe\n");
    EXPECT_EQ(tip.substr(tip.size() - ellipsis.size()), ellipsis);
    EXPECT_EQ(TooltipText("", std::nullopt, 1000), "无法读取\n无法读取");
}

TEST(ProcessIdentity, SignatureWordsAndTrustAnswers) {
    EXPECT_EQ(SignatureText({SignatureVerdict::Verified, "Example Corp"}), "Example Corp（已验证）");
    EXPECT_EQ(SignatureText({SignatureVerdict::None, ""}), "无");
    EXPECT_EQ(SignatureText({SignatureVerdict::Invalid, ""}), "无效");
    EXPECT_EQ(SignatureText({}), "无法读取");
    EXPECT_EQ(VerdictFromTrustStatus(0), SignatureVerdict::Verified);
    EXPECT_EQ(VerdictFromTrustStatus(0x800B0100), SignatureVerdict::None);
    EXPECT_EQ(VerdictFromTrustStatus(0x80096010), SignatureVerdict::Invalid);  // bad digest: a changed file
    EXPECT_EQ(VerdictFromTrustStatus(0x800B0109), SignatureVerdict::Invalid);  // untrusted root
    EXPECT_EQ(VerdictFromTrustStatus(0x80070005), SignatureVerdict::Unreadable);
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
        system.files[200] = {"C:\\Temp\\svchost.exe", ProgramPlace::Elsewhere};
        system.signatures["C:\\Temp\\svchost.exe"] = {SignatureVerdict::None, ""};
    }
    std::string Lines() { return BuildIdentityLines({system, prompt, 4, reference}, Row("svchost.exe", 200)); }
};

TEST_F(IdentityTest, DetailsLinesOfALiveProcess) {
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
