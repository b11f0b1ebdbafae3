#include "controls/SortableListCtrl.h"

#include <algorithm>
#include <memory>

#include "controls/GdiObject.h"
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
    auto data = std::make_unique<RowData>(RowData{cells, m_nRowsAdded++});
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

void CSortableListCtrl::SetFigureColumn(int column) {
    if (column < 0) return;
    if (static_cast<size_t>(column) >= m_figureColumns.size()) m_figureColumns.resize(static_cast<size_t>(column) + 1);
    m_figureColumns[static_cast<size_t>(column)] = true;
}

bool CSortableListCtrl::IsFigureColumn(int column) const {
    return column >= 0 && static_cast<size_t>(column) < m_figureColumns.size() &&
           m_figureColumns[static_cast<size_t>(column)];
}

const std::vector<std::string>* CSortableListCtrl::RowCells(int row) const {
    const auto* data = reinterpret_cast<const RowData*>(GetItemData(row));
    return data ? &data->cells : nullptr;
}

int CSortableListCtrl::UpdateCells(const std::vector<CellText>& cells) {
    // What waited to be drawn before still does; the list view's own
    // invalidation of each changed row is narrowed to the changed cells.
    const GdiObject<HRGN> redrawn(CreateRectRgn(0, 0, 0, 0));
    GetUpdateRgn(m_hWnd, redrawn.get(), FALSE);
    int changed = 0;
    for (const CellText& update : cells) {
        auto* data = reinterpret_cast<RowData*>(GetItemData(update.row));
        if (!data || update.column < 0 || static_cast<size_t>(update.column) >= data->cells.size()) continue;
        std::string& cell = data->cells[static_cast<size_t>(update.column)];
        if (cell == update.text) continue;
        cell = update.text;
        SetItemText(update.row, update.column, update.text);
        ++changed;
        RECT bounds{LVIR_BOUNDS, update.column, 0, 0};
        SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(update.row), reinterpret_cast<LPARAM>(&bounds));
        const GdiObject<HRGN> cellRegion(CreateRectRgnIndirect(&bounds));
        CombineRgn(redrawn.get(), redrawn.get(), cellRegion.get(), RGN_OR);
    }
    if (changed > 0) {
        ValidateRect(m_hWnd, nullptr);
        InvalidateRgn(m_hWnd, redrawn.get(), TRUE);
    }
    return changed;
}

void CSortableListCtrl::SortAgainIfOutOfOrder() {
    if (m_nSortColumn < 0) return;
    const int count = GetItemCount();
    LPARAM previous = count > 0 ? GetItemData(0) : 0;
    for (int row = 1; row < count; ++row) {
        const LPARAM current = GetItemData(row);
        if (CompareRows(previous, current, reinterpret_cast<LPARAM>(this)) > 0) {
            SortItems(&CSortableListCtrl::CompareRows, reinterpret_cast<LPARAM>(this));
            return;
        }
        previous = current;
    }
}

int CALLBACK CSortableListCtrl::CompareRows(LPARAM first, LPARAM second, LPARAM control) {
    const auto* self = reinterpret_cast<const CSortableListCtrl*>(control);
    auto cell = [self](LPARAM data) -> std::string {
        const auto* row = reinterpret_cast<const RowData*>(data);
        const auto column = static_cast<size_t>(self->m_nSortColumn);
        return row && column < row->cells.size() ? row->cells[column] : std::string();
    };
    if (self->IsFigureColumn(self->m_nSortColumn)) {
        const int order = CompareFigureCells(cell(first), cell(second), self->m_bAscending);
        if (order != 0) return order;
        const auto added = [](LPARAM data) {
            const auto* row = reinterpret_cast<const RowData*>(data);
            return row ? row->addedAs : 0;
        };
        return added(first) < added(second) ? -1 : (added(first) > added(second) ? 1 : 0);
    }
    // Collation of the user's locale, applied to the texts as code page 936.
    auto collate = [](const std::string& x, const std::string& y) {
        return CompareStringW(LOCALE_USER_DEFAULT, 0, WideFromText(x).c_str(), -1, WideFromText(y).c_str(), -1) -
               CSTR_EQUAL;
    };
    return CompareCells(cell(first), cell(second), self->m_bAscending, collate);
}

void CSortableListCtrl::OnColumnClick(const NMLISTVIEW* notification, LRESULT* result) {
    const int column = notification->iSubItem;
    SortByColumn(column, column == m_nSortColumn ? !m_bAscending : !IsFigureColumn(column));
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
