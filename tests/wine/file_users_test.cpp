// The search for the processes that hold a file, over the system's real
// processes: a helper in a folder named in two scripts is found for a library
// it loaded, for its own program file and for its folders, and not for a
// neighbouring folder whose name begins alike; a file dropped on the main
// window opens the search, and 定位 selects the helper's row.
#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>

#include "app/ProcessListDlg.h"
#include "finder/FileUsersDlg.h"
#include "finder/Win32FileUsersSystem.h"
#include "process/Win32ProcessSystem.h"
#include "res/resource.h"
#include "tests/wine/support/EndableStart.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

// A copy of the sleeper at a chosen path, started there with arguments and
// ended when the object goes.
class PlacedHelper {
public:
    PlacedHelper(const std::wstring& exe, const std::wstring& arguments) {
        if (!CopyFileW(TVX_SLEEPER_PATH, exe.c_str(), FALSE)) return;
        const std::wstring folder = exe.substr(0, exe.find_last_of(L'\\'));
        StartEndable(exe, L"\"" + exe + L"\" " + arguments, folder, m_started);
    }
    ~PlacedHelper() {
        if (!m_started.process) return;
        TerminateProcess(m_started.process.get(), 0);
        WaitForSingleObject(m_started.process.get(), 5000);
    }
    PlacedHelper(const PlacedHelper&) = delete;
    PlacedHelper& operator=(const PlacedHelper&) = delete;
    uint32_t pid() const { return m_started.pid; }
    bool running() const {
        return m_started.process && WaitForSingleObject(m_started.process.get(), 0) == WAIT_TIMEOUT;
    }

private:
    EndableProcess m_started;
};

const FileUser* UserOf(const FileSearch& search, uint32_t pid) {
    const std::vector<FileUser>& users = search.found.users;
    const auto found =
        std::find_if(users.begin(), users.end(), [pid](const FileUser& user) { return user.process.pid == pid; });
    return found == users.end() ? nullptr : &*found;
}

FileSearch Search(const std::wstring& path) {
    Win32ProcessSystem processes;
    Win32FileUsersSystem files;
    return SearchFileUsers(path, processes, files);
}

// Searches until the helper is found, for at most ten seconds: it takes a
// moment to start and load its library.
FileSearch SearchUntilFound(const std::wstring& path, uint32_t pid) {
    FileSearch search;
    for (int attempt = 0; attempt < 100; ++attempt) {
        search = Search(path);
        if (UserOf(search, pid)) break;
        Sleep(100);
    }
    return search;
}

// A drop of one path, in this program's memory, as the shell hands it over.
HDROP DropOf(const std::wstring& path) {
    const size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GHND, bytes);
    auto* drop = static_cast<DROPFILES*>(GlobalLock(memory));
    drop->pFiles = sizeof(DROPFILES);
    drop->fWide = TRUE;
    std::copy(path.begin(), path.end(), reinterpret_cast<wchar_t*>(drop + 1));
    GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// What the dialog showed when the timer found it; it then chose 定位 on row 0.
struct SeenDialog {
    int rows = -1;
    std::wstring reason;
};
SeenDialog g_seen;

void CALLBACK LocateFirstRow(HWND, UINT, UINT_PTR timer, DWORD) {
    const HWND dialog = FindWindowW(L"#32770", L"占用文件的进程");
    DWORD owner = 0;
    GetWindowThreadProcessId(dialog, &owner);
    if (!dialog || owner != GetCurrentProcessId()) return;
    KillTimer(nullptr, timer);
    const HWND list = GetDlgItem(dialog, IDC_FILEUSERLIST);
    g_seen.rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    std::wstring text(64, L'\0');
    LVITEMW cell{};
    cell.iSubItem = kFileUserReasonColumn;
    cell.pszText = &text[0];
    cell.cchTextMax = static_cast<int>(text.size());
    text.resize(static_cast<size_t>(SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&cell))));
    g_seen.reason = text;
    LVITEMW state{};
    state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_FILEUSERLOCATE, BN_CLICKED), 0);
}

}  // namespace

TEST(FileUsersSearch, FindsAHelperByItsLibraryItsProgramAndItsFolders) {
    const ScratchDirectory scratch;
    const std::wstring folder = scratch.path() + L"\\日本語 Björn";
    const std::wstring bin = folder + L"\\bin";
    const std::wstring lib = bin + L"\\lib";
    const std::wstring neighbour = folder + L"x";
    for (const std::wstring& made : {folder, bin, lib, neighbour}) ASSERT_TRUE(CreateDirectoryW(made.c_str(), nullptr));
    const std::wstring library = lib + L"\\tvx_probe.dll";
    ASSERT_TRUE(CopyFileW(TVX_PROBE_LIBRARY_PATH, library.c_str(), FALSE));
    const PlacedHelper holder(bin + L"\\holder.exe", L"60 load lib\\tvx_probe.dll");
    const PlacedHelper other(neighbour + L"\\other.exe", L"60");
    ASSERT_TRUE(holder.running());
    ASSERT_TRUE(other.running());

    // The library, named with its letters in another case.
    FileSearch search = SearchUntilFound(scratch.path() + L"\\日本語 BJÖRN\\BIN\\LIB\\TVX_PROBE.DLL", holder.pid());
    EXPECT_FALSE(search.isFolder);
    const FileUser* user = UserOf(search, holder.pid());
    ASSERT_NE(user, nullptr) << "the helper that loaded the library";
    EXPECT_EQ(user->reason, FileUseReason::LoadsFile);
    EXPECT_EQ(user->name, "holder.exe");
    EXPECT_TRUE(IsSamePath(user->programPath, bin + L"\\holder.exe"));
    EXPECT_EQ(UserOf(search, other.pid()), nullptr);
    EXPECT_TRUE(IsSamePath(search.target, library)) << "the target as the file system names it";

    search = Search(bin + L"\\holder.exe");
    ASSERT_NE(UserOf(search, holder.pid()), nullptr) << "the helper's own program file";
    EXPECT_EQ(UserOf(search, holder.pid())->reason, FileUseReason::LoadsFile);
    EXPECT_EQ(UserOf(search, other.pid()), nullptr);

    search = Search(folder);
    EXPECT_TRUE(search.isFolder);
    ASSERT_NE(UserOf(search, holder.pid()), nullptr) << "its program lies below the folder";
    EXPECT_EQ(UserOf(search, holder.pid())->reason, FileUseReason::ProgramInFolder);
    EXPECT_EQ(UserOf(search, other.pid()), nullptr) << "a neighbour whose name begins alike is not in the folder";

    search = Search(lib + L"\\");
    ASSERT_NE(UserOf(search, holder.pid()), nullptr) << "its library lies in the folder";
    EXPECT_EQ(UserOf(search, holder.pid())->reason, FileUseReason::LoadsFromFolder);

    search = Search(neighbour);
    ASSERT_NE(UserOf(search, other.pid()), nullptr);
    EXPECT_EQ(UserOf(search, holder.pid()), nullptr);
}

TEST(FileUsersSearch, ADropOnTheMainWindowSearchesAndLocatesTheRow) {
    const ScratchDirectory scratch;
    const std::wstring exe = scratch.path() + L"\\tvx_dropped.exe";
    const PlacedHelper helper(exe, L"60");
    ASSERT_TRUE(helper.running());
    ScriptedPrompt prompt;
    CProcessListDlg window;
    window.SetMessagePrompt(&prompt);
    ASSERT_TRUE(window.Create());
    ASSERT_GE(FindRowOfPid(window.m_list, helper.pid()), 0);

    // Nothing holds a fresh file: a message box says so, with its path.
    const std::wstring unused = scratch.path() + L"\\unused.txt";
    WriteFileBytes(unused, "x");
    window.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(unused)), 0);
    ASSERT_EQ(prompt.shown.size(), 1u);
    Win32ProcessSystem processes;
    EXPECT_EQ(prompt.shown[0].text, NothingFoundText(processes.Text(unused)));

    // The helper's program: the dialog lists it, and 定位 selects its row.
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, LocateFirstRow);
    window.SendMessage(WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(exe)), 0);
    KillTimer(nullptr, timer);
    EXPECT_GE(g_seen.rows, 1);
    EXPECT_EQ(g_seen.reason, L"加载了该文件");
    const int selected = window.m_list.GetFirstSelectedItem();
    ASSERT_GE(selected, 0);
    EXPECT_EQ(selected, FindRowOfPid(window.m_list, helper.pid()));
    EXPECT_EQ(window.m_list.GetNextItem(selected, LVNI_SELECTED), -1) << "that row alone";
    DestroyWindow(window.m_hWnd);
}
