#include "controls/SortableListCtrl.h"

#include <algorithm>
#include <memory>

#include "controls/ListRules.h"
#include "framework/Text.h"

bool CSortableListCtrl::InsertColumns(const std::string& spec) {
    return ParseColumnSpec(spec, [this](const std::string& heading, int width) {
        if (InsertColumn(m_nColumnCount, heading, LVCFMT_LEFT, width) == -1) return false;
        ++m_nColumnCount;
        return true;
    });
}

int CSortableListCtrl::InsertRow(const std::vector<std::string>& cells) {
    if (cells.empty()) return -1;
    auto data = std::make_unique<RowData>(RowData{cells});
    data->cells.resize(static_cast<size_t>(m_nColumnCount));
    // The row and its data come in one message; from then on the row owns
    // the data and DeleteAllRows releases it.
    const int row = InsertItem(GetItemCount(), cells[0], reinterpret_cast<LPARAM>(data.get()));
    if (row == -1) return -1;
    const RowData* owned = data.release();
    for (int column = 1; column < m_nColumnCount; ++column) SetItemText(row, column, owned->cells[column]);
    return row;
}

void CSortableListCtrl::DeleteAllRows() {
    // The data is taken before the rows go and released after: no row is
    // changed one by one (each change would notify the parent).
    std::vector<RowData*> owned;
    const int count = GetItemCount();
    owned.reserve(static_cast<size_t>(std::max(count, 0)));
    for (int row = 0; row < count; ++row) owned.push_back(reinterpret_cast<RowData*>(GetItemData(row)));
    DeleteAllItems();
    for (RowData* data : owned) delete data;
}

void CSortableListCtrl::SortByColumn(int column, bool ascending) {
    m_bAscending = ascending;
    m_nSortColumn = column;
    m_header.SetSortIndicator(column, ascending);
    SortItems(&CSortableListCtrl::CompareRows, reinterpret_cast<LPARAM>(this));
}

int CALLBACK CSortableListCtrl::CompareRows(LPARAM first, LPARAM second, LPARAM control) {
    const auto* self = reinterpret_cast<const CSortableListCtrl*>(control);
    auto cell = [self](LPARAM data) -> std::string {
        const auto* row = reinterpret_cast<const RowData*>(data);
        const auto column = static_cast<size_t>(self->m_nSortColumn);
        return row && column < row->cells.size() ? row->cells[column] : std::string();
    };
    // Collation of the user's locale, applied to the texts as code page 936.
    auto collate = [](const std::string& x, const std::string& y) {
        return CompareStringW(LOCALE_USER_DEFAULT, 0, WideFromText(x).c_str(), -1, WideFromText(y).c_str(), -1) -
               CSTR_EQUAL;
    };
    return CompareCells(cell(first), cell(second), self->m_bAscending, collate);
}

void CSortableListCtrl::OnColumnClick(const NMLISTVIEW* notification, LRESULT* result) {
    const int column = notification->iSubItem;
    SortByColumn(column, column == m_nSortColumn ? !m_bAscending : true);
    *result = 0;
}

void CSortableListCtrl::PreSubclassWindow() {
    if (HWND header = GetHeaderCtrl()) m_header.SubclassWindow(header);
}

bool CSortableListCtrl::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    const auto* header = reinterpret_cast<const NMHDR*>(lParam);
    if (message != WM_NOTIFY || header->code != LVN_COLUMNCLICK) return false;
    OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(lParam), result);
    return true;
}

LRESULT CSortableListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) DeleteAllRows();
    return CListCtrl::WindowProc(message, wParam, lParam);
}
