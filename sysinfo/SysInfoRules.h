// Plain rules of the system information dialog: the memory scaling, the bar
// scale, the clock arithmetic and every text the dialog shows. Texts are code
// page 936 bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The four byte counts of the memory query. They are 64-bit so that machines
// with more than 4 GB show their real figures.
struct MemoryCounts {
    uint64_t totalPhysical = 0;
    uint64_t availablePhysical = 0;
    uint64_t totalVirtual = 0;
    uint64_t availableVirtual = 0;
};

// A byte count in whole kilobytes ('K') or megabytes ('M'), truncated.
struct ScaledCount {
    uint64_t value = 0;
    char unit = 'K';
};

// Whole kilobytes k; above 1024 kilobytes the count is k / 1024 megabytes, so
// the change to megabytes happens at 1,049,600 bytes.
ScaledCount ScaleMemoryCount(uint64_t bytes);

// Physical memory in use, in whole megabytes. Never negative: a report with
// more available than total memory counts as nothing used.
uint64_t UsedMegabytes(const MemoryCounts& counts);

// Share of physical memory in use, in percent; 0 when the total is 0.
double UsedPercentage(const MemoryCounts& counts);

// The next multiple of 100 above the scaled total, never equal to it.
uint64_t ScaleMaximum(uint64_t scaledTotal);

// Everything one memory update puts into the dialog.
struct MemoryView {
    std::string totalText;    // static 1027
    std::string usedText;     // static 1026
    std::string usageLine;    // static 1030
    std::string virtualLine;  // static 1035
    std::string scaleText;    // static 1047
    // Both bars share the range 0 ... barMaximum (a 32-bit range).
    int32_t barMaximum = 0;
    int32_t totalBarPosition = 0;  // bar 1028
    int32_t usedBarPosition = 0;   // bar 1029
};

MemoryView ComposeMemoryView(const MemoryCounts& counts);

// "计算机名: <name>", or "计算机名: 无法获取" when the query failed.
std::string ComputerNameLine(const std::optional<std::string>& name);
// "用户名: <name>", or "用户名: 无法获取" when the query failed.
std::string UserNameLine(const std::optional<std::string>& name);

// "CPU 型号: <model>  厂商: <vendor>"; a value the registry does not hold
// shows as "未知".
std::string CpuIdentityLine(const std::optional<std::string>& model, const std::optional<std::string>& vendor);

// The clock line before the first measurement.
std::string ClockLinePrefix();

// Processor cycles in the measured second: end - start less the cost of one
// counter reading. Saturates at 0 instead of wrapping around.
uint64_t MeasuredTicks(uint64_t start, uint64_t end, uint64_t readingOverhead);

// The clock rate in hundredths of a megahertz: the low 32 bits of ticks / 10000.
uint32_t ClockHundredthsOfMegahertz(uint64_t ticks);

// "CPU 频率测定 :<q / 100>.<q mod 100, two digits> MHz".
std::string ClockLine(uint32_t hundredthsOfMegahertz);
