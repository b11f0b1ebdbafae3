// Dialogs over dialogs: the main window runs modally, as in the program, and
// a timer drives the commands that reach it from the tray while a dialog of
// another command is open.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "app/ProcessListDlg.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

struct FoundWindows {
    std::wstring caption;
    std::vector<HWND> windows;
};

BOOL CALLBACK CollectByCaption(HWND window, LPARAM found) {
    auto* result = reinterpret_cast<FoundWindows*>(found);
    if (IsWindowVisible(window) && GetWindowTextOf(window) == TextFromWide(result->caption)) {
        result->windows.push_back(window);
    }
    return TRUE;
}

// The visible top-level windows of this thread with the caption.
std::vector<HWND> WindowsCaptioned(const char* caption) {
    FoundWindows found{WideFromText(caption), {}};
    EnumThreadWindows(GetCurrentThreadId(), &CollectByCaption, reinterpret_cast<LPARAM>(&found));
    return found.windows;
}

HWND WindowCaptioned(const char* caption) {
    const std::vector<HWND> windows = WindowsCaptioned(caption);
    return windows.empty() ? nullptr : windows.front();
}

// Steps run one per timer tick, inside whichever modal loop runs then; the
// main window's exit question, answered Yes, ends the run.
std::vector<std::function<void()>> g_steps;
size_t g_nextStep = 0;
void CALLBACK RunNextStep(HWND, UINT, UINT_PTR, DWORD) {
    if (g_nextStep < g_steps.size()) g_steps[g_nextStep++]();
}

class DialogNestingTest : public ::testing::Test {
protected:
    void SetUp() override {
        dialog.SetMessagePrompt(&prompt);
        dialog.SetShellOperations(&shell);
        prompt.answers = {kIdYes};
    }

    void Post(HWND window, WPARAM command) { PostMessageW(window, WM_COMMAND, command, 0); }
    void PostExit() {
        g_steps.push_back([this] { Post(dialog.m_hWnd, ID_TRAY_EXIT); });
    }

    // Runs the main window modally through the steps; false when it had to
    // be ended because the steps did not end it.
    bool RunSteps() {
        g_nextStep = 0;
        const UINT_PTR timer = SetTimer(nullptr, 0, 400, &RunNextStep);
        bool endedByTheSteps = true;
        g_steps.push_back([&] {
            endedByTheSteps = false;
            PostQuitMessage(0);
        });
        dialog.DoModal();
        KillTimer(nullptr, timer);
        PumpMessages(100);  // the quit message ended only the modal loop
        g_steps.clear();
        return endedByTheSteps;
    }

    ScratchDirectory directory;
    ScriptedPrompt prompt;
    SilentShell shell;
    CProcessListDlg dialog;
};

}  // namespace

// A second command for an open dialog, or one for another dialog, brings the
// open one to the front and opens nothing over it.
TEST_F(DialogNestingTest, CommandsWhileADialogIsOpenOpenNoSecondOne) {
    size_t sysInfoWindows = 0;
    size_t aboutWindows = 0;
    bool mainDisabled = false;
    bool mainEnabledAfter = false;
    bool sysInfoInFront = false;
    g_steps = {
        [&] { Post(dialog.m_hWnd, ID_TRAY_SYSINFO); },
        [&] {
            Post(dialog.m_hWnd, ID_TRAY_SYSINFO);
            Post(dialog.m_hWnd, ID_MENU_SYSINFO);
            Post(dialog.m_hWnd, ID_TRAY_ABOUT);
            Post(dialog.m_hWnd, ID_TRAY_BLOCKLIST);
            // A second start of the program, and the log's notice (there is no log yet).
            PostMessageW(dialog.m_hWnd, ShowRunningCopyMessage(), 0, 0);
            Post(dialog.m_hWnd, ID_TRAY_VIEWLOG);
            Post(dialog.m_hWnd, ID_TRAY_SHOW);
        },
        [&] {
            sysInfoInFront = GetForegroundWindow() == WindowCaptioned("系统信息 ");
            sysInfoWindows = WindowsCaptioned("系统信息 ").size();
            aboutWindows = WindowsCaptioned("关于 tarvemonix").size() + WindowsCaptioned("编辑封锁列表").size();
            mainDisabled = !IsWindowEnabled(dialog.m_hWnd);
            Post(WindowCaptioned("系统信息 "), IDOK);
        },
        [&] { mainEnabledAfter = IsWindowEnabled(dialog.m_hWnd) != FALSE; },
    };
    PostExit();
    EXPECT_TRUE(RunSteps());
    EXPECT_EQ(1u, sysInfoWindows);
    EXPECT_EQ(0u, aboutWindows) << "no other dialog opened over the open one";
    EXPECT_TRUE(mainDisabled);
    EXPECT_TRUE(sysInfoInFront);
    EXPECT_TRUE(mainEnabledAfter);
    EXPECT_EQ(1u, prompt.shown.size()) << "only the exit question";
}

namespace {

// An owner that makes an input-method window when a modal dialog disables it,
// which the system does before it makes the dialog's window.
HWND g_imeWindowMadeByTheOwner = nullptr;
LRESULT CALLBACK OwnerMakingAnImeWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ENABLE && !wParam && !g_imeWindowMadeByTheOwner) {
        g_imeWindowMadeByTheOwner =
            CreateWindowExW(0, L"tvx-test-ime", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

class DialogEndingAtOnce : public CDialog {
public:
    explicit DialogEndingAtOnce(HWND owner) : CDialog(IDD_ADDBLOCK, owner) {}
    bool initialised = false;

protected:
    BOOL OnInitDialog() override {
        initialised = true;
        EndDialog(IDOK);
        return TRUE;
    }
};

// A dialog the object never got is ended from outside.
void CALLBACK EndAnUnboundDialog(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND dialog = FindWindowW(WC_DIALOG, WideFromText("添加封锁进程").c_str())) ::EndDialog(dialog, IDABORT);
}

}  // namespace

// Only the dialog's own window is bound by the creation hook, never an
// input-method window made on the thread while the hook waits for it.
TEST(DialogCreationHook, BindsOnlyDialogClassWindows) {
    WNDCLASSW imeClass{CS_IME, DefWindowProcW, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, L"tvx-test-ime"};
    ASSERT_NE(0, RegisterClassW(&imeClass));
    for (const wchar_t* windowClass : {imeClass.lpszClassName, static_cast<const wchar_t*>(WC_DIALOG)}) {
        HWND window = CreateWindowExW(0, windowClass, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
        EXPECT_EQ(windowClass == WC_DIALOG, IsDialogWindowBeingCreated(window));
        DestroyWindow(window);
    }

    WNDCLASSW ownerClass{};
    ownerClass.lpfnWndProc = OwnerMakingAnImeWindow;
    ownerClass.lpszClassName = L"tvx-test-owner";
    ASSERT_NE(0, RegisterClassW(&ownerClass));
    HWND owner =
        CreateWindowExW(0, ownerClass.lpszClassName, L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    DialogEndingAtOnce dialog(owner);
    const UINT_PTR rescue = SetTimer(nullptr, 0, 500, &EndAnUnboundDialog);
    EXPECT_EQ(IDOK, dialog.DoModal());
    KillTimer(nullptr, rescue);
    EXPECT_NE(nullptr, g_imeWindowMadeByTheOwner) << "no window was made while the hook waited";
    EXPECT_TRUE(dialog.initialised);
    DestroyWindow(g_imeWindowMadeByTheOwner);
    DestroyWindow(owner);
}

// The add box opened from the editor belongs to the editor: the editor is
// disabled under it, and the main window stays disabled until the editor ends.
TEST_F(DialogNestingTest, ADialogOpenedFromADialogIsOwnedByIt) {
    HWND editor = nullptr;
    HWND addBoxOwner = nullptr;
    bool editorDisabledUnderTheAddBox = false;
    bool mainDisabledAfterTheAddBox = false;
    bool editorEnabledAfterTheAddBox = false;
    bool mainEnabledAfterTheEditor = false;
    g_steps = {
        [&] { Post(dialog.m_hWnd, ID_TRAY_BLOCKLIST); },
        [&] {
            editor = WindowCaptioned("编辑封锁列表");
            if (editor) Post(editor, IDC_ADDNAME);
        },
        [&] {
            HWND addBox = WindowCaptioned("添加封锁进程");
            addBoxOwner = addBox ? GetWindow(addBox, GW_OWNER) : nullptr;
            editorDisabledUnderTheAddBox = editor && !IsWindowEnabled(editor);
            if (addBox) Post(addBox, IDCANCEL);
        },
        [&] {
            mainDisabledAfterTheAddBox = !IsWindowEnabled(dialog.m_hWnd);
            editorEnabledAfterTheAddBox = editor && IsWindowEnabled(editor);
            if (editor) Post(editor, IDCANCEL);
        },
        [&] {},  // the editor's closing animation
        [&] { mainEnabledAfterTheEditor = IsWindowEnabled(dialog.m_hWnd) != FALSE; },
    };
    PostExit();
    EXPECT_TRUE(RunSteps());
    ASSERT_NE(nullptr, editor);
    EXPECT_EQ(editor, addBoxOwner);
    EXPECT_TRUE(editorDisabledUnderTheAddBox);
    EXPECT_TRUE(mainDisabledAfterTheAddBox) << "the editor's modal loop still runs";
    EXPECT_TRUE(editorEnabledAfterTheAddBox);
    EXPECT_TRUE(mainEnabledAfterTheEditor);
}

namespace {

// Where the row menu opened, and the list's top row then; closes it.
RECT g_rowMenuPlace{};
int g_topRowAtMenu = -1;
HWND g_menuList = nullptr;
void CALLBACK NoteAndCloseRowMenu(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND popup = FindWindowW(L"#32768", nullptr);
    if (!popup) return;
    KillTimer(nullptr, timer);
    GetWindowRect(popup, &g_rowMenuPlace);
    g_topRowAtMenu = static_cast<int>(SendMessageW(g_menuList, LVM_GETTOPINDEX, 0, 0));
    PostMessageW(popup, WM_KEYDOWN, VK_ESCAPE, 0);
}

}  // namespace

// The menu key opens the row menu at the selected row, scrolled into view
// first: a row out of view would put the menu outside the list.
TEST_F(DialogNestingTest, MenuKeyOpensTheRowMenuAtTheSelectedRowScrolledIntoView) {
    CountedSystem system(300);
    dialog.SetProcessSystem(&system);
    int last = -1;
    int rowsShown = 0;
    RECT list{};
    g_menuList = nullptr;
    g_topRowAtMenu = -1;
    g_rowMenuPlace = {};
    g_steps = {
        [&] {
            g_menuList = dialog.m_list.m_hWnd;
            last = dialog.m_list.GetItemCount() - 1;
            rowsShown = static_cast<int>(dialog.m_list.SendMessage(LVM_GETCOUNTPERPAGE, 0, 0));
            GetWindowRect(g_menuList, &list);
            LVITEMW item{};
            item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
            dialog.m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(last), reinterpret_cast<LPARAM>(&item));
            dialog.m_list.SendMessage(LVM_ENSUREVISIBLE, 0, FALSE);  // scrolled away, as with the scroll bar
            SetTimer(nullptr, 0, 150, &NoteAndCloseRowMenu);
            PostMessageW(g_menuList, WM_KEYDOWN, VK_APPS, 0);
        },
        [] {},
    };
    PostExit();
    EXPECT_TRUE(RunSteps());
    ASSERT_GT(last, rowsShown);
    EXPECT_TRUE(g_topRowAtMenu <= last && last < g_topRowAtMenu + rowsShown) << "top row " << g_topRowAtMenu;
    EXPECT_TRUE(g_rowMenuPlace.top >= list.top && g_rowMenuPlace.top <= list.bottom)
        << "menu at " << g_rowMenuPlace.top << ", list " << list.top << " to " << list.bottom;
}

// The window's keys act while it is enabled and wait while a dialog of the
// program is open over it.
TEST_F(DialogNestingTest, KeysActOnlyWhileNoDialogIsOpen) {
    HelperProcess helper("tvxkeys.exe");
    ASSERT_TRUE(helper.started());
    const auto key = [&](WPARAM virtualKey) { PostMessageW(dialog.m_list.m_hWnd, WM_KEYDOWN, virtualKey, 0); };
    const auto select = [&] {
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        dialog.m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(FindRowOfPid(dialog.m_list, helper.pid())),
                                  reinterpret_cast<LPARAM>(&item));
    };
    const auto withControl = [](bool down) {
        BYTE keys[256] = {};
        GetKeyboardState(keys);
        keys[VK_CONTROL] = down ? 0x80 : 0;
        SetKeyboardState(keys);
    };
    bool listedAfterF5 = false;
    prompt.answers = {kIdNo, kIdYes};
    g_steps = {
        [&] { key(VK_F5); },
        [&] {
            listedAfterF5 = FindRowOfPid(dialog.m_list, helper.pid()) >= 0;
            select();
            key(VK_DELETE);  // asked, answered No
        },
        [&] {
            select();
            withControl(true);
            key('C');
        },
        [&] {
            withControl(false);
            Post(dialog.m_hWnd, ID_TRAY_SYSINFO);
        },
        [&] {
            select();
            dialog.m_btnTerminate.EnableWindow(true);
            key(VK_DELETE);  // the system information dialog is open: nothing
        },
        [&] { Post(WindowCaptioned("系统信息 "), IDOK); },
    };
    PostExit();
    EXPECT_TRUE(RunSteps());
    EXPECT_TRUE(listedAfterF5);
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("真的要终止tvxkeys.exe吗？", prompt.shown[0].text);
    EXPECT_EQ("   真的要退出吗？", prompt.shown[1].text);
    EXPECT_EQ(0u, ClipboardText().find(L"tvxkeys.exe\t"));
}
