#include <gtest/gtest.h>

#include "app/ProcessListDlg.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

const char* const kHelperTitle = "查找我的窗口";

struct ShownWindowOf {
    DWORD pid;
    HWND window;
};

BOOL CALLBACK FindShownWindow(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<ShownWindowOf*>(search);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != wanted->pid || !IsWindowVisible(window)) return TRUE;
    wanted->window = window;
    return FALSE;
}

// The helper's shown window, once it has one (up to 10 s).
HWND WindowOfProcess(uint32_t pid) {
    for (int attempt = 0; attempt < 200; ++attempt) {
        ShownWindowOf search{pid, nullptr};
        EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&search));
        if (search.window) return search.window;
        Sleep(50);
    }
    return nullptr;
}

POINT CentreOf(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
}

// The real mouse and keyboard, as the user works them.
void MoveMouseTo(POINT point) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = MulDiv(point.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
    input.mi.dy = MulDiv(point.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
    PumpMessages(150);
}

void PressButton(DWORD flag) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flag;
    SendInput(1, &input, sizeof(input));
    PumpMessages(200);
}

// A key press, handled as the window's own message loop does: the dialog
// manager sees it first (and turns Esc into 取消 unless the focus wants it).
void PressKeyIn(HWND dialog, WORD key) {
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = key;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, keys, sizeof(INPUT));
    const DWORD start = GetTickCount();
    do {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (IsDialogMessageW(dialog, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(10);
    } while (GetTickCount() - start < 200);
}

class WindowFinderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog.SetMessagePrompt(&prompt);
        dialog.SetShellOperations(&shell);
        ASSERT_TRUE(dialog.Create()) << "error " << GetLastError();
        // Left of where the helpers show their windows.
        SetWindowPos(dialog.m_hWnd, nullptr, 20, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PumpMessages(200);
    }
    void TearDown() override {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }
    HWND Target() const { return dialog.GetDlgItem(IDC_FINDERTARGET); }
    int SelectedRow() const { return dialog.m_list.GetFirstSelectedItem(); }
    // Presses on the target and moves the cursor to point, still pressed.
    void DragTo(POINT point) {
        // The helper's window may still be coming to the front.
        PumpMessages(300);
        MoveMouseTo(CentreOf(Target()));
        PressButton(MOUSEEVENTF_LEFTDOWN);
        ASSERT_TRUE(dialog.m_finderTarget.IsDragging());
        EXPECT_EQ(Target(), GetCapture());
        EXPECT_EQ(LoadCursorW(nullptr, IDC_CROSS), GetCursor());
        MoveMouseTo(point);
    }
    bool FrameShown() const {
        const HWND frame = dialog.m_finderTarget.FrameWindow();
        return frame && IsWindowVisible(frame);
    }
    bool TipShown() const { return IsWindowVisible(dialog.m_finderTarget.TipWindow()) != FALSE; }

    ScratchDirectory scratch;  // the log goes here
    ScriptedPrompt prompt;
    SilentShell shell;
    CProcessListDlg dialog;
};

}  // namespace

// The target sits below the six buttons and says what it is for.
TEST_F(WindowFinderTest, TargetBelowTheButtonsWithItsTooltip) {
    RECT target{};
    RECT lastButton{};
    GetWindowRect(Target(), &target);
    GetWindowRect(dialog.GetDlgItem(IDC_DELETEFILE), &lastButton);
    EXPECT_GE(target.top, lastButton.bottom);
    EXPECT_TRUE(IsWindowVisible(Target()));
    EXPECT_NE(0, SendMessageW(Target(), STM_GETICON, 0, 0));

    wchar_t text[128] = {};
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = dialog.m_hWnd;
    tool.uId = reinterpret_cast<UINT_PTR>(Target());
    tool.lpszText = text;
    SendMessageW(dialog.m_finderTarget.HoverTipWindow(), TTM_GETTEXTW, 128, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(WideFromText("拖动到窗口上，找出它所属的进程"), text);
}

// Dragged from the target over a helper's window, which the list does not
// show yet: the window is framed while the cursor is over it; the release
// removes the frame, refreshes, selects the helper's row, brings the main
// window to the front and says whose window it is. Its details name the window.
TEST_F(WindowFinderTest, ReleaseOverAnotherProgramsWindowSelectsItsProcess) {
    HelperProcess helper("tvxfinder.exe", 30, std::string("window ") + kHelperTitle);
    ASSERT_TRUE(helper.started());
    const HWND helperWindow = WindowOfProcess(helper.pid());
    ASSERT_NE(nullptr, helperWindow);
    PumpMessages(300);
    ASSERT_EQ(-1, FindRowOfPid(dialog.m_list, helper.pid()));

    DragTo(CentreOf(helperWindow));
    ASSERT_TRUE(FrameShown());
    RECT frame{};
    RECT framed{};
    GetWindowRect(dialog.m_finderTarget.FrameWindow(), &frame);
    GetWindowRect(helperWindow, &framed);
    EXPECT_TRUE(EqualRect(&frame, &framed));
    // Back over the main window: its own windows get no frame.
    MoveMouseTo(CentreOf(dialog.m_list.m_hWnd));
    EXPECT_FALSE(FrameShown());
    MoveMouseTo(CentreOf(helperWindow));
    EXPECT_TRUE(FrameShown());

    PressButton(MOUSEEVENTF_LEFTUP);
    EXPECT_FALSE(dialog.m_finderTarget.IsDragging());
    EXPECT_FALSE(FrameShown());
    EXPECT_EQ(nullptr, GetCapture());
    const int row = FindRowOfPid(dialog.m_list, helper.pid());
    ASSERT_NE(-1, row);
    EXPECT_EQ(row, SelectedRow());
    EXPECT_EQ(dialog.m_list.m_hWnd, GetFocus()) << "a selection the list does not show";
    EXPECT_EQ(dialog.m_hWnd, GetForegroundWindow());
    EXPECT_EQ(std::string("窗口“") + kHelperTitle + "”属于 tvxfinder.exe" + FormatText("（PID %u）", helper.pid()),
              dialog.m_finderTarget.TipText());
    EXPECT_TRUE(TipShown());
    RECT tip{};
    RECT target{};
    GetWindowRect(dialog.m_finderTarget.TipWindow(), &tip);
    GetWindowRect(Target(), &target);
    EXPECT_LE(tip.right, target.left) << "beside the target, not over it";
    EXPECT_GT(tip.bottom, target.top);
    EXPECT_LT(tip.top, target.bottom);
    EXPECT_TRUE(IsWindowEnabled(dialog.m_btnDetails.m_hWnd));

    SendMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_DETAILS, BN_CLICKED), 0);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_NE(std::string::npos,
              prompt.shown[0].text.find(std::string("\n 窗口: ") + kHelperTitle + "\n 网络连接: 0 个（监听 0 个）"))
        << prompt.shown[0].text;
}

// In tree order, among many rows, the row is selected and scrolled into view.
TEST_F(WindowFinderTest, TreeOrderRowIsSelectedAndShown) {
    HelperProcess helper("tvxfindertree.exe", 30, "window");
    const HWND helperWindow = WindowOfProcess(helper.pid());
    ASSERT_NE(nullptr, helperWindow);
    SendMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_MENU_TREEORDER, 0), 0);
    ASSERT_TRUE(dialog.IsTreeOrder());
    // A list three rows high, scrolled so that the helper's row is out of sight.
    const RECT listRect = dialog.m_list.GetWindowRect();
    SetWindowPos(dialog.m_list.m_hWnd, nullptr, 0, 0, listRect.right - listRect.left, 80, SWP_NOMOVE | SWP_NOZORDER);
    const auto rowShown = [this](int listRow) {
        const int top = static_cast<int>(dialog.m_list.SendMessage(LVM_GETTOPINDEX));
        const int perPage = static_cast<int>(dialog.m_list.SendMessage(LVM_GETCOUNTPERPAGE));
        return listRow >= top && listRow < top + perPage;
    };
    const int listed = FindRowOfPid(dialog.m_list, helper.pid());
    ASSERT_NE(-1, listed);
    dialog.m_list.SendMessage(LVM_ENSUREVISIBLE, 0, FALSE);
    if (rowShown(listed)) dialog.m_list.SendMessage(LVM_ENSUREVISIBLE, dialog.m_list.GetItemCount() - 1, FALSE);
    ASSERT_FALSE(rowShown(listed));

    DragTo(CentreOf(helperWindow));
    PressButton(MOUSEEVENTF_LEFTUP);
    const int row = FindRowOfPid(dialog.m_list, helper.pid());
    ASSERT_NE(-1, row);
    EXPECT_EQ(row, SelectedRow());
    EXPECT_TRUE(dialog.IsTreeOrder());
    EXPECT_TRUE(rowShown(row));
    EXPECT_EQ(FormatText("窗口“（无标题）”属于 tvxfindertree.exe（PID %u）", helper.pid()),
              dialog.m_finderTarget.TipText());
}

// Esc during the drag, or a release over the program's own window or over
// the bare desktop, selects nothing, shows no tip and leaves no frame; Esc
// does not ask to close the window.
TEST_F(WindowFinderTest, EscOrOwnWindowSelectsNothing) {
    HelperProcess helper("tvxfinderesc.exe", 30, "window");
    const HWND helperWindow = WindowOfProcess(helper.pid());
    ASSERT_NE(nullptr, helperWindow);
    LVITEMW unselected{};
    unselected.stateMask = LVIS_SELECTED;
    dialog.m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&unselected));
    ASSERT_EQ(-1, SelectedRow());

    DragTo(CentreOf(helperWindow));
    ASSERT_TRUE(FrameShown());
    PressKeyIn(dialog.m_hWnd, VK_ESCAPE);
    EXPECT_FALSE(dialog.m_finderTarget.IsDragging());
    EXPECT_FALSE(FrameShown());
    EXPECT_EQ(nullptr, GetCapture());
    PressButton(MOUSEEVENTF_LEFTUP);
    EXPECT_EQ(-1, SelectedRow());
    EXPECT_FALSE(TipShown());
    EXPECT_TRUE(prompt.shown.empty()) << prompt.shown[0].text;
    EXPECT_TRUE(IsWindow(dialog.m_hWnd));

    for (const POINT& point : {CentreOf(dialog.m_list.m_hWnd), POINT{1250, 780}}) {
        DragTo(CentreOf(helperWindow));
        EXPECT_TRUE(FrameShown());
        MoveMouseTo(point);
        EXPECT_FALSE(FrameShown());
        PressButton(MOUSEEVENTF_LEFTUP);
        EXPECT_FALSE(dialog.m_finderTarget.IsDragging());
        EXPECT_EQ(-1, SelectedRow());
        EXPECT_FALSE(TipShown());
    }
    EXPECT_EQ("", dialog.m_finderTarget.TipText());
}
