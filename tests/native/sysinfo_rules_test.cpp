#include <gtest/gtest.h>

#include "sysinfo/SysInfoRules.h"

TEST(MemoryScaling, ChangesToMegabytesAbove1024Kilobytes) {
    EXPECT_EQ(1024u, ScaleMemoryCount(1049599).value);
    EXPECT_EQ('K', ScaleMemoryCount(1049599).unit);
    EXPECT_EQ(1u, ScaleMemoryCount(1049600).value);
    EXPECT_EQ('M', ScaleMemoryCount(1049600).unit);
    // Kilobytes truncate too.
    EXPECT_EQ(0u, ScaleMemoryCount(1023).value);
    EXPECT_EQ('K', ScaleMemoryCount(0).unit);
}

TEST(MemoryScaling, ScaleMaximumIsTheNextHundredAboveTheTotal) {
    EXPECT_EQ(600u, ScaleMaximum(500));
    EXPECT_EQ(100u, ScaleMaximum(99));
    EXPECT_EQ(1100u, ScaleMaximum(1024));
    EXPECT_EQ(100u, ScaleMaximum(0));
}

TEST(MemoryView, WorkedExampleTextForText) {
    const MemoryCounts counts{536330240, 201326592, 2147352576, 2105344000};
    const MemoryView view = ComposeMemoryView(counts);
    EXPECT_EQ("总共511 MB", view.totalText);
    EXPECT_EQ("已用319 MB", view.usedText);
    EXPECT_EQ("已经用了62.46%  剩余 192MB", view.usageLine);
    EXPECT_EQ("虚拟内存:  2047 MB  可用虚拟内存:  2007 MB", view.virtualLine);
    EXPECT_EQ("600MB", view.scaleText);
    EXPECT_EQ(600, view.barMaximum);
    EXPECT_EQ(511, view.totalBarPosition);
    EXPECT_EQ(319, view.usedBarPosition);
}

TEST(MemoryView, UsedMemoryTruncatesToWholeMegabytes) {
    // 319.9 MB in use.
    const uint64_t total = 1024ull << 20;
    const uint64_t used = (319ull << 20) + (9ull << 20) / 10;
    const MemoryCounts counts{total, total - used, 0, 0};
    EXPECT_EQ(319u, UsedMegabytes(counts));
    EXPECT_EQ("已用319 MB", ComposeMemoryView(counts).usedText);
}

TEST(MemoryView, KilobyteTotalsKeepTheMegabyteScaleText) {
    const MemoryCounts counts{1000 * 1024, 500 * 1024, 900 * 1024, 1049600};
    const MemoryView view = ComposeMemoryView(counts);
    EXPECT_EQ("总共1000 KB", view.totalText);
    EXPECT_EQ("已用0 MB", view.usedText);
    EXPECT_EQ("已经用了50.00%  剩余 500KB", view.usageLine);
    EXPECT_EQ("虚拟内存:  900 KB  可用虚拟内存:  1 MB", view.virtualLine);
    EXPECT_EQ("1100MB", view.scaleText);
}

TEST(MemoryView, CountsAbove4GigabytesShowTheirRealFigures) {
    const uint64_t gigabyte = 1ull << 30;
    const MemoryCounts counts{64 * gigabyte, 16 * gigabyte, 128 * 1024 * gigabyte, 100 * 1024 * gigabyte};
    const MemoryView view = ComposeMemoryView(counts);
    EXPECT_EQ("总共65536 MB", view.totalText);
    EXPECT_EQ("已用49152 MB", view.usedText);
    EXPECT_EQ("已经用了75.00%  剩余 16384MB", view.usageLine);
    EXPECT_EQ("虚拟内存:  134217728 MB  可用虚拟内存:  104857600 MB", view.virtualLine);
    EXPECT_EQ("65600MB", view.scaleText);
    // The bars' range goes past 65535 without wrapping.
    EXPECT_EQ(65600, view.barMaximum);
    EXPECT_EQ(65536, view.totalBarPosition);
    EXPECT_EQ(49152, view.usedBarPosition);
}

TEST(MemoryView, ZeroTotalAndOddReportsNeverDivideByZeroOrGoNegative) {
    const MemoryView empty = ComposeMemoryView(MemoryCounts{});
    EXPECT_EQ("总共0 KB", empty.totalText);
    EXPECT_EQ("已用0 MB", empty.usedText);
    EXPECT_EQ("已经用了0.00%  剩余 0KB", empty.usageLine);
    EXPECT_EQ("100MB", empty.scaleText);
    EXPECT_EQ(0, empty.usedBarPosition);

    // More available than total: nothing counts as used.
    const MemoryCounts odd{100ull << 20, 200ull << 20, 0, 0};
    EXPECT_EQ(0u, UsedMegabytes(odd));
    EXPECT_EQ(0.0, UsedPercentage(odd));
}

TEST(MemoryView, BarPositionsStayInsideThe32BitRange) {
    const MemoryCounts huge{UINT64_MAX, 0, 0, 0};
    const MemoryView view = ComposeMemoryView(huge);
    EXPECT_EQ(INT32_MAX, view.barMaximum);
    EXPECT_EQ(INT32_MAX, view.totalBarPosition);
    EXPECT_EQ("总共17592186044415 MB", view.totalText);
}

TEST(SysInfoTexts, NamesAreShownWhateverTheirLength) {
    EXPECT_EQ("计算机名: WORKSTATION", ComputerNameLine(std::string("WORKSTATION")));
    EXPECT_EQ("计算机名: 无法获取", ComputerNameLine(std::nullopt));
    const std::string longName(40, 'u');
    EXPECT_EQ("用户名: " + longName, UserNameLine(longName));
    EXPECT_EQ("用户名: 无法获取", UserNameLine(std::nullopt));
    // An empty name the system really gave is shown as empty, not as a failure.
    EXPECT_EQ("用户名: ", UserNameLine(std::string()));
}

TEST(SysInfoTexts, ProcessorLineWithMissingValues) {
    EXPECT_EQ("CPU 型号: x86 Family 6 Model 158 Stepping 10  厂商: GenuineIntel",
              CpuIdentityLine(std::string("x86 Family 6 Model 158 Stepping 10"), std::string("GenuineIntel")));
    EXPECT_EQ("CPU 型号: 未知  厂商: AuthenticAMD", CpuIdentityLine(std::nullopt, std::string("AuthenticAMD")));
    EXPECT_EQ("CPU 型号: x86  厂商: 未知", CpuIdentityLine(std::string("x86"), std::nullopt));
    EXPECT_EQ("CPU 型号: 未知  厂商: 未知", CpuIdentityLine(std::nullopt, std::nullopt));
}

TEST(ClockArithmetic, SubtractsTheReadingOverhead) {
    EXPECT_EQ(2400000000u, MeasuredTicks(1000, 1000 + 2400000000ull + 40, 40));
    // A counter that stands still or runs backwards gives 0, not a wrapped count.
    EXPECT_EQ(0u, MeasuredTicks(1000, 1030, 40));
    EXPECT_EQ(0u, MeasuredTicks(5000, 1000, 0));
    // Across the 64-bit counter's top end.
    EXPECT_EQ(0u, MeasuredTicks(UINT64_MAX - 10, UINT64_MAX, 10));
}

TEST(ClockArithmetic, HundredthsOfMegahertzKeepTheLow32Bits) {
    EXPECT_EQ(240000u, ClockHundredthsOfMegahertz(2400000000ull));
    EXPECT_EQ(240000u, ClockHundredthsOfMegahertz(2400009999ull));
    EXPECT_EQ(5u, ClockHundredthsOfMegahertz(((1ull << 32) + 5) * 10000));
}

TEST(ClockArithmetic, LineShowsTheFractionAsTwoDigits) {
    EXPECT_EQ("CPU 频率测定 :", ClockLinePrefix());
    EXPECT_EQ("CPU 频率测定 :2400.00 MHz", ClockLine(240000));
    EXPECT_EQ("CPU 频率测定 :2400.05 MHz", ClockLine(240005));
    EXPECT_EQ("CPU 频率测定 :3591.47 MHz", ClockLine(359147));
    EXPECT_EQ("CPU 频率测定 :0.99 MHz", ClockLine(99));
    EXPECT_EQ("CPU 频率测定 :42949672.95 MHz", ClockLine(UINT32_MAX));
}
