#include "app/WindowSettings.h"

#include <algorithm>

namespace {

const char* const kPlaceValue = "WindowPlace";
const char* const kMaximizedValue = "WindowMaximized";
const char* const kWidthsValue = "ColumnWidths";
const char* const kOrderValue = "ColumnOrder";
const char* const kSortColumnValue = "SortColumn";
const char* const kAscendingValue = "SortAscending";
const char* const kTreeValue = "TreeOrder";
const char* const kDpiValue = "SettingsDpi";

// The DPIs Windows offers lie between 100 % and 500 %; outside is damage.
constexpr int kLowestDpi = kStandardDpi / 2;
constexpr int kHighestDpi = kStandardDpi * 10;
// No screen reaches this far from the origin: a place beyond is damage.
constexpr int32_t kFarthest = 1 << 24;

// The caption band a user needs to grab to move the window back.
constexpr int kCaptionGripHeight = 20;
constexpr int kCaptionGripWidth = 48;

std::vector<uint8_t> BytesOf(const std::vector<int32_t>& numbers) {
    std::vector<uint8_t> bytes;
    bytes.reserve(numbers.size() * 4);
    for (int32_t number : numbers) {
        const auto value = static_cast<uint32_t>(number);
        for (int shift = 0; shift < 32; shift += 8) bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
    return bytes;
}

// Little-endian 32-bit numbers; none when the value is not bytes or its size
// is not count numbers.
std::optional<std::vector<int32_t>> NumbersOf(const std::optional<StoredValue>& value, size_t count) {
    if (!value || value->type != kStoredBytes || value->bytes.size() != count * 4) return std::nullopt;
    std::vector<int32_t> numbers(count);
    for (size_t index = 0; index < count; ++index) {
        uint32_t number = 0;
        for (size_t byte = 0; byte < 4; ++byte) number |= uint32_t{value->bytes[index * 4 + byte]} << (8 * byte);
        numbers[index] = static_cast<int32_t>(number);
    }
    return numbers;
}

std::optional<uint32_t> NumberOf(const std::optional<StoredValue>& value) {
    if (!value || value->type != kStoredNumber || value->bytes.size() != 4) return std::nullopt;
    uint32_t number = 0;
    for (size_t byte = 0; byte < 4; ++byte) number |= uint32_t{value->bytes[byte]} << (8 * byte);
    return number;
}

StoredValue Number(uint32_t number) { return {kStoredNumber, BytesOf({static_cast<int32_t>(number)})}; }

// 0 or 1 only: anything else is damage.
std::optional<bool> FlagOf(const std::optional<StoredValue>& value) {
    const std::optional<uint32_t> number = NumberOf(value);
    if (!number || *number > 1) return std::nullopt;
    return *number == 1;
}

// A length taken at one DPI, at another, rounded to the nearest pixel.
int Scaled(int64_t length, int from, int to) { return static_cast<int>((length * to + from / 2) / from); }

bool IsPermutation(const std::vector<int32_t>& order) {
    std::vector<bool> seen(order.size(), false);
    for (int32_t column : order) {
        if (column < 0 || static_cast<size_t>(column) >= order.size() || seen[static_cast<size_t>(column)])
            return false;
        seen[static_cast<size_t>(column)] = true;
    }
    return true;
}

}  // namespace

std::optional<StoredValue> MemorySettingsStore::Read(const std::string& name) const {
    const auto found = values.find(name);
    if (found == values.end()) return std::nullopt;
    return found->second;
}

bool MemorySettingsStore::Write(const std::string& name, const StoredValue& value) {
    values[name] = value;
    return true;
}

namespace {

// Whether the caption's grip lies on the monitor.
bool GripOn(const LayoutRect& place, const LayoutRect& monitor) {
    const LayoutRect grip{place.left, place.top, place.right, std::min(place.bottom, place.top + kCaptionGripHeight)};
    const int width = std::min(grip.right, monitor.right) - std::max(grip.left, monitor.left);
    const int height = std::min(grip.bottom, monitor.bottom) - std::max(grip.top, monitor.top);
    return width >= std::min(kCaptionGripWidth, grip.right - grip.left) && height > 0;
}

// One side's start: inside [low, high - length] where the length fits, else at low.
int Fitted(int start, int length, int low, int high) { return std::max(low, std::min(start, high - length)); }

}  // namespace

bool IsPlaceOnAMonitor(const LayoutRect& place, const std::vector<LayoutRect>& monitors) {
    return std::any_of(monitors.begin(), monitors.end(),
                       [&](const LayoutRect& monitor) { return GripOn(place, monitor); });
}

LayoutRect ClampToWorkArea(const LayoutRect& place, const LayoutRect& work, LayoutSize minimumSize) {
    const int width = std::max(minimumSize.width, std::min(place.right - place.left, work.right - work.left));
    const int height = std::max(minimumSize.height, std::min(place.bottom - place.top, work.bottom - work.top));
    const int left = Fitted(place.left, width, work.left, work.right);
    const int top = Fitted(place.top, height, work.top, work.bottom);
    return {left, top, left + width, top + height};
}

WindowSettings LoadWindowSettings(const SettingsStore& store, const std::vector<int>& defaultWidths,
                                  LayoutSize minimumSize, const std::vector<MonitorArea>& monitors, int dpi) {
    WindowSettings settings;
    settings.dpi = dpi > 0 ? dpi : kStandardDpi;
    dpi = settings.dpi;
    const size_t columns = defaultWidths.size();
    const std::optional<uint32_t> storedDpi = NumberOf(store.Read(kDpiValue));
    const bool dpiKnown = storedDpi && *storedDpi >= kLowestDpi && *storedDpi <= kHighestDpi;
    const int savedAt = dpiKnown ? static_cast<int>(*storedDpi) : dpi;
    const auto place = NumbersOf(store.Read(kPlaceValue), 4);
    const bool placeSane = place && std::all_of(place->begin(), place->end(), [](int32_t coordinate) {
                               return coordinate > -kFarthest && coordinate < kFarthest;
                           });
    if (placeSane) {
        // Sizes in 64-bit arithmetic: a damaged value may hold any numbers.
        const int64_t width = int64_t{(*place)[2]} - (*place)[0];
        const int64_t height = int64_t{(*place)[3]} - (*place)[1];
        const int scaledWidth = width > 0 && width <= 65535 ? Scaled(width, savedAt, dpi) : 0;
        const int scaledHeight = height > 0 && height <= 65535 ? Scaled(height, savedAt, dpi) : 0;
        const LayoutRect rect{(*place)[0], (*place)[1], (*place)[0] + scaledWidth, (*place)[1] + scaledHeight};
        const auto on = std::find_if(monitors.begin(), monitors.end(),
                                     [&](const MonitorArea& area) { return GripOn(rect, area.monitor); });
        if (scaledWidth >= minimumSize.width && scaledHeight >= minimumSize.height && on != monitors.end()) {
            settings.place = ClampToWorkArea(rect, on->work, minimumSize);
        }
    }
    settings.maximized = FlagOf(store.Read(kMaximizedValue)).value_or(false);
    settings.columnWidths = defaultWidths;
    if (const auto widths = NumbersOf(store.Read(kWidthsValue), columns)) {
        for (size_t column = 0; column < columns; ++column) {
            const int32_t width = (*widths)[column];
            if (width >= 0 && width <= kWidestColumn) {
                settings.columnWidths[column] = std::min(kWidestColumn, Scaled(width, savedAt, dpi));
            }
        }
    }
    for (size_t column = 0; column < columns; ++column) settings.columnOrder.push_back(static_cast<int>(column));
    if (const auto order = NumbersOf(store.Read(kOrderValue), columns); order && IsPermutation(*order)) {
        settings.columnOrder.assign(order->begin(), order->end());
    }
    if (const auto sortColumn = NumberOf(store.Read(kSortColumnValue)); sortColumn && *sortColumn < columns) {
        settings.sortColumn = static_cast<int>(*sortColumn);
        settings.ascending = FlagOf(store.Read(kAscendingValue)).value_or(true);
    }
    settings.treeOrder = FlagOf(store.Read(kTreeValue)).value_or(false);
    return settings;
}

bool SaveWindowSettings(SettingsStore& store, const WindowSettings& settings) {
    bool saved = true;
    if (settings.place) {
        const LayoutRect& place = *settings.place;
        saved &= store.Write(kPlaceValue, {kStoredBytes, BytesOf({place.left, place.top, place.right, place.bottom})});
    }
    saved &= store.Write(kMaximizedValue, Number(settings.maximized ? 1 : 0));
    const std::vector<int32_t> widths(settings.columnWidths.begin(), settings.columnWidths.end());
    saved &= store.Write(kWidthsValue, {kStoredBytes, BytesOf(widths)});
    const std::vector<int32_t> order(settings.columnOrder.begin(), settings.columnOrder.end());
    saved &= store.Write(kOrderValue, {kStoredBytes, BytesOf(order)});
    saved &= store.Write(kSortColumnValue, Number(static_cast<uint32_t>(settings.sortColumn)));
    saved &= store.Write(kAscendingValue, Number(settings.ascending ? 1 : 0));
    saved &= store.Write(kTreeValue, Number(settings.treeOrder ? 1 : 0));
    saved &= store.Write(kDpiValue, Number(static_cast<uint32_t>(settings.dpi)));
    return saved;
}

namespace {
const char* const kHideWindowsOwnName = "StartupHideWindowsOwn";
}  // namespace

bool LoadHideWindowsOwnEntries(const SettingsStore& store) {
    return FlagOf(store.Read(kHideWindowsOwnName)).value_or(true);
}

bool SaveHideWindowsOwnEntries(SettingsStore& store, bool hide) {
    return store.Write(kHideWindowsOwnName, Number(hide ? 1 : 0));
}
