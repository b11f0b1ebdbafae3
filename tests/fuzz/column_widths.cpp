// The column-width archive: loading any bytes changes the widths only when the
// archive holds the header's count and every width; storing and loading back
// gives the widths.
// Input: the first byte minus one is the header's column count (-1: unknown),
// the rest the archive.
#include <algorithm>

#include "controls/ArrowGeometry.h"
#include "tests/fuzz/FuzzInput.h"

namespace {

class Header : public ColumnWidths {
public:
    Header(int count, std::vector<int> widths) : count_(count), widths_(std::move(widths)) {}
    int Count() const override { return count_; }
    int Width(int column) const override { return widths_.at(static_cast<size_t>(column)); }
    void SetWidth(int column, int width) override { widths_.at(static_cast<size_t>(column)) = width; }
    const std::vector<int>& widths() const { return widths_; }

private:
    int count_;
    std::vector<int> widths_;
};

std::vector<int> Numbered(int count) {
    std::vector<int> widths(static_cast<size_t>(std::max(count, 0)));
    for (size_t column = 0; column < widths.size(); ++column) widths[column] = 100 + static_cast<int>(column);
    return widths;
}

int32_t LittleEndian(const uint8_t* bytes) {
    return static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<uint32_t>(bytes[3]) << 24);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int count = data[0] - 1;
    const std::vector<uint8_t> archived(data + 1, data + size);

    Header loaded(count, Numbered(count));
    ByteArchive loading(archived);
    SerializeColumnWidths(loading, loaded);
    const bool complete =
        count >= 0 && archived.size() >= 4 * (static_cast<size_t>(count) + 1) && LittleEndian(archived.data()) == count;
    std::vector<int> expected = Numbered(count);
    if (complete) {
        for (int column = 0; column < count; ++column) expected[column] = LittleEndian(&archived[4 * (column + 1)]);
    }
    FUZZ_CHECK(loaded.widths() == expected);

    // Stored: the count and each width, nothing when the count is unknown;
    // loaded into a header of the same count, the same widths.
    ByteArchive storing;
    SerializeColumnWidths(storing, loaded);
    FUZZ_CHECK(storing.bytes().size() == (count < 0 ? 0 : 4 * (static_cast<size_t>(count) + 1)));
    if (complete) FUZZ_CHECK(std::equal(storing.bytes().begin(), storing.bytes().end(), archived.begin()));
    Header reloaded(count, std::vector<int>(expected.size(), -7));
    ByteArchive loadingBack(storing.bytes());
    SerializeColumnWidths(loadingBack, reloaded);
    if (count >= 0) FUZZ_CHECK(reloaded.widths() == loaded.widths());
    return 0;
}
