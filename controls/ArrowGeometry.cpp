#include "controls/ArrowGeometry.h"

#include <initializer_list>

unsigned HeadingTextFormat(unsigned headingFormat) {
    if (headingFormat & kHeadingFormatCenter) return kTextFormatCenter;
    if (headingFormat & kHeadingFormatRight) return kTextFormatRight;
    return kTextFormatLeft;
}

int ArrowUnit(const PixelRect& item) { return (item.bottom - item.top) / 4; }

PixelRect HeadingTextRect(const HeadingPaintRequest& request) {
    PixelRect text = request.item;
    if (request.pressed) {
        text.left += 1;
        text.top += 2;
        text.right += 1;
    }
    const int h = ArrowUnit(request.item);
    if (request.isSortColumn) text.right -= 3 * h;
    text.left += h;
    text.right -= h;
    return text;
}

namespace {

void DrawPath(HeadingSurface& surface, ArrowPen pen, std::initializer_list<PixelPoint> path) {
    surface.SelectPen(pen);
    auto point = path.begin();
    surface.MoveTo(*point);
    for (++point; point != path.end(); ++point) surface.LineTo(*point);
}

// Heading y coordinates start at 0 for every item, so h is also the distance
// below the item's top.
void DrawArrow(const PixelRect& item, bool ascending, HeadingSurface& surface) {
    const int h = ArrowUnit(item);
    const int r = item.right;
    const int b = item.bottom;
    if (ascending) {
        DrawPath(surface, ArrowPen::Light, {{r - 2 * h, h}, {r - h, b - h - 1}, {r - 3 * h - 2, b - h - 1}});
        DrawPath(surface, ArrowPen::Dark, {{r - 3 * h - 1, b - h - 1}, {r - 2 * h, h - 1}});
    } else {
        DrawPath(surface, ArrowPen::Light, {{r - h - 1, h}, {r - 2 * h - 1, b - h}});
        DrawPath(surface, ArrowPen::Dark, {{r - 2 * h - 2, b - h}, {r - 3 * h - 1, h}, {r - h - 1, h}});
    }
}

}  // namespace

void PaintHeading(const HeadingPaintRequest& request, HeadingSurface& surface) {
    surface.FillBackground(request.item);
    const PixelRect text = HeadingTextRect(request);
    if (text.left < text.right) surface.DrawHeadingText(text, HeadingTextFormat(request.headingFormat));
    if (request.isSortColumn) DrawArrow(request.item, request.ascending, surface);
}

void ByteArchive::WriteInt32(int32_t value) {
    const uint32_t bits = static_cast<uint32_t>(value);
    for (int shift = 0; shift < 32; shift += 8) bytes_.push_back(static_cast<uint8_t>(bits >> shift));
}

bool ByteArchive::ReadInt32(int32_t& value) {
    if (bytes_.size() - readPosition_ < 4) return false;
    uint32_t bits = 0;
    for (int index = 0; index < 4; ++index) bits |= static_cast<uint32_t>(bytes_[readPosition_ + index]) << (8 * index);
    readPosition_ += 4;
    value = static_cast<int32_t>(bits);
    return true;
}

void SerializeColumnWidths(ByteArchive& archive, ColumnWidths& columns) {
    const int count = columns.Count();
    if (archive.IsStoring()) {
        if (count == -1) return;
        archive.WriteInt32(count);
        for (int column = 0; column < count; ++column) archive.WriteInt32(columns.Width(column));
        return;
    }
    int32_t storedCount = 0;
    if (!archive.ReadInt32(storedCount) || storedCount != count || count < 0) return;
    std::vector<int32_t> widths(static_cast<size_t>(count));
    for (int32_t& width : widths) {
        if (!archive.ReadInt32(width)) return;
    }
    for (int column = 0; column < count; ++column) columns.SetWidth(column, widths[static_cast<size_t>(column)]);
}
