// The block command of the main window and the block list editor, through the
// real dialogs and the real file system, in a scratch working directory.
#include <gtest/gtest.h>

#include "app/ProcessListDlg.h"
#include "blocklist/BlockListDlg.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

const std::wstring kProcDat = L"proc.dat";

int FindRow(const CListCtrl& list, const std::string& name) {
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemText(row, 0) == name) return row;
    }
    return -1;
}

void SelectRows(const CListCtrl& list, std::initializer_list<int> rows) {
    LVITEMW none{};
    none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    for (int row : rows) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
}

std::vector<std::string> Rows(const CListCtrl& list) {
    std::vector<std::string> rows;
    for (int row = 0; row < list.GetItemCount(); ++row) rows.push_back(list.GetItemText(row, 0));
    return rows;
}

// The main window, modeless, with scripted message boxes.
class MainWindow {
public:
    explicit MainWindow(ScriptedPrompt& prompt) {
        dialog.SetMessagePrompt(&prompt);
        created = dialog.Create();
    }
    ~MainWindow() {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }
    // Selects the helper's row; false when the list does not show it.
    bool SelectProcess(const std::string& name) {
        const int row = FindRow(dialog.m_list, name);
        if (row < 0) return false;
        SelectRows(dialog.m_list, {row});
        return true;
    }
    CProcessListDlg dialog;
    bool created = false;
};

// The editor, modeless, with scripted message boxes.
class Editor {
public:
    explicit Editor(ScriptedPrompt& prompt) {
        dialog.SetMessagePrompt(&prompt);
        created = dialog.Create();
    }
    ~Editor() {
        if (dialog.m_hWnd) DestroyWindow(dialog.m_hWnd);
    }
    CBlockListDlg dialog;
    bool created = false;
};

// Answers a dialog as soon as it appears on this thread, while a command runs
// it in its own modal loop: types into the add box's edit if asked to, then
// ends the dialog with the given button.
struct DialogScript {
    std::string caption;
    bool type = false;
    std::string typed;
    int button = IDOK;
    bool seen = false;
};
DialogScript g_dialogScript;

BOOL CALLBACK AnswerDialog(HWND window, LPARAM) {
    if (GetWindowTextOf(window) != g_dialogScript.caption) return TRUE;
    g_dialogScript.seen = true;
    if (g_dialogScript.type) SetDlgItemTextW(window, IDC_NAMEEDIT, WideFromText(g_dialogScript.typed).c_str());
    PostMessageW(window, WM_COMMAND, static_cast<WPARAM>(g_dialogScript.button), 0);
    return FALSE;
}

void CALLBACK LookForDialog(HWND, UINT, UINT_PTR timer, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), &AnswerDialog, 0);
    if (g_dialogScript.seen) KillTimer(nullptr, timer);
}

// Runs command while the script watches; true when the dialog was answered.
template <class Command>
bool WithDialogAnswered(DialogScript script, Command command) {
    g_dialogScript = std::move(script);
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, &LookForDialog);
    command();
    if (!g_dialogScript.seen) KillTimer(nullptr, timer);
    return g_dialogScript.seen;
}

// Presses "添  加" and answers the add box with the typed text.
bool AddThroughEditor(Editor& editor, const std::string& typed, int button = IDOK) {
    return WithDialogAnswered({"添加封锁进程", true, typed, button}, [&] {
        editor.dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_ADDNAME, BN_CLICKED),
                                  reinterpret_cast<LPARAM>(editor.dialog.GetDlgItem(IDC_ADDNAME)));
    });
}

void PressDelete(Editor& editor) {
    editor.dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_DELETENAME, BN_CLICKED),
                              reinterpret_cast<LPARAM>(editor.dialog.GetDlgItem(IDC_DELETENAME)));
}

// Files of the working directory other than proc.dat, the fingerprints and
// the end log (left-over temporaries).
std::vector<std::wstring> OtherFiles() {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW found{};
    HANDLE search = FindFirstFileW(L"*", &found);
    if (search == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = found.cFileName;
        const bool expected = name == L"." || name == L".." || lstrcmpiW(name.c_str(), kProcDat.c_str()) == 0 ||
                              name == L"tarvemonix.log" || name == L"prochash.dat";
        if (!expected) names.push_back(name);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return names;
}

}  // namespace

TEST(BlockCommand, AppendsTheSelectedNameAndEndsTheProcessSilently) {
    ScratchDirectory directory;
    HelperProcess helper("tvxblockone.exe");
    ASSERT_TRUE(helper.started());
    ScriptedPrompt prompt;
    prompt.answers = {kIdYes};
    MainWindow window(prompt);
    ASSERT_TRUE(window.created);
    EXPECT_EQ(1, window.dialog.m_blockList.count());
    ASSERT_TRUE(window.SelectProcess("tvxblockone.exe"));

    window.dialog.OnBlockProcess();

    EXPECT_EQ("tvxblockone.exe\r\nEOF", ReadFileBytes(kProcDat));
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("真的要把tvxblockone.exe设为危险进程并永久封锁吗？", prompt.shown[0].text);
    EXPECT_EQ("警告", prompt.shown[0].caption);
    EXPECT_EQ(kMbYesNo, prompt.shown[0].style);
    EXPECT_EQ((std::vector<std::string>{"FLCSS.EXE", "tvxblockone.exe"}), window.dialog.m_blockList.names());
    EXPECT_TRUE(helper.WaitForExit(5000));
    // The refresh that ended it still listed it, as dangerous.
    const int row = FindRow(window.dialog.m_list, "tvxblockone.exe");
    ASSERT_GE(row, 0);
    EXPECT_EQ(" 危险进程", window.dialog.m_list.GetItemText(row, 1));
    EXPECT_TRUE(OtherFiles().empty());
}

// The save dialog of an export can move the current folder: the block
// command still appends to the proc.dat of the folder the program started in.
TEST(BlockCommand, WritesTheStartFoldersFileAfterTheCurrentFolderMoved) {
    ScratchDirectory start;
    WriteFileBytes(kProcDat, "a.exe\r\nEOF");
    HelperProcess helper("tvxblockmoved.exe");
    ASSERT_TRUE(helper.started());
    ScriptedPrompt prompt;
    prompt.answers = {kIdYes};
    MainWindow window(prompt);
    ASSERT_TRUE(window.created);
    ASSERT_TRUE(window.SelectProcess("tvxblockmoved.exe"));
    {
        ScratchDirectory elsewhere;
        window.dialog.OnBlockProcess();
        EXPECT_FALSE(FileExists(kProcDat)) << "nothing written in the folder a dialog moved to";
    }
    EXPECT_EQ("a.exe\r\ntvxblockmoved.exe\r\nEOF", ReadFileBytes(start.path() + L"\\" + kProcDat));
    EXPECT_EQ((std::vector<std::string>{"FLCSS.EXE", "a.exe", "tvxblockmoved.exe"}), window.dialog.m_blockList.names());
    EXPECT_TRUE(helper.WaitForExit(5000));
}

TEST(BlockCommand, AsksBeforeEndingTheProcessWhenThePromptFlagIsSet) {
    ScratchDirectory directory;
    WriteFileBytes(kProcDat, "a.exe\r\nEOF");
    HelperProcess helper("tvxblocktwo.exe");
    ASSERT_TRUE(helper.started());
    ScriptedPrompt prompt;
    MainWindow window(prompt);
    ASSERT_TRUE(window.created);
    window.dialog.m_bPromptDangerous = 1;

    // Block, then keep it running.
    prompt.answers = {kIdYes, kIdNo};
    ASSERT_TRUE(window.SelectProcess("tvxblocktwo.exe"));
    window.dialog.OnBlockProcess();
    EXPECT_EQ("a.exe\r\ntvxblocktwo.exe\r\nEOF", ReadFileBytes(kProcDat));
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("发现危险进程tvxblocktwo.exe,是否中止？", prompt.shown[1].text);
    EXPECT_TRUE(helper.IsRunning());
    int row = FindRow(window.dialog.m_list, "tvxblocktwo.exe");
    ASSERT_GE(row, 0);
    EXPECT_EQ(" 危险进程", window.dialog.m_list.GetItemText(row, 1));

    // Blocking it again writes the name twice; it then matches twice, and the
    // first Yes ends it.
    prompt.shown.clear();
    prompt.answers = {kIdYes, kIdYes};
    ASSERT_TRUE(window.SelectProcess("tvxblocktwo.exe"));
    window.dialog.OnBlockProcess();
    EXPECT_EQ("a.exe\r\ntvxblocktwo.exe\r\ntvxblocktwo.exe\r\nEOF", ReadFileBytes(kProcDat));
    EXPECT_TRUE(helper.WaitForExit(5000));
    ASSERT_GE(prompt.shown.size(), 3u);
    EXPECT_EQ("中止tvxblocktwo.exe成功", prompt.shown[2].text);
    EXPECT_EQ("提示", prompt.shown[2].caption);
}

TEST(BlockCommand, NoAndNoSelectionWriteNothingButReload) {
    ScratchDirectory directory;
    HelperProcess helper("tvxblockno.exe");
    ASSERT_TRUE(helper.started());
    ScriptedPrompt prompt;
    MainWindow window(prompt);
    ASSERT_TRUE(window.created);
    // The upper-case name reaches the same file.
    WriteFileBytes(L"PROC.DAT", "other.exe\r\nEOF");

    prompt.answers = {kIdNo};
    ASSERT_TRUE(window.SelectProcess("tvxblockno.exe"));
    window.dialog.OnBlockProcess();
    EXPECT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("other.exe\r\nEOF", ReadFileBytes(kProcDat));
    EXPECT_EQ((std::vector<std::string>{"FLCSS.EXE", "other.exe"}), window.dialog.m_blockList.names());
    EXPECT_TRUE(helper.IsRunning());

    WriteFileBytes(kProcDat, "other.exe\r\nthird.exe\r\nEOF");
    SelectRows(window.dialog.m_list, {});
    prompt.shown.clear();
    window.dialog.OnBlockProcess();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(3, window.dialog.m_blockList.count());
    EXPECT_TRUE(helper.IsRunning());
}

TEST(BlockCommand, ReadOnlyFileGivesANoticeAndStaysUntouched) {
    ScratchDirectory directory;
    WriteFileBytes(kProcDat, "a.exe\r\nEOF");
    ASSERT_TRUE(SetFileAttributesW(kProcDat.c_str(), FILE_ATTRIBUTE_READONLY));
    HelperProcess helper("tvxblockro.exe");
    ASSERT_TRUE(helper.started());
    ScriptedPrompt prompt;
    prompt.answers = {kIdYes};
    MainWindow window(prompt);
    ASSERT_TRUE(window.created);
    ASSERT_TRUE(window.SelectProcess("tvxblockro.exe"));

    window.dialog.OnBlockProcess();

    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("提示", prompt.shown[1].caption);
    EXPECT_EQ(0u, prompt.shown[1].text.find("无法保存文件proc.dat")) << prompt.shown[1].text;
    EXPECT_EQ("a.exe\r\nEOF", ReadFileBytes(kProcDat));
    EXPECT_TRUE(OtherFiles().empty());
    // The reload and the refresh did not run.
    EXPECT_EQ(2, window.dialog.m_blockList.count());
    EXPECT_TRUE(helper.IsRunning());
    EXPECT_GE(FindRow(window.dialog.m_list, "tvxblockro.exe"), 0);
}

TEST(BlockListEditor, ShowsTheNamesNewestFirst) {
    ScratchDirectory directory;
    WriteFileBytes(kProcDat, "a.exe\r\n\r\nb.exe\r\nc.exe\r\nEOF");
    ScriptedPrompt prompt;
    Editor editor(prompt);
    ASSERT_TRUE(editor.created);
    EXPECT_EQ("编辑封锁列表", editor.dialog.GetWindowText());
    EXPECT_EQ((std::vector<std::string>{"c.exe", "b.exe", "a.exe"}), Rows(editor.dialog.m_nameList));
    EXPECT_EQ((std::vector<std::string>{"a.exe", "b.exe", "c.exe"}), editor.dialog.m_entries);
    EXPECT_EQ(3, editor.dialog.m_nEntryCount);
    EXPECT_FALSE(editor.dialog.m_btnDelete.IsWindowEnabled());
    const RECT listRect = editor.dialog.m_nameList.GetWindowRect();
    EXPECT_EQ(listRect.right - listRect.left, editor.dialog.m_nameList.SendMessage(LVM_GETCOLUMNWIDTH, 0));
    EXPECT_EQ("添  加", editor.dialog.m_btnAdd.GetWindowText());
    // Any click in the list enables delete, also one that selects nothing.
    NMHDR click{editor.dialog.m_nameList.m_hWnd, IDC_NAMELIST, static_cast<UINT>(NM_CLICK)};
    editor.dialog.SendMessage(WM_NOTIFY, IDC_NAMELIST, reinterpret_cast<LPARAM>(&click));
    EXPECT_TRUE(editor.dialog.m_btnDelete.IsWindowEnabled());
}

// A row changed after a fill asks to be drawn: the fill switched drawing on again.
bool DrawsAfterAChange(const CListCtrl& list) {
    ValidateRect(list.m_hWnd, nullptr);
    list.SetItemText(0, 0, "changed.exe");
    return WaitsToBeDrawn(list.m_hWnd);
}

TEST(BlockListEditor, ShowsEveryNameOfALongFileNewestFirst) {
    ScratchDirectory directory;
    std::string bytes;
    std::vector<std::string> newestFirst;
    for (int i = 0; i < 3000; ++i) {
        bytes += "n" + std::to_string(i) + ".exe\r\n";
        // Lines the reader skips: empty ones and one too long to be a name.
        if (i % 1000 == 0) bytes += "\r\n" + std::string(260, 'x') + "\n";
        newestFirst.insert(newestFirst.begin(), "n" + std::to_string(i) + ".exe");
    }
    WriteFileBytes(kProcDat, bytes + "EOF");
    ScriptedPrompt prompt;
    Editor editor(prompt);
    ASSERT_TRUE(editor.created);
    EXPECT_EQ(newestFirst, Rows(editor.dialog.m_nameList));
    EXPECT_EQ(3000, editor.dialog.m_nEntryCount);
    EXPECT_EQ("n0.exe", editor.dialog.m_entries.front());
    editor.dialog.ShowWindow(SW_SHOW);
    EXPECT_TRUE(DrawsAfterAChange(editor.dialog.m_nameList));
}

TEST(BlockListEditor, AddAppendsAfterTheQuestion) {
    ScratchDirectory directory;
    ScriptedPrompt prompt;
    Editor editor(prompt);
    ASSERT_TRUE(editor.created);

    prompt.answers = {kIdYes, kIdYes, kIdYes};
    for (const char* name : {"one.exe", "two.exe", "三.exe"}) ASSERT_TRUE(AddThroughEditor(editor, name));
    EXPECT_EQ("one.exe\r\ntwo.exe\r\n三.exe\r\nEOF", ReadFileBytes(kProcDat));
    EXPECT_EQ((std::vector<std::string>{"三.exe", "two.exe", "one.exe"}), Rows(editor.dialog.m_nameList));
    ASSERT_EQ(3u, prompt.shown.size());
    EXPECT_EQ("真的要把三.exe设为危险进程并永久封锁吗？", prompt.shown[2].text);
    EXPECT_EQ("警告", prompt.shown[2].caption);

    // Cancel, an empty name and No write nothing; a name that is too long is refused.
    prompt.shown.clear();
    ASSERT_TRUE(AddThroughEditor(editor, "x.exe", IDCANCEL));
    ASSERT_TRUE(AddThroughEditor(editor, ""));
    EXPECT_TRUE(prompt.shown.empty());
    prompt.answers = {kIdNo};
    ASSERT_TRUE(AddThroughEditor(editor, " x.exe "));
    EXPECT_EQ(1u, prompt.shown.size());
    ASSERT_TRUE(AddThroughEditor(editor, std::string(260, 'n')));
    ASSERT_EQ(2u, prompt.shown.size());
    EXPECT_EQ("提示", prompt.shown[1].caption);
    EXPECT_EQ("one.exe\r\ntwo.exe\r\n三.exe\r\nEOF", ReadFileBytes(kProcDat));

    // Names are stored as typed, blanks included.
    prompt.answers = {kIdYes};
    ASSERT_TRUE(AddThroughEditor(editor, " x.exe "));
    EXPECT_EQ(" x.exe ", editor.dialog.m_nameList.GetItemText(0, 0));
}

TEST(BlockListEditor, DeleteRemovesEveryCopyOfTheTopmostSelectedName) {
    ScratchDirectory directory;
    WriteFileBytes(kProcDat, "a.exe\nb.exe\r\n\r\na.exe\r\nc.exe\r\nEOF\r\n");
    ScriptedPrompt prompt;
    Editor editor(prompt);
    ASSERT_TRUE(editor.created);
    ASSERT_EQ((std::vector<std::string>{"c.exe", "a.exe", "b.exe", "a.exe"}), Rows(editor.dialog.m_nameList));

    // Nothing selected: the same names in normal form.
    PressDelete(editor);
    EXPECT_EQ("a.exe\r\nb.exe\r\na.exe\r\nc.exe\r\nEOF", ReadFileBytes(kProcDat));

    // Two rows selected: only the topmost one's name goes, every copy of it.
    SelectRows(editor.dialog.m_nameList, {1, 2});
    editor.dialog.m_btnDelete.EnableWindow(true);
    PressDelete(editor);
    EXPECT_EQ("b.exe\r\nc.exe\r\nEOF", ReadFileBytes(kProcDat));
    EXPECT_EQ((std::vector<std::string>{"c.exe", "b.exe"}), Rows(editor.dialog.m_nameList));
    EXPECT_FALSE(editor.dialog.m_btnDelete.IsWindowEnabled());

    SelectRows(editor.dialog.m_nameList, {0});
    PressDelete(editor);
    SelectRows(editor.dialog.m_nameList, {0});
    PressDelete(editor);
    EXPECT_EQ("EOF", ReadFileBytes(kProcDat));
    EXPECT_TRUE(Rows(editor.dialog.m_nameList).empty());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_TRUE(OtherFiles().empty());
}

TEST(BlockListEditor, ReadOnlyFileGivesANoticeAndStaysUntouched) {
    ScratchDirectory directory;
    WriteFileBytes(kProcDat, "a.exe\r\nb.exe\r\nEOF");
    ASSERT_TRUE(SetFileAttributesW(kProcDat.c_str(), FILE_ATTRIBUTE_READONLY));
    ScriptedPrompt prompt;
    Editor editor(prompt);
    ASSERT_TRUE(editor.created);

    SelectRows(editor.dialog.m_nameList, {0});
    PressDelete(editor);
    prompt.answers = {kIdYes};
    ASSERT_TRUE(AddThroughEditor(editor, "c.exe"));

    ASSERT_EQ(3u, prompt.shown.size());
    for (size_t notice : {0u, 2u}) {
        EXPECT_EQ("提示", prompt.shown[notice].caption);
        EXPECT_EQ(0u, prompt.shown[notice].text.find("无法保存文件proc.dat")) << prompt.shown[notice].text;
    }
    EXPECT_EQ("a.exe\r\nb.exe\r\nEOF", ReadFileBytes(kProcDat));
    EXPECT_EQ((std::vector<std::string>{"b.exe", "a.exe"}), Rows(editor.dialog.m_nameList));
    EXPECT_TRUE(OtherFiles().empty());
}

TEST(BlockListEditor, RunsModallyUntilClosed) {
    ScratchDirectory directory;
    EXPECT_TRUE(WithDialogAnswered({"编辑封锁列表", false, "", IDCANCEL}, [] { RunBlockListEditor(); }));
    // Opening the editor never creates the file.
    EXPECT_FALSE(FileExists(kProcDat));
}

// A name whose bytes are not code page 936 (saved as UTF-8 by another
// editor, say) is deleted by what the file holds, not by the row's text: a
// lead byte before '.' does not come back from the row as it was.
TEST(BlockListEditor, DeletesANameWhoseBytesAreNotCodePage936) {
    ScratchDirectory directory;
    WriteFileBytes(kProcDat, "a.exe\r\nbad\x81.exe\r\nEOF");
    ScriptedPrompt prompt;
    Editor editor(prompt);
    ASSERT_TRUE(editor.created);
    SelectRows(editor.dialog.m_nameList, {0});
    PressDelete(editor);
    EXPECT_EQ("a.exe\r\nEOF", ReadFileBytes(kProcDat));
}

// What the editor changed is enforced from the moment it closes: an added
// name is ended, a removed one is not ended any more.
TEST(BlockListEditor, ChangesReachTheRunningBlockListWhenItCloses) {
    ScratchDirectory directory;
    WriteFileBytes(kProcDat, "tvxremoved.exe\r\nEOF");
    ScriptedPrompt prompt;
    MainWindow window(prompt);
    ASSERT_TRUE(window.created);
    HelperProcess helper("tvxedited.exe");
    ASSERT_TRUE(helper.started());
    WriteFileBytes(kProcDat, "tvxedited.exe\r\nEOF");  // as the editor's add and delete leave it
    EXPECT_TRUE(WithDialogAnswered({"编辑封锁列表", false, "", IDCANCEL},
                                   [&] { window.dialog.SendMessage(WM_COMMAND, ID_MENU_BLOCKLIST, 0); }));
    EXPECT_TRUE(helper.WaitForExit(3000));

    HelperProcess removed("tvxremoved.exe");
    ASSERT_TRUE(removed.started());
    window.dialog.SendMessage(WM_COMMAND, IDC_REFRESH, 0);
    EXPECT_FALSE(removed.WaitForExit(1000)) << "the removed name still ended";
}
