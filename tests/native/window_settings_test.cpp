#include <gtest/gtest.h>

#include "app/WindowLayout.h"
#include "app/WindowSettings.h"

namespace {

TEST(WindowLayout, AtTheFirstSizeNothingMovesGrownTheControlsFollow) {
    const std::vector<AnchoredControl> controls = {{{10, 5, 380, 310}, Anchor::Grow},
                                                   {{410, 30, 485, 52}, Anchor::FollowRight},
                                                   {{40, 320, 126, 333}, Anchor::FollowBottom}};
    const LayoutSize first{500, 340};
    std::vector<LayoutRect> same;
    for (const AnchoredControl& control : controls) same.push_back(control.first);
    EXPECT_EQ(LayoutControls(controls, first, first), same);
    EXPECT_EQ(LayoutControls(controls, first, {0, 0}), same);  // minimised
    EXPECT_EQ(LayoutControls(controls, first, {700, 400}),
              (std::vector<LayoutRect>{{10, 5, 580, 370}, {610, 30, 685, 52}, {40, 380, 126, 393}}));
}

// Little-endian 32-bit numbers, as bytes or (one) as a number.
StoredValue Stored(std::vector<int32_t> numbers, uint32_t type = kStoredBytes) {
    StoredValue value{type, {}};
    for (const auto number : numbers) {
        for (int shift = 0; shift < 32; shift += 8) value.bytes.push_back(static_cast<uint8_t>(number >> shift));
    }
    return value;
}
StoredValue Number(int32_t number) { return Stored({number}, kStoredNumber); }
StoredValue Bytes(std::vector<int32_t> numbers) { return Stored(std::move(numbers)); }

struct WindowSettingsTest : ::testing::Test {
    MemorySettingsStore store;
    const std::vector<int> defaults = {100, 50, 30, 20, 40};
    // The first monitor's taskbar takes its bottom 40 pixels.
    const std::vector<MonitorArea> monitors = {{{0, 0, 1024, 768}, {0, 0, 1024, 728}},
                                               {{1024, 0, 2048, 768}, {1024, 0, 2048, 768}}};
    WindowSettings Load(int dpi = kStandardDpi) {
        return LoadWindowSettings(store, defaults, {500, 400}, monitors, dpi);
    }
};

TEST_F(WindowSettingsTest, NothingStoredGivesTheFirstWindow) {
    const WindowSettings first = Load();
    EXPECT_FALSE(first.place.has_value());
    EXPECT_FALSE(first.maximized);
    EXPECT_EQ(defaults, first.columnWidths);
}

TEST_F(WindowSettingsTest, WhatIsSavedComesBack) {
    WindowSettings saved;
    saved.place = LayoutRect{1100, 50, 1800, 600};
    saved.maximized = true;
    saved.columnWidths = {120, 0, 33, 21, 8192};
    saved.columnOrder = {4, 0, 1, 2, 3};
    saved.sortColumn = 3;
    saved.ascending = false;
    saved.treeOrder = true;
    ASSERT_TRUE(SaveWindowSettings(store, saved));
    const WindowSettings loaded = Load();
    EXPECT_EQ(loaded.place, saved.place);
    EXPECT_TRUE(loaded.maximized);
    EXPECT_EQ(loaded.columnWidths, saved.columnWidths);
    EXPECT_EQ(loaded.columnOrder, saved.columnOrder);
    EXPECT_EQ(loaded.sortColumn, 3);
    EXPECT_FALSE(loaded.ascending);
    EXPECT_TRUE(loaded.treeOrder);
}

TEST_F(WindowSettingsTest, EachDamagedItemGivesItsDefaultAlone) {
    const WindowSettings empty = Load();
    EXPECT_FALSE(empty.place);
    EXPECT_EQ(empty.columnWidths, defaults);
    EXPECT_EQ(empty.columnOrder, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(empty.sortColumn, -1);
    EXPECT_FALSE(empty.treeOrder);

    store.values["ColumnWidths"] = Bytes({100000, -5, 60, 70, 80});
    store.values["ColumnOrder"] = Bytes({0, 1, 1, 2, 3});
    store.values["SortColumn"] = Number(5);
    store.values["TreeOrder"] = Number(1);
    WindowSettings loaded = Load();
    EXPECT_EQ(loaded.columnWidths, (std::vector<int>{100, 50, 60, 70, 80}));
    EXPECT_EQ(loaded.columnOrder, empty.columnOrder);
    EXPECT_EQ(loaded.sortColumn, -1);
    EXPECT_TRUE(loaded.treeOrder);

    // Wrong type, wrong size, a flag neither 0 nor 1.
    store.values["ColumnWidths"] = Number(7);
    store.values["ColumnOrder"] = Bytes({4, 3, 2, 1});
    store.values["TreeOrder"] = Number(2);
    store.values["SortColumn"] = Bytes({2});
    loaded = Load();
    store.values["SortColumn"] = Number(1);
    store.values["SortAscending"] = Number(2);
    EXPECT_TRUE(Load().ascending);
    EXPECT_EQ(loaded.columnWidths, defaults);
    EXPECT_EQ(loaded.columnOrder, empty.columnOrder);
    EXPECT_FALSE(loaded.treeOrder);
    EXPECT_EQ(loaded.sortColumn, -1);
}

TEST_F(WindowSettingsTest, APlaceOnAMonitorThatIsGoneOrTooSmallIsNotRestored) {
    const auto placeOf = [this](std::vector<int32_t> rect) {
        store.values["WindowPlace"] = Bytes(std::move(rect));
        return Load().place;
    };
    EXPECT_TRUE(placeOf({-400, 100, 200, 600}));    // half off the left edge: its caption can be grabbed
    EXPECT_FALSE(placeOf({2100, 100, 2700, 600}));  // right of the second monitor
    EXPECT_FALSE(placeOf({100, -300, 700, -10}));   // above every monitor
    EXPECT_FALSE(placeOf({100, 100, 300, 300}));    // smaller than the window can be
    EXPECT_FALSE(placeOf({INT32_MIN, 0, INT32_MAX, 500}));
    EXPECT_FALSE(placeOf({0, 0, 600}));
    EXPECT_FALSE(placeOf({INT32_MAX - 600, 0, INT32_MAX, 500}));
    // Only a caption grip with some height on a monitor counts.
    EXPECT_FALSE(IsPlaceOnAMonitor({0, 768, 600, 1068}, {{0, 0, 1024, 768}}));
    EXPECT_TRUE(IsPlaceOnAMonitor({0, 767, 600, 1067}, {{0, 0, 1024, 768}}));
}

TEST_F(WindowSettingsTest, APlaceComesBackInsideTheWorkArea) {
    const auto placeOf = [this](std::vector<int32_t> rect) {
        store.values["WindowPlace"] = Bytes(std::move(rect));
        return Load().place;
    };
    // A caption under the taskbar comes up above it; a part off the edge comes in.
    EXPECT_EQ((LayoutRect{100, 328, 700, 728}), placeOf({100, 740, 700, 1140}));
    EXPECT_EQ((LayoutRect{0, 100, 600, 600}), placeOf({-400, 100, 200, 600}));
    EXPECT_EQ((LayoutRect{1448, 0, 2048, 500}), placeOf({1900, 0, 2500, 500}));
    // Larger than the work area: cut to it.
    EXPECT_EQ((LayoutRect{0, 0, 1024, 728}), placeOf({0, 0, 1500, 1000}));
    // Never below the smallest size the window can have.
    EXPECT_EQ((LayoutRect{0, 0, 500, 400}), ClampToWorkArea({10, 10, 600, 500}, {0, 0, 400, 300}, {500, 400}));
    EXPECT_EQ((LayoutRect{-50, 20, 450, 420}), ClampToWorkArea({-90, 20, 410, 420}, {-50, 0, 974, 728}, {0, 0}));
}

TEST_F(WindowSettingsTest, PlaceAndWidthsFollowTheDpi) {
    WindowSettings saved;
    saved.place = LayoutRect{1100, 50, 1900, 650};
    saved.columnWidths = {120, 0, 33, 21, 8192};
    saved.columnOrder = {0, 1, 2, 3, 4};
    saved.dpi = 192;  // 200 %
    ASSERT_TRUE(SaveWindowSettings(store, saved));
    EXPECT_EQ(Number(192).bytes, store.values.at("SettingsDpi").bytes);
    WindowSettings loaded = Load(96);
    EXPECT_FALSE(loaded.place) << "below the smallest size at 100 %";
    store.values["WindowPlace"] = Bytes({1100, 50, 2100, 850});
    loaded = Load(96);
    EXPECT_EQ((LayoutRect{1100, 50, 1600, 450}), loaded.place);
    EXPECT_EQ((std::vector<int>{60, 0, 17, 11, 4096}), loaded.columnWidths);
    EXPECT_EQ(96, loaded.dpi);
    EXPECT_EQ((std::vector<int>{180, 0, 50, 32, 8192}), Load(288).columnWidths);

    // Saved at 100 %, the smallest place there is still large enough at 200 %.
    store.values["WindowPlace"] = Bytes({100, 100, 350, 300});
    store.values["SettingsDpi"] = Number(96);
    EXPECT_EQ((LayoutRect{100, 100, 600, 500}), Load(192).place);
    // Settings of an earlier version (no DPI) or a damaged DPI: taken as they are.
    for (const StoredValue& dpi : {Number(0), Number(47), Number(961), Bytes({96})}) {
        store.values["SettingsDpi"] = dpi;
        EXPECT_FALSE(Load(192).place);
    }
    store.values.erase("SettingsDpi");
    store.values["WindowPlace"] = Bytes({100, 100, 600, 500});
    EXPECT_EQ((LayoutRect{100, 100, 600, 500}), Load(192).place);
    EXPECT_EQ((LayoutRect{100, 100, 600, 500}), Load(0).place);
    // 50 % and 1000 % are the bounds a stored DPI may have.
    store.values["SettingsDpi"] = Number(48);
    store.values["WindowPlace"] = Bytes({100, 100, 400, 300});
    EXPECT_EQ((LayoutRect{100, 100, 700, 500}), Load(96).place);
    store.values["SettingsDpi"] = Number(960);
    store.values["WindowPlace"] = Bytes({100, 100, 1100, 900});
    EXPECT_EQ((LayoutRect{100, 100, 600, 500}), Load(480).place);
    store.values["SettingsDpi"] = Number(961);
    EXPECT_EQ((LayoutRect{24, 0, 1024, 728}), Load(192).place) << "taken as it is";
}

}  // namespace

TEST(WindowSettings, HidingWindowsOwnStartupEntriesIsOnUnlessTurnedOff) {
    MemorySettingsStore store;
    EXPECT_TRUE(LoadHideWindowsOwnEntries(store));
    ASSERT_TRUE(SaveHideWindowsOwnEntries(store, false));
    EXPECT_FALSE(LoadHideWindowsOwnEntries(store));
    ASSERT_TRUE(SaveHideWindowsOwnEntries(store, true));
    EXPECT_TRUE(LoadHideWindowsOwnEntries(store));
    EXPECT_EQ((std::vector<uint8_t>{1, 0, 0, 0}), store.values["StartupHideWindowsOwn"].bytes);
    EXPECT_EQ(kStoredNumber, store.values["StartupHideWindowsOwn"].type);
    // Damage gives the default.
    for (const StoredValue& damaged : {StoredValue{kStoredNumber, {2, 0, 0, 0}},
                                       StoredValue{kStoredBytes, {0, 0, 0, 0}}, StoredValue{kStoredNumber, {0, 0}}}) {
        store.values["StartupHideWindowsOwn"] = damaged;
        EXPECT_TRUE(LoadHideWindowsOwnEntries(store));
    }
}
