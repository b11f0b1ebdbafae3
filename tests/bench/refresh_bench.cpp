// Speed of the main window under the real platform: the refresh against a
// floor (a bare process walk plus the fill of a plain, hidden report list with
// the same texts), the sort of a large list, start-up to the first filled
// list, and the block-list editor's fill and the export at two sizes each.
// Prints one line per figure, "name value unit", each the median of several
// runs.
//
// refresh_bench.exe [extra-processes...]   e.g. refresh_bench.exe 0 100 300
#include <windows.h>
#include <commctrl.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ProcessListDlg.h"
#include "blocklist/BlockListDlg.h"
#include "framework/Handle.h"
#include "framework/Text.h"
#include "process/ProcessSystem.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

constexpr int kRuns = 7;
constexpr int kLargeListRows = 2000;

double NowMs() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

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
    // The one-second block check finds nothing new here: a look, no refresh.
    const double check = MedianMs(kRuns, [&] { window.dialog.SendMessage(WM_TIMER, kBlockCheckTimer, 0); });
    PlainList plain;
    const double floor = MedianMs(kRuns, [&] {
        std::vector<Row> walked = WalkRows();
        plain.Fill(walked);
    });
    const std::string suffix = "_" + std::to_string(extraProcesses) + "_extra";
    Print("block_check" + suffix, check, "ms");
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

// Black-box: how long a program on the block list, started at a random
// moment while the real program runs, lives.
void BenchBlockedLifetime(int samples) {
    ScratchDirectory directory;
    WriteFileBytes(L"proc.dat", "tvxlifetime\r\nEOF");
    RunningProgram program(directory.path());
    if (!program.MainWindow(15000)) return;
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
    Print("blocked_program_lifetime_median", lives[lives.size() / 2], "ms");
    Print("blocked_program_lifetime_max", lives.back(), "ms");
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

}  // namespace

int main(int argc, char** argv) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    ScratchDirectory directory;  // no proc.dat: nothing is blocked
    std::vector<int> extras;
    for (int index = 1; index < argc; ++index) extras.push_back(std::atoi(argv[index]));
    if (extras.empty()) extras = {0};
    for (int extra : extras) BenchRefresh(extra);
    BenchLargeList();
    BenchEditorFill();
    BenchExport();
    BenchStartUp();
    BenchBlockedLifetime(15);
    return 0;
}
