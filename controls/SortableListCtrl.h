// The process list: columns from a column spec, rows that keep a copy of their
// cell texts, and sorting by a clicked column.
#pragma once

#include <string>
#include <vector>

#include "controls/ArrowHeaderCtrl.h"
#include "framework/Controls.h"

class CSortableListCtrl : public CListCtrl {
public:
    int m_nColumnCount = 0;
    int m_nSortColumn = -1;  // -1: not sorted yet
    bool m_bAscending = true;
    CArrowHeaderCtrl m_header;

    // Appends one column per "heading,width" entry of a ';'-separated spec.
    // False when the list view refused a column.
    bool InsertColumns(const std::string& spec);
    // Appends a row with one text per column; its index, or -1.
    int InsertRow(const std::vector<std::string>& cells);
    // Removes every row and releases the rows' data.
    void DeleteAllRows();
    void SortByColumn(int column, bool ascending);

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    struct RowData {
        std::vector<std::string> cells;
    };
    static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM control);
    void OnColumnClick(const NMLISTVIEW* notification, LRESULT* result);
};
