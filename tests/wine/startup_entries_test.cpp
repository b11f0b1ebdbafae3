// The startup entries dialog over the prefix's real registry, Startup folder
// and files: entries planted in every place are listed with their place and
// marks; disabling and enabling give the value back byte for byte; removal
// logs first; 封锁 writes proc.dat.
#include <objbase.h>
#include <shlobj.h>
#include <taskschd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "autostart/StartupDlg.h"
#include "autostart/TaskXml.h"
#include "autostart/Win32AutostartSystem.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

constexpr auto CU = RegistryRoot::CurrentUser;
constexpr auto LM = RegistryRoot::LocalMachine;
constexpr auto Native = RegistryView::Native;
const std::wstring kApproved = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\Run";
const std::wstring kAside = L"Software\\tarvemonix\\Disabled\\HKLM-Run";

std::wstring ShellFolder(int csidl) {
    wchar_t path[MAX_PATH + 1] = {};
    SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, 0, path);
    return path;
}

// A seam whose Windows version a test chooses; it also plants and reads back
// the tests' values, checked against the bytes the test wrote.
class ChosenSystem : public Win32AutostartSystem {
public:
    WindowsVersion version{10, 0};
    WindowsVersion Version() override { return version; }
    std::optional<RegistryValue> Read(RegistryRoot root, RegistryView view, const std::wstring& key,
                                      const std::wstring& name) {
        RegistryValue value;
        if (ReadValue(root, view, key, name, value) != kErrorSuccess) return std::nullopt;
        return value;
    }
};

// A value of the test's, taken away with the object.
class Planted {
public:
    Planted(ChosenSystem& system, RegistryRoot root, RegistryView view, std::wstring key, const RegistryValue& value)
        : m_system(system), m_root(root), m_view(view), m_key(std::move(key)), m_name(value.name) {
        m_system.WriteValue(root, view, m_key, value);
    }
    ~Planted() { m_system.DeleteValue(m_root, m_view, m_key, m_name); }
    Planted(const Planted&) = delete;
    Planted& operator=(const Planted&) = delete;

private:
    ChosenSystem& m_system;
    RegistryRoot m_root;
    RegistryView m_view;
    std::wstring m_key, m_name;
};

bool MakeShortcut(const std::wstring& link, const std::wstring& target, const std::wstring& arguments) {
    IShellLinkW* shellLink = nullptr;
    IPersistFile* file = nullptr;
    const bool made = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                                 reinterpret_cast<void**>(&shellLink))) &&
                      SUCCEEDED(shellLink->SetPath(target.c_str())) &&
                      SUCCEEDED(shellLink->SetArguments(arguments.c_str())) &&
                      SUCCEEDED(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
                      SUCCEEDED(file->Save(link.c_str(), TRUE));
    if (file) file->Release();
    if (shellLink) shellLink->Release();
    return made;
}

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
        for (const std::wstring& file : {link, danger, linked}) DeleteFileW(file.c_str());
        RemoveDirectoryW(programs.c_str());
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, (std::wstring(kImageOptionsKey) + L"\\tvxtest.exe").c_str());
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
    const Planted user(system, CU, Native, kRunKey, StringValue(L"tvxtest-danger", L"\"" + danger + L"\" /x"));
    const Planted machine64(system, LM, RegistryView::Key64, kRunKey,
                            StringValue(L"tvxtest-missing", L"C:\\tvx-nowhere\\gone.exe /q"));
    const Planted machine32(system, LM, RegistryView::Key32, kRunKey, StringValue(L"tvxtest-disguise", disguise));
    const Planted once(system, CU, Native, kRunOnceKey, {L"tvxtest-once", kRegBinary, {1, 2, 3}});
    const Planted debugger(system, LM, RegistryView::Key64, std::wstring(kImageOptionsKey) + L"\\tvxtest.exe",
                           StringValue(L"Debugger", L"%SystemRoot%\\system32\\notepad.exe"));
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
    const RegistryValue odd{L"tvxtest-odd", kRegSz, {'a', 0, 'b', 0, 'c'}};
    const Planted user(system, CU, Native, kRunKey, odd);
    const RegistryValue moved = StringValue(L"tvxtest-moved", danger, kRegExpandSz);
    const Planted machine(system, LM, RegistryView::Key64, kRunKey, moved);
    // What a run that failed half-way left aside would stand in the way.
    system.DeleteValue(LM, RegistryView::Key64, kAside, L"tvxtest-moved");
    const std::wstring disabled = ShellFolder(CSIDL_LOCAL_APPDATA) + L"\\tarvemonix\\Disabled\\StartUp";
    DeleteFileW((disabled + L"\\tvxtest-link.lnk").c_str());
    Open();

    // Windows 8 on: the StartupApproved mark; the value stays as it is.
    Select(L"tvxtest-odd");
    EXPECT_EQ("禁用", dialog->m_btnToggle.GetWindowText());
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(0x03, system.Read(CU, Native, kApproved, L"tvxtest-odd")->bytes.at(0));
    // The entry stays selected, and the button now enables it.
    EXPECT_EQ("启用", dialog->m_btnToggle.GetWindowText());
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(0x02, system.Read(CU, Native, kApproved, L"tvxtest-odd")->bytes.at(0));
    EXPECT_EQ(odd, system.Read(CU, Native, kRunKey, L"tvxtest-odd"));
    const Planted markGoes(system, CU, Native, kApproved, {L"tvxtest-odd", kRegBinary, {2}});

    // Before Windows 8: the value moves to the program's own key and back.
    system.version = {6, 1};
    Select(L"tvxtest-moved");
    Press(IDC_STARTUPTOGGLE);
    EXPECT_FALSE(system.Read(LM, RegistryView::Key64, kRunKey, L"tvxtest-moved"));
    // It stays in the machine's hive, where every administrator sees it.
    EXPECT_EQ(moved, system.Read(LM, RegistryView::Key64, kAside, L"tvxtest-moved"));
    EXPECT_FALSE(system.Read(CU, Native, kAside, L"tvxtest-moved"));
    EXPECT_EQ("危险、已禁用", Cell(L"tvxtest-moved", 4));
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(moved, system.Read(LM, RegistryView::Key64, kRunKey, L"tvxtest-moved"));
    EXPECT_FALSE(system.Read(LM, RegistryView::Key64, kAside, L"tvxtest-moved"));

    // The shortcut moves beside the Startup folder and back.
    Select(L"tvxtest-link.lnk");
    Press(IDC_STARTUPTOGGLE);
    EXPECT_FALSE(FileExists(link));
    // Outside the Start menu, where it would still show.
    EXPECT_TRUE(FileExists(disabled + L"\\tvxtest-link.lnk"));
    Press(IDC_STARTUPTOGGLE);
    EXPECT_TRUE(FileExists(link));
    EXPECT_TRUE(prompt.shown.empty());
    RemoveDirectoryW(disabled.c_str());
}

// Two entries whose names differ only in characters code page 936 lacks show
// the same texts; each row still stands for its own entry.
TEST_F(StartupEntriesTest, EachRowStandsForItsOwnEntry) {
    const Planted first(system, CU, Native, kRunKey, StringValue(L"tvxtest-\u0159", L"C:\\tvx-nowhere\\same.exe"));
    const Planted second(system, CU, Native, kRunKey, StringValue(L"tvxtest-\u0161", L"C:\\tvx-nowhere\\same.exe"));
    Open();
    std::vector<std::wstring> selected;
    for (int row = 0; row < dialog->m_list.GetItemCount(); ++row) {
        if (dialog->m_list.GetItemText(row, 1) != "C:\\tvx-nowhere\\same.exe") continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        dialog->m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        ASSERT_TRUE(dialog->SelectedEntry());
        selected.push_back(dialog->SelectedEntry()->name);
    }
    std::sort(selected.begin(), selected.end());
    EXPECT_EQ((std::vector<std::wstring>{L"tvxtest-\u0159", L"tvxtest-\u0161"}), selected);
}

// A change refused for want of rights: on Yes the dialog closes first, and
// only then does the restart run, over a window nothing is open over.
class DeniedApproval : public ChosenSystem {
public:
    long WriteValue(RegistryRoot root, RegistryView view, const std::wstring& key,
                    const RegistryValue& value) override {
        if (key == kApproved) return kErrorAccessDenied;
        return ChosenSystem::WriteValue(root, view, key, value);
    }
};

CStartupDlg* g_running = nullptr;
HWND g_runningWindow = nullptr;

void CALLBACK PressToggleOfPlanted(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_runningWindow = g_running->m_hWnd;
    CSortableListCtrl& list = g_running->m_list;
    for (int row = 0; row < list.GetItemCount(); ++row) {
        if (list.GetItemText(row, 0) != "tvxtest-denied") continue;
        LVITEMW item{};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    g_running->PostMessage(WM_COMMAND, MAKEWPARAM(IDC_STARTUPTOGGLE, BN_CLICKED));
}

TEST_F(StartupEntriesTest, TheRestartAsAdministratorWaitsForTheDialogToClose) {
    DeniedApproval denied;
    const Planted user(denied, CU, Native, kRunKey, StringValue(L"tvxtest-denied", L"C:\\tvx-nowhere\\x.exe"));
    bool dialogOpenAtRestart = true;
    int restarts = 0;
    prompt.answers = {kIdYes};
    const StartupDialogOutcome outcome = RunStartupDialog(scratch.path(), [&](CStartupDlg& running) {
        running.SetMessagePrompt(&prompt);
        running.SetAutostartSystem(&denied);
        running.SetRunsAsAdministrator(false);
        running.SetAdministratorRestart([&] {
            ++restarts;
            dialogOpenAtRestart = IsWindow(g_runningWindow) != FALSE;
            return true;
        });
        g_running = &running;
        SetTimer(nullptr, 0, 50, PressToggleOfPlanted);
    });
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("更改该启动项需要管理员权限。是否以管理员身份重新启动瓦诺德？", prompt.shown[0].text);
    EXPECT_EQ(1, restarts);
    EXPECT_FALSE(dialogOpenAtRestart);
    EXPECT_TRUE(outcome.restarted);
}

TEST_F(StartupEntriesTest, RemovalAsksAndLogsTheValueFirst) {
    const Planted machine(system, LM, RegistryView::Key32, kRunKey,
                          StringValue(L"tvxtest-remove", L"C:\\tvx-nowhere\\gone.exe /q"));
    Open();
    Select(L"tvxtest-remove");
    prompt.answers = {kIdNo};
    Press(IDC_STARTUPREMOVE);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("确定要删除启动项 tvxtest-remove 吗？", prompt.shown[0].text);
    EXPECT_EQ("提示", prompt.shown[0].caption);
    EXPECT_TRUE(system.Read(LM, RegistryView::Key32, kRunKey, L"tvxtest-remove"));

    prompt.answers = {kIdYes};
    Press(IDC_STARTUPREMOVE);
    EXPECT_FALSE(system.Read(LM, RegistryView::Key32, kRunKey, L"tvxtest-remove"));
    EXPECT_EQ(-1, RowOf(L"tvxtest-remove"));
    const std::string log = ReadFileBytes(scratch.path() + L"\\tarvemonix.log");
    EXPECT_NE(std::string::npos,
              log.find("  删除启动项  HKEY_LOCAL_MACHINE\\Software\\WOW6432Node\\Microsoft\\Windows\\"
                       "CurrentVersion\\Run  tvxtest-remove  REG_SZ  C:\\tvx-nowhere\\gone.exe /q\r\n"))
        << log;
}

namespace {

// A service of the test's, its binary a helper that is never started, deleted with the object.
class PlantedService {
public:
    explicit PlantedService(const std::wstring& binary)
        : m_manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS)) {
        if (const SC_HANDLE old = OpenServiceW(m_manager, kName, DELETE)) {
            DeleteService(old);
            CloseServiceHandle(old);
        }
        const SC_HANDLE made =
            CreateServiceW(m_manager, kName, L"tvx 测试服务", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                           SERVICE_AUTO_START, SERVICE_ERROR_IGNORE, (L"\"" + binary + L"\" -service").c_str(), nullptr,
                           nullptr, nullptr, nullptr, nullptr);
        if (made) CloseServiceHandle(made);
    }
    ~PlantedService() {
        if (const SC_HANDLE service = OpenServiceW(m_manager, kName, DELETE)) {
            DeleteService(service);
            CloseServiceHandle(service);
        }
        RegDeleteKeyW(HKEY_LOCAL_MACHINE, L"Software\\tarvemonix\\Disabled\\Services\\tvxtest-svc");
        CloseServiceHandle(m_manager);
    }
    PlantedService(const PlantedService&) = delete;
    PlantedService& operator=(const PlantedService&) = delete;

    // The start type, or -1 where the service cannot be read (deleted).
    long StartType() const {
        const SC_HANDLE service = OpenServiceW(m_manager, kName, SERVICE_QUERY_CONFIG);
        if (!service) return -1;
        DWORD needed = 0;
        QueryServiceConfigW(service, nullptr, 0, &needed);
        std::vector<QUERY_SERVICE_CONFIGW> config(needed / sizeof(QUERY_SERVICE_CONFIGW) + 1);
        const BOOL read = QueryServiceConfigW(
            service, config.data(), static_cast<DWORD>(config.size() * sizeof(QUERY_SERVICE_CONFIGW)), &needed);
        CloseServiceHandle(service);
        return read ? static_cast<long>(config[0].dwStartType) : -1;
    }

    static constexpr const wchar_t* kName = L"tvxtest-svc";

private:
    SC_HANDLE m_manager;
};

}  // namespace

TEST_F(StartupEntriesTest, AServiceIsListedDisabledEnabledAndDeletedWithItsLogLine) {
    const PlantedService service(linked);
    ASSERT_EQ(SERVICE_AUTO_START, service.StartType());
    Open();
    ASSERT_NE(-1, RowOf(PlantedService::kName));
    EXPECT_EQ(TextFromWide(L"\"" + linked + L"\" -service"), Cell(PlantedService::kName, 1));
    EXPECT_EQ("服务", Cell(PlantedService::kName, 2));
    EXPECT_EQ("tvx 测试服务", Cell(PlantedService::kName, 3));
    EXPECT_EQ("已启用", Cell(PlantedService::kName, 4));

    Select(PlantedService::kName);
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(SERVICE_DISABLED, service.StartType());
    EXPECT_EQ("已禁用", Cell(PlantedService::kName, 4)) << "still listed, to be enabled again";
    EXPECT_EQ("启用", dialog->m_btnToggle.GetWindowText());
    Press(IDC_STARTUPTOGGLE);
    EXPECT_EQ(SERVICE_AUTO_START, service.StartType());
    EXPECT_TRUE(prompt.shown.empty()) << "a stopped service is disabled without a notice";

    prompt.answers = {kIdYes};
    Press(IDC_STARTUPREMOVE);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("确定要删除服务 tvxtest-svc 吗？此操作会停止并删除该服务。", prompt.shown[0].text);
    EXPECT_EQ(-1, service.StartType());
    EXPECT_EQ(-1, RowOf(PlantedService::kName));
    const std::string log = ReadFileBytes(scratch.path() + L"\\tarvemonix.log");
    EXPECT_NE(std::string::npos, log.find("  删除服务  tvxtest-svc  tvx 测试服务  " +
                                          TextFromWide(L"\"" + linked + L"\" -service") + "  自动  LocalSystem\r\n"))
        << log;
}

TEST_F(StartupEntriesTest, WindowsOwnEntriesAreShownUntilTheirCheckSaysOtherwise) {
    // notepad.exe lies in a home of Windows' own, but nothing under Wine is signed by Microsoft.
    const Planted notepad(system, CU, Native, kRunKey,
                          StringValue(L"tvxtest-notepad", L"%SystemRoot%\\system32\\notepad.exe", kRegExpandSz));
    std::vector<bool> remembered;
    dialog = std::make_unique<CStartupDlg>(scratch.path());
    dialog->SetMessagePrompt(&prompt);
    dialog->SetAutostartSystem(&system);
    dialog->SetHideWindowsOwn(true, [&](bool hide) { remembered.push_back(hide); });
    ASSERT_TRUE(dialog->Create());
    EXPECT_EQ(BST_CHECKED, dialog->m_chkHideWindowsOwn.SendMessage(BM_GETCHECK));
    const int rows = dialog->m_list.GetItemCount();
    EXPECT_EQ(dialog->entries().size(), static_cast<size_t>(rows)) << "every entry shows at once";
    EXPECT_EQ(EntryCountText(static_cast<size_t>(rows), 0), dialog->m_count.GetWindowText());
    // The checks answer on the window's messages.
    PumpMessages(2000);
    EXPECT_NE(-1, RowOf(L"tvxtest-notepad"));
    EXPECT_EQ(EntryCountText(static_cast<size_t>(rows), 0), dialog->m_count.GetWindowText());

    dialog->m_chkHideWindowsOwn.SendMessage(BM_SETCHECK, BST_UNCHECKED);
    Press(IDC_STARTUPHIDEOWN);
    EXPECT_EQ(std::vector<bool>{false}, remembered);
}

namespace {

RECT PlaceIn(HWND dialog, HWND control) {
    RECT place{};
    GetWindowRect(control, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

// Grown, the list grows with the dialog and the controls under it keep their
// distance to the bottom edge; it is never smaller than half its first size.
TEST_F(StartupEntriesTest, TheListGrowsWithTheDialogAndTheButtonsKeepToItsBottom) {
    Open();
    const HWND window = dialog->m_hWnd;
    RECT first{};
    GetWindowRect(window, &first);
    const RECT list = PlaceIn(window, dialog->m_list.m_hWnd);
    const RECT close = PlaceIn(window, GetDlgItem(window, IDCANCEL));
    const RECT count = PlaceIn(window, GetDlgItem(window, IDC_STARTUPCOUNT));
    SetWindowPos(window, nullptr, 0, 0, first.right - first.left + 100, first.bottom - first.top + 80,
                 SWP_NOMOVE | SWP_NOZORDER);
    const RECT grownList = PlaceIn(window, dialog->m_list.m_hWnd);
    EXPECT_EQ(list.right - list.left + 100, grownList.right - grownList.left);
    EXPECT_EQ(list.bottom - list.top + 80, grownList.bottom - grownList.top);
    EXPECT_EQ(close.top + 80, PlaceIn(window, GetDlgItem(window, IDCANCEL)).top);
    EXPECT_EQ(close.left, PlaceIn(window, GetDlgItem(window, IDCANCEL)).left);
    EXPECT_EQ(count.top + 80, PlaceIn(window, GetDlgItem(window, IDC_STARTUPCOUNT)).top);
    SetWindowPos(window, nullptr, 0, 0, 10, 10, SWP_NOMOVE | SWP_NOZORDER);
    RECT smallest{};
    GetWindowRect(window, &smallest);
    EXPECT_EQ((first.right - first.left) / 2, smallest.right - smallest.left);
    EXPECT_EQ((first.bottom - first.top) / 2, smallest.bottom - smallest.top);
}

}  // namespace

namespace {

// A task of the test's with a logon trigger and an exec action, deleted with
// the object. The Task Scheduler makes it known; its definition file is then
// written whole, since Wine's scheduler stores a task without its triggers
// and actions.
class PlantedTask {
public:
    explicit PlantedTask(const std::wstring& program) {
        m_xml =
            L"<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n"
            L"<Task version=\"1.2\" xmlns=\"http://schemas.microsoft.com/windows/2004/02/mit/task\">\r\n"
            L"  <RegistrationInfo><Description>tvx 测试任务\r\n第二行</Description></RegistrationInfo>\r\n"
            L"  <Triggers><LogonTrigger><Enabled>true</Enabled></LogonTrigger></Triggers>\r\n"
            L"  <Settings><Enabled>true</Enabled></Settings>\r\n"
            L"  <Actions Context=\"Author\"><Exec><Command>%SystemDrive%" +
            program.substr(2) +
            L"</Command><Arguments>/tray</Arguments>"
            L"<WorkingDirectory>%SystemDrive%\\tvx-work</WorkingDirectory></Exec></Actions>\r\n"
            L"</Task>\r\n";
        ITaskService* service = nullptr;
        ITaskFolder* root = nullptr;
        IRegisteredTask* task = nullptr;
        VARIANT empty{};
        BSTR rootPath = SysAllocString(L"\\");
        BSTR name = SysAllocString(kName);
        BSTR xml = SysAllocString(m_xml.c_str());
        if (SUCCEEDED(CoCreateInstance(CLSID_TaskScheduler, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskService,
                                       reinterpret_cast<void**>(&service))) &&
            SUCCEEDED(service->Connect(empty, empty, empty, empty)) && SUCCEEDED(service->GetFolder(rootPath, &root))) {
            m_registered =
                root->RegisterTask(name, xml, TASK_CREATE_OR_UPDATE, empty, empty, TASK_LOGON_NONE, empty, &task);
        }
        if (task) task->Release();
        if (root) root->Release();
        if (service) service->Release();
        SysFreeString(rootPath);
        SysFreeString(name);
        SysFreeString(xml);
        std::string bytes = "\xFF\xFE";
        for (const wchar_t c : m_xml) bytes += std::string{static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
        WriteFileBytes(File(), bytes);
    }
    ~PlantedTask() { DeleteFileW(File().c_str()); }
    PlantedTask(const PlantedTask&) = delete;
    PlantedTask& operator=(const PlantedTask&) = delete;

    static std::wstring File() {
        wchar_t system[MAX_PATH + 1] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        return std::wstring(system) + L"\\Tasks\\" + kName;
    }
    // What the definition file says now; none where it is gone.
    static std::optional<TaskDefinition> Read() {
        const HANDLE probe =
            CreateFileW(File().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (probe == INVALID_HANDLE_VALUE) return std::nullopt;
        CloseHandle(probe);
        const std::string bytes = ReadFileBytes(File());
        const std::optional<std::wstring> xml = DecodeXmlBytes(std::vector<uint8_t>(bytes.begin(), bytes.end()));
        return xml ? ReadTaskDefinition(*xml) : std::nullopt;
    }

    static constexpr const wchar_t* kName = L"tvxtest-task";
    HRESULT m_registered = E_FAIL;

private:
    std::wstring m_xml;
};

}  // namespace

TEST_F(StartupEntriesTest, ATaskIsListedDisabledEnabledAndDeletedWithItsDefinitionInTheLog) {
    const PlantedTask task(linked);
    ASSERT_TRUE(SUCCEEDED(task.m_registered)) << std::hex << task.m_registered;
    ASSERT_TRUE(PlantedTask::Read());
    Open();
    const std::wstring name = L"\\tvxtest-task";
    ASSERT_NE(-1, RowOf(name));
    EXPECT_EQ(TextFromWide(linked + L" /tray"), Cell(name, 1));
    EXPECT_EQ("计划任务", Cell(name, 2));
    EXPECT_EQ("tvx 测试任务…", Cell(name, 3));
    EXPECT_EQ("已启用、登录时", Cell(name, 4));

    Select(name);
    Press(IDC_STARTUPTOGGLE);
    ASSERT_TRUE(PlantedTask::Read());
    EXPECT_FALSE(PlantedTask::Read()->enabled);
    EXPECT_EQ(1u, PlantedTask::Read()->actions.size()) << "registered again whole";
    EXPECT_EQ("已禁用、登录时", Cell(name, 4));
    EXPECT_EQ("启用", dialog->m_btnToggle.GetWindowText());
    Press(IDC_STARTUPTOGGLE);
    ASSERT_TRUE(PlantedTask::Read());
    EXPECT_TRUE(PlantedTask::Read()->enabled);
    EXPECT_EQ("已启用、登录时", Cell(name, 4));
    EXPECT_TRUE(prompt.shown.empty());

    prompt.answers = {kIdYes};
    Press(IDC_STARTUPREMOVE);
    ASSERT_EQ(1u, prompt.shown.size());
    EXPECT_EQ("确定要删除计划任务 \\tvxtest-task 吗？", prompt.shown[0].text);
    EXPECT_FALSE(PlantedTask::Read());
    EXPECT_EQ(-1, RowOf(name));
    const std::string log = ReadFileBytes(scratch.path() + L"\\tarvemonix.log");
    EXPECT_NE(std::string::npos, log.find("  删除计划任务  \\tvxtest-task  <?xml")) << log;
    EXPECT_NE(std::string::npos, log.find("<Command>%SystemDrive%" + TextFromWide(linked.substr(2)) +
                                          "</Command><Arguments>/tray</Arguments>"))
        << log;
    EXPECT_NE(std::string::npos, log.find("<Description>tvx 测试任务&#13;&#10;第二行</Description>")) << log;
}

namespace {

// Tasks the user may not read, as a standard user meets them on Windows
// (under Wine every program may read every task).
class RefusingTasks : public ChosenSystem {
public:
    long ReadTaskFiles(std::vector<TaskFile>& files, size_t& refused) override {
        const long status = ChosenSystem::ReadTaskFiles(files, refused);
        refused += 2;
        return status;
    }
};

}  // namespace

TEST_F(StartupEntriesTest, TasksThatCannotBeReadAreCountedInALastRowThatOnlyInforms) {
    RefusingTasks refusing;
    dialog = std::make_unique<CStartupDlg>(scratch.path());
    dialog->SetMessagePrompt(&prompt);
    dialog->SetAutostartSystem(&refusing);
    ASSERT_TRUE(dialog->Create());
    int note = -1;
    const int rows = dialog->m_list.GetItemCount();
    for (int row = 0; row < rows; ++row) {
        if (dialog->m_list.GetItemText(row, 3) == "（2 个计划任务需要管理员权限才能查看）") note = row;
    }
    ASSERT_NE(-1, note);
    EXPECT_EQ("计划任务", dialog->m_list.GetItemText(note, 2));
    EXPECT_EQ(EntryCountText(static_cast<size_t>(rows - 1), 0), dialog->m_count.GetWindowText());
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    dialog->m_list.SendMessage(LVM_SETITEMSTATE, static_cast<WPARAM>(note), reinterpret_cast<LPARAM>(&item));
    EXPECT_FALSE(dialog->m_btnRemove.IsWindowEnabled());
    EXPECT_FALSE(dialog->m_btnToggle.IsWindowEnabled());
    dialog->OnRemove();
    EXPECT_TRUE(prompt.shown.empty()) << "nothing to remove, nothing asked";
}
