#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "app/ProcessListDlg.h"
#include "framework/Text.h"
#include "process/Refresh.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

class MainWindowTest : public ::testing::Test {
protected:
    void Open() {
        dialog.SetMessagePrompt(&prompt);
        ASSERT_TRUE(dialog.Create()) << "error " << GetLastError();
    }
    void TearDown() override {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }

    int RowOf(uint32_t pid) const { return FindRowOfPid(dialog.m_list, pid); }
    void Notify(UINT code, int column = 0) const { NotifyFromList(dialog.m_hWnd, dialog.m_list.m_hWnd, code, column); }
    void Command(int id) const { SendMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    bool Enabled(int id) const { return IsWindowEnabled(dialog.GetDlgItem(id)) != FALSE; }
    std::vector<long> PidColumn() const {
        std::vector<long> pids;
        for (int row = 0; row < dialog.m_list.GetItemCount(); ++row) {
            pids.push_back(std::stol(dialog.m_list.GetItemText(row, 2)));
        }
        return pids;
    }
    void Tick() const { dialog.SendMessage(WM_TIMER, kBlockCheckTimer, 0); }
    void Select(int row) const {
        LVITEMW state{};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        dialog.m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
    }
    RECT SubItemRect(int row, int column) const {
        RECT rect{LVIR_BOUNDS, column, 0, 0};
        dialog.m_list.SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&rect));
        return rect;
    }
    std::wstring WideText(HWND window) const {
        wchar_t buffer[256] = {};
        GetWindowTextW(window, buffer, 256);
        return buffer;
    }

    ScriptedPrompt prompt;
    CProcessListDlg dialog;
};

const int kRowButtons[] = {IDC_TERMINATE, IDC_BLOCK, IDC_DETAILS, IDC_DELETEFILE};

bool HasVerticalScrollBar(HWND window) {
    SCROLLBARINFO bar{};
    bar.cbSize = sizeof(bar);
    return GetScrollBarInfo(window, OBJID_VSCROLL, &bar) && !(bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

}  // namespace

TEST_F(MainWindowTest, ColumnsTakeTenthsOfTheListWidth) {
    Open();
    const RECT rect = dialog.m_list.GetWindowRect();
    const int width = rect.right - rect.left;
    EXPECT_EQ(5, dialog.m_list.m_nColumnCount) << "CPU and 内存 follow";
    EXPECT_EQ(7 * width / 10, dialog.m_list.SendMessage(LVM_GETCOLUMNWIDTH, 0));
    EXPECT_EQ(3 * width / 10, dialog.m_list.SendMessage(LVM_GETCOLUMNWIDTH, 1));
    EXPECT_EQ(2 * width / 10, dialog.m_list.SendMessage(LVM_GETCOLUMNWIDTH, 2));
    EXPECT_EQ(3 * width / 20, dialog.m_list.SendMessage(LVM_GETCOLUMNWIDTH, kCpuColumn));
    EXPECT_EQ(5 * width / 20, dialog.m_list.SendMessage(LVM_GETCOLUMNWIDTH, kMemoryColumn));
}

// Each second's look changes the figures in place while the window is seen:
// the same rows, selection and scroll position, and only the changed cells
// wait to be drawn; hidden, the list is not touched. Sorted by a figure
// heading, largest first, each look orders the rows again, the selected
// process staying selected wherever its row goes.
TEST_F(MainWindowTest, FiguresChangeInPlaceAndReorderTheSortedList) {
    CountedSystem system(30);
    for (int index = 0; index < system.count; ++index) system.workingSet[8 + 4 * index] = (index + 1) << 20;
    constexpr uint32_t kPid = 60;
    dialog.SetProcessSystem(&system);
    Open();
    dialog.ShowWindow(SW_SHOW);
    const HWND list = dialog.m_list.m_hWnd;
    const int row = RowOf(kPid);
    ASSERT_NE(-1, row);
    Select(row);
    dialog.m_list.SendMessage(LVM_SCROLL, 1000, 0);  // the figure columns into view
    const LRESULT top = dialog.m_list.SendMessage(LVM_GETTOPINDEX);

    system.cpuTime[kPid] = 2500000;  // a quarter of the second
    system.workingSet[kPid] = 3 << 20;
    ValidateRect(list, nullptr);
    Tick();
    EXPECT_EQ("25", dialog.m_list.GetItemText(row, kCpuColumn));
    EXPECT_EQ("3,072 K", dialog.m_list.GetItemText(row, kMemoryColumn));
    EXPECT_EQ(row, dialog.m_list.GetFirstSelectedItem());
    EXPECT_EQ(top, dialog.m_list.SendMessage(LVM_GETTOPINDEX));
    RECT update{};
    GetUpdateRect(list, &update, FALSE);
    RECT cells = SubItemRect(row, kCpuColumn);
    const RECT memory = SubItemRect(row, kMemoryColumn);
    UnionRect(&cells, &cells, &memory);
    EXPECT_TRUE(EqualRect(&update, &cells)) << "only the two changed cells are drawn again";

    dialog.ShowWindow(SW_HIDE);
    system.workingSet[kPid] = 100 << 20;
    Tick();
    EXPECT_EQ("3,072 K", dialog.m_list.GetItemText(row, kMemoryColumn));

    dialog.ShowWindow(SW_SHOW);
    Notify(LVN_COLUMNCLICK, kMemoryColumn);
    EXPECT_EQ("30,720 K", dialog.m_list.GetItemText(0, kMemoryColumn));
    Tick();
    EXPECT_EQ("102,400 K", dialog.m_list.GetItemText(0, kMemoryColumn));
    EXPECT_EQ(0, dialog.m_list.GetFirstSelectedItem()) << "the selection went with its row";
}

// Hidden, the 20-second refresh leaves the list to the showing, unless its look
// finds a process the refresh would end; the showing fills it.
TEST_F(MainWindowTest, HiddenTheRefreshWaitsForTheShowingUnlessSomethingIsBlocked) {
    CountedSystem system(3);
    dialog.SetProcessSystem(&system);
    Open();
    dialog.ShowWindow(SW_HIDE);
    system.count = 4;
    dialog.SendMessage(WM_TIMER, kRefreshTimer, 0);
    EXPECT_EQ(3, dialog.m_list.GetItemCount()) << "nobody sees the list";
    dialog.ShowWindow(SW_SHOW);
    PumpMessages(100);
    EXPECT_EQ(4, dialog.m_list.GetItemCount()) << "filled as it is shown";
    dialog.ShowWindow(SW_HIDE);
    system.lastName = "flcss.exe";
    dialog.SendMessage(WM_TIMER, kRefreshTimer, 0);
    EXPECT_EQ(5, dialog.m_list.GetItemCount()) << "the blocked process is the refresh's to end";
}

// Seen, the 20-second refresh runs when the processes changed since the list
// was filled, not to put the same rows back (which would also take the
// buttons of the row the user clicked).
TEST_F(MainWindowTest, SeenTheRefreshRunsOnlyWhenTheProcessesChanged) {
    CountedSystem system(3);
    dialog.SetProcessSystem(&system);
    Open();
    dialog.ShowWindow(SW_SHOW);
    Select(1);
    Notify(NM_CLICK);
    ASSERT_TRUE(Enabled(IDC_DETAILS));
    const uint64_t looks = system.looks;
    dialog.SendMessage(WM_TIMER, kRefreshTimer, 0);
    EXPECT_EQ(looks + 1, system.looks) << "a look decides";
    EXPECT_TRUE(Enabled(IDC_DETAILS)) << "the same rows: no refresh";
    EXPECT_EQ(1, dialog.m_list.GetFirstSelectedItem());
    system.count = 4;
    dialog.SendMessage(WM_TIMER, kRefreshTimer, 0);
    EXPECT_EQ(4, dialog.m_list.GetItemCount()) << "a new process";
    EXPECT_FALSE(Enabled(IDC_DETAILS));
}

// Seen, the look the probe's notice brings gives the figures at once and
// stands in for the next second's look.
TEST_F(MainWindowTest, SeenTheProbesLookGivesTheFiguresInPlaceOfTheNextSeconds) {
    CountedSystem system(3);
    constexpr uint32_t kPid = 12;
    dialog.SetProcessSystem(&system);
    Open();
    dialog.ShowWindow(SW_SHOW);
    const int row = RowOf(kPid);
    ASSERT_NE(-1, row);
    Tick();
    const uint64_t looks = system.looks;
    system.workingSet[kPid] = 5 << 20;
    dialog.SendMessage(WM_PROCESSES_MAY_HAVE_CHANGED, 0, 0);
    EXPECT_EQ(looks + 1, system.looks);
    EXPECT_EQ("5,120 K", dialog.m_list.GetItemText(row, kMemoryColumn));
    Tick();
    EXPECT_EQ(looks + 1, system.looks) << "the probe's look stood in";
    Tick();
    EXPECT_EQ(looks + 2, system.looks);
}

// Hidden, the probe stands in for the look while the processes stay calm,
// but not for longer than a few seconds; in view, a look every second.
TEST_F(MainWindowTest, HiddenALookOnlyWhenTheProcessesMayHaveChanged) {
    CountedSystem system(3);
    system.listChanged = false;
    dialog.SetProcessSystem(&system);
    Open();
    dialog.ShowWindow(SW_HIDE);
    Tick();
    EXPECT_EQ(2u, system.looks) << "one look is no proof of calm";
    system.count = 4;
    system.listChanged = true;
    Tick();
    system.listChanged = false;
    Tick();
    EXPECT_EQ(4u, system.looks) << "a look that found a change is followed by another";
    for (int second = 1; second < kLongestHiddenSecondsWithoutLook; ++second) Tick();
    EXPECT_EQ(4u, system.looks) << "calm: the probe stands in";
    Tick();
    EXPECT_EQ(5u, system.looks) << "the longest wait";
    dialog.ShowWindow(SW_SHOW);
    Tick();
    EXPECT_EQ(6u, system.looks) << "in view";
}

TEST_F(MainWindowTest, OneClassifiedRowPerProcessAndTheCount) {
    HelperProcess application("tvxapp.exe");
    HelperProcess own("tarvemonix.exe");
    ASSERT_TRUE(application.started() && own.started());
    Open();

    const int appRow = RowOf(application.pid());
    ASSERT_NE(-1, appRow);
    EXPECT_EQ("tvxapp.exe", dialog.m_list.GetItemText(appRow, 0));
    EXPECT_EQ(" 应用程序进程", dialog.m_list.GetItemText(appRow, 1));
    const int ownRow = RowOf(own.pid());
    ASSERT_NE(-1, ownRow);
    EXPECT_EQ("瓦诺德", dialog.m_list.GetItemText(ownRow, 1));

    const std::vector<long> pids = PidColumn();
    EXPECT_EQ(pids.size(), std::set<long>(pids.begin(), pids.end()).size());
    EXPECT_EQ(CountText(dialog.m_list.GetItemCount()), dialog.m_szCountText);
    EXPECT_EQ(dialog.m_szCountText, dialog.GetDlgItemText(IDC_COUNTTEXT));
}

TEST_F(MainWindowTest, RefreshDrawsTheFilledListAndLeavesDrawingOn) {
    Open();
    dialog.ShowWindow(SW_SHOW);
    const HWND list = dialog.m_list.m_hWnd;
    ASSERT_TRUE(IsWindowVisible(list));
    ValidateRect(list, nullptr);
    Command(IDC_REFRESH);
    EXPECT_TRUE(WaitsToBeDrawn(list)) << "the new rows wait to be drawn";
    ValidateRect(list, nullptr);
    dialog.m_list.SetItemText(0, 1, "x");
    EXPECT_TRUE(WaitsToBeDrawn(list)) << "a changed row asks to be drawn";
}

// Drawing of the list comes back on while the list is unseen: it must be
// shown again, with scroll bars for the new row count, and wait to be drawn.
TEST_F(MainWindowTest, RefreshShowsTheListAgainWithScrollBarsForTheNewRows) {
    CountedSystem system(3);
    dialog.SetProcessSystem(&system);
    Open();
    dialog.ShowWindow(SW_SHOW);
    const HWND list = dialog.m_list.m_hWnd;
    EXPECT_FALSE(HasVerticalScrollBar(list)) << "3 rows";

    system.count = 200;
    ValidateRect(list, nullptr);
    Command(IDC_REFRESH);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_TRUE(HasVerticalScrollBar(list)) << "200 rows";
    EXPECT_TRUE(WaitsToBeDrawn(list));

    system.count = 3;
    Command(IDC_REFRESH);
    EXPECT_TRUE(IsWindowVisible(list));
    EXPECT_FALSE(HasVerticalScrollBar(list)) << "3 rows again";
    EXPECT_EQ(3, dialog.m_list.GetItemCount());
}

TEST_F(MainWindowTest, BlockedProcessIsTerminatedWithoutQuestionAtStart) {
    HelperProcess blocked("FlCsS.exe");
    ASSERT_TRUE(blocked.started());
    Open();
    EXPECT_TRUE(blocked.WaitForExit(5000));
    EXPECT_TRUE(prompt.shown.empty());
    const int row = RowOf(blocked.pid());
    ASSERT_NE(-1, row) << "the row stays until the next refresh";
    EXPECT_EQ(" 危险进程", dialog.m_list.GetItemText(row, 1));
}

// An entry that matches the program's own process (its own name, or a
// fragment such as "EXE") would end it at every start: the program survives
// start-up and refreshes, lists its row as the rules classify it, and leaves
// proc.dat as it was. (No "EXE" here: it would end Wine's own processes.)
TEST(MainWindowStart, OwnNameOnTheBlockListEndsNothingOfTheProgram) {
    ScratchDirectory directory;
    const std::string file = "main_window_test\r\ntvxother\r\nEOF";
    WriteFileBytes(L"proc.dat", file);
    HelperProcess other("tvxother.exe");
    ASSERT_TRUE(other.started());
    ScriptedPrompt prompt;
    CProcessListDlg dialog;
    dialog.SetMessagePrompt(&prompt);
    ASSERT_TRUE(dialog.Create());
    dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_REFRESH, BN_CLICKED), 0);
    const int ownRow = FindRowOfPid(dialog.m_list, GetCurrentProcessId());
    ASSERT_NE(-1, ownRow);
    EXPECT_EQ(" 危险进程", dialog.m_list.GetItemText(ownRow, 1));
    EXPECT_TRUE(other.WaitForExit(5000)) << "other matches are still ended";
    EXPECT_EQ(file, ReadFileBytes(L"proc.dat"));
    DestroyWindow(dialog.m_hWnd);
}

// The rows go in with the list's drawing suspended: during the block scan's
// question the list still shows the rows of before, and after the refresh
// it draws again (WM_SETREDRAW off would leave it hidden).
TEST_F(MainWindowTest, QuestionsComeOverTheOldRowsAndTheListDrawsAfterwards) {
    Open();
    ShowWindow(dialog.m_hWnd, SW_SHOW);
    const int rowsBefore = dialog.m_list.GetItemCount();
    ASSERT_GT(rowsBefore, 0);
    Command(IDC_PROMPTCHECK);
    HelperProcess asked("flcss.exe");
    ASSERT_TRUE(asked.started());
    int rowsDuringTheQuestion = -1;
    bool listVisibleDuringTheQuestion = false;
    prompt.answers = {kIdNo};
    prompt.whileShown = [&] {
        rowsDuringTheQuestion = dialog.m_list.GetItemCount();
        listVisibleDuringTheQuestion = IsWindowVisible(dialog.m_list.m_hWnd) != FALSE;
    };
    dialog.OnRefresh();
    EXPECT_EQ(rowsBefore, rowsDuringTheQuestion);
    EXPECT_TRUE(listVisibleDuringTheQuestion);
    EXPECT_EQ(rowsBefore + 1, dialog.m_list.GetItemCount());
    EXPECT_TRUE(IsWindowVisible(dialog.m_list.m_hWnd));
    EXPECT_FALSE(Enabled(IDC_TERMINATE)) << "no row notification of the fill enables it";
}

TEST_F(MainWindowTest, TickedBoxAsksAndReportsWithTheEntry) {
    Open();
    Command(IDC_PROMPTCHECK);
    EXPECT_EQ(1, dialog.m_bPromptDangerous);
    HelperProcess refused("flcss.exe");
    prompt.answers = {kIdNo};
    dialog.OnRefresh();
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("发现危险进程FLCSS.EXE,是否中止？", prompt.shown[0].text);
    EXPECT_TRUE(refused.IsRunning());

    prompt.answers = {kIdYes};
    dialog.OnRefresh();
    ASSERT_EQ(3u, prompt.shown.size());
    EXPECT_EQ("中止FLCSS.EXE成功", prompt.shown[2].text);
    EXPECT_TRUE(refused.WaitForExit(5000));

    Command(IDC_PROMPTCHECK);
    EXPECT_EQ(0, dialog.m_bPromptDangerous);
    EXPECT_EQ(0, dialog.m_nPromptCheck);
}

TEST_F(MainWindowTest, RefreshAskedForDuringAQuestionRunsAfterIt) {
    Open();
    Command(IDC_PROMPTCHECK);
    HelperProcess blocked("flcss.exe");
    int nested = 0;
    prompt.whileShown = [&] {
        if (nested++ == 0) dialog.OnRefresh();  // as timer 1 would, from the box's loop
    };
    prompt.answers = {kIdNo, kIdNo};
    dialog.OnRefresh();
    // The inner refresh waited: two questions one after the other, and the
    // list holds each process once.
    EXPECT_EQ(2u, prompt.shown.size());
    const std::vector<long> pids = PidColumn();
    EXPECT_EQ(pids.size(), std::set<long>(pids.begin(), pids.end()).size());
    EXPECT_NE(-1, RowOf(blocked.pid()));
}

TEST_F(MainWindowTest, RowButtonsFollowClicksAndRefreshes) {
    Open();
    for (int id : kRowButtons) EXPECT_FALSE(Enabled(id)) << id;
    EXPECT_TRUE(Enabled(IDC_REFRESH));
    EXPECT_TRUE(Enabled(IDC_SLIM));

    Notify(NM_CLICK);  // a click on empty space counts too
    for (int id : kRowButtons) EXPECT_TRUE(Enabled(id)) << id;

    Command(IDC_REFRESH);
    for (int id : kRowButtons) EXPECT_FALSE(Enabled(id)) << id;

    // Moving the selection (as the keyboard does) enables terminate only.
    Select(0);
    EXPECT_TRUE(Enabled(IDC_TERMINATE));
    EXPECT_FALSE(Enabled(IDC_BLOCK));
    EXPECT_FALSE(Enabled(IDC_DETAILS));
    EXPECT_FALSE(Enabled(IDC_DELETEFILE));
}

TEST_F(MainWindowTest, HeaderClicksSortAndRefreshKeepsTheOrder) {
    HelperProcess first("tvxsort1.exe");
    HelperProcess second("tvxsort2.exe");
    Open();
    ASSERT_GE(dialog.m_list.GetItemCount(), 2);

    Notify(LVN_COLUMNCLICK, 2);
    std::vector<long> pids = PidColumn();
    EXPECT_TRUE(std::is_sorted(pids.begin(), pids.end()));
    EXPECT_EQ(2, dialog.m_list.m_header.m_nSortColumn);
    EXPECT_TRUE(dialog.m_list.m_header.m_bAscending);

    Notify(LVN_COLUMNCLICK, 2);
    pids = PidColumn();
    EXPECT_TRUE(std::is_sorted(pids.rbegin(), pids.rend()));
    EXPECT_FALSE(dialog.m_list.m_bAscending);

    dialog.OnRefresh();
    pids = PidColumn();
    EXPECT_TRUE(std::is_sorted(pids.rbegin(), pids.rend()));

    // Another column starts ascending again.
    Notify(LVN_COLUMNCLICK, 0);
    EXPECT_EQ(0, dialog.m_list.m_nSortColumn);
    EXPECT_TRUE(dialog.m_list.m_bAscending);
}

TEST_F(MainWindowTest, EscapeAsksBeforeClosing) {
    Open();
    prompt.answers = {kIdNo};
    Command(IDCANCEL);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("   真的要退出吗？", prompt.shown[0].text);
    EXPECT_EQ("提示", prompt.shown[0].caption);
    EXPECT_EQ(kMbYesNo, prompt.shown[0].style);
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));

    prompt.answers = {kIdYes};
    Command(IDCANCEL);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
}

// Run a second time with an English locale: the texts must read the same.
TEST_F(MainWindowTest, TextsReadTheSameOnAnyCodePage) {
    HelperProcess application("tvxtext.exe");
    Open();
    EXPECT_EQ(RunsWithAdministratorRights() ? L"瓦诺德 V2.8（管理员）" : L"瓦诺德 V2.8", WideText(dialog.m_hWnd));
    EXPECT_EQ(L"刷新进程", WideText(dialog.GetDlgItem(IDC_REFRESH)));
    EXPECT_EQ(L"提示关闭危险进程", WideText(dialog.GetDlgItem(IDC_PROMPTCHECK)));
    const std::wstring count = WideText(dialog.GetDlgItem(IDC_COUNTTEXT));
    EXPECT_EQ(0u, count.find(L"共有")) << TextFromWide(count);

    wchar_t heading[64] = {};
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT;
    column.pszText = heading;
    column.cchTextMax = 64;
    ASSERT_TRUE(dialog.m_list.SendMessage(LVM_GETCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)));
    EXPECT_EQ(std::wstring(L"进程名"), heading);

    const int row = RowOf(application.pid());
    ASSERT_NE(-1, row);
    wchar_t word[64] = {};
    LVITEMW item{};
    item.iSubItem = 1;
    item.pszText = word;
    item.cchTextMax = 64;
    dialog.m_list.SendMessage(LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(std::wstring(L" 应用程序进程"), word);
}
