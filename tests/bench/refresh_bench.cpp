// Speed of the main window under the real platform: the refresh against a
// floor (a bare process walk plus the fill of a plain, hidden report list with
// the same texts), the sort of a large list, start-up to the first filled
// list, and the block-list editor's fill and the export at two sizes each;
// the work of each second (one look at the processes, the block check and the
// figure columns) against a bare look, and the real program's own processor
// use while it waits hidden in the tray. Apart: the connections dialog's
// update against its floor (the table reads and a plain list fill), and the
// search for the processes that hold a file.
// Prints one line per figure, "name value unit", each the median of several
// runs.
//
// refresh_bench.exe [extra-processes...]   e.g. refresh_bench.exe 0 100 300
// refresh_bench.exe connections N          the dialog's update at about N connections
// refresh_bench.exe file_users N           the file search at N extra processes
// Before windows.h, which would bring the older socket header.
#include <winsock2.h>

#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "app/ProcessListDlg.h"
#include "blocklist/BlockListDlg.h"
#include "finder/FileUsers.h"
#include "finder/Win32FileUsersSystem.h"
#include "framework/Handle.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "network/ConnectionsDlg.h"
#include "network/Win32ConnectionSystem.h"
#include "process/ProcessSystem.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

constexpr int kRuns = 7;
constexpr int kLargeListRows = 2000;

double MedianMs(int runs, const std::function<void()>& work) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        const double start = NowMs();
        work();
        times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void Print(const std::string& name, double value, const char* unit) {
    std::printf("%s %.2f %s\n", name.c_str(), value, unit);
    std::fflush(stdout);
}

struct Row {
    std::wstring name;
    std::wstring word;
    std::wstring pid;
};

// The floor's walk: names and pids of a toolhelp snapshot.
std::vector<Row> WalkRows() {
    std::vector<Row> rows;
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        rows.push_back({entry.szExeFile, L" 应用程序进程", std::to_wstring(entry.th32ProcessID)});
    }
    return rows;
}

// The floor's fill: a plain hidden report list view with three texts a row.
class PlainList {
public:
    PlainList()
        : m_window(CreateWindowW(WC_LISTVIEWW, L"", WS_POPUP | LVS_REPORT, 0, 0, 400, 300, nullptr, nullptr, nullptr,
                                 nullptr)) {
        for (int column = 0; column < 3; ++column) {
            LVCOLUMNW info{};
            info.mask = LVCF_WIDTH;
            info.cx = 100;
            SendMessageW(m_window, LVM_INSERTCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&info));
        }
    }
    ~PlainList() { DestroyWindow(m_window); }
    PlainList(const PlainList&) = delete;
    PlainList& operator=(const PlainList&) = delete;

    void Fill(std::vector<Row>& rows) const {
        SendMessageW(m_window, LVM_DELETEALLITEMS, 0, 0);
        for (size_t index = 0; index < rows.size(); ++index) {
            LVITEMW item{};
            item.mask = LVIF_TEXT;
            item.iItem = static_cast<int>(index);
            item.pszText = &rows[index].name[0];
            const auto row =
                static_cast<WPARAM>(SendMessageW(m_window, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
            item.iSubItem = 1;
            item.pszText = &rows[index].word[0];
            SendMessageW(m_window, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
            item.iSubItem = 2;
            item.pszText = &rows[index].pid[0];
            SendMessageW(m_window, LVM_SETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
        }
    }

private:
    HWND m_window;
};

// One NtQuerySystemInformation(SystemProcessInformation) call into a buffer
// kept between calls: the floor of each second's look.
class BareProcessLook {
public:
    void Take() {
        using Query = LONG(WINAPI*)(ULONG, PVOID, ULONG, PULONG);
        static const auto query = FindSystemFunction<Query>(L"ntdll.dll", "NtQuerySystemInformation");
        constexpr LONG kInfoLengthMismatch = static_cast<LONG>(0xC0000004);
        ULONG needed = 0;
        while (query(5, m_buffer.data(), static_cast<ULONG>(m_buffer.size() * 8), &needed) == kInfoLengthMismatch) {
            m_buffer.resize(2 * m_buffer.size());
        }
    }

private:
    std::vector<uint64_t> m_buffer = std::vector<uint64_t>(8192);
};

// The rows a process walk gives, as the floor's fill takes them.
std::vector<Row> RowsOf(ProcessSystem& system) {
    std::vector<Row> rows;
    system.WalkProcesses([&](const ProcessRecord& record) {
        rows.push_back({WideFromText(record.name), L" 应用程序进程", std::to_wstring(record.pid)});
        return true;
    });
    return rows;
}

// The main window as the user sees it: visible, with scripted boxes and no
// tray icon.
class MainWindow {
public:
    explicit MainWindow(ProcessSystem* system = nullptr) {
        dialog.SetMessagePrompt(&prompt);
        dialog.SetShellOperations(&shell);
        if (system) dialog.SetProcessSystem(system);
        created = dialog.Create();
        ShowWindow(dialog.m_hWnd, SW_SHOW);
        PumpMessages(50);
    }
    ~MainWindow() { DestroyWindow(dialog.m_hWnd); }
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    void Refresh() { dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED), 0); }
    void ClickHeading(int column) { NotifyFromList(dialog.m_hWnd, dialog.m_list.m_hWnd, LVN_COLUMNCLICK, column); }

    ScriptedPrompt prompt;
    SilentShell shell;
    CProcessListDlg dialog;
    bool created = false;
};

// Paints what the refresh left to paint, so a deferred repaint is counted too.
void FinishPainting(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); }

void BenchRefresh(int extraProcesses) {
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int index = 0; index < extraProcesses; ++index) {
        helpers.push_back(std::make_unique<HelperProcess>("tvxbench" + std::to_string(index) + ".exe", 600));
    }
    Sleep(500);
    MainWindow window;
    const int rows = window.dialog.m_list.GetItemCount();
    // To the count text, as the user sees the refresh end; then with the
    // repaint of the window that follows it.
    const double refresh = MedianMs(kRuns, [&] {
        window.Refresh();
        FinishPainting(window.dialog.m_hWnd);
    });
    const double unpainted = MedianMs(kRuns, [&] { window.Refresh(); });
    FinishPainting(window.dialog.m_hWnd);
    // Each second's work finds nothing new here: a look, no refresh. With the
    // window hidden the list is not touched, and most seconds a probe stands
    // in for the look: the mean of many seconds, and the dearest, a look.
    auto second = [&] { window.dialog.SendMessage(WM_TIMER, kBlockCheckTimer, 0); };
    const double check = MedianMs(kRuns, second);
    window.dialog.ShowWindow(SW_HIDE);
    std::vector<double> hiddenSeconds;
    for (int tick = 0; tick < 4 * kLongestHiddenSecondsWithoutLook; ++tick) {
        const double start = NowMs();
        second();
        hiddenSeconds.push_back(NowMs() - start);
    }
    const double hidden = std::accumulate(hiddenSeconds.begin(), hiddenSeconds.end(), 0.0) / hiddenSeconds.size();
    const double hiddenLook = *std::max_element(hiddenSeconds.begin(), hiddenSeconds.end());
    window.dialog.ShowWindow(SW_SHOW);
    BareProcessLook bare;
    const double look = MedianMs(kRuns, [&] { bare.Take(); });
    PlainList plain;
    const double floor = MedianMs(kRuns, [&] {
        std::vector<Row> walked = WalkRows();
        plain.Fill(walked);
    });
    const std::string suffix = "_" + std::to_string(extraProcesses) + "_extra";
    Print("second_shown" + suffix, check, "ms");
    Print("second_hidden_mean" + suffix, hidden, "ms");
    Print("second_hidden_with_look" + suffix, hiddenLook, "ms");
    Print("bare_look" + suffix, look, "ms");
    Print("second_hidden_mean_ratio" + suffix, hidden / look, "x");
    Print("second_hidden_with_look_ratio" + suffix, hiddenLook / look, "x");
    Print("refresh" + suffix, unpainted, "ms");
    Print("refresh_painted" + suffix, refresh, "ms");
    Print("refresh_floor" + suffix, floor, "ms");
    Print("refresh_ratio" + suffix, unpainted / floor, "x");
    Print("refresh_rows" + suffix, rows, "rows");
}

void BenchLargeList() {
    CountedSystem system(kLargeListRows);
    MainWindow window(&system);
    const double refresh = MedianMs(kRuns, [&] { window.Refresh(); });
    const double painted = MedianMs(kRuns, [&] {
        window.Refresh();
        FinishPainting(window.dialog.m_hWnd);
    });
    PlainList plain;
    std::vector<Row> rows = RowsOf(system);
    const double floor = MedianMs(kRuns, [&] { plain.Fill(rows); });
    Print("refresh_2000_rows", refresh, "ms");
    Print("refresh_painted_2000_rows", painted, "ms");
    Print("refresh_floor_2000_rows", floor, "ms");
    Print("refresh_ratio_2000_rows", refresh / floor, "x");
    for (int column = 0; column < 3; ++column) {
        const double sort = MedianMs(kRuns, [&] {
            window.ClickHeading(column);
            FinishPainting(window.dialog.m_hWnd);
        });
        Print("sort_2000_rows_column_" + std::to_string(column), sort, "ms");
    }
}

// Each second's update of the figure columns with 300 rows shown, every
// figure changed: in the list's order, and sorted by CPU so that every
// second orders the rows again.
void BenchColumnUpdate() {
    CountedSystem system(300);
    MainWindow window(&system);
    int second = 0;
    auto update = [&] {
        ++second;
        for (int index = 0; index < system.count; ++index) {
            const auto pid = static_cast<uint32_t>(8 + 4 * index);
            system.workingSet[pid] += 4096 * static_cast<uint64_t>(index + 1);
            system.cpuTime[pid] += static_cast<uint64_t>((index * 31 + second * 17) % 101) * 100000;
        }
        window.dialog.SendMessage(WM_TIMER, kBlockCheckTimer, 0);
    };
    Print("column_update_300_rows", MedianMs(kRuns, update), "ms");
    window.ClickHeading(kCpuColumn);
    Print("column_update_300_rows_sorted_by_cpu", MedianMs(kRuns, update), "ms");
}

// Minimised as a user would; a click during the opening animation can be
// lost, so until the window is gone.
bool HideInTray(HWND window) {
    for (int attempt = 0; attempt < 20 && IsWindowVisible(window); ++attempt) {
        PostMessageW(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
        Sleep(500);
    }
    return !IsWindowVisible(window);
}

// Black-box: the real program's own processor time while it waits hidden in
// the tray (its refreshes included), as a share of one processor, read from the system's process list
// (under Wine GetProcessTimes on another process gives the caller's own).
void BenchHiddenProcessorUse(int extraProcesses, int seconds) {
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int index = 0; index < extraProcesses; ++index) {
        helpers.push_back(std::make_unique<HelperProcess>("tvxidle" + std::to_string(index) + ".exe", 600));
    }
    ScratchDirectory directory;
    RunningProgram program(directory.path());
    const HWND window = program.MainWindow(15000);
    if (!window) return;
    if (!HideInTray(window)) return;
    // Past the one advertisement page, 60 s after start: the program as it
    // waits nearly all the time.
    Sleep(65000);
    Win32ProcessSystem system;
    auto processorTime = [&] {
        ProcessSample sample;
        system.SampleProcesses(sample);
        for (const SampledProcess& process : sample.processes) {
            if (process.pid == program.pid()) return static_cast<double>(process.cpuTime);
        }
        return 0.0;
    };
    const double before = processorTime();
    const double start = NowMs();
    Sleep(static_cast<DWORD>(seconds) * 1000);
    const double used = processorTime() - before;
    const double elapsed = NowMs() - start;
    Print("hidden_processor_use_" + std::to_string(extraProcesses) + "_extra", 100.0 * used / (elapsed * 10000.0), "%");
}

// Black-box: how long a program on the block list, started at a random
// moment while the real program runs, lives.
void BenchBlockedLifetime(int samples, bool hidden) {
    ScratchDirectory directory;
    WriteFileBytes(L"proc.dat", "tvxlifetime\r\nEOF");
    RunningProgram program(directory.path());
    const HWND window = program.MainWindow(15000);
    if (!window || (hidden && !HideInTray(window))) return;
    Sleep(2000);
    std::vector<double> lives;
    unsigned seed = 12345;
    for (int sample = 0; sample < samples; ++sample) {
        seed = seed * 1103515245 + 12345;
        Sleep((seed >> 16) % 1000);
        HelperProcess blocked("tvxlifetime.exe", 60);
        const double start = NowMs();
        if (!blocked.WaitForExit(30000)) continue;
        lives.push_back(NowMs() - start);
    }
    if (lives.empty()) return;
    std::sort(lives.begin(), lives.end());
    const std::string name = hidden ? "blocked_program_lifetime_hidden" : "blocked_program_lifetime";
    Print(name + "_median", lives[lives.size() / 2], "ms");
    Print(name + "_max", lives.back(), "ms");
}

// The block-list editor's fill and the export of the list, each at two sizes
// ten times apart: the larger should take about ten times as long.
void BenchEditorFill() {
    for (int names : {1000, 10000}) {
        ScratchDirectory folder;
        std::string bytes;
        for (int index = 0; index < names; ++index) bytes += "tvxname" + std::to_string(index) + "\r\n";
        WriteFileBytes(L"proc.dat", bytes + "EOF");
        ScriptedPrompt prompt;
        CBlockListDlg editor(nullptr, folder.path());
        editor.SetMessagePrompt(&prompt);
        if (!editor.Create()) return;
        ShowWindow(editor.m_hWnd, SW_SHOW);
        PumpMessages(50);
        const double fill = MedianMs(kRuns, [&] {
            editor.LoadEntries();
            FinishPainting(editor.m_hWnd);
        });
        DestroyWindow(editor.m_hWnd);
        Print("editor_fill_" + std::to_string(names) + "_names", fill, "ms");
    }
}

void BenchExport() {
    for (int rows : {200, kLargeListRows}) {
        CountedSystem system(rows);
        MainWindow window(&system);
        const double written = MedianMs(kRuns, [&] { window.dialog.ExportTo(L"tvxbench_export.txt"); });
        Print("export_" + std::to_string(rows) + "_rows", written, "ms");
    }
}

void BenchStartUp() {
    const double startUp = MedianMs(3, [] { MainWindow window; });
    Print("start_up_to_filled_list", startUp, "ms");
}

// The refresh in tree order at extraProcesses helpers against the same floor
// as the refresh, and the tooltip's read of a row's program file and command
// line (on a helper's row, as a user's mouse would rest there).
void BenchTreeOrder(int extraProcesses) {
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int index = 0; index < extraProcesses; ++index) {
        helpers.push_back(std::make_unique<HelperProcess>("tvxtree" + std::to_string(index) + ".exe", 600));
    }
    Sleep(500);
    MainWindow window;
    const double listed = MedianMs(kRuns, [&] { window.Refresh(); });
    window.dialog.SendMessage(WM_COMMAND, MAKEWPARAM(ID_MENU_TREEORDER, 0), 0);
    const double tree = MedianMs(kRuns, [&] { window.Refresh(); });
    PlainList plain;
    const double floor = MedianMs(kRuns, [&] {
        std::vector<Row> walked = WalkRows();
        plain.Fill(walked);
    });
    std::vector<wchar_t> tip(INFOTIPSIZE, L'\0');
    NMLVGETINFOTIPW request{};
    request.hdr = {window.dialog.m_list.m_hWnd, IDC_PROCESSLIST, static_cast<UINT>(LVN_GETINFOTIPW)};
    request.pszText = tip.data();
    request.cchTextMax = static_cast<int>(tip.size());
    request.iItem = helpers.empty() ? 0 : FindRowOfPid(window.dialog.m_list, helpers.back()->pid());
    const double tooltip = MedianMs(
        kRuns, [&] { window.dialog.SendMessage(WM_NOTIFY, IDC_PROCESSLIST, reinterpret_cast<LPARAM>(&request)); });
    const std::string suffix = "_" + std::to_string(extraProcesses) + "_extra";
    Print("refresh_listed" + suffix, listed, "ms");
    Print("refresh_tree_order" + suffix, tree, "ms");
    Print("refresh_tree_floor" + suffix, floor, "ms");
    Print("refresh_tree_order_ratio" + suffix, tree / floor, "x");
    Print("tooltip_read" + suffix, tooltip, "ms");
}

// Loopback TCP connections of this process, both ends each, closed with
// the object: a listener and the pairs it accepted.
class LoopbackConnections {
public:
    explicit LoopbackConnections(int pairs) {
        WSADATA winsock{};
        m_started = WSAStartup(MAKEWORD(2, 2), &winsock) == 0;
        if (!m_started) return;
        const SOCKET listener = Keep(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        int length = sizeof(address);
        if (bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            listen(listener, SOMAXCONN) != 0 ||
            getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return;
        }
        for (int pair = 0; pair < pairs; ++pair) {
            const SOCKET client = Keep(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
            if (connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) return;
            Keep(accept(listener, nullptr, nullptr));
        }
    }
    ~LoopbackConnections() {
        for (const SOCKET kept : m_sockets) closesocket(kept);
        if (m_started) WSACleanup();
    }
    LoopbackConnections(const LoopbackConnections&) = delete;
    LoopbackConnections& operator=(const LoopbackConnections&) = delete;

private:
    SOCKET Keep(SOCKET kept) {
        if (kept != INVALID_SOCKET) m_sockets.push_back(kept);
        return kept;
    }
    bool m_started = false;
    std::vector<SOCKET> m_sockets;
};

// The connections dialog's update (every two seconds while it is open) at
// about the given number of connections, nothing changed since the last;
// its floor: the table reads and a plain list's fill with their texts.
void BenchConnections(int connections) {
    const LoopbackConnections open(connections / 2);
    Win32ProcessSystem processes;
    CConnectionsDlg dialog(processes);
    if (!dialog.Create()) return;
    ShowWindow(dialog.m_hWnd, SW_SHOW);
    PumpMessages(50);
    const double update = MedianMs(kRuns, [&] { dialog.Update(); });
    const int rows = dialog.m_list.GetItemCount();
    Win32ConnectionSystem tables;
    PlainList plain;
    const double floor = MedianMs(kRuns, [&] {
        std::vector<ConnectionRow> read;
        tables.ReadConnections(read);
        std::vector<Row> texts;
        texts.reserve(read.size());
        for (const ConnectionRow& row : read) {
            texts.push_back({WideFromText(EndpointText(row.local, IsIpv6(row.protocol))), WideFromText(RemoteText(row)),
                             std::to_wstring(row.pid)});
        }
        plain.Fill(texts);
    });
    DestroyWindow(dialog.m_hWnd);
    Print("connections_update", update, "ms");
    Print("connections_update_floor", floor, "ms");
    Print("connections_update_ratio", update / floor, "x");
    Print("connections_update_rows", rows, "rows");
}

// The search for the processes that hold a file among extraProcesses
// helpers: one helper's program file (one row), a file nobody holds (every
// process read, none found) and kernel32.dll (every process a row).
void BenchFileUsers(int extraProcesses) {
    std::vector<std::unique_ptr<HelperProcess>> helpers;
    for (int index = 0; index < extraProcesses; ++index) {
        helpers.push_back(std::make_unique<HelperProcess>("tvxfind" + std::to_string(index) + ".exe", 600));
    }
    Sleep(500);
    Win32ProcessSystem processes;
    Win32FileUsersSystem files;
    const std::wstring program = helpers.empty() ? BuiltProgramPath() : helpers.back()->path();
    size_t found = 0;
    const double forProgram =
        MedianMs(kRuns, [&] { found = SearchFileUsers(program, processes, files).found.users.size(); });
    const double forNothing = MedianMs(kRuns, [&] { SearchFileUsers(program + L"x", processes, files); });
    const std::wstring system = SystemFolderPath(GetSystemDirectoryW) + L"\\kernel32.dll";
    size_t loaders = 0;
    const double forLibrary =
        MedianMs(kRuns, [&] { loaders = SearchFileUsers(system, processes, files).found.users.size(); });
    const std::string suffix = "_" + std::to_string(extraProcesses) + "_extra";
    Print("file_search_program" + suffix, forProgram, "ms");
    Print("file_search_program_rows" + suffix, static_cast<double>(found), "rows");
    Print("file_search_nothing" + suffix, forNothing, "ms");
    Print("file_search_kernel32" + suffix, forLibrary, "ms");
    Print("file_search_kernel32_rows" + suffix, static_cast<double>(loaders), "rows");
}

}  // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ScratchDirectory directory;  // no proc.dat: nothing is blocked
    // "tree N": the tree order and the tooltip alone, at N extra processes.
    if (argc == 3 && std::string(argv[1]) == "tree") {
        BenchTreeOrder(std::atoi(argv[2]));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "connections") {
        BenchConnections(std::atoi(argv[2]));
        return 0;
    }
    if (argc == 3 && std::string(argv[1]) == "file_users") {
        BenchFileUsers(std::atoi(argv[2]));
        return 0;
    }
    std::vector<int> extras;
    for (int index = 1; index < argc; ++index) extras.push_back(std::atoi(argv[index]));
    if (extras.empty()) extras = {0};
    for (int extra : extras) BenchRefresh(extra);
    BenchColumnUpdate();
    BenchLargeList();
    BenchEditorFill();
    BenchExport();
    BenchStartUp();
    BenchBlockedLifetime(15, false);
    BenchBlockedLifetime(15, true);
    BenchHiddenProcessorUse(*std::max_element(extras.begin(), extras.end()), 60);
    return 0;
}
