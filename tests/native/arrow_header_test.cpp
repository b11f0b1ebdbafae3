#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/ArrowGeometry.h"

namespace {

// Records every drawing step as a line of text.
class RecordingSurface : public HeadingSurface {
public:
    std::vector<std::string> steps;

    void FillBackground(const PixelRect& r) override { steps.push_back("fill " + Rect(r)); }
    void DrawHeadingText(const PixelRect& r, unsigned format) override {
        steps.push_back("text " + Rect(r) + " " + std::to_string(format));
    }
    void SelectPen(ArrowPen pen) override { steps.push_back(pen == ArrowPen::Light ? "light" : "dark"); }
    void MoveTo(PixelPoint p) override { steps.push_back("move " + Point(p)); }
    void LineTo(PixelPoint p) override { steps.push_back("line " + Point(p)); }

private:
    static std::string Point(PixelPoint p) { return std::to_string(p.x) + "," + std::to_string(p.y); }
    static std::string Rect(const PixelRect& r) {
        return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
               std::to_string(r.bottom);
    }
};

std::vector<std::string> Paint(const HeadingPaintRequest& request) {
    RecordingSurface surface;
    PaintHeading(request, surface);
    return surface.steps;
}

HeadingPaintRequest Request(PixelRect item, bool sortColumn, bool ascending = true, bool pressed = false) {
    HeadingPaintRequest request;
    request.item = item;
    request.isSortColumn = sortColumn;
    request.ascending = ascending;
    request.pressed = pressed;
    return request;
}

const std::string kLeft = std::to_string(kTextFormatLeft);

}  // namespace

TEST(ArrowHeader, TextFormatFollowsTheHeadingAlignment) {
    EXPECT_EQ(0x8924u, HeadingTextFormat(0));
    EXPECT_EQ(0x8925u, HeadingTextFormat(kHeadingFormatCenter));
    EXPECT_EQ(0x8926u, HeadingTextFormat(kHeadingFormatRight));
    // Centre wins over right; other flags do not matter.
    EXPECT_EQ(0x8925u, HeadingTextFormat(kHeadingFormatCenter | kHeadingFormatRight));
    EXPECT_EQ(0x8924u, HeadingTextFormat(kHeadingFormatOwnerDraw | 0x4000));
}

TEST(ArrowHeader, WorkedExampleAscending) {
    EXPECT_EQ((std::vector<std::string>{"fill 0,0,100,18", "text 4,0,84,18 " + kLeft, "light", "move 92,4",
                                        "line 96,13", "line 86,13", "dark", "move 87,13", "line 92,3"}),
              Paint(Request({0, 0, 100, 18}, true, true)));
}

TEST(ArrowHeader, WorkedExampleDescending) {
    EXPECT_EQ((std::vector<std::string>{"fill 0,0,100,18", "text 4,0,84,18 " + kLeft, "light", "move 95,4",
                                        "line 91,14", "dark", "move 90,14", "line 87,4", "line 95,4"}),
              Paint(Request({0, 0, 100, 18}, true, false)));
}

TEST(ArrowHeader, OtherOwnerDrawnHeadingsGetTextAndNoArrow) {
    EXPECT_EQ((std::vector<std::string>{"fill 0,0,100,18", "text 4,0,96,18 " + kLeft}),
              Paint(Request({0, 0, 100, 18}, false)));
    HeadingPaintRequest centred = Request({100, 0, 180, 18}, false);
    centred.headingFormat = kHeadingFormatCenter;
    EXPECT_EQ((std::vector<std::string>{"fill 100,0,180,18", "text 104,0,176,18 " + std::to_string(0x8925)}),
              Paint(centred));
}

TEST(ArrowHeader, PressedHeadingMovesOnlyTheText) {
    const std::vector<std::string> pressed = Paint(Request({100, 0, 200, 18}, true, true, true));
    const std::vector<std::string> released = Paint(Request({100, 0, 200, 18}, true, true, false));
    ASSERT_EQ(released.size(), pressed.size());
    EXPECT_EQ("text 104,0,184,18 " + kLeft, released[1]);
    EXPECT_EQ("text 105,2,185,18 " + kLeft, pressed[1]);
    // Background and arrow stay put.
    EXPECT_EQ(released[0], pressed[0]);
    for (size_t step = 2; step < pressed.size(); ++step) EXPECT_EQ(released[step], pressed[step]) << step;
    EXPECT_EQ("move 192,4", pressed[3]);
}

TEST(ArrowHeader, NarrowHeadingsDropTheTextNotTheArrow) {
    // Sort heading: text only when wider than 5h (20 pixels for h = 4).
    const std::vector<std::string> narrowSort = Paint(Request({0, 0, 20, 18}, true, true));
    EXPECT_EQ((std::vector<std::string>{"fill 0,0,20,18", "light", "move 12,4", "line 16,13", "line 6,13", "dark",
                                        "move 7,13", "line 12,3"}),
              narrowSort);
    EXPECT_EQ("text 4,0,5,18 " + kLeft, Paint(Request({0, 0, 21, 18}, true))[1]);
    // Other headings: text only when wider than 2h.
    EXPECT_EQ((std::vector<std::string>{"fill 0,0,8,18"}), Paint(Request({0, 0, 8, 18}, false)));
    EXPECT_EQ("text 4,0,5,18 " + kLeft, Paint(Request({0, 0, 9, 18}, false))[1]);
    // A heading of no width still gets its background and no text.
    EXPECT_EQ((std::vector<std::string>{"fill 50,0,50,18"}), Paint(Request({50, 0, 50, 18}, false)));
}

TEST(ArrowHeader, UnitFollowsTheHeaderHeight) {
    EXPECT_EQ(4, ArrowUnit({0, 0, 100, 18}));
    EXPECT_EQ(3, ArrowUnit({0, 0, 100, 15}));
    EXPECT_EQ(0, ArrowUnit({0, 0, 100, 3}));
    // 15 pixels: h = 3, arrow room 9, indents 3.
    EXPECT_EQ((std::vector<std::string>{"fill 0,0,60,15", "text 3,0,48,15 " + kLeft, "light", "move 54,3", "line 57,11",
                                        "line 49,11", "dark", "move 50,11", "line 54,2"}),
              Paint(Request({0, 0, 60, 15}, true, true)));
    EXPECT_EQ((std::vector<std::string>{"fill 0,0,60,15", "text 3,0,48,15 " + kLeft, "light", "move 56,3", "line 53,12",
                                        "dark", "move 52,12", "line 50,3", "line 56,3"}),
              Paint(Request({0, 0, 60, 15}, true, false)));
}

namespace {

class FakeColumns : public ColumnWidths {
public:
    explicit FakeColumns(std::vector<int> widths, bool countKnown = true)
        : widths(std::move(widths)), countKnown_(countKnown) {}
    std::vector<int> widths;
    int Count() const override { return countKnown_ ? static_cast<int>(widths.size()) : -1; }
    int Width(int column) const override { return widths.at(static_cast<size_t>(column)); }
    void SetWidth(int column, int width) override { widths.at(static_cast<size_t>(column)) = width; }

private:
    bool countKnown_;
};

std::vector<uint8_t> Store(FakeColumns columns) {
    ByteArchive archive;
    SerializeColumnWidths(archive, columns);
    return archive.bytes();
}

}  // namespace

TEST(ColumnWidthArchive, StoresCountAndWidthsLittleEndian) {
    EXPECT_EQ((std::vector<uint8_t>{3, 0, 0, 0, 160, 0, 0, 0, 0x2C, 0x01, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
              Store(FakeColumns({160, 300, -1})));
    EXPECT_TRUE(Store(FakeColumns({160}, false)).empty());
    EXPECT_EQ((std::vector<uint8_t>{0, 0, 0, 0}), Store(FakeColumns({})));
}

TEST(ColumnWidthArchive, LoadsOnlyAMatchingCompleteRecord) {
    const std::vector<uint8_t> stored = Store(FakeColumns({160, 120, 60}));

    FakeColumns same({1, 2, 3});
    ByteArchive loading(stored);
    SerializeColumnWidths(loading, same);
    EXPECT_EQ((std::vector<int>{160, 120, 60}), same.widths);

    FakeColumns fewer({1, 2});
    ByteArchive forFewer(stored);
    SerializeColumnWidths(forFewer, fewer);
    EXPECT_EQ((std::vector<int>{1, 2}), fewer.widths);

    FakeColumns more({1, 2, 3, 4});
    ByteArchive forMore(stored);
    SerializeColumnWidths(forMore, more);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4}), more.widths);

    // A record cut short changes nothing either.
    std::vector<uint8_t> cut(stored.begin(), stored.end() - 2);
    FakeColumns forCut({1, 2, 3});
    ByteArchive cutArchive(cut);
    SerializeColumnWidths(cutArchive, forCut);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), forCut.widths);

    FakeColumns fromNothing({7});
    ByteArchive empty{std::vector<uint8_t>{}};
    SerializeColumnWidths(empty, fromNothing);
    EXPECT_EQ((std::vector<int>{7}), fromNothing.widths);
}
