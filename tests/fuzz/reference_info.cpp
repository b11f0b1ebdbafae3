// processinfo.dat and its lookup: the lines a file gives and the text a
// process name finds in them.
// Input: the process name, a NUL byte, then the file (no NUL: all file, empty name).
#include <algorithm>

#include "process/ProcessRules.h"
#include "process/ReferenceInfo.h"
#include "tests/fuzz/FuzzInput.h"

// The text in front of the line, as the library writes it.
static std::string LookupPrefix() {
    const std::string sample = LookupReferenceText("x", {"x"});
    return sample.substr(0, sample.size() - 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = InputText(data, size);
    const size_t nul = input.find('\0');
    const std::string_view name = nul == std::string_view::npos ? "" : input.substr(0, nul);
    const std::string_view file = nul == std::string_view::npos ? input : input.substr(nul + 1);

    const std::vector<std::string> lines = ParseReferenceInfo(file);
    for (const std::string& line : lines) {
        FUZZ_CHECK(line.size() <= kReferenceLineLimit);
        FUZZ_CHECK(line.find('\n') == std::string::npos && line.find("[EOF]") == std::string::npos);
    }
    // Without a marker and CRs, the lines hold every byte but the line feeds.
    if (file.find("[EOF]") == std::string_view::npos && file.find('\r') == std::string_view::npos) {
        std::string joined, feedless;
        for (const std::string& line : lines) joined += line;
        std::remove_copy(file.begin(), file.end(), std::back_inserter(feedless), '\n');
        FUZZ_CHECK(joined == feedless);
    }

    // The file-name part is a tail of the name cut at a backslash, and has no more parts.
    const std::string base = GetFileNamePart(name);
    FUZZ_CHECK(base.size() <= name.size() && name.substr(name.size() - base.size()) == base);
    if (base.size() < name.size())
        FUZZ_CHECK(name.size() - base.size() >= 2 && name[name.size() - base.size() - 1] == '\\');
    FUZZ_CHECK(GetFileNamePart(base) == base);

    // The lookup is empty, or the prefix and the first line naming the part.
    const std::string found = LookupReferenceText(name, lines);
    const auto naming =
        std::find_if(lines.begin(), lines.end(), [&](const std::string& line) { return ContainsNoCase(line, base); });
    if (base.empty() || naming == lines.end()) {
        FUZZ_CHECK(found.empty());
    } else {
        FUZZ_CHECK(found == LookupPrefix() + *naming);
    }
    return 0;
}
