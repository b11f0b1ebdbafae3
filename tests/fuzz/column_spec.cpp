// The column spec "heading,width;...": the columns come in order, a refused
// column stops the parse, and the columns written back as a spec parse the same.
// Input: the first byte is the column that gets refused, the rest the spec.
#include "controls/ListRules.h"
#include "tests/fuzz/FuzzInput.h"

using Columns = std::vector<std::pair<std::string, int>>;

// Collects the accepted columns; counts every call, the refused one too.
static bool Parse(std::string_view spec, Columns& columns, size_t refuseAt, size_t* calls = nullptr) {
    return ParseColumnSpec(spec, [&](const std::string& heading, int width) {
        if (calls) ++*calls;
        if (columns.size() == refuseAt) return false;
        columns.emplace_back(heading, width);
        return true;
    });
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t refuseAt = data[0];
    const std::string_view spec = InputText(data + 1, size - 1);

    Columns all;
    FUZZ_CHECK(Parse(spec, all, SIZE_MAX));
    std::string written;
    for (const auto& [heading, width] : all) {
        FUZZ_CHECK(heading.find(',') == std::string::npos);
        written += (written.empty() ? "" : ";") + heading + "," + std::to_string(width);
    }
    Columns again;
    FUZZ_CHECK(Parse(written, again, SIZE_MAX) && again == all);

    Columns refused;
    size_t calls = 0;
    FUZZ_CHECK(Parse(spec, refused, refuseAt, &calls) == (all.size() <= refuseAt));
    FUZZ_CHECK(calls == std::min(all.size(), refuseAt + 1));
    FUZZ_CHECK(std::equal(refused.begin(), refused.end(), all.begin()));
    return 0;
}
