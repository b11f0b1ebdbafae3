// Drives the real program from outside, as a user would, and watches what it
// holds. Run under Wine by scripts/soak.sh and scripts/hostile.sh:
//
//   tvx_soak_driver soak <program.exe> <folder> <sleeper.exe> <refreshes>
//   tvx_soak_driver hostile <program.exe> <folder> <sleeper.exe> <case> <bound ms>
//
// <folder> holds the program with processinfo.dat and its help page; the
// driver writes the files of the run there, starts the program in it and ends
// everything it started on every path. It must have the program's bitness
// (the GDI table is found at a bitness-dependent place).
#include <windows.h>
#include <commctrl.h>
#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "blocklist/BlockListRules.h"
#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "res/resource.h"
#include "tests/wine/support/EndableStart.h"
#include "tests/wine/support/GdiTable.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Polls condition every few milliseconds until it holds or timeoutMs pass.
bool WaitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const Clock::time_point start = Clock::now();
    for (;;) {
        if (condition()) return true;
        if (SecondsSince(start) * 1000 > timeoutMs) return false;
        Sleep(5);
    }
}

std::string Narrow(const std::wstring& wide, UINT codePage = CP_ACP) {
    if (wide.empty()) return std::string();
    const int size =
        WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], size, nullptr, nullptr);
    return text;
}

std::wstring Widen(const std::string& text) {
    if (text.empty()) return std::wstring();
    const int size = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], size);
    return wide;
}

std::string ReadBytes(const std::wstring& path) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    std::string bytes;
    if (!file) return bytes;
    std::vector<char> chunk(1 << 16);
    DWORD read = 0;
    while (ReadFile(file.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &read, nullptr) && read > 0) {
        bytes.append(chunk.data(), read);
    }
    return bytes;
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

// ---- Processes ----------------------------------------------------------------

// A process this driver started; ended when the object goes, if still running.
class Child {
public:
    Child() = default;
    Child(Child&&) noexcept = default;
    Child& operator=(Child&&) = delete;
    ~Child() { End(); }

    // A process the program ended while it was starting counts as started.
    bool Start(const std::wstring& exe, const std::wstring& arguments, const std::wstring& folder) {
        EndableProcess started;
        if (!StartEndable(exe, L"\"" + exe + L"\" " + arguments, folder, started)) return false;
        m_process = std::move(started.process);
        m_pid = started.pid;
        return true;
    }
    void End() {
        if (!Running()) return;
        TerminateProcess(m_process.get(), 1);
        WaitForSingleObject(m_process.get(), 5000);
    }
    bool Running() const { return m_process && WaitForSingleObject(m_process.get(), 0) == WAIT_TIMEOUT; }
    bool WaitForExit(DWORD timeoutMs) const {
        return !m_process || WaitForSingleObject(m_process.get(), timeoutMs) == WAIT_OBJECT_0;
    }
    HANDLE handle() const { return m_process.get(); }
    DWORD pid() const { return m_pid; }

private:
    UniqueHandle m_process;
    DWORD m_pid = 0;
};

// A copy of the sleeper under a chosen name, in folder, sleeping a day.
struct Helper {
    std::string name;
    Child process;
};

bool StartHelper(Helper& helper, const std::wstring& sleeper, const std::wstring& folder) {
    const std::wstring path = folder + L"\\" + Widen(helper.name);
    return CopyFileW(sleeper.c_str(), path.c_str(), FALSE) && helper.process.Start(path, L"86400", folder);
}

// The running processes: pid and executable name (code page 936 bytes).
std::vector<std::pair<DWORD, std::string>> RunningProcesses() {
    std::vector<std::pair<DWORD, std::string>> processes;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        processes.emplace_back(entry.th32ProcessID, Narrow(entry.szExeFile, 936));
    }
    return processes;
}

// ---- Windows of the program -----------------------------------------------------

std::wstring CaptionOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, &text[0], static_cast<int>(text.size()))));
    return text;
}

bool IsDialogOf(HWND window, DWORD pid, const std::wstring& caption) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    // Class names are at most 256 characters long.
    std::wstring className(257, L'\0');
    className.resize(static_cast<size_t>(GetClassNameW(window, &className[0], static_cast<int>(className.size()))));
    // The main window's caption ends in "（管理员）" when the program runs with
    // administrator rights, as everything does under Wine.
    return owner == pid && className == L"#32770" && CaptionOf(window).compare(0, caption.size(), caption) == 0;
}

struct DialogQuery {
    DWORD pid;
    const std::wstring& caption;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM data) {
    auto* query = reinterpret_cast<DialogQuery*>(data);
    if (!IsDialogOf(window, query->pid, query->caption)) return TRUE;
    query->found = window;
    return FALSE;
}

// The top-level dialog of pid with the caption, or null.
HWND FindDialog(DWORD pid, const std::wstring& caption) {
    DialogQuery query{pid, caption, nullptr};
    EnumWindows(&MatchDialog, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

// A window's text through WM_GETTEXT, as another program reads it.
std::wstring SentText(HWND window) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length)) return std::wstring();
    std::wstring text(length + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]), SMTO_ABORTIFHUNG,
                             5000, &copied)) {
        return std::wstring();
    }
    text.resize(std::min<size_t>(copied, length));
    return text;
}

// N of the count text "共有N个进程", or -1 when it does not read so.
int ListedCount(const std::wstring& text) {
    const std::wstring head = L"共有", tail = L"个进程";
    if (text.size() <= head.size() + tail.size() || text.compare(0, head.size(), head) != 0 ||
        text.compare(text.size() - tail.size(), tail.size(), tail) != 0) {
        return -1;
    }
    const std::wstring digits = text.substr(head.size(), text.size() - head.size() - tail.size());
    if (digits.find_first_not_of(L"0123456789") != std::wstring::npos || digits.size() > 6) return -1;
    return std::stoi(digits);
}

const wchar_t* const kMainCaption = L"瓦诺德 V2.8";
const wchar_t* const kEditorCaption = L"编辑封锁列表";

// The program, started by the driver in its folder.
struct Program {
    Child process;
    HWND main = nullptr;

    // Starts it and waits until its list shows processes; the seconds that took, or -1.
    double StartAndWaitForList(const std::wstring& exe, const std::wstring& folder, DWORD timeoutMs) {
        const Clock::time_point start = Clock::now();
        if (!process.Start(exe, L"", folder)) return -1;
        const bool listed = WaitFor(
            [this] {
                if (!main) main = FindDialog(process.pid(), kMainCaption);
                return main && ListedCount(SentText(GetDlgItem(main, IDC_COUNTTEXT))) > 0;
            },
            timeoutMs);
        return listed ? SecondsSince(start) : -1;
    }

    // Posts a command of the main window, as its menus and buttons send them.
    bool Command(UINT id) const {
        return PostMessageW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                            reinterpret_cast<LPARAM>(GetDlgItem(main, id)));
    }

    // Runs a command that opens nothing and returns once it has run; false
    // after timeoutMs. It is sent, not posted: a thread takes messages sent
    // from another thread before posted ones, so a WM_NULL sent after a
    // posted command (even a second one) can be answered before it has run.
    bool Run(UINT id, DWORD timeoutMs) const {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutW(main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                                   reinterpret_cast<LPARAM>(GetDlgItem(main, id)), SMTO_NORMAL, timeoutMs, &ignored);
    }

    // Opens a dialog through its command and waits until it shows; null after timeoutMs.
    HWND OpenDialog(UINT command, const std::wstring& caption, DWORD timeoutMs) const {
        HWND dialog = nullptr;
        if (!Command(command)) return nullptr;
        WaitFor(
            [&] {
                dialog = FindDialog(process.pid(), caption);
                return dialog && IsWindowVisible(dialog);
            },
            timeoutMs);
        return dialog && IsWindowVisible(dialog) ? dialog : nullptr;
    }

    // Closes a dialog as its button would and waits until the main window takes commands again.
    bool CloseDialog(HWND dialog, int button, DWORD timeoutMs) const {
        PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
        return WaitFor([&] { return !IsWindow(dialog) && IsWindowEnabled(main); }, timeoutMs);
    }

    // Answers the exit question Yes and waits for the end; ends it by force otherwise.
    bool Exit() {
        if (main && Command(ID_TRAY_EXIT)) {
            HWND question = nullptr;
            WaitFor([&] { return (question = FindDialog(process.pid(), L"提示")) != nullptr; }, 10000);
            if (question) PostMessageW(question, WM_COMMAND, MAKEWPARAM(IDYES, BN_CLICKED), 0);
            if (process.WaitForExit(15000)) return true;
        }
        process.End();
        return false;
    }
};

// ---- What the program holds ---------------------------------------------------

// The figures of a sample, in column order; -1 where the system gives none.
enum Figure {
    kGdi,           // GDI objects, all kinds
    kDcSet,         // of them device contexts, regions and Wine's type 5 objects
    kOtherGdi,      // and every other kind (bitmaps, fonts, brushes, pens, ...)
    kTopWindows,    // top-level windows of the process
    kChildWindows,  // their child windows
    kHandles,       // kernel handles
    kPrivateKb,     // private bytes as the system reports them
    kWorkingSetKb,  // working set
    kCommittedKb,   // committed private memory, walked
    kFigureCount
};

// Wine keeps up to 64 window device contexts of a process in a cache, taking
// a new one for a window that draws while the others' windows live, until it
// is full. Each comes with a region and an object of type 5, so while new
// windows draw the three kinds grow together, by up to 3 x 64.
constexpr long long kDcCacheAllowance = 3 * 64;

// How a series is judged: a sample after the warm-up must not exceed the
// warm-up sample by more than the allowance (-1: shown, not judged).
struct Series {
    const char* name;
    long long allowance;
};
const Series kSeries[kFigureCount] = {
    {"gdi", -1},
    {"gdi_dc", kDcCacheAllowance},
    {"gdi_other", 2},
    {"top", 2},
    {"child", 2},
    {"handles", 2},
    {"private_kb", -1},  // Wine reports 0
    {"workset_kb", -1},  // moves with Wine's own memory and the system's paging
    {"committed_kb", 4096},
};

// GDI objects of the process by kind, counted in the shared handle table its
// environment block points to (entries with a type are in use): Wine's
// GetGuiResources is a stub. Where the system has a GetGuiResources, the
// total comes from it and the kinds stay -1.
void CountGdiObjects(HANDLE process, long long* figures) {
    std::fill(figures + kGdi, figures + kOtherGdi + 1, -1);
    SetLastError(0);
    const DWORD reported = GetGuiResources(process, GR_GDIOBJECTS);
    if (reported != 0 || GetLastError() != ERROR_CALL_NOT_IMPLEMENTED) {
        figures[kGdi] = reported;
        return;
    }
    const uint8_t* environment = ProcessEnvironmentBlockOf(process);
    if (!environment) return;
    const auto* pointerAt = environment + GdiTableOffset(sizeof(void*) == 8);
    void* table = nullptr;
    if (!ReadProcessMemory(process, pointerAt, &table, sizeof(table), nullptr) || !table) return;
    std::vector<GdiTableEntry> entries(kGdiTableEntries);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiTableEntry), nullptr)) return;
    std::fill(figures + kGdi, figures + kOtherGdi + 1, 0);
    for (const GdiTableEntry& entry : entries) {
        if (entry.type == 0) continue;
        ++figures[kGdi];
        const bool dcSet = entry.type == 0x01 || entry.type == 0x04 || entry.type == 0x05;
        ++figures[dcSet ? kDcSet : kOtherGdi];
    }
}

struct WindowCounts {
    DWORD pid;
    long long top;
    long long child;
};

BOOL CALLBACK CountChild(HWND, LPARAM childCount) {
    ++*reinterpret_cast<long long*>(childCount);
    return TRUE;
}

BOOL CALLBACK CountTopLevel(HWND window, LPARAM data) {
    auto* counts = reinterpret_cast<WindowCounts*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != counts->pid) return TRUE;
    ++counts->top;
    EnumChildWindows(window, &CountChild, reinterpret_cast<LPARAM>(&counts->child));
    return TRUE;
}

void CountWindows(DWORD pid, long long* figures) {
    WindowCounts counts{pid, 0, 0};
    EnumWindows(&CountTopLevel, reinterpret_cast<LPARAM>(&counts));
    figures[kTopWindows] = counts.top;
    figures[kChildWindows] = counts.child;
}

// Kernel handles of the process: GetProcessHandleCount, or where that gives
// none (Wine gives 0 for another process) its entries in the system's handle list.
long long KernelHandles(HANDLE process, DWORD pid) {
    DWORD count = 0;
    if (GetProcessHandleCount(process, &count) && count > 0) return count;
    struct Entry {
        ULONG ownerPid;
        BYTE type;
        BYTE flags;
        USHORT value;
        void* object;
        ULONG access;
    };
    struct HandleList {
        ULONG count;
        Entry entries[1];
    };
    using QuerySystem = LONG(WINAPI*)(int, void*, ULONG, ULONG*);
    const auto query = FindSystemFunction<QuerySystem>(L"ntdll.dll", "NtQuerySystemInformation");
    constexpr int kSystemHandleInformation = 16;
    constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
    std::vector<uint8_t> buffer(1 << 16);
    LONG status = kInfoLengthMismatch;
    while (query && status == kInfoLengthMismatch && buffer.size() <= (64u << 20)) {
        status = query(kSystemHandleInformation, buffer.data(), static_cast<ULONG>(buffer.size()), nullptr);
        if (status == kInfoLengthMismatch) buffer.resize(buffer.size() * 2);
    }
    if (status != 0) return -1;
    HandleList header{};
    std::memcpy(&header.count, buffer.data(), sizeof(header.count));
    const size_t first = offsetof(HandleList, entries);
    if (first + header.count * sizeof(Entry) > buffer.size()) return -1;
    long long owned = 0;
    for (ULONG i = 0; i < header.count; ++i) {
        Entry entry{};
        std::memcpy(&entry, buffer.data() + first + i * sizeof(Entry), sizeof(Entry));
        if (entry.ownerPid == pid) ++owned;
    }
    return owned;
}

// Committed private memory of the process, walked with VirtualQueryEx: its
// heaps (the C runtime's among them), stacks and private data. The C runtime
// heap alone cannot be told apart from outside.
long long CommittedPrivateKb(HANDLE process) {
    long long bytes = 0;
    MEMORY_BASIC_INFORMATION region{};
    for (const char* address = nullptr; VirtualQueryEx(process, address, &region, sizeof(region)) == sizeof(region);
         address = static_cast<const char*>(region.BaseAddress) + region.RegionSize) {
        if (region.State == MEM_COMMIT && region.Type == MEM_PRIVATE)
            bytes += static_cast<long long>(region.RegionSize);
    }
    return bytes / 1024;
}

struct Sample {
    long refresh;
    double seconds;
    double refreshMs;  // mean time of the refreshes since the sample before
    long long figures[kFigureCount];
};

Sample TakeSample(const Program& program, long refresh, double seconds, double refreshMs) {
    Sample sample{refresh, seconds, refreshMs, {}};
    long long* figures = sample.figures;
    CountGdiObjects(program.process.handle(), figures);
    CountWindows(program.process.pid(), figures);
    figures[kHandles] = KernelHandles(program.process.handle(), program.process.pid());
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof(memory);
    const bool known = GetProcessMemoryInfo(program.process.handle(),
                                            reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof(memory));
    figures[kPrivateKb] = known ? static_cast<long long>(memory.PrivateUsage / 1024) : -1;
    figures[kWorkingSetKb] = known ? static_cast<long long>(memory.WorkingSetSize / 1024) : -1;
    figures[kCommittedKb] = CommittedPrivateKb(program.process.handle());
    return sample;
}

void PrintHeader() {
    std::printf("%-6s %7s %8s %7s", "sample", "refresh", "seconds", "ms/ref");
    for (const Series& series : kSeries)
        std::printf(" %*s", static_cast<int>(std::max<size_t>(5, strlen(series.name))), series.name);
    std::printf("\n");
}

void PrintSample(const char* label, const Sample& sample) {
    std::printf("%-6s %7ld %8.1f %7.1f", label, sample.refresh, sample.seconds, sample.refreshMs);
    for (int k = 0; k < kFigureCount; ++k) {
        std::printf(" %*lld", static_cast<int>(std::max<size_t>(5, strlen(kSeries[k].name))), sample.figures[k]);
    }
    std::printf("\n");
    std::fflush(stdout);
}

// Prints first, warm-up, last and largest value of each series; the number
// of series that grow past their allowance after the warm-up sample.
int JudgeSeries(const std::vector<Sample>& samples, size_t warm) {
    int growing = 0;
    for (int k = 0; k < kFigureCount; ++k) {
        long long largest = samples.front().figures[k], largestAfterWarmUp = samples[warm].figures[k];
        for (size_t i = 0; i < samples.size(); ++i) {
            largest = std::max(largest, samples[i].figures[k]);
            if (i >= warm) largestAfterWarmUp = std::max(largestAfterWarmUp, samples[i].figures[k]);
        }
        const long long warmValue = samples[warm].figures[k], allowance = kSeries[k].allowance;
        std::printf("  %-12s first %8lld  warm %8lld  last %8lld  max %8lld  ", kSeries[k].name,
                    samples.front().figures[k], warmValue, samples.back().figures[k], largest);
        if (allowance < 0 || warmValue < 0) {
            std::printf("(not judged)\n");
        } else if (largestAfterWarmUp > warmValue + allowance) {
            std::printf("GROWS past warm + %lld\n", allowance);
            ++growing;
        } else {
            std::printf("within warm + %lld\n", allowance);
        }
    }
    return growing;
}

// ---- Soak ---------------------------------------------------------------------

struct Dialog {
    UINT command;
    const wchar_t* caption;
    int closeButton;
};
const Dialog kDialogs[] = {
    {ID_TRAY_SYSINFO, L"系统信息 ", IDCANCEL},
    {ID_TRAY_BLOCKLIST, kEditorCaption, IDCANCEL},
    {ID_TRAY_ABOUT, L"关于 tarvemonix", IDOK},
};

int RunSoak(const std::wstring& exe, const std::wstring& folder, const std::wstring& sleeper, long refreshes) {
    const DWORD kWaitMs = 60000;
    const std::wstring helperFolder = folder + L"\\helpers";
    CreateDirectoryW(helperFolder.c_str(), nullptr);

    // 30 helpers live through the run; 20 come one after another: the even
    // ones are ended by the driver later, the odd ones match the block list
    // (in other letter case) and the program must end them at the next refresh.
    std::vector<Helper> steady(30), passing(20);
    std::string blockFile;
    for (size_t i = 0; i < steady.size(); ++i) steady[i].name = "soakkeep" + std::to_string(i) + ".exe";
    for (size_t i = 0; i < passing.size(); ++i) {
        const bool blocked = i % 2 == 1;
        passing[i].name = (blocked ? "SoakBad" : "soakpass") + std::to_string(i) + ".exe";
        if (blocked) blockFile += "soakbad" + std::to_string(i) + ".exe\r\n";
    }
    blockFile += "nosuchprocess.exe\r\nEOF";
    if (!WriteBytes(folder + L"\\proc.dat", blockFile)) {
        std::printf("FAIL: cannot write proc.dat\n");
        return 1;
    }
    for (Helper& helper : steady) {
        if (!StartHelper(helper, sleeper, helperFolder)) {
            std::printf("FAIL: cannot start %s\n", helper.name.c_str());
            return 1;
        }
    }
    const long slot = std::max(1L, refreshes / static_cast<long>(passing.size()));
    auto startsAt = [slot](size_t i) { return static_cast<long>(i) * slot + slot / 4 + 1; };

    Program program;
    const double listSeconds = program.StartAndWaitForList(exe, folder, kWaitMs);
    if (listSeconds < 0) {
        std::printf("FAIL: the program showed no list within %lu ms\n", kWaitMs);
        return 1;
    }
    std::printf("list shown after %.2f s; %ld refreshes, the three dialogs opened and closed every 100\n", listSeconds,
                refreshes);
    PrintHeader();
    const Clock::time_point start = Clock::now();
    std::vector<Sample> samples{TakeSample(program, 0, 0, 0)};
    PrintSample("start", samples.back());
    // The warm-up: 50 refreshes and the first round of dialogs, held open.
    const long warmUp = std::min(50L, refreshes);
    int faults = 0, blockedEnded = 0, dialogRounds = 0;
    double refreshSeconds = 0;
    long refreshesTimed = 0;
    auto fault = [&faults](const std::string& text) {
        std::printf("FAULT: %s\n", text.c_str());
        std::fflush(stdout);
        ++faults;
    };

    for (long refresh = 1; refresh <= refreshes && faults == 0; ++refresh) {
        for (size_t i = 0; i < passing.size(); ++i) {
            if (refresh == startsAt(i) && !StartHelper(passing[i], sleeper, helperFolder)) {
                fault("cannot start " + passing[i].name + " (error " + std::to_string(GetLastError()) + ")");
            }
            if (i % 2 == 0 && refresh == startsAt(i) + slot / 2) passing[i].process.End();
        }
        const Clock::time_point refreshStart = Clock::now();
        if (!program.Run(IDC_REFRESH, kWaitMs)) {
            fault("refresh " + std::to_string(refresh) + " did not finish");
            break;
        }
        refreshSeconds += SecondsSince(refreshStart);
        ++refreshesTimed;
        for (size_t i = 1; i < passing.size(); i += 2) {
            if (refresh != startsAt(i)) continue;
            if (passing[i].process.WaitForExit(5000)) {
                ++blockedEnded;
            } else {
                fault(passing[i].name + " is on the block list but still runs");
            }
        }
        if (refresh % 100 == 50 || refresh == warmUp) {
            for (const Dialog& dialog : kDialogs) {
                const HWND window = program.OpenDialog(dialog.command, dialog.caption, kWaitMs);
                // In the warm-up round each dialog stays open long enough for
                // the system information's first tick (every 2 s), whose
                // drawing makes a few GDI objects once.
                if (window && refresh == warmUp) Sleep(2500);
                if (!window || !program.CloseDialog(window, dialog.closeButton, kWaitMs)) {
                    fault("dialog " + std::to_string(dialog.command) + " did not open and close");
                }
            }
            ++dialogRounds;
        }
        const bool atWarmUp = refresh == warmUp, periodic = refresh % 500 == 0 || refresh == refreshes;
        if (!atWarmUp && !periodic) continue;
        samples.push_back(TakeSample(program, refresh, SecondsSince(start), 1000 * refreshSeconds / refreshesTimed));
        refreshSeconds = 0;
        refreshesTimed = 0;
        PrintSample(atWarmUp ? "warm" : "", samples.back());
        for (const Helper& helper : steady) {
            if (!helper.process.Running()) fault(helper.name + " matches no entry but was ended");
        }
    }
    const double elapsed = SecondsSince(start);
    if (!program.Exit()) fault("the program did not end through its exit command");
    std::printf("summary: %zu samples, %.1f s for %ld refreshes, %d dialog rounds, %d blocked helpers ended\n",
                samples.size(), elapsed, refreshes, dialogRounds, blockedEnded);
    faults += JudgeSeries(samples, samples.size() > 1 ? 1 : 0);
    std::printf("%s\n", faults == 0 ? "PASS" : "FAIL");
    return faults == 0 ? 0 : 1;
}

// ---- Hostile files --------------------------------------------------------------

std::string Repeated(const std::string& piece, size_t size) {
    std::string bytes;
    bytes.reserve(size + piece.size());
    while (bytes.size() < size) bytes += piece;
    return bytes;
}

std::string NumberedLines(const char* prefix, const char* suffix, int count) {
    std::string bytes;
    for (int i = 0; i < count; ++i) bytes += prefix + std::to_string(i) + suffix + "\r\n";
    return bytes;
}

// The files of one case; false for an unknown case. Names in them match
// no running process, so the program has nothing to end.
bool CaseFiles(const std::string& name, const std::string& shippedReference, std::string& blockFile,
               std::string& referenceFile) {
    constexpr size_t kMegabyte = 1 << 20;
    blockFile = "hostilea.exe\r\nhostileb.exe\r\nEOF";
    referenceFile = shippedReference;
    if (name == "plain") {
        // the shipped reference file and a short block list
    } else if (name == "procdat-1mb-line") {
        blockFile = Repeated("abcdefghijklmnopqrstuvwxyz", kMegabyte).substr(0, kMegabyte);
    } else if (name == "procdat-100k-names") {
        blockFile = NumberedLines("hz", ".exe", 100000) + "EOF";
    } else if (name == "procdat-random") {
        // No printable ASCII byte, so no line can name a running process;
        // NULs and lone CRs and LFs come among the others.
        std::mt19937 random(2024);
        blockFile.resize(kMegabyte);
        for (char& byte : blockFile) {
            const unsigned value = random() % 256;
            byte = static_cast<char>(value >= 0x20 && value < 0x7F ? value | 0x80 : value);
        }
    } else if (name == "procdat-no-marker") {
        blockFile = NumberedLines("nm", ".exe", 1000) + "nm1000.exe";
    } else if (name == "procdat-empty") {
        blockFile.clear();
    } else if (name == "refinfo-10mb-no-eof") {
        const std::string lines = shippedReference.substr(0, shippedReference.find("[EOF]"));
        referenceFile = Repeated(lines, 10 * kMegabyte);
    } else if (name == "refinfo-100k-lines") {
        referenceFile = NumberedLines("ref", " short", 100000) + "[EOF]\r\n";
    } else if (name == "refinfo-long-lines") {
        // 10,000 bytes of double-byte characters per line ("长行").
        referenceFile = Repeated(Repeated("\xB3\xA4\xD0\xD0", 10000) + "\r\n", 1000 * 10002) + "[EOF]\r\n";
    } else {
        return false;
    }
    return true;
}

bool EntryMatches(const std::vector<std::string>& entries, const std::string& processName) {
    auto folded = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    for (const std::string& entry : entries) {
        auto at = std::search(processName.begin(), processName.end(), entry.begin(), entry.end(),
                              [&](char a, char b) { return folded(a) == folded(b); });
        if (at != processName.end()) return true;
    }
    return false;
}

int RunHostileCase(const std::wstring& exe, const std::wstring& folder, const std::wstring& sleeper,
                   const std::string& caseName, DWORD boundMs) {
    const DWORD kStuckMs = 120000;
    std::string blockFile, referenceFile;
    if (!CaseFiles(caseName, ReadBytes(folder + L"\\processinfo.dat"), blockFile, referenceFile)) {
        std::printf("unknown case %s\n", caseName.c_str());
        return 2;
    }
    const std::wstring blockPath = folder + L"\\proc.dat";
    if (!WriteBytes(blockPath, blockFile) || !WriteBytes(folder + L"\\processinfo.dat", referenceFile)) {
        std::printf("%s: cannot write the files\n", caseName.c_str());
        return 1;
    }
    std::vector<std::string> entries = ReadBlockNames(blockFile);
    const size_t nameCount = entries.size();
    entries.push_back("FLCSS.EXE");  // the program's built-in entry

    const std::wstring helperFolder = folder + L"\\helpers";
    CreateDirectoryW(helperFolder.c_str(), nullptr);
    std::vector<Helper> sentinels(3);
    for (size_t i = 0; i < sentinels.size(); ++i) {
        sentinels[i].name = "tvxsentinel" + std::to_string(i) + ".exe";
        if (!StartHelper(sentinels[i], sleeper, helperFolder)) {
            std::printf("%s: cannot start %s\n", caseName.c_str(), sentinels[i].name.c_str());
            return 1;
        }
    }
    // Every process now running whose name no entry matches must outlive the
    // case; this driver and the sentinels among them, or the case says nothing.
    std::vector<DWORD> unmatched;
    for (const auto& process : RunningProcesses()) {
        if (!EntryMatches(entries, process.second)) unmatched.push_back(process.first);
    }
    for (DWORD pid : {GetCurrentProcessId(), sentinels[0].process.pid()}) {
        if (std::find(unmatched.begin(), unmatched.end(), pid) == unmatched.end()) {
            std::printf("%s: an entry matches the driver or a sentinel\n", caseName.c_str());
            return 1;
        }
    }

    std::vector<std::string> faults;
    Program program;
    const double listSeconds = program.StartAndWaitForList(exe, folder, kStuckMs);
    double refreshSeconds = -1, editorSeconds = -1;
    long rows = -1;
    if (listSeconds < 0) {
        faults.push_back("no list within " + std::to_string(kStuckMs / 1000) + " s");
    } else {
        Clock::time_point start = Clock::now();
        if (program.Run(IDC_REFRESH, kStuckMs)) refreshSeconds = SecondsSince(start);
        start = Clock::now();
        const HWND editor = program.OpenDialog(ID_TRAY_BLOCKLIST, kEditorCaption, kStuckMs);
        DWORD_PTR count = 0;
        if (editor && SendMessageTimeoutW(GetDlgItem(editor, IDC_NAMELIST), LVM_GETITEMCOUNT, 0, 0, SMTO_NORMAL,
                                          kStuckMs, &count)) {
            editorSeconds = SecondsSince(start);
            rows = static_cast<long>(count);
        }
        if (!editor || !program.CloseDialog(editor, IDCANCEL, kStuckMs))
            faults.push_back("editor did not open and close");
    }
    if (listSeconds * 1000 > boundMs) faults.push_back("list slower than the bound");
    if (editorSeconds * 1000 > boundMs) faults.push_back("editor slower than the bound");
    if (rows >= 0 && static_cast<size_t>(rows) != nameCount) faults.push_back("editor rows differ from the names");

    std::vector<DWORD> alive;
    for (const auto& process : RunningProcesses()) alive.push_back(process.first);
    size_t survivors = 0;
    for (DWORD pid : unmatched) survivors += std::count(alive.begin(), alive.end(), pid) > 0 ? 1 : 0;
    if (survivors != unmatched.size()) faults.push_back("a process no entry matches was ended");
    if (!program.Exit()) faults.push_back("no clean exit");
    if (ReadBytes(blockPath) != blockFile) faults.push_back("proc.dat changed");

    std::printf(
        "%-20s names %6zu  list %6.2f s  refresh %6.2f s  editor %6.2f s (%ld rows)  unmatched alive %zu/%zu"
        "  proc.dat %s  %s\n",
        caseName.c_str(), nameCount, listSeconds, refreshSeconds, editorSeconds, rows, survivors, unmatched.size(),
        ReadBytes(blockPath) == blockFile ? "unchanged" : "CHANGED", faults.empty() ? "PASS" : "FAIL");
    for (const std::string& fault : faults) std::printf("  FAULT: %s\n", fault.c_str());
    return faults.empty() ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring mode = argc > 1 ? argv[1] : L"";
    if (mode == L"soak" && argc == 6) return RunSoak(argv[2], argv[3], argv[4], std::wcstol(argv[5], nullptr, 10));
    if (mode == L"hostile" && argc == 7) {
        return RunHostileCase(argv[2], argv[3], argv[4], Narrow(argv[5]),
                              static_cast<DWORD>(std::wcstoul(argv[6], nullptr, 10)));
    }
    std::printf(
        "usage: tvx_soak_driver soak <program.exe> <folder> <sleeper.exe> <refreshes>\n"
        "       tvx_soak_driver hostile <program.exe> <folder> <sleeper.exe> <case> <bound ms>\n");
    return 2;
}
