// proc.dat: any file is read, and an append or the editor's delete read back
// gives the old names plus or minus the name.
// Input: the name, a NUL byte, then the file (no NUL: all file, empty name).
#include <algorithm>

#include "blocklist/BlockListRules.h"
#include "tests/fuzz/FuzzInput.h"

using Names = std::vector<std::string>;

namespace {

// The lines too long to be names, in order, up to the line holding "EOF":
// lines end at CR LF, a lone CR or a lone LF.
Names LongLines(std::string_view file) {
    Names lines;
    size_t start = 0;
    while (start < file.size()) {
        const size_t end = std::min(file.find_first_of("\r\n", start), file.size());
        const std::string_view line = file.substr(start, end - start);
        if (line.find("EOF") != std::string_view::npos) break;
        if (line.size() > kMaxBlockNameLength) lines.emplace_back(line);
        if (end == file.size()) break;
        start = end + (file.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = InputText(data, size);
    const size_t nul = input.find('\0');
    const std::string_view name = nul == std::string_view::npos ? "" : input.substr(0, nul);
    const std::string_view file = nul == std::string_view::npos ? input : input.substr(nul + 1);

    const Names names = ReadBlockNames(file);
    for (const std::string& read : names) {
        FUZZ_CHECK(!read.empty() && read.size() <= kMaxBlockNameLength);
        FUZZ_CHECK(read.find_first_of("\r\n") == std::string::npos && read.find("EOF") == std::string::npos);
    }

    // The delete: the names but those equal to name, each with CR LF, then
    // "EOF"; lines too long to be names stay, in their order.
    Names kept;
    std::string form;
    for (const std::string& read : names) {
        form += read + "\r\n";
        if (read != name) kept.push_back(read);
    }
    form += "EOF";
    const std::string rewritten = RewriteWithoutName(file, name);
    FUZZ_CHECK(ReadBlockNames(rewritten) == kept);
    FUZZ_CHECK(LongLines(rewritten) == LongLines(file));
    FUZZ_CHECK(rewritten.size() >= 3 && rewritten.compare(rewritten.size() - 3, 3, "EOF") == 0);
    FUZZ_CHECK(RewriteWithoutName(rewritten, "") == rewritten);

    if (CheckBlockName(name) != BlockNameCheck::Acceptable) return 0;
    const std::string appended = AppendBlockNameBytes(file, name);
    Names expected = names;
    expected.emplace_back(name);
    FUZZ_CHECK(ReadBlockNames(appended) == expected);
    FUZZ_CHECK(appended.size() >= 3 && appended.compare(appended.size() - 3, 3, "EOF") == 0);
    expected.emplace_back(name);
    FUZZ_CHECK(ReadBlockNames(AppendBlockNameBytes(appended, name)) == expected);
    // A file of the program's own form only loses its "EOF" in front of the record.
    FUZZ_CHECK(AppendBlockNameBytes(form, name) == form.substr(0, form.size() - 3) + std::string(name) + "\r\nEOF");
    return 0;
}
