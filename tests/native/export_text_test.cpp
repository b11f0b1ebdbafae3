#include <gtest/gtest.h>

#include "process/ExportText.h"

TEST(ExportBytes, EmptyListGivesTheTrailerOnly) { EXPECT_EQ("----共导出进程0个\r\n", BuildExportBytes({})); }

TEST(ExportBytes, OneLinePerNameInListOrder) {
    EXPECT_EQ("b.exe\r\na.exe\r\n[System Process]\r\n----共导出进程3个\r\n",
              BuildExportBytes({"b.exe", "a.exe", "[System Process]"}));
}

TEST(ExportBytes, LongNamesAreWrittenWhole) {
    std::string longName;
    for (int i = 0; i < 60; ++i) longName += "进";
    longName += ".exe";
    const std::string bytes = BuildExportBytes({longName});
    EXPECT_EQ(longName + "\r\n----共导出进程1个\r\n", bytes);
}
