#include <gtest/gtest.h>

#include "process/Win32ProcessSystem.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

bool SnapshotHas(ProcessSystem& system, uint32_t pid, std::string* name) {
    bool found = false;
    system.WalkProcesses([&](const ProcessRecord& record) {
        if (record.pid != pid) return true;
        found = true;
        *name = record.name;
        return false;
    });
    return found;
}

}  // namespace

TEST(Win32ProcessSystem, WalkSeesHelperAndTerminateEndsIt) {
    HelperProcess helper("tvxwalk.exe");
    ASSERT_TRUE(helper.started());
    Win32ProcessSystem system;
    std::string name;
    ASSERT_TRUE(SnapshotHas(system, helper.pid(), &name)) << "pid " << helper.pid();
    EXPECT_EQ("tvxwalk.exe", name);

    EXPECT_TRUE(system.TerminateByPid(helper.pid()));
    EXPECT_TRUE(helper.WaitForExit(5000));
    EXPECT_FALSE(SnapshotHas(system, helper.pid(), &name));
}

TEST(Win32ProcessSystem, TerminateFailsOnMissingAndRefusedPids) {
    Win32ProcessSystem system;
    SetLastError(0xdeadbeef);
    EXPECT_FALSE(system.TerminateByPid(0x7ffffff0));
    EXPECT_FALSE(system.TerminateByPid(0));
    EXPECT_FALSE(system.TerminateByPid(4));
}
