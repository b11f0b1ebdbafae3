#include <gtest/gtest.h>

#include "autostart/ServiceRules.h"

TEST(ServiceRules, ASharedHostRunsTheLibraryItsServiceNames) {
    const std::wstring dll = L"C:\\Windows\\system32\\x.dll";
    for (const wchar_t* shared :
         {L"C:\\Windows\\system32\\svchost.exe -k netsvcs", L"%SystemRoot%\\System32\\SVCHOST.EXE -k LocalService -p",
          L"\"C:\\Windows\\system32\\svchost.exe\" /k group", L"svchost -k \"group\"",
          L"  svchost.exe\t-K dcomlaunch"}) {
        EXPECT_TRUE(IsSharedServiceHost(shared)) << shared;
        EXPECT_EQ(dll, ServiceCommand(shared, dll)) << shared;
    }
    for (const wchar_t* own :
         {L"C:\\Tools\\tool.exe -k", L"C:\\Tools\\svchost.exe.bak -k x", L"C:\\Windows\\system32\\svchost.exe",
          L"svchost.exe -kill", L"svchost.exe-k x", L"\"C:\\my svchost.exe\" -k x", L"", L"   "}) {
        EXPECT_FALSE(IsSharedServiceHost(own)) << own;
        EXPECT_EQ(own, ServiceCommand(own, dll)) << own;
    }
    // A shared service that names no library shows its host.
    EXPECT_EQ(L"svchost.exe -k x", ServiceCommand(L"svchost.exe -k x", L""));
}

TEST(ServiceRules, ListedAreAutomaticStartsAndThoseThisProgramDisabled) {
    EXPECT_TRUE(ListsService({kServiceAutoStart, false}, false));
    EXPECT_TRUE(ListsService({kServiceAutoStart, true}, false));
    EXPECT_TRUE(ListsService({kServiceDisabled, false}, true));
    EXPECT_FALSE(ListsService({kServiceDisabled, false}, false));
    EXPECT_FALSE(ListsService({kServiceDemandStart, false}, true));
    EXPECT_FALSE(ListsService({kServiceBootStart, false}, false));
    EXPECT_FALSE(ListsService({kServiceSystemStart, false}, false));
}

TEST(ServiceRules, TheKeptStartComesBackExactly) {
    for (const ServiceStart start :
         {ServiceStart{kServiceAutoStart, true}, ServiceStart{kServiceAutoStart, false},
          ServiceStart{kServiceDemandStart, false}, ServiceStart{kServiceBootStart, false}}) {
        EXPECT_EQ(start, SavedStartFrom(SavedStartValues(start)));
    }
    const std::vector<RegistryValue> delayed = SavedStartValues({kServiceAutoStart, true});
    ASSERT_EQ(2u, delayed.size());
    EXPECT_EQ((RegistryValue{L"Start", kRegDword, {2, 0, 0, 0}}), delayed[0]);
    EXPECT_EQ((RegistryValue{L"DelayedAutostart", kRegDword, {1, 0, 0, 0}}), delayed[1]);
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), SavedStartValues({kServiceDemandStart, false})[1].bytes);

    const RegistryValue demand{L"start", kRegDword, {3, 0, 0, 0}};
    EXPECT_EQ((ServiceStart{kServiceDemandStart, false}), SavedStartFrom({demand}));
    // Any non-zero flag delays; it means nothing for a start that is not automatic.
    const RegistryValue flag{L"DelayedAutostart", kRegDword, {0, 1, 0, 0}};
    EXPECT_EQ((ServiceStart{kServiceAutoStart, true}), SavedStartFrom({flag, {L"Start", kRegDword, {2, 0, 0, 0}}}));
    EXPECT_EQ((ServiceStart{kServiceDemandStart, false}), SavedStartFrom({demand, flag}));
    EXPECT_EQ((ServiceStart{kServiceAutoStart, false}),
              SavedStartFrom({{L"Start", kRegDword, {2, 0, 0, 0}}, {L"DelayedAutostart", kRegSz, {1, 0, 0, 0}}}));

    // Nothing to give back: missing, not a DWORD, disabled, unknown.
    EXPECT_FALSE(SavedStartFrom({}));
    EXPECT_FALSE(SavedStartFrom({flag}));
    EXPECT_FALSE(SavedStartFrom({{L"Start", kRegBinary, {2, 0, 0, 0}}}));
    EXPECT_FALSE(SavedStartFrom({{L"Start", kRegDword, {2, 0, 0}}}));
    EXPECT_FALSE(SavedStartFrom({{L"Start", kRegDword, {4, 0, 0, 0}}}));
    EXPECT_FALSE(SavedStartFrom({{L"Start", kRegDword, {2, 0, 0, 1}}}));
}

TEST(ServiceRules, Texts) {
    EXPECT_EQ("引导", ServiceStartText({kServiceBootStart, false}));
    EXPECT_EQ("系统", ServiceStartText({kServiceSystemStart, false}));
    EXPECT_EQ("自动", ServiceStartText({kServiceAutoStart, false}));
    EXPECT_EQ("自动（延迟启动）", ServiceStartText({kServiceAutoStart, true}));
    EXPECT_EQ("手动", ServiceStartText({kServiceDemandStart, false}));
    EXPECT_EQ("禁用", ServiceStartText({kServiceDisabled, false}));
    EXPECT_EQ("未知（9）", ServiceStartText({9, false}));

    EXPECT_EQ("危险、已启用、运行中", ServiceStatusText({true, false, false, false}, true));
    EXPECT_EQ("已禁用", ServiceStatusText({false, false, false, true}, false));

    EXPECT_EQ("2026-12-09 08:05:03  删除服务  a b  显示  C:\\a.exe  -x  手动  NT AUTHORITY\\LocalService\r\n",
              ServiceRemovalLogLine("a\rb", "显示", "C:\\a.exe\n -x", "手动", "NT AUTHORITY\\LocalService",
                                    {2026, 12, 9, 8, 5, 3}));
    EXPECT_EQ(L"SYSTEM\\CurrentControlSet\\Services\\x\\Parameters", ServiceParametersKey(L"x"));
    EXPECT_EQ(L"Software\\tarvemonix\\Disabled\\Services\\x", SavedServiceStartKey(L"x"));
}
