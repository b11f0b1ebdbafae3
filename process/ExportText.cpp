#include "process/ExportText.h"

#include "process/ProcessRules.h"

std::string BuildExportBytes(const std::vector<std::string>& names) {
    std::string bytes;
    for (const std::string& name : names) bytes += name + "\r\n";
    bytes += FormatText("----共导出进程%d个\r\n", static_cast<int>(names.size()));
    return bytes;
}

std::string ExportFailureText(const std::string& path, const std::string& reason) {
    return FormatText("无法写入文件%s\n%s", path.c_str(), reason.c_str());
}
