#include <gtest/gtest.h>

#include <vector>

#include <shlwapi.h>

#include "app/Autorun.h"
#include "app/ProcessListDlg.h"
#include "app/StartupRules.h"
#include "files/Win32FileStore.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

class RecordingShell : public ShellOperations {
public:
    struct Call {
        DWORD message;
        NOTIFYICONDATAA record;
    };
    std::vector<Call> trayCalls;
    std::vector<std::string> opened;
    std::vector<std::wstring> folders;
    std::vector<UINT> allowed;  // messages let in from programs of lower rights

    bool AllowMessageFromLowerRights(HWND, UINT message) override {
        allowed.push_back(message);
        return true;
    }
    bool NotifyIcon(DWORD message, const NOTIFYICONDATAA& record) override {
        trayCalls.push_back({message, record});
        return true;
    }
    void Open(HWND, const std::string& target, const std::wstring& folder) override {
        opened.push_back(target);
        folders.push_back(folder);
    }
};

// A plain window that can hold hot keys, as another program would.
class OtherWindow {
public:
    OtherWindow()
        : m_hwnd(CreateWindowW(L"STATIC", L"other", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr)) {}
    ~OtherWindow() {
        for (int id = 1; id <= 4; ++id) UnregisterHotKey(m_hwnd, id);
        DestroyWindow(m_hwnd);
    }
    bool Register(int id, UINT key) const { return RegisterHotKey(m_hwnd, id, MOD_ALT, key) != FALSE; }
    void Unregister(int id) const { UnregisterHotKey(m_hwnd, id); }

private:
    HWND m_hwnd;
};

class TrayTest : public ::testing::Test {
protected:
    void Open() {
        dialog.SetMessagePrompt(&prompt);
        dialog.SetShellOperations(&shell);
        ASSERT_TRUE(dialog.Create());
    }
    void TearDown() override {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }
    bool Visible() const { return IsWindowVisible(dialog.m_hWnd) != FALSE; }
    LRESULT Tray(WPARAM icon, UINT mouse) const { return SendMessageW(dialog.m_hWnd, WM_TRAY_NOTIFY, icon, mouse); }

    ScriptedPrompt prompt;
    RecordingShell shell;
    CProcessListDlg dialog;
};

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

CProcessListDlg* g_modalDialog = nullptr;
ScriptedPrompt* g_modalPrompt = nullptr;
int g_modalTicks = 0;
bool g_stillHeldAfterNo = false;
bool g_timerAliveAfterNo = false;

void CALLBACK DriveExit(HWND, UINT, UINT_PTR, DWORD) {
    HWND window = g_modalDialog->m_hWnd;
    if (!window) return;
    switch (++g_modalTicks) {
    case 1:
        g_modalPrompt->answers = {kIdNo};
        SendMessageW(window, WM_COMMAND, ID_TRAY_EXIT, 0);
        break;
    case 2: {
        OtherWindow other;
        g_stillHeldAfterNo = !other.Register(1, 'Z') && !other.Register(2, 'H');
        g_timerAliveAfterNo = KillTimer(window, kRefreshTimer) != FALSE;
        SetTimer(window, kRefreshTimer, kRefreshPeriodMs, nullptr);
        g_modalPrompt->answers = {kIdYes};
        PostMessageW(window, WM_COMMAND, ID_MENU_EXIT, 0);
        break;
    }
    default: break;
    }
}

UINT_PTR g_menuCloser = 0;
bool g_popupSeen = false;
void CALLBACK ClosePopup(HWND, UINT, UINT_PTR, DWORD) {
    g_popupSeen = FindWindowW(L"#32768", nullptr) != nullptr;
    EndMenu();
    KillTimer(nullptr, g_menuCloser);
}

// The first form of the record: its handles are pointer-sized.
constexpr DWORD kFirstFormRecordSize = sizeof(void*) == 8 ? 104 : 88;

}  // namespace

TEST_F(TrayTest, TrayRecordFromCreationToDestruction) {
    Open();
    ASSERT_EQ(1u, shell.trayCalls.size());
    const RecordingShell::Call& add = shell.trayCalls[0];
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), add.message);
    EXPECT_EQ(kFirstFormRecordSize, add.record.cbSize);
    EXPECT_EQ(dialog.m_hWnd, add.record.hWnd);
    EXPECT_EQ(128u, add.record.uID);
    EXPECT_EQ(7u, add.record.uFlags);
    EXPECT_EQ(1124u, add.record.uCallbackMessage);
    EXPECT_NE(nullptr, add.record.hIcon);
    EXPECT_STREQ("瓦诺德", add.record.szTip);
    EXPECT_TRUE(Visible()) << "the animation shows the window again";

    HWND window = dialog.m_hWnd;
    DestroyWindow(window);
    ASSERT_EQ(2u, shell.trayCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), shell.trayCalls[1].message);
    EXPECT_EQ(kFirstFormRecordSize, shell.trayCalls[1].record.cbSize);
    EXPECT_EQ(window, shell.trayCalls[1].record.hWnd);
    EXPECT_EQ(128u, shell.trayCalls[1].record.uID);
}

TEST_F(TrayTest, RealShellAcceptsTheRecord) {
    OtherWindow owner;
    HWND window = CreateWindowW(L"STATIC", L"tray", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    NOTIFYICONDATAA record{};
    record.cbSize = kTrayRecordSize;
    record.hWnd = window;
    record.uID = 128;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAY_NOTIFY;
    record.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_MAINFRAME));
    lstrcpyA(record.szTip, "瓦诺德");
    ShellOperations real;
    EXPECT_TRUE(real.NotifyIcon(NIM_ADD, record));
    EXPECT_TRUE(real.NotifyIcon(NIM_DELETE, record));
    DestroyWindow(window);
}

TEST_F(TrayTest, TaskbarRestartAddsTheIconAgain) {
    Open();
    SendMessageW(dialog.m_hWnd, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    ASSERT_EQ(2u, shell.trayCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_ADD), shell.trayCalls[1].message);
    EXPECT_TRUE(Visible()) << "adding the icon again does not hide the window";
}

TEST_F(TrayTest, MouseMessagesOnTheIcon) {
    Open();
    ShowWindow(dialog.m_hWnd, SW_HIDE);
    for (UINT ignored : {WM_RBUTTONDOWN, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_MOUSEMOVE, WM_MBUTTONDBLCLK}) {
        EXPECT_EQ(0, Tray(128, ignored));
        EXPECT_FALSE(Visible()) << ignored;
    }
    EXPECT_EQ(0, Tray(129, WM_LBUTTONDBLCLK));
    EXPECT_FALSE(Visible()) << "another icon's message is ignored";
    EXPECT_EQ(0, Tray(128, WM_LBUTTONDBLCLK));
    EXPECT_TRUE(Visible());
    EXPECT_EQ(0, Tray(128, WM_LBUTTONDBLCLK));
    EXPECT_TRUE(Visible());
}

TEST_F(TrayTest, RightButtonReleaseOpensThePopupUntilClosed) {
    Open();
    g_popupSeen = false;
    g_menuCloser = SetTimer(nullptr, 0, 300, &ClosePopup);
    EXPECT_EQ(0, Tray(128, WM_RBUTTONUP));
    EXPECT_TRUE(g_popupSeen);
    EXPECT_EQ(nullptr, FindWindowW(L"#32768", nullptr));
}

TEST_F(TrayTest, TrayMenuItemsAndNoDefault) {
    HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDR_TRAYMENU));
    ASSERT_NE(nullptr, menu);
    EXPECT_EQ(L"菜单", MenuText(menu, 0));
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_EQ(16, GetMenuItemCount(popup));
    // One item a line, in the menu's order (eight would be packed four a line).
    // clang-format off
    const struct {
        const wchar_t* text;
        UINT id;
    } items[] = {
        {L"进程信息", 32771},
        {L"系统信息", 32772},
        {L"封锁列表", 32778},
        {L"启动项管理", ID_TRAY_STARTUP},
        {L"使用说明", 32777},
        {L"关        于", 32773},
        {L"退        出", 32774},
        {L"查看拦截记录", ID_TRAY_VIEWLOG},
    };
    // clang-format on
    EXPECT_EQ(L"开机时自动运行", MenuText(popup, 15));
    EXPECT_EQ(static_cast<UINT>(ID_TRAY_AUTORUN), GetMenuItemID(popup, 15));
    for (UINT i = 0; i < 8; ++i) {
        EXPECT_EQ(items[i].text, MenuText(popup, 2 * i));
        EXPECT_EQ(items[i].id, GetMenuItemID(popup, static_cast<int>(2 * i)));
        if (i < 7) {
            EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(popup, 2 * i + 1, MF_BYPOSITION) & MF_SEPARATOR);
        }
    }
    SetMenuDefaultItem(popup, IDR_TRAYMENU, FALSE);
    EXPECT_EQ(static_cast<UINT>(-1), GetMenuDefaultItem(popup, FALSE, 0));
    DestroyMenu(menu);
}

TEST_F(TrayTest, MenuBarTexts) {
    Open();
    HMENU bar = GetMenu(dialog.m_hWnd);
    ASSERT_NE(nullptr, bar);
    EXPECT_EQ(L"文 件(&F)", MenuText(bar, 0));
    EXPECT_EQ(L"工 具(&T)", MenuText(bar, 1));
    EXPECT_EQ(L"关 于(&A)", MenuText(bar, 2));
    EXPECT_EQ(L"导出文件(&E)", MenuText(GetSubMenu(bar, 0), 0));
    EXPECT_EQ(L"退        出(&X)", MenuText(GetSubMenu(bar, 0), 2));
    EXPECT_EQ(L"系统信息(&S)", MenuText(GetSubMenu(bar, 1), 0));
    EXPECT_EQ(L"按进程树排列", MenuText(GetSubMenu(bar, 1), 1));
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(GetSubMenu(bar, 1), 2, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(L"封锁列表(&C)", MenuText(GetSubMenu(bar, 1), 3));
    EXPECT_EQ(L"启动项管理", MenuText(GetSubMenu(bar, 1), 4));
    EXPECT_EQ(static_cast<UINT>(ID_MENU_STARTUP), GetMenuItemID(GetSubMenu(bar, 1), 4));
    EXPECT_EQ(L"网络连接", MenuText(GetSubMenu(bar, 1), 5));
    EXPECT_EQ(static_cast<UINT>(ID_MENU_CONNECTIONS), GetMenuItemID(GetSubMenu(bar, 1), 5));
    EXPECT_EQ(L"查找占用文件的进程", MenuText(GetSubMenu(bar, 1), 6));
    EXPECT_EQ(static_cast<UINT>(ID_MENU_FILEUSERS), GetMenuItemID(GetSubMenu(bar, 1), 6));
    EXPECT_EQ(static_cast<UINT>(MF_SEPARATOR), GetMenuState(GetSubMenu(bar, 1), 7, MF_BYPOSITION) & MF_SEPARATOR);
    EXPECT_EQ(L"查看拦截记录", MenuText(GetSubMenu(bar, 1), 8));
    EXPECT_EQ(static_cast<UINT>(ID_MENU_VIEWLOG), GetMenuItemID(GetSubMenu(bar, 1), 8));
    EXPECT_EQ(static_cast<UINT>(ID_MENU_AUTORUN), GetMenuItemID(GetSubMenu(bar, 1), 9));
    EXPECT_EQ(L"帮     助(&H)", MenuText(GetSubMenu(bar, 2), 0));
    EXPECT_EQ(L"关\x3000于(&B)", MenuText(GetSubMenu(bar, 2), 2));
    HMENU system = GetSystemMenu(dialog.m_hWnd, FALSE);
    const int last = GetMenuItemCount(system) - 1;
    EXPECT_EQ(static_cast<UINT>(IDM_ABOUTBOX), GetMenuItemID(system, last));
    EXPECT_EQ(L"关于 tarvemonix(&A)...", MenuText(system, static_cast<UINT>(last)));
}

TEST_F(TrayTest, HotKeyMessagesShowAndHide) {
    Open();
    SendMessageW(dialog.m_hWnd, WM_HOTKEY, kHotKeyHideH, 0);
    EXPECT_FALSE(Visible());
    SendMessageW(dialog.m_hWnd, WM_HOTKEY, kHotKeyShowF11, 0);
    EXPECT_TRUE(Visible());
    SendMessageW(dialog.m_hWnd, WM_HOTKEY, kHotKeyHideNumpad8, 0);
    EXPECT_FALSE(Visible());
    SendMessageW(dialog.m_hWnd, WM_HOTKEY, 1005, 0);
    EXPECT_FALSE(Visible());
    SendMessageW(dialog.m_hWnd, WM_HOTKEY, kHotKeyShowZ, 0);
    EXPECT_TRUE(Visible());
}

TEST_F(TrayTest, HeldKeyIsSkippedAndTheOthersWork) {
    OtherWindow other;
    ASSERT_TRUE(other.Register(1, 'Z'));
    Open();
    EXPECT_FALSE(other.Register(2, 'H')) << "Alt+H belongs to the main window";
    EXPECT_FALSE(other.Register(3, VK_F11));
    EXPECT_FALSE(other.Register(4, VK_NUMPAD8));

    // A real key press of Alt+H reaches the main window's hot key.
    INPUT keys[4] = {};
    const WORD sequence[4][2] = {{VK_MENU, 0}, {'H', 0}, {'H', KEYEVENTF_KEYUP}, {VK_MENU, KEYEVENTF_KEYUP}};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = sequence[i][0];
        keys[i].ki.dwFlags = sequence[i][1];
    }
    ASSERT_TRUE(Visible());
    SendInput(4, keys, sizeof(INPUT));
    PumpMessages(500);
    EXPECT_FALSE(Visible());
}

TEST_F(TrayTest, MinimiseHidesAndHotKeyRestoresPlace) {
    Open();
    const RECT before = dialog.GetWindowRect();
    SendMessageW(dialog.m_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_FALSE(Visible());
    EXPECT_FALSE(IsIconic(dialog.m_hWnd));
    SendMessageW(dialog.m_hWnd, WM_HOTKEY, kHotKeyShowZ, 0);
    EXPECT_TRUE(Visible());
    const RECT after = dialog.GetWindowRect();
    EXPECT_TRUE(EqualRect(&before, &after));
}

TEST_F(TrayTest, TrayShowCollapsesAndShowsAgain) {
    Open();
    ShowWindow(dialog.m_hWnd, SW_HIDE);
    SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_SHOW, 0);
    EXPECT_TRUE(Visible());
    SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_SHOW, 0);
    EXPECT_TRUE(Visible());
}

TEST_F(TrayTest, AdvertisementOpensExactlyOnce) {
    dialog.SetAdPageDelay(200);
    Open();
    ShowWindow(dialog.m_hWnd, SW_HIDE);  // also while hidden
    PumpMessages(1200);
    EXPECT_EQ((std::vector<std::string>{kAdPageAddress}), shell.opened);
    EXPECT_EQ((std::vector<std::wstring>{L""}), shell.folders) << "an address is no file";
}

// The help page is the one of the folder the program started in, even after
// a dialog has moved the current folder elsewhere.
TEST_F(TrayTest, HelpCommandsOpenTheHelpPageOfTheStartFolder) {
    const std::wstring startFolder = CurrentFolder();  // the window was made here
    Open();
    SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_MENU_HELP, 0);
    {
        ScratchDirectory elsewhere;
        SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_HELP, 0);
    }
    EXPECT_EQ((std::vector<std::string>{"tarvemonix_help.htm", "tarvemonix_help.htm"}), shell.opened);
    EXPECT_EQ((std::vector<std::wstring>{startFolder, startFolder}), shell.folders);
    EXPECT_TRUE(prompt.shown.empty()) << "nothing is reported";
}

TEST_F(TrayTest, ExitAnsweredNoKeepsEverythingAndYesEndsTheLoop) {
    dialog.SetMessagePrompt(&prompt);
    dialog.SetShellOperations(&shell);
    g_modalDialog = &dialog;
    g_modalPrompt = &prompt;
    g_modalTicks = 0;
    const UINT_PTR driver = SetTimer(nullptr, 0, 1500, &DriveExit);
    dialog.DoModal();
    KillTimer(nullptr, driver);
    PumpMessages(100);  // the quit message ended only the modal loop

    EXPECT_TRUE(g_stillHeldAfterNo);
    EXPECT_TRUE(g_timerAliveAfterNo);
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("   真的要退出吗？", prompt.shown[1].text);
    EXPECT_EQ(nullptr, dialog.m_hWnd);
    ASSERT_EQ(2u, shell.trayCalls.size());
    EXPECT_EQ(static_cast<DWORD>(NIM_DELETE), shell.trayCalls[1].message);
    OtherWindow other;
    EXPECT_TRUE(other.Register(1, 'Z')) << "hot keys were given back";
    EXPECT_TRUE(other.Register(2, 'H'));
}

// The logon entry: the item writes and removes it, and its tick follows the
// entry, also one changed from outside.
TEST_F(TrayTest, StartAtLogonItemWritesTheRunValueAndTicksWithIt) {
    Open();
    const auto ticked = [&] {
        HMENU tools = GetSubMenu(GetMenu(dialog.m_hWnd), 1);
        SendMessageW(dialog.m_hWnd, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(tools), 1);
        return (GetMenuState(tools, ID_MENU_AUTORUN, MF_BYCOMMAND) & MF_CHECKED) != 0;
    };
    const wchar_t* runKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    const auto runValue = [&] {
        wchar_t value[1024] = {};
        DWORD size = sizeof(value) - sizeof(wchar_t);
        SHGetValueW(HKEY_CURRENT_USER, runKey, L"tarvemonix", nullptr, value, &size);
        return std::wstring(value);
    };
    EXPECT_FALSE(ticked());
    SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_TRAY_AUTORUN, 0);
    EXPECT_EQ(L"\"" + ThisProgramPath() + L"\" /tray " + FolderArgument(CurrentFolder()), runValue());
    EXPECT_TRUE(ticked());
    const std::wstring other = L"\"C:\\other\\tarvemonix.exe\" /tray";
    SHSetValueW(HKEY_CURRENT_USER, runKey, L"tarvemonix", REG_SZ, other.c_str(),
                static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t)));
    EXPECT_FALSE(ticked()) << "another copy's entry";
    SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_MENU_AUTORUN, 0);
    EXPECT_TRUE(ticked());
    SendMessageW(dialog.m_hWnd, WM_COMMAND, ID_MENU_AUTORUN, 0);
    EXPECT_EQ(L"", runValue());
    EXPECT_TRUE(prompt.shown.empty());
    SHDeleteValueW(HKEY_CURRENT_USER, runKey, L"tarvemonix");  // whatever happened above
}

// A copy that takes over from another (restarted as administrator) opens no
// advertisement: the user did not just start the program. Started in the tray
// as well, it stays hidden.
TEST_F(TrayTest, ACopyThatTakesOverOpensNoAdvertisement) {
    StartRequest request = ReadStartArguments({L"/takeover:42"});
    dialog.SetAdPageDelay(200);
    dialog.FollowStartRequest(request);
    Open();
    PumpMessages(1200);
    EXPECT_TRUE(Visible());
    EXPECT_TRUE(shell.opened.empty());
    DestroyWindow(dialog.m_hWnd);

    request = ReadStartArguments({L"/tray", L"/takeover:42"});
    CProcessListDlg hidden;
    hidden.SetMessagePrompt(&prompt);
    hidden.SetShellOperations(&shell);
    hidden.SetAdPageDelay(200);
    hidden.FollowStartRequest(request);
    ASSERT_TRUE(hidden.Create());
    PumpMessages(1200);
    EXPECT_FALSE(IsWindowVisible(hidden.m_hWnd));
    EXPECT_TRUE(shell.opened.empty());
    DestroyWindow(hidden.m_hWnd);
}

// Hidden at logon: no advertisement either. Running as administrator, the
// window still hears a second start, the shell's restart and a file dropped
// from the shell (the drop and the two messages that carry its data).
TEST_F(TrayTest, StartedInTheTrayStaysHiddenUntilShown) {
    dialog.StartInTray();
    dialog.SetAdPageDelay(200);
    Open();
    PumpMessages(400);
    EXPECT_FALSE(Visible());
    EXPECT_TRUE(shell.opened.empty());
    constexpr UINT kCopyGlobalData = 0x0049;
    EXPECT_EQ((std::vector<UINT>{RegisterWindowMessageW(L"TaskbarCreated"), ShowRunningCopyMessage(), WM_DROPFILES,
                                 WM_COPYDATA, kCopyGlobalData}),
              shell.allowed);
    SendMessageW(dialog.m_hWnd, WM_HOTKEY, kHotKeyShowZ, 0);
    EXPECT_TRUE(Visible());
}
