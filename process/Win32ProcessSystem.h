// The platform's process operations (tool-help snapshots, process and token
// calls) behind the ProcessSystem seam.
#pragma once

#include <atomic>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "framework/Handle.h"
#include "process/ProcessIdentity.h"
#include "process/ProcessSystem.h"
#include "process/Win32EndWatch.h"

// The one way to a program file: runs call (which reads or changes the file at
// path) with the file-system redirection of a 32-bit program on 64-bit Windows
// off for this thread and this call alone where path needs it, so that
// "...\System32\x.exe" names that file and not its namesake in SysWOW64.
// No system library loads while it is off: call must not load one.
void OnProgramFile(const std::wstring& path, const std::function<void()>& call);
// The program file at path opened for reading through OnProgramFile, shared
// with every other reader and writer; empty when it cannot be opened.
UniqueHandle OpenProgramFile(const std::wstring& path, DWORD flags = FILE_ATTRIBUTE_NORMAL);

// A path in full form (no "." or ".." steps) and with its long names, where
// the file still exists; as given where it does not.
std::wstring FullLongPath(const std::wstring& path);

// A moment (100-ns units since 1601, UTC) in the local time of that day.
bool LocalTimeOfMoment(uint64_t moment, LocalTime& local);

class Win32ProcessSystem : public ProcessSystem {
public:
    void WalkProcesses(const std::function<bool(const ProcessRecord&)>& visit) override;
    EndOutcome Terminate(const ProcessInstance& process, std::string* programShortPath = nullptr) override;
    bool IsRunning(const ProcessInstance& process) override;
    bool IsEndRefused(const ProcessInstance& process) override;
    bool EnableDebugPrivilege() override;
    void WalkThreads(const std::function<bool(const ThreadRecord&)>& visit) override;
    std::string GetProcessShortPath(uint32_t pid) override;
    bool WaitForProcessEnd(uint32_t pid, uint32_t timeoutMs) override;
    FileDeletionResult DeleteFileNow(const std::string& path) override;
    uint32_t OwnPid() override;
    // One NtQuerySystemInformation(SystemProcessInformation) call.
    bool SampleProcesses(ProcessSample& sample) override;
    // The size the same call asks for its answer, which every process and
    // thread (and name) adds to. Safe to call from another thread than the
    // looks'.
    bool ProcessListMayHaveChanged() override;
    ProgramFile LocateProgramFile(uint32_t pid) override;
    std::string Text(const std::wstring& wide) override;
    ProgramVersion ReadProgramVersion(uint32_t pid) override;
    bool ToLocalTime(uint64_t moment, LocalTime& local) override;
    std::vector<uint32_t> TakeDeniedEnds() override;
    std::vector<uint32_t> TakeProtectedEnds() override;
    std::optional<std::string> ReadCommandLine(uint32_t pid) override;
    std::string ReadUserName(uint32_t pid) override;
    FileSignature ReadSignature(const std::wstring& path) override;
    // NtSuspendProcess / NtResumeProcess where ntdll has them, else each
    // thread of the process in turn.
    ChangeOutcome Suspend(const ProcessInstance& process) override;
    ChangeOutcome Resume(const ProcessInstance& process) override;
    bool IsSuspended(const ProcessInstance& process) override;
    std::optional<PriorityLevel> ReadPriority(const ProcessInstance& process) override;
    ChangeOutcome SetPriority(const ProcessInstance& process, PriorityLevel level) override;

protected:
    // The critical-process flag of an opened process, as Terminate reads it;
    // a seam for tests, since not every system marks processes critical.
    virtual bool IsMarkedCritical(uint32_t pid, void* processHandle);
    // Whether the system protects the process from every end, as
    // IsProcessProtected reads it; a seam for tests, since Wine protects none.
    virtual bool IsProtected(uint32_t pid);
    // Whether the system gives this program the list's memory figures cut to
    // 32 bits (a 32-bit program on 64-bit Windows); a seam for tests, since
    // Wine here runs no 32-bit programs.
    virtual bool MemoryFiguresAreCut();

private:
    static bool EnableOwnDebugPrivilege();
    // Opens the process once with rights and applies change to that handle
    // while it names the very process; change leaves the system's error set
    // when it fails.
    ChangeOutcome ChangeProcess(const ProcessInstance& instance, unsigned long rights,
                                const std::function<bool(void*)>& change);
    // Keeps a refusal for want of rights for the restart offer.
    void NoteRefusal(uint32_t pid);

    std::optional<bool> m_debugPrivilege;    // the answer of the first request
    std::optional<bool> m_memoryFiguresCut;  // asked at the first look
    // Kept from look to look: after the first its size fits, and no look
    // allocates it again.
    std::vector<uint64_t> m_sampleBuffer;
    std::atomic<unsigned long> m_listSize{0};  // at the last probe, from either thread
    std::wstring m_windowsFolder;              // full and long; found at the first need
    // The places of program files by the path the system gives: finding a
    // path's long form reads every folder on the way.
    std::map<std::wstring, ProgramFile> m_programFiles;
    AccountNames m_accountNames;  // the users of processes, each asked once
    std::vector<uint32_t> m_deniedEnds;
    std::vector<uint32_t> m_protectedEnds;

    // The ends of the processes of the latest look, told as they happen: a
    // start at the moment of an end leaves the size as it was, and the probe
    // says "changed" for that end instead. While some end cannot be told, the
    // probe says "changed" a second after the latest look.
    ProcessEndWatch m_endWatch;
    std::atomic<uint64_t> m_lastLookAt{0};  // SteadyNow units
};

// Full path of the process's program file as the system names it:
// QueryFullProcessImageName where the system has it (it also names a 64-bit
// process's file to this 32-bit program), else the first module of its module
// snapshot. Empty when neither works.
std::wstring ProcessImagePath(uint32_t pid);

// What the threads' states in a fresh look of the system say of the process.
LookedSuspension LookedSuspensionOf(const ProcessInstance& instance);

// Suspends (or resumes) each thread the process has, for systems without
// NtSuspendProcess; false when one of them could not be. The caller holds the
// process open, which keeps its pid from being given again.
bool ChangeEachThread(uint32_t pid, bool suspend);

// The suspend count of each thread of the process (ThreadSuspendCount); none
// when one of them cannot be read.
std::vector<uint32_t> ThreadSuspendCounts(uint32_t pid);

// True when the system runs the process protected (Windows 8.1 on): its
// protection level, read through NtQueryInformationProcess, names a type.
bool IsProcessProtected(uint32_t pid);

// True when the system marks the process critical (its end would stop the
// system). Reads the flag through NtQueryInformationProcess where it exists.
bool IsProcessMarkedCritical(void* processHandle);

// The description and company of a program file's version information (empty
// where not readable); a 32-bit program reads the real System32's files.
ProgramVersion ReadFileVersionTexts(const std::wstring& path);

// Whether path names an existing file, not a folder; a 32-bit program looks
// in the real System32.
bool IsExistingFile(const std::wstring& path);

// The process of the pid opened with the least query right that serves (the
// limited one reaches more processes; systems before Vista know only the full
// one) and moreRights; empty when it cannot be opened.
UniqueHandle OpenProcessForQuery(uint32_t pid, unsigned long moreRights);

// The program file of an opened process, where the system can name it from
// the handle (Vista on); empty otherwise.
std::wstring ImagePathOfHandle(void* process);

// The creation moment of an opened process (100-ns units since 1601, UTC);
// 0 when it cannot be read.
uint64_t StartTimeOfHandle(void* process);
