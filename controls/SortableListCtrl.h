// The process list: columns from a column spec, rows that keep a copy of their
// cell texts, and sorting by a clicked column.
#pragma once

#include <functional>
#include <optional>
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
    // Appends a row with one text per column; its index, or -1. The tag
    // stays with the row wherever sorting puts it (an index into the
    // caller's own list, say).
    int InsertRow(const std::vector<std::string>& cells, size_t tag = 0);
    // The tag of the row at index row; none for no row.
    std::optional<size_t> RowTag(int row) const;
    // Removes every row and releases the rows' data.
    void DeleteAllRows();
    void SortByColumn(int column, bool ascending);
    // Removes one row and releases its data.
    void DeleteRow(int row);
    // New texts for the cells of a row that stays where it is.
    void SetRowCells(int row, const std::vector<std::string>& cells);
    // The row whose tag is tag; -1 for none.
    int FindRowByTag(size_t tag) const;
    // An order of the caller's own for the rows of a column, ascending, by
    // the rows' tags (negative: first before second); without it the cells'
    // texts decide.
    std::function<int(size_t firstTag, size_t secondTag, int column)> compareTags;

    // A column of figures that change while the rows stay: it sorts by value,
    // largest first on its first click, and rows of equal value keep the
    // order they were added in. Its cells are asked of the row data when
    // shown, so a change costs the list view nothing but the drawing.
    // Set before rows are added.
    void SetFigureColumn(int column);
    bool IsFigureColumn(int column) const;
    // The texts figureText(cells, column) gives each row's figure cells, in
    // place: rows stay where they are unless the list is sorted by a figure
    // column and a change puts them out of its order, and otherwise only the
    // changed cells in view are drawn again. Returns how many cells changed.
    using FigureText = std::function<std::string(const std::vector<std::string>& cells, int column)>;
    int UpdateFigures(const FigureText& figureText);

    // The tree order: rows put in an order of their own, unsorted, each name
    // indented one step per level (the list view's item indent).
    // ShowIndents gives the rows room for the steps (an empty image list,
    // whose width is one step); a list without it indents nothing.
    void ShowIndents(bool shown);
    void SetRowIndent(int row, int level);
    // No column sorts the rows any more, and no heading shows an arrow.
    void ClearSort();
    // Told after a click on a heading has sorted the rows.
    std::function<void()> onSortedByClick;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    struct RowData {
        std::vector<std::string> cells;
        unsigned long long addedAs = 0;  // rows added before have lower numbers
        unsigned changedColumns = 0;     // bit per column, during UpdateFigures
        size_t tag = 0;
    };
    static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM control);
    // CompareRows as the order of row data for the standard algorithms.
    struct RowBefore {
        explicit RowBefore(const CSortableListCtrl* control) : control(control) {}
        bool operator()(const RowData* a, const RowData* b) const {
            return CompareRows(reinterpret_cast<LPARAM>(a), reinterpret_cast<LPARAM>(b),
                               reinterpret_cast<LPARAM>(control)) < 0;
        }
        const CSortableListCtrl* control;
    };
    void SortRows();
    const std::vector<std::string>* RowCells(int row) const;
    void DrawChangedCellsInView() const;
    std::vector<bool> m_figureColumns;
    unsigned long long m_nRowsAdded = 0;
    // Every row's data, reached without a message to the list view (each
    // costs a round trip under Wine); in display order while the list is
    // sorted by a figure column, whose order has no ties.
    std::vector<RowData*> m_rows;
    void OnColumnClick(const NMLISTVIEW* notification, LRESULT* result);
    void OnGetDispInfo(NMLVDISPINFOW* request) const;
    HIMAGELIST m_indentImages = nullptr;  // owned: the list shares its image lists
    bool m_bIndentsShown = false;
};
