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

int CSortableListCtrl::InsertRow(const std::vector<std::string>& cells, size_t tag) {
    if (cells.empty()) return -1;
    auto data = std::make_unique<RowData>(RowData{cells, m_nRowsAdded++});
    data->tag = tag;
    data->cells.resize(static_cast<size_t>(m_nColumnCount));
    // The row and its data come in one message; from then on the row owns
    // the data and DeleteAllRows releases it.
    const int row = InsertItem(GetItemCount(), cells[0], reinterpret_cast<LPARAM>(data.get()));
    if (row == -1) return -1;
    RowData* owned = data.release();
    m_rows.push_back(owned);
    for (int column = 1; column < m_nColumnCount; ++column) {
        if (IsFigureColumn(column)) {
            SetItemTextAsked(row, column);
        } else {
            SetItemText(row, column, owned->cells[column]);
        }
    }
    return row;
}

void CSortableListCtrl::DeleteAllRows() {
    // The data is released after the rows go: no row is changed one by one
    // (each change would notify the parent).
    std::vector<RowData*> owned;
    owned.swap(m_rows);
    DeleteAllItems();
    for (RowData* data : owned) delete data;
}

void CSortableListCtrl::DeleteRow(int row) {
    auto* data = reinterpret_cast<RowData*>(GetItemData(row));
    if (!data || !SendMessage(LVM_DELETEITEM, static_cast<WPARAM>(row))) return;
    m_rows.erase(std::remove(m_rows.begin(), m_rows.end(), data), m_rows.end());
    delete data;
}

void CSortableListCtrl::SetRowCells(int row, const std::vector<std::string>& cells) {
    auto* data = reinterpret_cast<RowData*>(GetItemData(row));
    if (!data) return;
    for (size_t column = 0; column < cells.size() && column < data->cells.size(); ++column) {
        if (data->cells[column] == cells[column]) continue;
        data->cells[column] = cells[column];
        SetItemText(row, static_cast<int>(column), cells[column]);
    }
}

int CSortableListCtrl::FindRowByTag(size_t tag) const {
    const int count = GetItemCount();
    for (int row = 0; row < count; ++row) {
        if (RowTag(row) == tag) return row;
    }
    return -1;
}

void CSortableListCtrl::SortByColumn(int column, bool ascending) {
    m_bAscending = ascending;
    m_nSortColumn = column;
    m_header.SetSortIndicator(column, ascending);
    SortRows();
}

void CSortableListCtrl::SortRows() {
    SortItems(&CSortableListCtrl::CompareRows, reinterpret_cast<LPARAM>(this));
    // The list view's order, known without asking it row by row.
    if (IsFigureColumn(m_nSortColumn)) std::sort(m_rows.begin(), m_rows.end(), RowBefore(this));
}

void CSortableListCtrl::SetFigureColumn(int column) {
    // A row notes its changed figures by one bit a column.
    if (column < 0 || column >= 32) return;
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

std::optional<size_t> CSortableListCtrl::RowTag(int row) const {
    if (row < 0) return std::nullopt;
    const auto* data = reinterpret_cast<const RowData*>(GetItemData(row));
    if (!data) return std::nullopt;
    return data->tag;
}

int CSortableListCtrl::UpdateFigures(const FigureText& figureText) {
    std::vector<RowData*> changedRows;
    int changed = 0;
    for (RowData* row : m_rows) {
        for (size_t column = 0; column < row->cells.size(); ++column) {
            if (!IsFigureColumn(static_cast<int>(column))) continue;
            std::string text = figureText(row->cells, static_cast<int>(column));
            if (text == row->cells[column]) continue;
            row->cells[column] = std::move(text);
            if (row->changedColumns == 0) changedRows.push_back(row);
            row->changedColumns |= 1u << column;
            ++changed;
        }
    }
    if (changed == 0) return 0;
    if (IsFigureColumn(m_nSortColumn) && !std::is_sorted(m_rows.begin(), m_rows.end(), RowBefore(this))) {
        SortRows();  // rows move: the list view draws them all again
    } else {
        DrawChangedCellsInView();
    }
    for (RowData* row : changedRows) row->changedColumns = 0;
    return changed;
}

// Only the rows in view are asked for, the rest of the list is not drawn.
void CSortableListCtrl::DrawChangedCellsInView() const {
    const GdiObject<HRGN> changedCells(CreateRectRgn(0, 0, 0, 0));
    const int top = static_cast<int>(SendMessage(LVM_GETTOPINDEX));
    const int end = std::min(GetItemCount(), top + static_cast<int>(SendMessage(LVM_GETCOUNTPERPAGE)) + 1);
    for (int row = top; row < end; ++row) {
        const auto* data = reinterpret_cast<const RowData*>(GetItemData(row));
        for (int column = 0; data && (data->changedColumns >> column) != 0; ++column) {
            if (!(data->changedColumns & (1u << column))) continue;
            RECT bounds{LVIR_BOUNDS, column, 0, 0};
            SendMessage(LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
            const GdiObject<HRGN> cell(CreateRectRgnIndirect(&bounds));
            CombineRgn(changedCells.get(), changedCells.get(), cell.get(), RGN_OR);
        }
    }
    InvalidateRgn(m_hWnd, changedCells.get(), TRUE);
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
    if (self->compareTags) {
        const auto* a = reinterpret_cast<const RowData*>(first);
        const auto* b = reinterpret_cast<const RowData*>(second);
        if (a && b) {
            const int order = self->compareTags(a->tag, b->tag, self->m_nSortColumn);
            return self->m_bAscending ? order : -order;
        }
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
    if (onSortedByClick) onSortedByClick();
}

void CSortableListCtrl::PreSubclassWindow() {
    if (HWND header = GetHeaderCtrl()) m_header.SubclassWindow(header);
}

bool CSortableListCtrl::OnChildNotify(UINT message, WPARAM, LPARAM lParam, LRESULT* result) {
    if (message != WM_NOTIFY) return false;
    switch (reinterpret_cast<const NMHDR*>(lParam)->code) {
    case LVN_COLUMNCLICK: OnColumnClick(reinterpret_cast<const NMLISTVIEW*>(lParam), result); return true;
    case LVN_GETDISPINFOW:
        OnGetDispInfo(reinterpret_cast<NMLVDISPINFOW*>(lParam));
        *result = 0;
        return true;
    default: return false;
    }
}

void CSortableListCtrl::OnGetDispInfo(NMLVDISPINFOW* request) const {
    LVITEMW& item = request->item;
    if (!(item.mask & LVIF_TEXT) || !item.pszText || item.cchTextMax <= 0) return;
    const std::vector<std::string>* cells = RowCells(item.iItem);
    const auto column = static_cast<size_t>(item.iSubItem);
    const std::wstring text = cells && column < cells->size() ? WideFromText((*cells)[column]) : std::wstring();
    lstrcpynW(item.pszText, text.c_str(), item.cchTextMax);
}

LRESULT CSortableListCtrl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) DeleteAllRows();
    const LRESULT result = CListCtrl::WindowProc(message, wParam, lParam);
    if (message == WM_DESTROY && m_indentImages) {
        ImageList_Destroy(m_indentImages);
        m_indentImages = nullptr;
    }
    return result;
}

void CSortableListCtrl::ShowIndents(bool shown) {
    // One pixel high: the rows keep their height.
    constexpr int kIndentStep = 12;
    if (shown == m_bIndentsShown) return;
    m_bIndentsShown = shown;
    if (shown && !m_indentImages) m_indentImages = ImageList_Create(kIndentStep, 1, ILC_COLOR, 0, 1);
    SendMessage(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(shown ? m_indentImages : nullptr));
}

void CSortableListCtrl::SetRowIndent(int row, int level) {
    LVITEMW item{};
    item.mask = LVIF_INDENT;
    item.iItem = row;
    item.iIndent = level;
    SendMessage(LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void CSortableListCtrl::ClearSort() {
    m_nSortColumn = -1;
    m_header.SetSortIndicator(-1, m_bAscending);
}
