#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <lmcons.h>

#include <deque>
#include <string>
#include <vector>

#include "app/ProcessListDlg.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "sysinfo/SysInfoDlg.h"
#include "tests/wine/support/WineTestSupport.h"

namespace {

class SysInfoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&controls);
    }
};

// Scripted figures: every memory query takes the next counts (the last one
// repeats), the counter advances by a fixed step per second of sleep.
class FakeQueries : public SystemQueries {
public:
    std::deque<MemoryCounts> memory;
    std::optional<std::string> computer = std::string("FAKEBOX");
    std::optional<std::string> user = std::string("tester");
    std::optional<std::string> model;
    std::optional<std::string> vendor;
    uint64_t counter = 1000;
    uint64_t ticksPerSecond = 2400000000ull;
    int memoryQueries = 0;
    int sleeps = 0;

    MemoryCounts QueryMemory() override {
        ++memoryQueries;
        const MemoryCounts counts = memory.front();
        if (memory.size() > 1) memory.pop_front();
        return counts;
    }
    std::optional<std::string> ComputerName() override { return computer; }
    std::optional<std::string> UserName() override { return user; }
    std::optional<std::string> ProcessorValue(const wchar_t* name) override {
        return std::wstring(name) == L"Identifier" ? model : vendor;
    }
    uint64_t ReadCycleCounter() override { return counter += 7; }
    void SleepFor(unsigned milliseconds) override {
        ++sleeps;
        counter += ticksPerSecond * milliseconds / 1000;
    }
};

std::string ItemText(const CDialog& dialog, int id) { return dialog.GetDlgItemText(id); }

int BarPosition(const CDialog& dialog, int id) {
    return static_cast<int>(SendMessageW(dialog.GetDlgItem(id), PBM_GETPOS, 0, 0));
}

int BarMaximum(const CDialog& dialog, int id) {
    return static_cast<int>(SendMessageW(dialog.GetDlgItem(id), PBM_GETRANGE, FALSE, 0));
}

std::optional<std::string> RegistryProcessorValue(const char* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Hardware\\Description\\System\\CentralProcessor\\0", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    std::vector<char> value(4096, '\0');
    DWORD size = static_cast<DWORD>(value.size() - 1);
    const LONG status = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(value.data()), &size);
    RegCloseKey(key);
    if (status != ERROR_SUCCESS) return std::nullopt;
    return std::string(value.data());
}

// Whether the control's text, in the control's font, fits its width.
bool TextFitsControl(const CDialog& dialog, int id) {
    HWND control = dialog.GetDlgItem(id);
    const std::wstring text = WideFromText(dialog.GetDlgItemText(id));
    HDC dc = GetDC(control);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    RECT client{};
    GetClientRect(control, &client);
    return extent.cx <= client.right;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The figure after the clock prefix reads "<digits>.<two digits> MHz".
bool IsMeasuredClockLine(const std::string& line) {
    const std::string prefix = ClockLinePrefix();
    if (line.compare(0, prefix.size(), prefix) != 0 || !EndsWith(line, " MHz")) return false;
    const std::string figure = line.substr(prefix.size(), line.size() - prefix.size() - 4);
    const size_t point = figure.find('.');
    if (point == std::string::npos || point == 0 || figure.size() - point != 3) return false;
    for (size_t index = 0; index < figure.size(); ++index) {
        if (index != point && (figure[index] < '0' || figure[index] > '9')) return false;
    }
    return true;
}

// Ends the first system information dialog that appears with the command id.
class DialogCloser {
public:
    explicit DialogCloser(WPARAM command) {
        s_command = command;
        s_seen = false;
        m_timer = SetTimer(nullptr, 0, 300, &DialogCloser::Tick);
    }
    ~DialogCloser() { KillTimer(nullptr, m_timer); }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        HWND dialog = FindWindowW(L"#32770", WideFromText("系统信息 ").c_str());
        if (!dialog || !IsWindowVisible(dialog)) return;
        s_seen = true;
        PostMessageW(dialog, WM_COMMAND, s_command, 0);
    }

public:
    static WPARAM s_command;
    static bool s_seen;

private:
    UINT_PTR m_timer;
};
WPARAM DialogCloser::s_command = IDOK;
bool DialogCloser::s_seen = false;

}  // namespace

TEST_F(SysInfoTest, ShowsTheRealNamesProcessorAndMemoryFigures) {
    CSysInfoDlg dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ("系统信息 ", dialog.GetWindowText());

    std::vector<char> name(MAX_COMPUTERNAME_LENGTH + 1, '\0');
    DWORD size = static_cast<DWORD>(name.size());
    ASSERT_TRUE(GetComputerNameA(name.data(), &size));
    EXPECT_EQ("计算机名: " + std::string(name.data()), ItemText(dialog, IDC_COMPUTERNAME));
    std::vector<char> user(UNLEN + 1, '\0');
    size = static_cast<DWORD>(user.size());
    ASSERT_TRUE(GetUserNameA(user.data(), &size));
    EXPECT_EQ("用户名: " + std::string(user.data()), ItemText(dialog, IDC_USERNAME));

    EXPECT_EQ(CpuIdentityLine(RegistryProcessorValue("Identifier"), RegistryProcessorValue("VendorIdentifier")),
              ItemText(dialog, IDC_CPUIDENTITY));
    EXPECT_EQ(dialog.GetDlgItem(IDOK), GetFocus());
    DWORD selectionStart = 1, selectionEnd = 1;
    SendMessageW(dialog.GetDlgItem(IDC_CPUIDENTITY), EM_GETSEL, reinterpret_cast<WPARAM>(&selectionStart),
                 reinterpret_cast<LPARAM>(&selectionEnd));
    EXPECT_EQ(selectionStart, selectionEnd) << "nothing of the processor line is selected";
    // Until the first tick the clock line holds its prefix alone.
    EXPECT_EQ("CPU 频率测定 :", ItemText(dialog, IDC_CPUSPEED));

    // Totals do not move while the test runs; the figures in use may.
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    const MemoryView expected =
        ComposeMemoryView({status.ullTotalPhys, status.ullAvailPhys, status.ullTotalVirtual, status.ullAvailVirtual});
    EXPECT_EQ(expected.totalText, ItemText(dialog, IDC_MEMTOTAL));
    EXPECT_EQ(expected.scaleText, ItemText(dialog, IDC_SCALEMAX));
    const std::string virtualLine = ItemText(dialog, IDC_VIRTUALMEM);
    EXPECT_EQ(0u, virtualLine.find(expected.virtualLine.substr(0, expected.virtualLine.find("可用"))));
    EXPECT_EQ(0u, ItemText(dialog, IDC_MEMUSED).find("已用"));
    EXPECT_EQ(0u, ItemText(dialog, IDC_MEMUSAGE).find("已经用了"));
    EXPECT_EQ(expected.barMaximum, dialog.m_nScaleMax);
    EXPECT_EQ(expected.barMaximum, BarMaximum(dialog, IDC_PROGRESSTOTAL));
    EXPECT_EQ(expected.barMaximum, BarMaximum(dialog, IDC_PROGRESSUSED));
    EXPECT_EQ(expected.totalBarPosition, BarPosition(dialog, IDC_PROGRESSTOTAL));
    EXPECT_LE(BarPosition(dialog, IDC_PROGRESSUSED), BarPosition(dialog, IDC_PROGRESSTOTAL));
    DestroyWindow(dialog.GetSafeHwnd());
}

TEST_F(SysInfoTest, TimerRenewsTheClockLineWithTheRealCounter) {
    CSysInfoDlg dialog;
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ("CPU 频率测定 :", ItemText(dialog, IDC_CPUSPEED));
    const DWORD start = GetTickCount();
    while (ItemText(dialog, IDC_CPUSPEED) == ClockLinePrefix() && GetTickCount() - start < 8000) PumpMessages(100);
    const std::string line = ItemText(dialog, IDC_CPUSPEED);
    EXPECT_TRUE(IsMeasuredClockLine(line)) << line;
    // The first tick comes a period after opening and sleeps a second.
    EXPECT_GE(GetTickCount() - start, kSysInfoPeriodMs);
    DestroyWindow(dialog.GetSafeHwnd());
}

TEST_F(SysInfoTest, EachTickRenewsClockMemoryTextsAndBars) {
    FakeQueries queries;
    const uint64_t megabyte = 1ull << 20;
    queries.memory = {{512 * megabyte, 192 * megabyte, 2047 * megabyte, 2007 * megabyte},
                      {512 * megabyte, 100 * megabyte, 2047 * megabyte, 1500 * megabyte},
                      {512 * megabyte, 50 * megabyte, 2047 * megabyte, 1000 * megabyte}};
    CSysInfoDlg dialog(nullptr, &queries);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ("已用320 MB", ItemText(dialog, IDC_MEMUSED));
    EXPECT_EQ(320, BarPosition(dialog, IDC_PROGRESSUSED));

    SendMessageW(dialog.GetSafeHwnd(), WM_TIMER, kSysInfoTimer, 0);
    EXPECT_EQ("CPU 频率测定 :2400.00 MHz", ItemText(dialog, IDC_CPUSPEED));
    EXPECT_EQ("已用412 MB", ItemText(dialog, IDC_MEMUSED));
    EXPECT_EQ("已经用了80.47%  剩余 100MB", ItemText(dialog, IDC_MEMUSAGE));
    EXPECT_EQ("虚拟内存:  2047 MB  可用虚拟内存:  1500 MB", ItemText(dialog, IDC_VIRTUALMEM));
    EXPECT_EQ(412, BarPosition(dialog, IDC_PROGRESSUSED));
    EXPECT_EQ(512, BarPosition(dialog, IDC_PROGRESSTOTAL));

    queries.ticksPerSecond = 3591470000ull;
    // Another timer's tick measures nothing: each measurement sleeps a second.
    SendMessageW(dialog.GetSafeHwnd(), WM_TIMER, 77, 0);
    EXPECT_EQ(1, queries.sleeps);
    EXPECT_EQ("已用412 MB", ItemText(dialog, IDC_MEMUSED));
    SendMessageW(dialog.GetSafeHwnd(), WM_TIMER, kSysInfoTimer, 0);
    EXPECT_EQ("CPU 频率测定 :3591.47 MHz", ItemText(dialog, IDC_CPUSPEED));
    EXPECT_EQ("已用462 MB", ItemText(dialog, IDC_MEMUSED));
    EXPECT_EQ(462, BarPosition(dialog, IDC_PROGRESSUSED));
    EXPECT_EQ(2, queries.sleeps);
    DestroyWindow(dialog.GetSafeHwnd());
}

TEST_F(SysInfoTest, MemoryAbove4GigabytesFillsBarsPast65535) {
    FakeQueries queries;
    const uint64_t gigabyte = 1ull << 30;
    queries.memory = {{64 * gigabyte, 16 * gigabyte, 128 * 1024 * gigabyte, 100 * 1024 * gigabyte}};
    CSysInfoDlg dialog(nullptr, &queries);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ("总共65536 MB", ItemText(dialog, IDC_MEMTOTAL));
    EXPECT_EQ("65600MB", ItemText(dialog, IDC_SCALEMAX));
    EXPECT_EQ(65600, BarMaximum(dialog, IDC_PROGRESSTOTAL));
    EXPECT_EQ(65536, BarPosition(dialog, IDC_PROGRESSTOTAL));
    EXPECT_EQ(49152, BarPosition(dialog, IDC_PROGRESSUSED));
    // Five-digit figures are read whole, not cut at the label's edge.
    for (int id : {IDC_MEMTOTAL, IDC_MEMUSED, IDC_SCALEMAX, IDC_MEMUSAGE})
        EXPECT_TRUE(TextFitsControl(dialog, id)) << id;
    DestroyWindow(dialog.GetSafeHwnd());
}

TEST_F(SysInfoTest, FailedQueriesShowTheirFallbackTexts) {
    FakeQueries queries;
    queries.memory = {MemoryCounts{}};
    queries.computer.reset();
    queries.user.reset();
    queries.vendor = std::string("GenuineIntel");
    CSysInfoDlg dialog(nullptr, &queries);
    ASSERT_TRUE(dialog.Create());
    EXPECT_EQ("计算机名: 无法获取", ItemText(dialog, IDC_COMPUTERNAME));
    EXPECT_EQ("用户名: 无法获取", ItemText(dialog, IDC_USERNAME));
    EXPECT_EQ("CPU 型号: 未知  厂商: GenuineIntel", ItemText(dialog, IDC_CPUIDENTITY));
    EXPECT_EQ("已经用了0.00%  剩余 0KB", ItemText(dialog, IDC_MEMUSAGE));
    EXPECT_EQ(0, BarPosition(dialog, IDC_PROGRESSUSED));
    DestroyWindow(dialog.GetSafeHwnd());
}

TEST_F(SysInfoTest, RunsModallyAndEndsOnOkAndOnEscape) {
    for (WPARAM command : {static_cast<WPARAM>(IDOK), static_cast<WPARAM>(IDCANCEL)}) {
        DialogCloser closer(command);
        const DWORD start = GetTickCount();
        RunSysInfoDialog();
        EXPECT_LT(GetTickCount() - start, 10000u);
        EXPECT_EQ(nullptr, FindWindowW(L"#32770", WideFromText("系统信息 ").c_str()));
    }
}

TEST_F(SysInfoTest, OpensFromTheTrayAndMainMenuCommands) {
    CProcessListDlg mainWindow;
    ASSERT_TRUE(mainWindow.Create());
    for (WPARAM command : {static_cast<WPARAM>(ID_TRAY_SYSINFO), static_cast<WPARAM>(ID_MENU_SYSINFO)}) {
        DialogCloser closer(IDOK);
        mainWindow.SendMessage(WM_COMMAND, command, 0);
        EXPECT_TRUE(DialogCloser::s_seen) << command;
    }
    DestroyWindow(mainWindow.GetSafeHwnd());
}

// A string value of odd length (a hand-edited or broken registry) is read
// whole, without spinning, and a missing key or value reads as none.
TEST(RegistryString, OddLengthsMissingValuesAndOtherTypes) {
    const wchar_t* path = L"Software\\tarvemonix-test";
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegCreateKeyExW(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    const wchar_t text[] = L"Intel(R) x86";
    RegSetValueExW(key, L"odd", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 5);
    RegSetValueExW(key, L"unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), 6 * sizeof(wchar_t));
    RegSetValueExW(key, L"whole", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), sizeof(text));
    const DWORD number = 7;
    RegSetValueExW(key, L"number", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof(number));
    RegCloseKey(key);

    EXPECT_EQ(std::optional<std::string>("In"), ReadRegistryString(HKEY_CURRENT_USER, path, L"odd"));
    EXPECT_EQ(std::optional<std::string>("Intel("), ReadRegistryString(HKEY_CURRENT_USER, path, L"unterminated"));
    EXPECT_EQ(std::optional<std::string>("Intel(R) x86"), ReadRegistryString(HKEY_CURRENT_USER, path, L"whole"));
    EXPECT_EQ(std::nullopt, ReadRegistryString(HKEY_CURRENT_USER, path, L"number"));
    EXPECT_EQ(std::nullopt, ReadRegistryString(HKEY_CURRENT_USER, path, L"missing"));
    EXPECT_EQ(std::nullopt, ReadRegistryString(HKEY_CURRENT_USER, L"Software\\tarvemonix-none", L"odd"));
    RegDeleteKeyW(HKEY_CURRENT_USER, path);
}
