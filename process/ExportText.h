// The bytes of an exported process list.
#pragma once

#include <string>
#include <vector>

// Filter and default extension of the save dialog.
constexpr const char* kExportFilter = "Text Files(*.txt)|*.txt||";
constexpr const char* kExportDefaultExtension = "txt";

// Every name whole on its own line, then "----共导出进程%d个"; every line ends
// with CR LF.
std::string BuildExportBytes(const std::vector<std::string>& names);

// The notice shown when the file cannot be written.
std::string ExportFailureText(const std::string& path, const std::string& reason);
