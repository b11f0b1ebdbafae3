#include <gtest/gtest.h>

#include "app/ProcessListDlg.h"
#include "framework/Registry.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

#include <tlhelp32.h>

namespace {

// A store the test keeps while windows come and go.
struct SharedStore : SettingsStore {
    explicit SharedStore(MemorySettingsStore& store) : inner(store) {}
    std::optional<StoredValue> Read(const std::string& name) const override { return inner.Read(name); }
    bool Write(const std::string& name, const StoredValue& value) override { return inner.Write(name, value); }
    MemorySettingsStore& inner;
};

// The pid of the process whose parent is parentPid (0 if none runs yet).
uint32_t ChildOf(uint32_t parentPid) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        uint32_t child = 0;
        for (BOOL more = Process32FirstW(snapshot, &entry); more && !child; more = Process32NextW(snapshot, &entry)) {
            if (entry.th32ParentProcessID == parentPid) child = entry.th32ProcessID;
        }
        CloseHandle(snapshot);
        if (child) return child;
        Sleep(50);
    }
    return 0;
}

class WindowTreeTest : public ::testing::Test {
protected:
    void Open(CProcessListDlg& window) {
        window.SetMessagePrompt(&prompt);
        window.SetShellOperations(&shell);
        window.UseSettingsStore(std::make_unique<SharedStore>(store));
        ASSERT_TRUE(window.Create()) << "error " << GetLastError();
    }
    void TearDown() override {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }
    int RowOf(uint32_t pid) const { return FindRowOfPid(dialog.m_list, pid); }
    int Indent(int row) const {
        LVITEMW item{};
        item.mask = LVIF_INDENT;
        item.iItem = row;
        dialog.m_list.SendMessage(LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        return item.iIndent;
    }
    void Command(int id) const { SendMessageW(dialog.m_hWnd, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    void Select(int row) const { ListView_SetItemState(dialog.m_list.m_hWnd, row, LVIS_SELECTED, LVIS_SELECTED); }
    RECT ClientRectOf(int id) const {
        RECT rect{};
        GetWindowRect(dialog.GetDlgItem(id), &rect);
        MapWindowPoints(nullptr, dialog.m_hWnd, reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    ScratchDirectory scratch;  // the log goes here
    ScriptedPrompt prompt;
    SilentShell shell;
    MemorySettingsStore store;
    CProcessListDlg dialog;
};

}  // namespace

// A helper that started a helper that started one more: in tree order each
// under its parent until a heading is clicked; then the tree ends deepest first.
TEST_F(WindowTreeTest, HelpersThatStartHelpersAreShownAndEndedAsATree) {
    HelperProcess root("tvxtree.exe", 15, "spawn 2");
    const uint32_t child = ChildOf(root.pid());
    const uint32_t grandchild = ChildOf(child);
    ASSERT_NE(0u, grandchild);
    Open(dialog);
    Command(ID_MENU_TREEORDER);
    for (int pass = 0; pass < 2; ++pass) {  // and again after a refresh
        const int top = RowOf(root.pid());
        ASSERT_NE(-1, top);
        EXPECT_EQ(top + 1, RowOf(child));
        EXPECT_EQ(top + 2, RowOf(grandchild));
        EXPECT_EQ(Indent(top) + 1, Indent(top + 1));
        EXPECT_EQ(Indent(top) + 2, Indent(top + 2));
        EXPECT_EQ("tvxtree.exe", dialog.m_list.GetItemText(top + 2, 0)) << "the name itself is not indented";
        Command(IDC_REFRESH);
    }
    HMENU tools = GetSubMenu(GetMenu(dialog.m_hWnd), 1);
    dialog.SendMessage(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(tools), 1);
    EXPECT_TRUE(GetMenuState(tools, ID_MENU_TREEORDER, MF_BYCOMMAND) & MF_CHECKED);
    NotifyFromList(dialog.m_hWnd, dialog.m_list.m_hWnd, LVN_COLUMNCLICK, kPidColumn);
    EXPECT_FALSE(dialog.IsTreeOrder());
    EXPECT_EQ(kPidColumn, dialog.m_list.m_nSortColumn);
    for (int row = 0; row < dialog.m_list.GetItemCount(); ++row) EXPECT_EQ(0, Indent(row)) << row;

    Select(RowOf(root.pid()));
    prompt.answers = {kIdYes};
    Command(ID_ROW_TERMINATETREE);
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("确定要结束 tvxtree.exe 及其 2 个子进程吗？", prompt.shown[0].text);
    EXPECT_EQ("提示", prompt.shown[0].caption);
    EXPECT_EQ("中止成功", prompt.shown[1].text);
    EXPECT_TRUE(root.WaitForExit(5000));
    EXPECT_EQ(-1, RowOf(child));
    EXPECT_EQ(-1, RowOf(grandchild));
    const std::string log = ReadFileBytes(scratch.path() + L"\\tarvemonix.log");
    const auto at = [&log](uint32_t pid) { return log.find(FormatText("中止进程树  tvxtree.exe  PID %u", pid)); };
    // The root first, so that it starts nothing again; then deepest first.
    ASSERT_NE(std::string::npos, at(child)) << log;
    EXPECT_LT(at(root.pid()), at(grandchild));
    EXPECT_LT(at(grandchild), at(child));
}

TEST_F(WindowTreeTest, DetailsAndTooltipTellCommandLineParentUserAndSignature) {
    HelperProcess helper("tvxwho.exe", 60, "hold 1");
    ASSERT_TRUE(helper.started());
    Open(dialog);
    const int row = RowOf(helper.pid());
    ASSERT_NE(-1, row);
    Select(row);
    Command(IDC_DETAILS);
    ASSERT_EQ(1u, prompt.shown.size());
    const std::string& text = prompt.shown[0].text;
    const std::string commandLine = "\"" + TextFromWide(helper.path()) + "\" 60 hold 1";
    EXPECT_NE(std::string::npos, text.find("\n 命令行: " + commandLine + "\n")) << text;
    EXPECT_NE(std::string::npos, text.find(FormatText("\n 父进程: window_tree_test.exe (PID %u)\n",
                                                      static_cast<unsigned>(GetCurrentProcessId()))))
        << text;
    EXPECT_NE(std::string::npos, text.find("\n 用户: ")) << text;
    EXPECT_EQ(std::string::npos, text.find("\n 用户: 无法读取")) << text;
    // Then the helper's windows (it shows none) and connections, last.
    const std::string unsignedLine = "\n 数字签名: 无\n 窗口: 无\n 网络连接: 0 个（监听 0 个）";
    EXPECT_EQ(text.size() - unsignedLine.size(), text.rfind(unsignedLine)) << "a test program is not signed: " << text;

    std::vector<wchar_t> tip(INFOTIPSIZE, L'\0');
    NMLVGETINFOTIPW request{};
    request.hdr = {dialog.m_list.m_hWnd, IDC_PROCESSLIST, static_cast<UINT>(LVN_GETINFOTIPW)};
    request.pszText = tip.data();
    request.cchTextMax = static_cast<int>(tip.size());
    request.iItem = FindRowOfPid(dialog.m_list, helper.pid());
    dialog.SendMessage(WM_NOTIFY, IDC_PROCESSLIST, reinterpret_cast<LPARAM>(&request));
    EXPECT_EQ(helper.path() + L"\n" + WideFromText(commandLine), std::wstring(tip.data()));
}

TEST_F(WindowTreeTest, TheWindowGrowsFromItsFirstSizeAndComesBackAsItWasLeft) {
    Open(dialog);
    // At the first size every control is where the template puts it.
    RECT listInTemplate{7, 4, 248, 196};  // x, y, width, height
    MapDialogRect(dialog.m_hWnd, &listInTemplate);
    const RECT list = ClientRectOf(IDC_PROCESSLIST);
    EXPECT_EQ(listInTemplate.left, list.left);
    EXPECT_EQ(listInTemplate.top, list.top);
    EXPECT_EQ(listInTemplate.right, list.right - list.left);
    EXPECT_EQ(listInTemplate.bottom, list.bottom - list.top);
    const RECT first = dialog.GetWindowRect();
    const RECT button = ClientRectOf(IDC_REFRESH);
    const RECT count = ClientRectOf(IDC_COUNTTEXT);

    const int width = first.right - first.left;
    const int height = first.bottom - first.top;
    ::SetWindowPos(dialog.m_hWnd, nullptr, 30, 40, width + 200, height + 100, SWP_NOZORDER);
    const RECT grownList = ClientRectOf(IDC_PROCESSLIST);
    EXPECT_EQ(list.right - list.left + 200, grownList.right - grownList.left);
    EXPECT_EQ(list.bottom - list.top + 100, grownList.bottom - grownList.top);
    EXPECT_EQ(button.left + 200, ClientRectOf(IDC_REFRESH).left);
    EXPECT_EQ(button.top, ClientRectOf(IDC_REFRESH).top);
    EXPECT_EQ(count.top + 100, ClientRectOf(IDC_COUNTTEXT).top);
    EXPECT_EQ(count.left, ClientRectOf(IDC_COUNTTEXT).left);

    MINMAXINFO limits{};
    dialog.SendMessage(WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(width, limits.ptMinTrackSize.x);
    EXPECT_EQ(height, limits.ptMinTrackSize.y);

    dialog.m_list.SetColumnWidth(0, 77);
    int order[] = {1, 0, 2, 3, 4};
    dialog.m_list.SendMessage(LVM_SETCOLUMNORDERARRAY, 5, reinterpret_cast<LPARAM>(order));
    NotifyFromList(dialog.m_hWnd, dialog.m_list.m_hWnd, LVN_COLUMNCLICK, kPidColumn);
    DestroyWindow(dialog.m_hWnd);

    CProcessListDlg again;
    Open(again);
    const RECT place = again.GetWindowRect();
    EXPECT_EQ(30, place.left);
    EXPECT_EQ(40, place.top);
    EXPECT_EQ(width + 200, place.right - place.left);
    EXPECT_EQ(77, again.m_list.SendMessage(LVM_GETCOLUMNWIDTH, 0));
    int restored[5] = {};
    again.m_list.SendMessage(LVM_GETCOLUMNORDERARRAY, 5, reinterpret_cast<LPARAM>(restored));
    EXPECT_EQ(1, restored[0]);
    EXPECT_EQ(0, restored[1]);
    EXPECT_EQ(kPidColumn, again.m_list.m_nSortColumn);
    EXPECT_FALSE(again.IsTreeOrder());
    again.ShowWindow(SW_MAXIMIZE);
    SendMessageW(again.m_hWnd, WM_COMMAND, MAKEWPARAM(ID_MENU_TREEORDER, 0), 0);
    DestroyWindow(again.m_hWnd);

    CProcessListDlg third;
    Open(third);
    EXPECT_TRUE(third.IsTreeOrder());
    EXPECT_EQ(-1, third.m_list.m_nSortColumn);
    EXPECT_TRUE(IsZoomed(third.m_hWnd));
    DestroyWindow(third.m_hWnd);
}

// The settings under HKCU\Software\tarvemonix come back with their type; a
// value of this test's own is written, read and removed again.
TEST(RegistrySettingsStore, WritesAndReadsValuesWithTheirType) {
    RegistrySettingsStore registry;
    const StoredValue bytes{kStoredBytes, {1, 2, 3, 250}};
    ASSERT_TRUE(registry.Write("tvx-test-value", bytes));
    const std::optional<StoredValue> read = registry.Read("tvx-test-value");
    ASSERT_TRUE(read);
    EXPECT_EQ(kStoredBytes, read->type);
    EXPECT_EQ(bytes.bytes, read->bytes);
    const RegistryKey key(HKEY_CURRENT_USER, L"Software\\tarvemonix", KEY_SET_VALUE);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key.get(), L"tvx-test-value"));
    EXPECT_FALSE(registry.Read("tvx-test-value"));
}

// A value another program (or an older version) left with the wrong type in
// the real store gives that item's default; the others are read.
TEST(RegistrySettingsStore, AWrongTypedValueGivesTheDefault) {
    RegistrySettingsStore registry;
    const RegistryKey key(HKEY_CURRENT_USER, L"Software\\tarvemonix", KEY_SET_VALUE, true);
    const wchar_t maximized[] = L"1";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), L"WindowMaximized", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(maximized), sizeof(maximized)));
    const DWORD tree = 1;
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key.get(), L"TreeOrder", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&tree),
                                            sizeof(tree)));
    const WindowSettings loaded = LoadWindowSettings(registry, {10}, {0, 0}, {});
    EXPECT_FALSE(loaded.maximized);
    EXPECT_TRUE(loaded.treeOrder);
    for (const wchar_t* name : {L"WindowMaximized", L"TreeOrder"}) RegDeleteValueW(key.get(), name);
}
