// proc.dat: any file is read, and an append or the editor's delete read back
// gives the old names plus or minus the name.
// Input: the name, a NUL byte, then the file (no NUL: all file, empty name).
#include "blocklist/BlockListRules.h"
#include "tests/fuzz/FuzzInput.h"

using Names = std::vector<std::string>;

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

    // The delete: the names but those equal to name, each with CR LF, then "EOF".
    Names kept;
    std::string form;
    for (const std::string& read : names) {
        if (read == name) continue;
        kept.push_back(read);
        form += read + "\r\n";
    }
    form += "EOF";
    const std::string rewritten = RewriteWithoutName(file, name);
    FUZZ_CHECK(rewritten == form);
    FUZZ_CHECK(ReadBlockNames(rewritten) == kept);

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
