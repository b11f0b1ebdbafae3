// The list's column header, which marks the sort column's heading.
#pragma once

#include "framework/Controls.h"

class CArrowHeaderCtrl : public CHeaderCtrl {
public:
    int m_nSortColumn = -1;
    bool m_bAscending = true;

    // Records the sort column and direction, makes that heading owner-drawn
    // and repaints the header.
    void SetSortIndicator(int column, bool ascending);
};
