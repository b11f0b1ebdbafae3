#include "sysinfo/SysInfoRules.h"

#include <limits>

#include "process/ProcessRules.h"

namespace {

constexpr uint64_t kKilobytesBeforeMegabytes = 1024;

// Bar positions and ranges are 32-bit signed on the platform.
int32_t ClampToBar(uint64_t value) {
    constexpr uint64_t kLargest = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(value < kLargest ? value : kLargest);
}

std::string Decimal(uint64_t value) { return std::to_string(value); }

// "<value> <unit>B" or, without the blank, "<value><unit>B".
std::string WithUnit(const ScaledCount& count, const char* separator) {
    return Decimal(count.value) + separator + count.unit + "B";
}

std::string NameLine(const char* label, const std::optional<std::string>& name) {
    return std::string(label) + (name ? *name : std::string("无法获取"));
}

}  // namespace

ScaledCount ScaleMemoryCount(uint64_t bytes) {
    const uint64_t kilobytes = bytes >> 10;
    if (kilobytes > kKilobytesBeforeMegabytes) return {kilobytes / 1024, 'M'};
    return {kilobytes, 'K'};
}

uint64_t UsedMegabytes(const MemoryCounts& counts) {
    if (counts.availablePhysical >= counts.totalPhysical) return 0;
    return (counts.totalPhysical - counts.availablePhysical) >> 20;
}

double UsedPercentage(const MemoryCounts& counts) {
    if (counts.totalPhysical == 0 || counts.availablePhysical >= counts.totalPhysical) return 0.0;
    const uint64_t used = counts.totalPhysical - counts.availablePhysical;
    return static_cast<double>(used) / static_cast<double>(counts.totalPhysical) * 100.0;
}

uint64_t ScaleMaximum(uint64_t scaledTotal) { return (scaledTotal / 100 + 1) * 100; }

MemoryView ComposeMemoryView(const MemoryCounts& counts) {
    const ScaledCount total = ScaleMemoryCount(counts.totalPhysical);
    const ScaledCount available = ScaleMemoryCount(counts.availablePhysical);
    const ScaledCount totalVirtual = ScaleMemoryCount(counts.totalVirtual);
    const ScaledCount availableVirtual = ScaleMemoryCount(counts.availableVirtual);
    const uint64_t used = UsedMegabytes(counts);
    const uint64_t scaleMaximum = ScaleMaximum(total.value);

    MemoryView view;
    view.totalText = "总共" + WithUnit(total, " ");
    view.usedText = "已用" + Decimal(used) + " MB";
    view.usageLine = FormatText("已经用了%.2f%%  剩余 ", UsedPercentage(counts)) + WithUnit(available, "");
    view.virtualLine =
        "虚拟内存:  " + WithUnit(totalVirtual, " ") + "  可用虚拟内存:  " + WithUnit(availableVirtual, " ");
    view.scaleText = Decimal(scaleMaximum) + "MB";
    view.barMaximum = ClampToBar(scaleMaximum);
    view.totalBarPosition = ClampToBar(total.value);
    view.usedBarPosition = ClampToBar(used);
    return view;
}

std::string ComputerNameLine(const std::optional<std::string>& name) { return NameLine("计算机名: ", name); }

std::string UserNameLine(const std::optional<std::string>& name) { return NameLine("用户名: ", name); }

std::string CpuIdentityLine(const std::optional<std::string>& model, const std::optional<std::string>& vendor) {
    const std::string unknown = "未知";
    return "CPU 型号: " + model.value_or(unknown) + "  厂商: " + vendor.value_or(unknown);
}

std::string ClockLinePrefix() { return "CPU 频率测定 :"; }

uint64_t MeasuredTicks(uint64_t start, uint64_t end, uint64_t readingOverhead) {
    if (end < start) return 0;
    const uint64_t elapsed = end - start;
    return elapsed > readingOverhead ? elapsed - readingOverhead : 0;
}

uint32_t ClockHundredthsOfMegahertz(uint64_t ticks) { return static_cast<uint32_t>(ticks / 10000); }

std::string ClockLine(uint32_t hundredthsOfMegahertz) {
    return ClockLinePrefix() + FormatText("%u.%02u MHz", hundredthsOfMegahertz / 100, hundredthsOfMegahertz % 100);
}
