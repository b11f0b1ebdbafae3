// Program files blocked by their contents, and names pushed by Group Policy:
// through the block command, the real program and the registry.
#include <gtest/gtest.h>

#include <thread>

#include "app/ProcessListDlg.h"
#include "blocklist/BlockListDlg.h"
#include "framework/Registry.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "process/Win32ProcessSystem.h"
#include "process/Win32ProgramFiles.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

void SelectRow(const CListCtrl& list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

int FindRow(const CListCtrl& list, const std::string& name) {
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemText(row, 0) == name) return row;
    }
    return -1;
}

// Waits for the line in the log; the log's writer races the test to it.
std::string LogWith(const std::string& line) {
    std::string log;
    for (int attempt = 0; attempt < 30 && log.find(line) == std::string::npos; ++attempt) {
        Sleep(100);
        log = ReadFileBytes(L"tarvemonix.log");
    }
    return log;
}

const wchar_t* const kPolicyKey = L"SOFTWARE\\Policies\\tarvemonix\\BlockList";

}  // namespace

// The system's SHA-256, on the standard's own example, of a file in a folder
// named outside code page 936; a file replaced (another size or moment) while
// read gives none. Only the homes of the system's programs are spared, the
// Windows folder being the system's own.
TEST(ProgramFiles, HashesWithTheSystemsCryptography) {
    ScratchDirectory directory;
    const std::wstring folder = directory.path() + L"\\Bj\u00F6rn \U0001F600";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring path = folder + L"\\abc.bin";
    WriteFileBytes(path, "abc");
    Win32ProgramFiles files;
    FileStamp stamp;
    ASSERT_TRUE(files.StampOf(path, stamp));
    EXPECT_EQ(3u, stamp.size);
    EXPECT_EQ("ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", files.Sha256Of(path, stamp));
    EXPECT_EQ("", files.Sha256Of(path, {stamp.size, stamp.lastWrite + 1}));
    EXPECT_EQ("", files.Sha256Of(path + L".gone", stamp));
    EXPECT_FALSE(IsInSystemProgramHome(path, files));
    const std::wstring windows = SystemFolderPath(GetSystemWindowsDirectoryW);
    EXPECT_EQ(FullLongPath(windows), files.WindowsFolder());
    EXPECT_TRUE(IsInSystemProgramHome(windows + L"\\system32\\notepad.exe", files));
    EXPECT_FALSE(IsInSystemProgramHome(windows + L"\\Temp\\notepad.exe", files));
}

// 封锁进程 records the helper's file; a copy of it under another name, in
// another folder, started while the real program runs, is ended within a
// second with the fingerprint's cause. Once the editor takes the name away,
// the fingerprint goes too and a copy lives.
TEST(Fingerprints, ARenamedCopyIsEndedUntilItsNameIsRemoved) {
    ScratchDirectory directory;
    ScriptedPrompt prompt;
    prompt.answers = {kIdYes};
    CProcessListDlg dialog;
    dialog.SetMessagePrompt(&prompt);
    ASSERT_TRUE(dialog.Create());
    {
        HelperProcess blocked("tvxfpblocked.exe");
        ASSERT_TRUE(blocked.started());
        dialog.OnRefresh();
        const int row = FindRow(dialog.m_list, "tvxfpblocked.exe");
        ASSERT_GE(row, 0);
        SelectRow(dialog.m_list, row);
        dialog.SendMessage(WM_COMMAND, MAKEWPARAM(IDC_BLOCK, BN_CLICKED), 0);
        EXPECT_TRUE(blocked.WaitForExit(3000));
        // The hash is read off the window's thread.
        std::string hashes;
        for (int wait = 0; wait < 50 && hashes.empty(); ++wait) {
            PumpMessages(100);
            hashes = ReadFileBytes(L"prochash.dat");
        }
        WIN32_FILE_ATTRIBUTE_DATA data{};
        ASSERT_TRUE(GetFileAttributesExW(blocked.path().c_str(), GetFileExInfoStandard, &data));
        const std::string head = "tvxfpblocked.exe\t" + std::to_string(data.nFileSizeLow) + "\t";
        ASSERT_EQ(head.size() + 64 + 2, hashes.size()) << hashes;
        EXPECT_EQ(head, hashes.substr(0, head.size()));
        EXPECT_EQ(head.size() + 64, hashes.find_first_not_of("0123456789abcdef", head.size()));
        EXPECT_EQ("\r\n", hashes.substr(hashes.size() - 2));
    }
    {
        RunningProgram program(directory.path());
        ASSERT_NE(nullptr, program.MainWindow(15000));
        Sleep(1500);
        HelperProcess copy("tvxfpcopy.exe");
        ASSERT_TRUE(copy.started());
        const DWORD start = GetTickCount();
        ASSERT_TRUE(copy.WaitForExit(5000));
        EXPECT_LT(GetTickCount() - start, 1000u);
        const std::string line =
            "封锁列表(文件指纹 匹配 tvxfpblocked.exe)  tvxfpcopy.exe  PID " + std::to_string(copy.pid()) + "  已结束";
        const std::string log = LogWith(line);
        EXPECT_NE(std::string::npos, log.find(line));
        EXPECT_EQ(log.find("PID " + std::to_string(copy.pid()) + " "),
                  log.rfind("PID " + std::to_string(copy.pid()) + " "))
            << "one end, one line: " << log;
    }

    std::thread user([] {
        HWND editor = nullptr;
        for (int wait = 0; wait < 100 && !editor; ++wait, Sleep(50)) {
            editor = FindWindowW(L"#32770", WideFromText("编辑封锁列表").c_str());
        }
        if (!editor) return;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        SendMessageW(GetDlgItem(editor, IDC_NAMELIST), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageW(editor, WM_COMMAND, MAKEWPARAM(IDC_DELETENAME, BN_CLICKED), 0);
        PostMessageW(editor, WM_COMMAND, IDCANCEL, 0);
    });
    dialog.SendMessage(WM_COMMAND, ID_MENU_BLOCKLIST, 0);
    user.join();
    EXPECT_EQ("EOF", ReadFileBytes(L"proc.dat"));
    EXPECT_EQ("", ReadFileBytes(L"prochash.dat"));
    HelperProcess lives("tvxfplives.exe");
    ASSERT_TRUE(lives.started());
    PumpMessages(1500);
    EXPECT_TRUE(lives.IsRunning());
    DestroyWindow(dialog.m_hWnd);
}

// A fingerprint whose name left proc.dat (edited by hand, or removed while
// prochash.dat could not be read) ends nothing: the user let that name go.
TEST(Fingerprints, AFingerprintWhoseNameLeftProcDatEndsNothing) {
    ScratchDirectory directory;
    Win32ProgramFiles files;
    FileStamp stamp;
    ASSERT_TRUE(files.StampOf(TVX_SLEEPER_PATH, stamp));
    const std::string hash = files.Sha256Of(TVX_SLEEPER_PATH, stamp);
    ASSERT_EQ(64u, hash.size());
    WriteFileBytes(L"proc.dat", "tvxother\r\nEOF");
    WriteFileBytes(L"prochash.dat", "tvxfpgone.exe\t" + std::to_string(stamp.size) + "\t" + hash + "\r\n");
    RunningProgram program(directory.path());
    ASSERT_NE(nullptr, program.MainWindow(15000));
    Sleep(1500);
    HelperProcess copy("tvxfporphan.exe");
    ASSERT_TRUE(copy.started());
    Sleep(1500);
    EXPECT_TRUE(copy.IsRunning());
}

// A name of the policy key (any value name; values that are no names are
// passed over) is enforced by the real program with its own cause, and the
// editor shows proc.dat alone.
TEST(Policy, NamesOfThePolicyKeyAreEnforcedAndNotEdited) {
    ScratchDirectory directory;
    WriteFileBytes(L"proc.dat", "tvxownname\r\nEOF");
    {
        const RegistryKey key(HKEY_LOCAL_MACHINE, kPolicyKey, KEY_SET_VALUE, true);
        ASSERT_TRUE(key.get());
        const std::wstring name = L"tvxpolicy";
        RegSetValueExW(key.get(), L"1", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                       static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
        RegSetValueExW(key.get(), L"empty", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
        const DWORD number = 5;
        RegSetValueExW(key.get(), L"number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    }
    struct KeyRemoved {
        ~KeyRemoved() { RegDeleteKeyW(HKEY_LOCAL_MACHINE, kPolicyKey); }
    } removeKey;
    {
        HelperProcess spared("tvxspared.exe");
        RunningProgram program(directory.path());
        ASSERT_NE(nullptr, program.MainWindow(15000));
        Sleep(1500);
        HelperProcess pushed("tvxpolicy.exe");
        ASSERT_TRUE(pushed.started());
        EXPECT_TRUE(pushed.WaitForExit(2000));
        const std::string line = "组策略封锁(匹配 tvxpolicy)  tvxpolicy.exe  PID " + std::to_string(pushed.pid());
        EXPECT_NE(std::string::npos, LogWith(line).find(line));
        EXPECT_TRUE(spared.IsRunning()) << "an empty value matches nothing";
    }
    CBlockListDlg editor;
    ASSERT_TRUE(editor.Create());
    EXPECT_EQ((std::vector<std::string>{"tvxownname"}), editor.m_entries);
    DestroyWindow(editor.m_hWnd);
}
