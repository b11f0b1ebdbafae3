// The startup entries dialog over the prefix's real registry, Startup folder
// and files: entries planted in every place are listed with their place and
// marks; disabling and enabling give the value back byte for byte; removal
// logs first; 封锁 writes proc.dat.
#include <objbase.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "autostart/StartupDlg.h"
#include "autostart/Win32AutostartSystem.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/StartupPlanting.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

const std::wstring kRun = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const std::wstring kRunOnce = L"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
const std::wstring kOptions = L"Software\\Microsoft\\Windows NT\\CurrentVersion\\Image File Execution Options";
const std::wstring kApproved = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH + 1] = {};
    SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path);
    return path;
}

// A seam whose Windows version a test chooses.
class ChosenSystem : public Win32AutostartSystem {
public:
    WindowsVersion version{10, 0};
    WindowsVersion Version() override { return version; }
};

class StartupEntriesTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
        // Outside the temporary folders, so only the marks planted show.
        programs = L"C:\\tvx-startup-" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(programs.c_str(), nullptr);
        danger = programs + L"\\tvxstartdanger.exe";
        linked = programs + L"\\tvxstartlinked.exe";
        disguise = scratch.path() + L"\\svchost.exe";
        for (const std::wstring& copy : {danger, linked, disguise}) CopyFileW(TVX_SLEEPER_PATH, copy.c_str(), FALSE);
        WriteFileBytes(scratch.path() + L"\\proc.dat", "tvxstartdanger\r\nEOF");
        link = ShellFolder(CSIDL_STARTUP) + L"\\tvxtest-link.lnk";
        ASSERT_TRUE(MakeShortcut(link, linked, L"/tray"));
    }
    void TearDown() override {
        if (dialog && dialog->m_hWnd) DestroyWindow(dialog->m_hWnd);
        dialog.reset();
        DeleteFileW(link.c_str());
        for (const std::wstring& copy : {danger, linked}) DeleteFileW(copy.c_str());
        RemoveDirectoryW(programs.c_str());
        CoUninitialize();
    }
    void Open() {
        dialog = std::make_unique<CStartupDlg>(scratch.path());
        dialog->SetMessagePrompt(&prompt);
        dialog->SetAutostartSystem(&system);
        ASSERT_TRUE(dialog->Create());
    }
    int RowOf(const std::wstring& name) const {
        for (int row = 0; row < dialog->m_list.GetItemCount(); ++row) {
            if (dialog->m_list.GetItemText(row, 0) == TextFromWide(name)) return row;
        }
        return -1;
    }
    std::string Cell(const std::wstring& name, int column) const {
        return dialog->m_list.GetItemText(RowOf(name), column);
    }
    void Select(const std::wstring& name) {
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        dialog->m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(RowOf(name)), reinterpret_cast<LPARAM>(&item));
    }
    void Press(int id) {
        dialog->SendMessage(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(dialog->GetDlgItem(id)));
    }

    ScratchDirectory scratch;
    std::wstring programs, danger, linked, disguise, link;
    ScriptedPrompt prompt;
    ChosenSystem system;
    std::unique_ptr<CStartupDlg> dialog;
};

}  // namespace

TEST_F(StartupEntriesTest, EveryPlaceIsListedWithItsPlaceAndMarks) {
    const PlantedValue user(HKEY_CURRENT_USER, 0, kRun, L"tvxtest-danger", TextValue(L"\"" + danger + L"\" /x"));
    const PlantedValue machine64(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kRun, L"tvxtest-missing",
                                 TextValue(L"C:\\tvx-nowhere\\gone.exe /q"));
    const PlantedValue machine32(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kRun, L"tvxtest-disguise", TextValue(disguise));
    const PlantedValue once(HKEY_CURRENT_USER, 0, kRunOnce, L"tvxtest-once", {REG_BINARY, {1, 2, 3}});
    const PlantedValue debugger(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kOptions + L"\\tvxtest.exe", L"Debugger",
                                TextValue(L"%SystemRoot%\\system32\\notepad.exe"));
    Open();

    EXPECT_EQ("启动项", dialog->GetWindowText());
    EXPECT_EQ("HKCU\\...\\Run", Cell(L"tvxtest-danger", 2));
    EXPECT_EQ("危险、已启用", Cell(L"tvxtest-danger", 4));
    EXPECT_EQ("HKLM\\...\\Run", Cell(L"tvxtest-missing", 2));
    EXPECT_EQ("文件不存在、已启用", Cell(L"tvxtest-missing", 4));
    EXPECT_EQ("HKLM\\...\\WOW6432Node\\...\\Run", Cell(L"tvxtest-disguise", 2));
    EXPECT_EQ("可疑、已启用", Cell(L"tvxtest-disguise", 4));
    EXPECT_EQ("HKCU\\...\\RunOnce", Cell(L"tvxtest-once", 2));
    EXPECT_EQ("01 02 03", Cell(L"tvxtest-once", 1));
    EXPECT_EQ("启动文件夹（当前用户）", Cell(L"tvxtest-link.lnk", 2));
    EXPECT_EQ(TextFromWide(L"\"" + linked + L"\" /tray"), Cell(L"tvxtest-link.lnk", 1));
    EXPECT_EQ("HKLM\\...\\Image File Execution Options", Cell(L"tvxtest.exe", 2));
    // Each entry once: the rows of the planted names.
    int planted = 0;
    for (int row = 0; row < dialog->m_list.GetItemCount(); ++row) {
        planted += dialog->m_list.GetItemText(row, 0).rfind("tvxtest", 0) == 0;
    }
    EXPECT_EQ(6, planted);

    // IFEO entries can only be removed.
    Select(L"tvxtest.exe");
    EXPECT_FALSE(dialog->m_btnToggle.IsWindowEnabled());

    // 封锁: the program file's name into proc.dat, and the entry is 危险 at once.
    Select(L"tvxtest-link.lnk");
    prompt.answers = {kIdYes};
    Press(IDC_STARTUPBLOCK);
    EXPECT_EQ("tvxstartdanger\r\ntvxstartlinked.exe\r\nEOF", ReadFileBytes(scratch.path() + L"\\proc.dat"));
    EXPECT_EQ("危险、已启用", Cell(L"tvxtest-link.lnk", 4));
}

TEST_F(StartupEntriesTest, DisableThenEnableGivesTheValueBackByteForByte) {
    // An odd length and no terminator: what a careless writer leaves.
    const RawValue odd{REG_SZ, {'a', 0, 'b', 0, 'c'}};
    const PlantedValue user(HKEY_CURRENT_USER, 0, kRun, L"tvxtest-odd", odd);
    const PlantedValue machine(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kRun, L"tvxtest-moved", TextValue(danger));
    Open();

    // Windows 8 on: the StartupApproved mark; the value stays as it is.
    Select(L"tvxtest-odd");
    EXPECT_EQ("禁用", dialog->m_btnToggle.GetWindowText());
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(0x03, ReadRawValue(HKEY_CURRENT_USER, 0, kApproved, L"tvxtest-odd")->bytes.at(0));
    // The entry stays selected, and the button now enables it.
    EXPECT_EQ("启用", dialog->m_btnToggle.GetWindowText());
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(0x02, ReadRawValue(HKEY_CURRENT_USER, 0, kApproved, L"tvxtest-odd")->bytes.at(0));
    EXPECT_EQ(odd, ReadRawValue(HKEY_CURRENT_USER, 0, kRun, L"tvxtest-odd"));
    // The mark is taken away with the test's other values.
    const PlantedValue markGoes(HKEY_CURRENT_USER, 0, kApproved, L"tvxtest-odd", {REG_BINARY, {2}});

    // Before Windows 8: the value moves to the program's own key and back.
    system.version = {6, 1};
    const std::optional<RawValue> before = ReadRawValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kRun, L"tvxtest-moved");
    Select(L"tvxtest-moved");
    Press(IDC_STARTUPTOGGLE);
    EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kRun, L"tvxtest-moved"));
    EXPECT_EQ(before,
              ReadRawValue(HKEY_CURRENT_USER, 0, L"Software\\tarvemonix\\Disabled\\HKLM-Run", L"tvxtest-moved"));
    EXPECT_EQ("危险、已禁用", Cell(L"tvxtest-moved", 4));
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(before, ReadRawValue(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, kRun, L"tvxtest-moved"));
    EXPECT_FALSE(ReadRawValue(HKEY_CURRENT_USER, 0, L"Software\\tarvemonix\\Disabled\\HKLM-Run", L"tvxtest-moved"));

    // The shortcut moves beside the Startup folder and back.
    Select(L"tvxtest-link.lnk");
    Press(IDC_STARTUPTOGGLE);
    EXPECT_FALSE(FileExists(link));
    Press(IDC_STARTUPTOGGLE);
    EXPECT_TRUE(FileExists(link));
    EXPECT_TRUE(prompt.shown.empty());
    RemoveDirectoryW((ShellFolder(CSIDL_STARTUP) + L" (tarvemonix disabled)").c_str());
}

TEST_F(StartupEntriesTest, RemovalAsksAndLogsTheValueFirst) {
    const PlantedValue machine(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kRun, L"tvxtest-remove",
                               TextValue(L"C:\\tvx-nowhere\\gone.exe /q"));
    Open();
    Select(L"tvxtest-remove");
    prompt.answers = {kIdNo};
    Press(IDC_STARTUPREMOVE);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("确定要删除启动项 tvxtest-remove 吗？", prompt.shown[0].text);
    EXPECT_EQ("提示", prompt.shown[0].caption);
    EXPECT_TRUE(ReadRawValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kRun, L"tvxtest-remove"));

    prompt.answers = {kIdYes};
    Press(IDC_STARTUPREMOVE);
    EXPECT_FALSE(ReadRawValue(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, kRun, L"tvxtest-remove"));
    EXPECT_EQ(-1, RowOf(L"tvxtest-remove"));
    const std::string log = ReadFileBytes(scratch.path() + L"\\tarvemonix.log");
    EXPECT_NE(std::string::npos,
              log.find("  删除启动项  HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\"
                       "CurrentVersion\\Run  tvxtest-remove  REG_SZ  C:\\tvx-nowhere\\gone.exe /q\r\n"))
        << log;
}
