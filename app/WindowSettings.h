// What the main window remembers per user between starts: its place and size,
// the columns' widths and order, the sort and the tree order. Read through a
// store (the registry under HKCU\Software\tarvemonix); each value that is
// missing, of the wrong type or size, or out of range gives that item's
// default and changes nothing else.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "app/WindowLayout.h"

// A value as the registry keeps one.
struct StoredValue {
    uint32_t type = 0;  // kStoredNumber or kStoredBytes
    std::vector<uint8_t> bytes;
};
constexpr uint32_t kStoredBytes = 3;   // REG_BINARY
constexpr uint32_t kStoredNumber = 4;  // REG_DWORD

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    virtual std::optional<StoredValue> Read(const std::string& name) const = 0;
    // False when the value could not be written; nothing is said then.
    virtual bool Write(const std::string& name, const StoredValue& value) = 0;
};

// A store in memory, for tests and as the fallback of a store that cannot be opened.
class MemorySettingsStore : public SettingsStore {
public:
    std::optional<StoredValue> Read(const std::string& name) const override;
    bool Write(const std::string& name, const StoredValue& value) override;
    std::map<std::string, StoredValue> values;
};

// The pixels per inch at 100 %.
constexpr int kStandardDpi = 96;

struct WindowSettings {
    std::optional<LayoutRect> place;  // the window's rectangle (screen), not maximised
    bool maximized = false;
    std::vector<int> columnWidths;  // one per column
    std::vector<int> columnOrder;   // a permutation of the columns
    int sortColumn = -1;            // -1: unsorted
    bool ascending = true;
    bool treeOrder = false;
    int dpi = kStandardDpi;  // the system's when the place and the widths were taken
};

// A monitor of the system: all of it, and the part windows are given (without
// the taskbar and docked bars).
struct MonitorArea {
    LayoutRect monitor;
    LayoutRect work;
};

// The widest a column can be remembered; wider is taken for damage.
constexpr int kWidestColumn = 8192;

// The settings from store, each checked: a place only when its caption lies
// on one of the monitors and it is at least minimumSize large, then moved
// (and cut where larger) into that monitor's work area; a width only within
// 0..kWidestColumn (else that column's default); the order only as a
// permutation of the columnCount columns; a sort column only below
// columnCount. defaults gives the widths where none is good. The place's
// size and the widths were taken at the stored DPI and are scaled to dpi
// (the system's now); settings without a DPI (an earlier version's) are
// taken at dpi.
WindowSettings LoadWindowSettings(const SettingsStore& store, const std::vector<int>& defaultWidths,
                                  LayoutSize minimumSize, const std::vector<MonitorArea>& monitors,
                                  int dpi = kStandardDpi);

// Writes every item of settings into store; false when one failed.
bool SaveWindowSettings(SettingsStore& store, const WindowSettings& settings);

// The startup entries dialog's "隐藏 Windows 自带项": on unless stored as off
// (a DWORD 0; any value but 0 or 1 is damage, and gives on).
bool LoadHideWindowsOwnEntries(const SettingsStore& store);
bool SaveHideWindowsOwnEntries(SettingsStore& store, bool hide);

// Whether a window at place shows a grip of its caption on one of the monitors.
bool IsPlaceOnAMonitor(const LayoutRect& place, const std::vector<LayoutRect>& monitors);

// The place moved into the work area, as far as it fits; a place larger than
// the work area is cut to it, but not below minimumSize.
LayoutRect ClampToWorkArea(const LayoutRect& place, const LayoutRect& work, LayoutSize minimumSize);
