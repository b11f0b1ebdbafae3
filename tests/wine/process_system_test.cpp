#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

#include <aclapi.h>

#include "framework/App.h"
#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
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

    EXPECT_EQ(EndOutcome::Ended, system.Terminate({helper.pid(), StartTimeOfProcess(helper.pid())}));
    EXPECT_TRUE(helper.WaitForExit(5000));
    EXPECT_FALSE(SnapshotHas(system, helper.pid(), &name));
}

TEST(Win32ProcessSystem, TerminateFailsOnMissingAndRefusedPids) {
    Win32ProcessSystem system;
    SetLastError(0xdeadbeef);
    EXPECT_EQ(EndOutcome::Gone, system.Terminate({0x7ffffff0, 1}));
    EXPECT_EQ(EndOutcome::Failed, system.Terminate({0, 1}));
    EXPECT_EQ(EndOutcome::Failed, system.Terminate({4, 1}));
}

// The end opens the process once and checks its start time on that handle:
// a pid that names another process than the one counted (given again, even
// to a program of the same name) is not ended, and its file is not read.
TEST(Win32ProcessSystem, AnEndActsOnlyOnTheProcessOfThatStartTime) {
    HelperProcess helper("tvxident.exe");
    ASSERT_TRUE(helper.started());
    Win32ProcessSystem system;
    const uint64_t started = StartTimeOfProcess(helper.pid());
    ASSERT_NE(0u, started);
    std::string path = "unchanged";
    for (uint64_t other : {started + 1, started - 1, uint64_t{0}}) {
        EXPECT_FALSE(system.IsRunning({helper.pid(), other})) << other;
        EXPECT_EQ(EndOutcome::Gone, system.Terminate({helper.pid(), other}, &path)) << other;
        EXPECT_EQ("", path) << "nothing read of another process";
    }
    EXPECT_FALSE(helper.WaitForExit(200)) << "still runs";
    EXPECT_TRUE(system.IsRunning({helper.pid(), started}));
    EXPECT_FALSE(system.IsEndRefused({helper.pid(), started}));
    EXPECT_TRUE(system.IsEndRefused({4, 1}));

    // Its own process's start time, on the same handle: ended, its path read first.
    ASSERT_EQ(EndOutcome::Ended, system.Terminate({helper.pid(), started}, &path));
    wchar_t expected[MAX_PATH] = {};
    ASSERT_NE(0u, GetShortPathNameW(helper.path().c_str(), expected, MAX_PATH));
    EXPECT_EQ(TextFromWide(expected), path);
    EXPECT_TRUE(helper.WaitForExit(5000));
    EXPECT_FALSE(system.IsRunning({helper.pid(), started}));
    EXPECT_EQ(EndOutcome::Gone, system.Terminate({helper.pid(), started}));
}

// The walk's processes take their start times and parents from the look.
TEST(Win32ProcessSystem, TheWalkTakesItsIdentitiesFromTheLook) {
    HelperProcess helper("tvxwalkid.exe");
    ASSERT_TRUE(helper.started());
    Win32ProcessSystem system;
    bool found = false;
    for (const ProcessRecord& record : IdentifiedWalk(system)) {
        if (record.pid != helper.pid()) continue;
        found = true;
        EXPECT_EQ(StartTimeOfProcess(helper.pid()), record.startTime);
        EXPECT_EQ(GetCurrentProcessId(), record.parentPid);
    }
    EXPECT_TRUE(found);
}

// One look gives each process the name the refresh's walk gives it (else a
// blocked survivor would look new every second), and real figures: a helper
// holding 100 MB holds them in its working set, and one spinning on a
// processor takes a share of at most one processor's.
TEST(Win32ProcessSystem, LooksNameProcessesAsTheWalkDoesAndCarryFigures) {
    HelperProcess holder("tvxhold.exe", 60, "hold 100");
    HelperProcess spinner("tvxspin.exe", 10, "spin");
    ASSERT_TRUE(holder.started() && spinner.started());
    Sleep(1500);
    Win32ProcessSystem system;
    ProcessSample before;
    ASSERT_TRUE(system.SampleProcesses(before));
    Sleep(1000);
    ProcessSample after;
    ASSERT_TRUE(system.SampleProcesses(after));
    std::map<uint32_t, std::string> walked;
    system.WalkProcesses([&](const ProcessRecord& record) { return walked.emplace(record.pid, record.name).second; });
    const std::vector<int> shares = CpuShares(before, after);
    EXPECT_EQ(2, std::count_if(after.processes.begin(), after.processes.end(), [&](const SampledProcess& process) {
                  return process.pid == holder.pid() || process.pid == spinner.pid();
              }));
    for (size_t index = 0; index < after.processes.size(); ++index) {
        const SampledProcess& process = after.processes[index];
        EXPECT_TRUE(!walked.count(process.pid) || walked[process.pid] == process.name) << process.name;
        EXPECT_TRUE(process.pid != holder.pid() || process.workingSet >= uint64_t{100} << 20);
        const int mostForOneProcessor = 100 / static_cast<int>(after.processors) + 1;
        EXPECT_TRUE(process.pid != spinner.pid() || (shares[index] > 0 && shares[index] <= mostForOneProcessor));
    }
}

TEST(Win32ProcessSystem, CoreNameOutsideTheWindowsFolderAndVersionTexts) {
    HelperProcess copy("svchost.exe");
    ASSERT_TRUE(copy.started());
    Win32ProcessSystem system;
    uint32_t winesOwn = 0;
    system.WalkProcesses([&](const ProcessRecord& record) {
        if (record.name == "svchost.exe" && record.pid != copy.pid()) winesOwn = record.pid;
        return true;
    });
    EXPECT_EQ(ProgramPlace::Elsewhere, system.LocateProgramFile(copy.pid()).place);
    EXPECT_EQ(ProgramPlace::InWindowsFolder, system.LocateProgramFile(winesOwn).place);
    const ProgramVersion version = system.ReadProgramVersion(GetCurrentProcessId());
    EXPECT_EQ("瓦诺德 进程管理器", version.description);
    EXPECT_EQ("tarvemonix", version.company);
}

// A program file in a folder whose name code page 936 cannot hold: its path
// comes from the system as it is, and its signature and version texts are
// read from that very file (a test program is unsigned: "none", not
// "cannot be read"). Only the text shown loses the letters.
TEST(Win32ProcessSystem, AProgramFileOutsideTheCodePageIsReadByItsOwnPath) {
    ScratchDirectory scratch;
    const std::wstring folder = scratch.path() + L"\\Bj\u00F6rn \u65E5\u672C\u8A9E \U0001F600";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring program = folder + L"\\tvxsigned.exe";
    ASSERT_TRUE(CopyFileW(TVX_SLEEPER_PATH, program.c_str(), FALSE));
    std::wstring commandLine = L"\"" + program + L"\" 60";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                               &startup, &info));
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    Win32ProcessSystem system;
    const ProgramFile file = system.LocateProgramFile(info.dwProcessId);
    EXPECT_EQ(program, file.path);
    EXPECT_EQ(ProgramPlace::Elsewhere, file.place);
    EXPECT_EQ(SignatureVerdict::None, system.ReadSignature(file.path).verdict);
    EXPECT_EQ(SignatureVerdict::Unreadable, system.ReadSignature(file.path + L".gone").verdict);
    EXPECT_EQ(ReadFileVersionTexts(TVX_SLEEPER_PATH).description, ReadFileVersionTexts(file.path).description);
    EXPECT_NE(std::string::npos, system.Text(file.path).find("?")) << "the shown text alone loses them";
    TerminateProcess(process.get(), 0);
    WaitForSingleObject(process.get(), 5000);
}

// An end refused for want of rights (here: the process denies everyone its
// end, as a service's process denies a normal user) is one rights might
// allow, unless the system protects the process.
TEST(Win32ProcessSystem, RefusedEndsAreToldApartByProtection) {
    HelperProcess helper("tvxguarded.exe");
    ASSERT_TRUE(helper.started());
    {
        const UniqueHandle process(OpenProcess(WRITE_DAC, FALSE, helper.pid()));
        ACL nobody{};
        InitializeAcl(&nobody, sizeof(nobody), ACL_REVISION);
        ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
                  SetSecurityInfo(process.get(), SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &nobody,
                                  nullptr));
    }
    struct ProtectingSystem : Win32ProcessSystem {
        bool protect = false;
        bool IsProtected(uint32_t) override { return protect; }
    } system;
    const std::vector<uint32_t> refused{helper.pid()};
    const ProcessInstance process{helper.pid(), StartTimeOfProcess(helper.pid())};
    EXPECT_EQ(EndOutcome::Failed, system.Terminate(process));
    EXPECT_EQ(refused, system.TakeDeniedEnds());
    EXPECT_TRUE(system.TakeProtectedEnds().empty());
    system.protect = true;
    EXPECT_EQ(EndOutcome::Failed, system.Terminate(process));
    EXPECT_EQ(refused, system.TakeProtectedEnds());
    EXPECT_TRUE(system.TakeDeniedEnds().empty());
}

// A 32-bit program on 64-bit Windows is given the memory figures cut to 32
// bits: it shows none rather than a wrong one.
TEST(Win32ProcessSystem, MemoryFiguresCutTo32BitsAreUnknown) {
    struct CutSystem : Win32ProcessSystem {
        bool cut = false;
        bool MemoryFiguresAreCut() override { return cut; }
    };
    for (const bool cut : {true, false}) {
        CutSystem system;
        system.cut = cut;
        ProcessSample sample;
        ASSERT_TRUE(system.SampleProcesses(sample));
        const auto own =
            std::find_if(sample.processes.begin(), sample.processes.end(),
                         [](const SampledProcess& process) { return process.pid == GetCurrentProcessId(); });
        ASSERT_NE(sample.processes.end(), own);
        const auto known = std::count_if(sample.processes.begin(), sample.processes.end(), [](const SampledProcess& p) {
            return p.workingSet != kUnknownBytes || p.privateBytes != kUnknownBytes;
        });
        if (cut) {
            EXPECT_EQ(0, known) << "cut: no process shows a figure";
        } else {
            EXPECT_TRUE(own->workingSet > 0 && own->workingSet != kUnknownBytes);
            EXPECT_TRUE(own->privateBytes > 0 && own->privateBytes != kUnknownBytes);
        }
    }
}

// Last in this program: the search stays limited for the rest of the process.
// From the program's start on, a library of a system name planted beside the
// program or in the current folder is never loaded by its bare name.
TEST(LibrarySearch, APlantedLibraryIsNeverLoadedByItsNameFromTheStartOn) {
    ScratchDirectory directory;
    ASSERT_TRUE(
        CopyFileW((SystemFolderPath(GetSystemDirectoryW) + L"\\version.dll").c_str(), L"tvxplanted.dll", FALSE));
    HMODULE planted = LoadLibraryW(L"tvxplanted.dll");
    ASSERT_NE(nullptr, planted) << "found in the current folder before";
    FreeLibrary(planted);
    struct StartOnly : CWinApp {
        BOOL InitInstance() override { return FALSE; }
    } application;
    application.Run();
    planted = LoadLibraryW(L"tvxplanted.dll");
    EXPECT_EQ(nullptr, planted) << "after the start";
    if (planted) FreeLibrary(planted);
    EXPECT_TRUE(LimitLibrarySearchToSystem());
}

// An end is told once, when it happens; a pid that cannot be waited on makes
// the watch say that it does not follow every process.
TEST(ProcessEndWatch, TellsEndsAndWhatItCannotFollow) {
    ProcessEndWatch watch;
    auto helper = std::make_unique<HelperProcess>("tvxendwatch.exe", 60);
    watch.Follow({helper->pid()});
    EXPECT_TRUE(watch.FollowsAll());
    EXPECT_FALSE(watch.TakeEnded());
    helper.reset();
    bool told = false;
    for (int wait = 0; wait < 50 && !told; ++wait, Sleep(20)) told = watch.TakeEnded();
    EXPECT_TRUE(told);
    EXPECT_FALSE(watch.TakeEnded()) << "told once";
    watch.Follow({0x7FFFFFF0});
    EXPECT_FALSE(watch.FollowsAll());
}

// A process that had ended before the look that lists it (another program
// still held it) is not held by the watch: once that program lets go, it is
// gone from the system and from the next look.
TEST(ProcessEndWatch, HoldsNoProcessThatHadEndedWhenItWasOpened) {
    ProcessEndWatch watch;
    auto helper = std::make_unique<HelperProcess>("tvxended.exe", 0);
    ASSERT_TRUE(helper->WaitForExit(5000));
    const uint32_t pid = helper->pid();
    DWORD handlesBefore = 0, handlesAfter = 0;
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handlesBefore));
    watch.Follow({pid});
    EXPECT_TRUE(watch.FollowsAll()) << "its end is known";
    EXPECT_FALSE(watch.TakeEnded()) << "the look saw it ended";
    watch.Follow({pid});
    EXPECT_TRUE(watch.FollowsAll());
    ASSERT_TRUE(GetProcessHandleCount(GetCurrentProcess(), &handlesAfter));
    EXPECT_EQ(handlesBefore, handlesAfter) << "the watch holds the ended process";
}
