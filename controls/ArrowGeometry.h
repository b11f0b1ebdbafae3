// Plain rules of the arrow header: how one owner-drawn heading is painted
// (background, text rectangle, the bevelled sort arrow) and how the column
// widths are stored in and loaded from an archive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

struct PixelPoint {
    int x = 0;
    int y = 0;
    bool operator==(const PixelPoint& other) const { return x == other.x && y == other.y; }
};

struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
    bool operator==(const PixelRect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

// Heading format flags and text format values, with the platform's values.
constexpr unsigned kHeadingFormatRight = 0x0001;      // HDF_RIGHT
constexpr unsigned kHeadingFormatCenter = 0x0002;     // HDF_CENTER
constexpr unsigned kHeadingFormatOwnerDraw = 0x8000;  // HDF_OWNERDRAW
constexpr unsigned kTextFormatLeft = 0x8924;          // DT_LEFT and the fixed flags
constexpr unsigned kTextFormatCenter = 0x8925;        // DT_CENTER and the fixed flags
constexpr unsigned kTextFormatRight = 0x8926;         // DT_RIGHT and the fixed flags

// DT_END_ELLIPSIS | DT_NOPREFIX | DT_NOCLIP | DT_SINGLELINE | DT_VCENTER plus
// the alignment: centre before right before left.
unsigned HeadingTextFormat(unsigned headingFormat);

enum class ArrowPen { Light, Dark };  // COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW

// The operations a heading is painted with. A line runs from the current
// point up to, not including, its end point.
class HeadingSurface {
public:
    virtual ~HeadingSurface() = default;
    virtual void FillBackground(const PixelRect& rect) = 0;
    virtual void DrawHeadingText(const PixelRect& rect, unsigned textFormat) = 0;
    virtual void SelectPen(ArrowPen pen) = 0;
    virtual void MoveTo(PixelPoint point) = 0;
    virtual void LineTo(PixelPoint point) = 0;
};

struct HeadingPaintRequest {
    PixelRect item;              // the heading's rectangle
    unsigned headingFormat = 0;  // the heading's HDF_ flags
    bool pressed = false;        // the heading is held down
    bool isSortColumn = false;   // the heading carries the arrow
    bool ascending = true;       // arrow up (ascending) or down
};

// Quarter of the item's height, truncated: the arrow's unit and the text indent.
int ArrowUnit(const PixelRect& item);

// The rectangle the heading text is drawn into.
PixelRect HeadingTextRect(const HeadingPaintRequest& request);

// Background, then the text when there is room for it, then the arrow on the
// sort column. The arrow is placed on the item rectangle, so pressing the
// heading moves only the text.
void PaintHeading(const HeadingPaintRequest& request, HeadingSurface& surface);

// A growing or consumed byte buffer of signed 32-bit little-endian integers.
class ByteArchive {
public:
    ByteArchive() : storing_(true) {}                 // for storing
    explicit ByteArchive(std::vector<uint8_t> bytes)  // for loading
        : storing_(false), bytes_(std::move(bytes)) {}

    bool IsStoring() const { return storing_; }
    void WriteInt32(int32_t value);
    // False, and nothing consumed, when fewer than four bytes are left.
    bool ReadInt32(int32_t& value);
    const std::vector<uint8_t>& bytes() const { return bytes_; }

private:
    bool storing_;
    std::vector<uint8_t> bytes_;
    size_t readPosition_ = 0;
};

// The header's columns as Serialize sees them.
class ColumnWidths {
public:
    virtual ~ColumnWidths() = default;
    virtual int Count() const = 0;  // -1 when the header cannot tell
    virtual int Width(int column) const = 0;
    virtual void SetWidth(int column, int width) = 0;
};

// Storing writes the count and each width; nothing when the count is -1.
// Loading applies the widths only when the stored count equals the header's
// count and every width is present; otherwise it changes nothing.
void SerializeColumnWidths(ByteArchive& archive, ColumnWidths& columns);
