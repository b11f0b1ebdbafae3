// The export file read back: each name whole with CR LF, then the count line.
// Split at CR LF, the lines are the names (for names without CR LF in them)
// and "----共导出进程N个".
// Input: the names separated by NUL bytes (no input: no names).
#include <algorithm>

#include "process/ExportText.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> names;
    if (size > 0) names = SplitAtNul(InputText(data, size));
    const std::string bytes = BuildExportBytes(names);

    // The literal is encoded as the library's: both are built with the same flags.
    const std::string countLine = "----共导出进程" + std::to_string(names.size()) + "个";
    std::string expected;
    for (const std::string& name : names) expected += name + "\r\n";
    FUZZ_CHECK(bytes == expected + countLine + "\r\n");

    if (std::any_of(names.begin(), names.end(),
                    [](const std::string& name) { return name.find("\r\n") != std::string::npos; })) {
        return 0;
    }
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    FUZZ_CHECK(start == bytes.size());
    names.push_back(countLine);
    FUZZ_CHECK(lines == names);
    return 0;
}
