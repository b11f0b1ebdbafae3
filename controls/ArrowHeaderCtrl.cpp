#include "controls/ArrowHeaderCtrl.h"

void CArrowHeaderCtrl::SetSortIndicator(int column, bool ascending) {
    m_nSortColumn = column;
    m_bAscending = ascending;
}
