// The one-second look at every process: a single
// NtQuerySystemInformation(SystemProcessInformation) call, which gives every
// process's name, times and memory at once. The toolhelp walk reads the same
// list of the kernel, so the names agree with the refresh's.
#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "process/Win32ProcessSystem.h"

namespace {

struct CountedText {  // UNICODE_STRING
    USHORT length;    // bytes, without a terminator
    USHORT maximumLength;
    PWSTR buffer;
};

// The head of one SYSTEM_PROCESS_INFORMATION entry, laid out for this
// program's pointer size (a 32-bit program on a 64-bit system is given the
// 32-bit layout).
struct SystemProcessEntry {
    ULONG nextEntryOffset;
    ULONG threadCount;
    LARGE_INTEGER workingSetPrivateSize;
    ULONG hardFaultCount;
    ULONG threadCountHighWatermark;
    ULONGLONG cycleTime;
    LARGE_INTEGER createTime;
    LARGE_INTEGER userTime;
    LARGE_INTEGER kernelTime;
    CountedText imageName;
    LONG basePriority;
    HANDLE processId;
    HANDLE parentProcessId;
    ULONG handleCount;
    ULONG sessionId;
    ULONG_PTR processKey;
    SIZE_T peakVirtualSize;
    SIZE_T virtualSize;
    ULONG pageFaultCount;
    SIZE_T peakWorkingSetSize;
    SIZE_T workingSetSize;
    SIZE_T quotaPeakPagedPoolUsage;
    SIZE_T quotaPagedPoolUsage;
    SIZE_T quotaPeakNonPagedPoolUsage;
    SIZE_T quotaNonPagedPoolUsage;
    SIZE_T pagefileUsage;  // the commit charge: the process's private bytes
};
#ifdef _WIN64
static_assert(offsetof(SystemProcessEntry, imageName) == 0x38 && offsetof(SystemProcessEntry, processId) == 0x50 &&
                  offsetof(SystemProcessEntry, workingSetSize) == 0x90 &&
                  offsetof(SystemProcessEntry, pagefileUsage) == 0xB8,
              "SYSTEM_PROCESS_INFORMATION, 64-bit");
#else
static_assert(offsetof(SystemProcessEntry, imageName) == 0x38 && offsetof(SystemProcessEntry, processId) == 0x44 &&
                  offsetof(SystemProcessEntry, workingSetSize) == 0x68 &&
                  offsetof(SystemProcessEntry, pagefileUsage) == 0x7C,
              "SYSTEM_PROCESS_INFORMATION, 32-bit");
#endif

// Where each thread's SYSTEM_THREAD_INFORMATION follows its process's entry,
// and where its state and wait reason lie in it.
#ifdef _WIN64
constexpr size_t kProcessEntrySize = 0x100;
constexpr size_t kThreadEntrySize = 0x50;
constexpr size_t kThreadStateOffset = 0x44;
#else
constexpr size_t kProcessEntrySize = 0xB8;
constexpr size_t kThreadEntrySize = 0x40;
constexpr size_t kThreadStateOffset = 0x34;
#endif
static_assert(sizeof(SystemProcessEntry) <= kProcessEntrySize, "SYSTEM_PROCESS_INFORMATION head");

// The states of the threads listed after the entry at offset; none that lies
// outside the filled part.
std::vector<ThreadState> ThreadStatesAt(const unsigned char* start, size_t offset, size_t filled, ULONG count) {
    std::vector<ThreadState> states;
    for (size_t thread = 0; thread < count; ++thread) {
        const size_t at = offset + kProcessEntrySize + thread * kThreadEntrySize + kThreadStateOffset;
        if (at + 2 * sizeof(ULONG) > filled) break;
        ULONG pair[2] = {};
        std::memcpy(pair, start + at, sizeof(pair));
        states.push_back({pair[0], pair[1]});
    }
    return states;
}

constexpr ULONG kSystemProcessInformation = 5;
constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr LONG kBufferTooSmall = static_cast<LONG>(0xC0000023);
constexpr size_t kLargestBuffer = 256u << 20;

uint64_t Ticks(const LARGE_INTEGER& time) { return static_cast<uint64_t>(time.QuadPart); }

// 100-ns units of the performance counter, which never goes backwards.
uint64_t SteadyNow() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    const auto perSecond = static_cast<uint64_t>(frequency.QuadPart);
    const auto count = static_cast<uint64_t>(counter.QuadPart);
    return count / perSecond * 10000000 + count % perSecond * 10000000 / perSecond;
}

uint32_t ProcessorCount() {
    using ActiveCount = DWORD(WINAPI*)(WORD);
    constexpr WORD kAllProcessorGroups = 0xFFFF;
    const auto activeCount = FindSystemFunction<ActiveCount>(L"kernel32.dll", "GetActiveProcessorCount");
    if (activeCount) {
        if (const DWORD count = activeCount(kAllProcessorGroups)) return count;
    }
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return system.dwNumberOfProcessors > 0 ? system.dwNumberOfProcessors : 1;
}

using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);

Query SystemQuery() {
    static const auto query = FindSystemFunction<Query>(L"ntdll.dll", "NtQuerySystemInformation");
    return query;
}

// The system's process list into buffer (kept from call to call: after the
// first its size fits); returned: the bytes filled. False when it failed.
bool QueryProcessList(Query query, std::vector<uint64_t>& buffer, ULONG& returned) {
    if (buffer.empty()) buffer.resize((64u << 10) / sizeof(uint64_t));
    LONG status = kInfoLengthMismatch;
    // Processes that start between the calls can make the size asked for too
    // small again: it grows by a quarter more than asked each time.
    while (status == kInfoLengthMismatch || status == kBufferTooSmall) {
        const size_t bytes = buffer.size() * sizeof(uint64_t);
        status = query(kSystemProcessInformation, buffer.data(), static_cast<ULONG>(bytes), &returned);
        if (status != kInfoLengthMismatch && status != kBufferTooSmall) break;
        const size_t wanted = std::max<size_t>(static_cast<size_t>(returned) + returned / 4, 2 * bytes);
        if (wanted > kLargestBuffer) return false;
        buffer.assign((wanted + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
    }
    return status >= 0;
}

}  // namespace

LookedSuspension LookedSuspensionOf(const ProcessInstance& instance) {
    const Query query = SystemQuery();
    std::vector<uint64_t> buffer;
    ULONG returned = 0;
    if (!query || !QueryProcessList(query, buffer, returned)) return LookedSuspension::Untold;
    const auto* const start = reinterpret_cast<const unsigned char*>(buffer.data());
    const size_t filled = std::min<size_t>(returned, buffer.size() * sizeof(uint64_t));
    for (size_t offset = 0; offset + sizeof(SystemProcessEntry) <= filled;) {
        SystemProcessEntry entry;
        std::memcpy(&entry, start + offset, sizeof(entry));
        const auto pid = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(entry.processId));
        if (IsSameProcess({pid, Ticks(entry.createTime)}, instance)) {
            return SuspensionFromThreadStates(ThreadStatesAt(start, offset, filled, entry.threadCount));
        }
        if (entry.nextEntryOffset == 0) break;
        offset += entry.nextEntryOffset;
    }
    return LookedSuspension::Untold;
}

bool Win32ProcessSystem::ProcessListMayHaveChanged() {
    const Query query = SystemQuery();
    ULONG size = 0;
    if (!query || query(kSystemProcessInformation, nullptr, 0, &size) != kInfoLengthMismatch || size == 0) return true;
    const bool changed = m_listSize.exchange(size) != size;
    constexpr uint64_t kSecond = 10000000;
    const bool endsUntold = !m_endWatch.FollowsAll() && SteadyNow() - m_lastLookAt >= kSecond;
    return m_endWatch.TakeEnded() || changed || endsUntold;
}

// A 32-bit program on a 64-bit system is given the list's memory figures
// (SIZE_T) cut to 32 bits: 4 GiB and more would show as a small figure.
bool Win32ProcessSystem::MemoryFiguresAreCut() { return RunsUnderWow64(GetCurrentProcess()); }

bool Win32ProcessSystem::SampleProcesses(ProcessSample& sample) {
    const Query query = SystemQuery();
    static const uint32_t processors = ProcessorCount();
    if (!query) return ProcessSystem::SampleProcesses(sample);
    if (!m_memoryFiguresCut) m_memoryFiguresCut = MemoryFiguresAreCut();
    const bool memoryCut = *m_memoryFiguresCut;
    ULONG returned = 0;
    if (!QueryProcessList(query, m_sampleBuffer, returned)) return false;
    sample = ProcessSample{};
    sample.hasFigures = true;
    sample.takenAt = SteadyNow();
    sample.processors = processors;
    const auto* const start = reinterpret_cast<const unsigned char*>(m_sampleBuffer.data());
    const size_t filled = std::min<size_t>(returned, m_sampleBuffer.size() * sizeof(uint64_t));
    for (size_t offset = 0; offset + sizeof(SystemProcessEntry) <= filled;) {
        SystemProcessEntry entry;
        std::memcpy(&entry, start + offset, sizeof(entry));
        SampledProcess process;
        process.pid = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(entry.processId));
        // The name lies inside the buffer; anything else is not read.
        const auto name = reinterpret_cast<uintptr_t>(entry.imageName.buffer);
        const auto first = reinterpret_cast<uintptr_t>(start);
        if (name >= first && name + entry.imageName.length <= first + filled) {
            process.name = TextFromWide(std::wstring(entry.imageName.buffer, entry.imageName.length / sizeof(wchar_t)));
        }
        // The idle entry has no name; the toolhelp walk calls it so.
        if (process.pid == 0 && process.name.empty()) process.name = "[System Process]";
        process.cpuTime = Ticks(entry.userTime) + Ticks(entry.kernelTime);
        process.startTime = Ticks(entry.createTime);
        process.parentPid = static_cast<uint32_t>(reinterpret_cast<ULONG_PTR>(entry.parentProcessId));
        process.workingSet = memoryCut ? kUnknownBytes : entry.workingSetSize;
        process.privateBytes = memoryCut ? kUnknownBytes : entry.pagefileUsage;
        process.suspension = SuspensionFromThreadStates(ThreadStatesAt(start, offset, filled, entry.threadCount));
        sample.processes.push_back(std::move(process));
        if (entry.nextEntryOffset == 0) break;
        offset += entry.nextEntryOffset;
    }
    std::vector<uint32_t> pids;
    pids.reserve(sample.processes.size());
    for (const SampledProcess& process : sample.processes) pids.push_back(process.pid);
    m_endWatch.Follow(pids);
    m_lastLookAt = sample.takenAt;
    return true;
}
