// The system information dialog: computer and user name, the processor's
// identity and measured clock rate, and physical and virtual memory with two
// bars, renewed every two seconds.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "sysinfo/SysInfoRules.h"

// The platform queries the dialog reads, so tests can hand in other figures.
class SystemQueries {
public:
    virtual ~SystemQueries() = default;
    virtual MemoryCounts QueryMemory() = 0;
    // Empty when the system cannot tell.
    virtual std::optional<std::string> ComputerName() = 0;
    virtual std::optional<std::string> UserName() = 0;
    // A string value of the first processor's registry key; empty when the key
    // or the value is missing or not a string.
    virtual std::optional<std::string> ProcessorValue(const wchar_t* valueName) = 0;
    virtual uint64_t ReadCycleCounter() = 0;
    virtual void SleepFor(unsigned milliseconds) = 0;
};

// The real queries: GlobalMemoryStatusEx where the system has it (64-bit
// counts), otherwise GlobalMemoryStatus; names, registry and RDTSC.
SystemQueries& PlatformSystemQueries();

// A string value (REG_SZ or REG_EXPAND_SZ) of a key, without terminator;
// empty when the key or the value is missing or not a string.
std::optional<std::string> ReadRegistryString(HKEY root, const wchar_t* path, const wchar_t* name);

constexpr UINT_PTR kSysInfoTimer = 2;
constexpr UINT kSysInfoPeriodMs = 2000;
constexpr DWORD kSysInfoCloseAnimationMs = 500;

class CSysInfoDlg : public CDialog {
public:
    explicit CSysInfoDlg(HWND parent = nullptr, SystemQueries* queries = nullptr);

    void UpdateMemoryInfo();
    void ShowCpuIdentity();
    void MeasureCpuClock();

    CProgressCtrl m_progressUsed;   // control 1029
    CProgressCtrl m_progressTotal;  // control 1028
    int m_nScaleMax = 0;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    int OnCreate(CREATESTRUCTW* create) override;
    void OnOK() override;

private:
    void OnTimer(UINT_PTR id);
    void OnClose();
    void OnDestroy();

    SystemQueries& m_queries;
};

// Opens the dialog modally (the main window, when there is one, owns it);
// returns when it closes. Commands 32772 and 32781.
void RunSysInfoDialog();
