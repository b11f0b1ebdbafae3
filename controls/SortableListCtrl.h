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

    // A column of figures that change while the rows stay: it sorts by value,
    // largest first on its first click, and rows of equal value keep the
    // order they were added in.
    void SetFigureColumn(int column);
    bool IsFigureColumn(int column) const;
    // The row's cell texts as added or updated; null for a row without them.
    const std::vector<std::string>* RowCells(int row) const;
    struct CellText {
        int row;
        int column;
        std::string text;
    };
    // Changes cells in place. Only a changed text reaches the list view, and
    // only the changed cells are drawn again (the list view would draw their
    // whole rows). Returns how many changed.
    int UpdateCells(const std::vector<CellText>& cells);
    // Sorts by the current column again when updated cells put rows out of
    // its order; an ordered list is left alone, so nothing is redrawn.
    void SortAgainIfOutOfOrder();

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    struct RowData {
        std::vector<std::string> cells;
        unsigned long long addedAs = 0;  // rows added before have lower numbers
    };
    static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM control);
    std::vector<bool> m_figureColumns;
    unsigned long long m_nRowsAdded = 0;
    void OnColumnClick(const NMLISTVIEW* notification, LRESULT* result);
};
