// The main window's remembered settings: whatever the registry holds, each
// item read is one the window can use (a place at least the smallest size
// with its caption on a monitor, widths in range, the order a permutation, a
// sort column that exists), and what is written reads back the same.
// Input: one value after another, each a type byte, a length byte and that
// many bytes, for the place, the maximised flag, widths, order, sort column,
// sort direction, tree flag and the DPI they were taken at; a type byte 0
// leaves that value missing.
#include <algorithm>

#include "app/WindowSettings.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kNames[] = {"WindowPlace", "WindowMaximized", "ColumnWidths", "ColumnOrder",
                                         "SortColumn",  "SortAscending",   "TreeOrder",    "SettingsDpi"};
    MemorySettingsStore store;
    size_t at = 0;
    for (const char* name : kNames) {
        if (at + 2 > size) break;
        const uint8_t type = data[at];
        const size_t length = std::min<size_t>(data[at + 1], size - at - 2);
        if (type != 0) store.values[name] = {type, std::vector<uint8_t>(data + at + 2, data + at + 2 + length)};
        at += 2 + length;
    }
    const std::vector<int> defaults = {300, 120, 80, 60, 100};
    const LayoutSize minimum{500, 400};
    const LayoutRect screen{0, 0, 1920, 1080};
    const LayoutRect work{0, 0, 1920, 1040};
    const std::vector<MonitorArea> monitors = {{screen, work}};
    const int dpi = 144;
    const WindowSettings settings = LoadWindowSettings(store, defaults, minimum, monitors, dpi);
    if (settings.place) {
        FUZZ_CHECK(int64_t{settings.place->right} - settings.place->left >= minimum.width);
        FUZZ_CHECK(int64_t{settings.place->bottom} - settings.place->top >= minimum.height);
        FUZZ_CHECK(IsPlaceOnAMonitor(*settings.place, {screen}));
        // Within the work area: it fits there, being no larger than it.
        FUZZ_CHECK(settings.place->left >= work.left && settings.place->top >= work.top);
        FUZZ_CHECK(settings.place->right <= work.right && settings.place->bottom <= work.bottom);
    }
    FUZZ_CHECK(settings.columnWidths.size() == defaults.size());
    for (int width : settings.columnWidths) FUZZ_CHECK(width >= 0 && width <= kWidestColumn);
    std::vector<int> order = settings.columnOrder;
    std::sort(order.begin(), order.end());
    for (size_t column = 0; column < order.size(); ++column) FUZZ_CHECK(order[column] == static_cast<int>(column));
    FUZZ_CHECK(order.size() == defaults.size());
    FUZZ_CHECK(settings.sortColumn >= -1 && settings.sortColumn < static_cast<int>(defaults.size()));

    MemorySettingsStore written;
    SaveWindowSettings(written, settings);
    const WindowSettings again = LoadWindowSettings(written, defaults, minimum, monitors, dpi);
    FUZZ_CHECK(again.place.has_value() == settings.place.has_value());
    FUZZ_CHECK(again.columnWidths == settings.columnWidths && again.columnOrder == settings.columnOrder);
    FUZZ_CHECK(again.sortColumn == settings.sortColumn && again.treeOrder == settings.treeOrder);
    FUZZ_CHECK(again.maximized == settings.maximized);
    return 0;
}
