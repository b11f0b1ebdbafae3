#include "sysinfo/SysInfoDlg.h"

#include <intrin.h>
#include <lmcons.h>

#include <algorithm>
#include <vector>

#include "framework/Registry.h"
#include "framework/SystemFunction.h"
#include "framework/Text.h"
#include "res/resource.h"

namespace {

// Runs a name query with a buffer that grows to the size the system asks for.
template <typename Query>
std::optional<std::string> QueryName(DWORD initialSize, Query query) {
    std::vector<wchar_t> buffer(initialSize, L'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = static_cast<DWORD>(buffer.size());
        if (query(buffer.data(), &size)) return TextFromWide(buffer.data());
        const DWORD error = GetLastError();
        if (error != ERROR_BUFFER_OVERFLOW && error != ERROR_INSUFFICIENT_BUFFER && error != ERROR_MORE_DATA) break;
        buffer.assign(std::max<size_t>(size + 1, buffer.size() * 2), L'\0');
    }
    return std::nullopt;
}

class PlatformQueries : public SystemQueries {
public:
    MemoryCounts QueryMemory() override {
        using StatusEx = BOOL(WINAPI*)(MEMORYSTATUSEX*);
        // Looked up at run time: the systems without it still get the 32-bit counts.
        const auto statusEx = FindSystemFunction<StatusEx>(L"kernel32.dll", "GlobalMemoryStatusEx");
        if (statusEx) {
            MEMORYSTATUSEX status{};
            status.dwLength = sizeof(status);
            if (statusEx(&status)) {
                return {status.ullTotalPhys, status.ullAvailPhys, status.ullTotalVirtual, status.ullAvailVirtual};
            }
        }
        MEMORYSTATUS status{};
        status.dwLength = sizeof(status);
        GlobalMemoryStatus(&status);
        return {status.dwTotalPhys, status.dwAvailPhys, status.dwTotalVirtual, status.dwAvailVirtual};
    }

    std::optional<std::string> ComputerName() override {
        return QueryName(MAX_COMPUTERNAME_LENGTH + 1,
                         [](wchar_t* buffer, DWORD* size) { return GetComputerNameW(buffer, size) != FALSE; });
    }

    std::optional<std::string> UserName() override {
        return QueryName(UNLEN + 1, [](wchar_t* buffer, DWORD* size) { return GetUserNameW(buffer, size) != FALSE; });
    }

    std::optional<std::string> ProcessorValue(const wchar_t* valueName) override {
        return ReadRegistryString(HKEY_LOCAL_MACHINE, L"Hardware\\Description\\System\\CentralProcessor\\0", valueName);
    }

    uint64_t ReadCycleCounter() override { return __rdtsc(); }
    void SleepFor(unsigned milliseconds) override { Sleep(milliseconds); }
};

}  // namespace

std::optional<std::string> ReadRegistryString(HKEY root, const wchar_t* path, const wchar_t* name) {
    const std::optional<std::wstring> value = ReadRegistryText(root, path, name);
    if (!value) return std::nullopt;
    return TextFromWide(*value);
}

SystemQueries& PlatformSystemQueries() {
    static PlatformQueries queries;
    return queries;
}

CSysInfoDlg::CSysInfoDlg(HWND parent, SystemQueries* queries)
    : CDialog(IDD_SYSINFO, parent), m_queries(queries ? *queries : PlatformSystemQueries()) {}

void CSysInfoDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_PROGRESSUSED, m_progressUsed);
    DDX_Control(pDX, IDC_PROGRESSTOTAL, m_progressTotal);
}

LRESULT CSysInfoDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_TIMER: OnTimer(wParam); return 0;
    case WM_CLOSE: OnClose(); return 0;
    case WM_DESTROY: OnDestroy(); return 0;
    default: return CDialog::WindowProc(message, wParam, lParam);
    }
}

// The first tick comes one period after the dialog is shown.
int CSysInfoDlg::OnCreate(CREATESTRUCTW* create) {
    if (CDialog::OnCreate(create) == -1) return -1;
    SetTimer(kSysInfoTimer, kSysInfoPeriodMs);
    return 0;
}

BOOL CSysInfoDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemText(IDC_COMPUTERNAME, ComputerNameLine(m_queries.ComputerName()));
    SetDlgItemText(IDC_USERNAME, UserNameLine(m_queries.UserName()));
    SetDlgItemText(IDC_CPUSPEED, ClockLinePrefix());
    ShowCpuIdentity();
    UpdateMemoryInfo();
    // The focus on 确 定: on the read-only processor line it would select the
    // line and scroll its start away.
    ::SetFocus(GetDlgItem(IDOK));
    return FALSE;
}

void CSysInfoDlg::ShowCpuIdentity() {
    SetDlgItemText(IDC_CPUIDENTITY, CpuIdentityLine(m_queries.ProcessorValue(L"Identifier"),
                                                    m_queries.ProcessorValue(L"VendorIdentifier")));
}

// Counts processor cycles across a one-second sleep; the GUI thread waits.
void CSysInfoDlg::MeasureCpuClock() {
    const uint64_t first = m_queries.ReadCycleCounter();
    const uint64_t second = m_queries.ReadCycleCounter();
    const uint64_t readingOverhead = second - first;
    const uint64_t start = m_queries.ReadCycleCounter();
    m_queries.SleepFor(1000);
    const uint64_t end = m_queries.ReadCycleCounter();
    const uint64_t ticks = MeasuredTicks(start, end, readingOverhead);
    SetDlgItemText(IDC_CPUSPEED, ClockLine(ClockHundredthsOfMegahertz(ticks)));
}

void CSysInfoDlg::UpdateMemoryInfo() {
    const MemoryView view = ComposeMemoryView(m_queries.QueryMemory());
    SetDlgItemText(IDC_MEMTOTAL, view.totalText);
    SetDlgItemText(IDC_MEMUSED, view.usedText);
    SetDlgItemText(IDC_MEMUSAGE, view.usageLine);
    SetDlgItemText(IDC_VIRTUALMEM, view.virtualLine);
    SetDlgItemText(IDC_SCALEMAX, view.scaleText);
    m_nScaleMax = view.barMaximum;
    // Each bar starts again from 0 and advances by one step onto its value.
    auto place = [this](const CProgressCtrl& bar, int value) {
        bar.SetStep(value);
        bar.SetRange32(0, m_nScaleMax);
        bar.SetPos(0);
        bar.StepIt();
    };
    place(m_progressTotal, view.totalBarPosition);
    place(m_progressUsed, view.usedBarPosition);
}

void CSysInfoDlg::OnTimer(UINT_PTR id) {
    // Each measurement sleeps a second: only the dialog's own timer may start one.
    if (id == kSysInfoTimer) {
        MeasureCpuClock();
        UpdateMemoryInfo();
    }
    Default();
}

void CSysInfoDlg::OnOK() {
    AnimateWindow(kSysInfoCloseAnimationMs, AW_HIDE | AW_CENTER);
    CDialog::OnOK();
}

void CSysInfoDlg::OnClose() {
    KillTimer(kSysInfoTimer);
    AnimateWindow(kSysInfoCloseAnimationMs, AW_HIDE | AW_CENTER);
    Default();
}

void CSysInfoDlg::OnDestroy() {
    Default();
    KillTimer(kSysInfoTimer);
}

void RunSysInfoDialog() {
    CSysInfoDlg dialog;
    dialog.DoModal();
}
