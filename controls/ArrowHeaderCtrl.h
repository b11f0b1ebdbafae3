// The list's column header, which paints the sort column's heading itself:
// the heading text and a bevelled arrow for the sort direction.
#pragma once

#include <string>

#include "controls/ArrowGeometry.h"
#include "framework/Controls.h"

class CArrowHeaderCtrl : public CHeaderCtrl {
public:
    int m_nSortColumn = -1;
    bool m_bAscending = true;

    // Records the sort column and direction, makes that heading owner-drawn
    // and repaints the header. Headings once owner-drawn stay so and are
    // painted without the arrow afterwards.
    void SetSortIndicator(int column, bool ascending);

    // Paints one owner-drawn heading into the supplied device context and
    // leaves the context's state as it found it.
    void DrawItem(const DRAWITEMSTRUCT& item);

    // Stores or loads the column widths (see SerializeColumnWidths).
    void Serialize(ByteArchive& archive);

protected:
    // The header's WM_DRAWITEM, reflected by the list that owns it.
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    // The heading's text and HDF_ flags.
    std::wstring HeadingText(int column, unsigned* format) const;
};
