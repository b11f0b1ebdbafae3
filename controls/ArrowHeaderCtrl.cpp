#include "controls/ArrowHeaderCtrl.h"

#include <vector>

#include "controls/GdiObject.h"

namespace {

// Paints the steps of PaintHeading with GDI. The brush and the pens live for
// one heading's paint; the device context gets its previous pen back.
class GdiHeadingSurface : public HeadingSurface {
public:
    GdiHeadingSurface(HDC dc, const std::wstring& text) : m_dc(dc), m_text(text) {}
    ~GdiHeadingSurface() override {
        if (m_originalPen) SelectObject(m_dc, m_originalPen);
    }
    GdiHeadingSurface(const GdiHeadingSurface&) = delete;
    GdiHeadingSurface& operator=(const GdiHeadingSurface&) = delete;

    void FillBackground(const PixelRect& rect) override {
        if (!m_background) m_background.reset(CreateSolidBrush(GetSysColor(COLOR_BTNFACE)));
        const RECT area = ToRect(rect);
        FillRect(m_dc, &area, m_background.get());
    }

    void DrawHeadingText(const PixelRect& rect, unsigned textFormat) override {
        RECT area = ToRect(rect);
        DrawTextW(m_dc, m_text.c_str(), static_cast<int>(m_text.size()), &area, textFormat);
    }

    void SelectPen(ArrowPen pen) override {
        GdiObject<HPEN>& chosen = pen == ArrowPen::Light ? m_lightPen : m_darkPen;
        if (!chosen) {
            const int colour = pen == ArrowPen::Light ? COLOR_BTNHIGHLIGHT : COLOR_BTNSHADOW;
            chosen.reset(CreatePen(PS_SOLID, 1, GetSysColor(colour)));
        }
        const HGDIOBJ previous = SelectObject(m_dc, chosen.get());
        if (!m_originalPen) m_originalPen = previous;
    }

    void MoveTo(PixelPoint point) override { MoveToEx(m_dc, point.x, point.y, nullptr); }
    void LineTo(PixelPoint point) override { ::LineTo(m_dc, point.x, point.y); }

private:
    static RECT ToRect(const PixelRect& rect) { return RECT{rect.left, rect.top, rect.right, rect.bottom}; }

    HDC m_dc;
    const std::wstring& m_text;
    GdiObject<HBRUSH> m_background;
    GdiObject<HPEN> m_lightPen;
    GdiObject<HPEN> m_darkPen;
    HGDIOBJ m_originalPen = nullptr;
};

// The header's columns as the width archive sees them.
class HeaderColumns : public ColumnWidths {
public:
    explicit HeaderColumns(const CHeaderCtrl& header) : m_header(header) {}
    int Count() const override { return m_header.GetItemCount(); }
    int Width(int column) const override {
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        return m_header.GetItem(column, &item) ? item.cxy : 0;
    }
    void SetWidth(int column, int width) override {
        HDITEMW item{};
        item.mask = HDI_WIDTH;
        item.cxy = width;
        m_header.SetItem(column, &item);
    }

private:
    const CHeaderCtrl& m_header;
};

}  // namespace

void CArrowHeaderCtrl::SetSortIndicator(int column, bool ascending) {
    m_nSortColumn = column;
    m_bAscending = ascending;
    // Without a window there is nothing to mark, and invalidating no window
    // would repaint every window of the desktop.
    if (!m_hWnd) return;
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (GetItem(column, &item)) {
        item.fmt |= HDF_OWNERDRAW;
        SetItem(column, &item);
    }
    Invalidate(true);
}

std::wstring CArrowHeaderCtrl::HeadingText(int column, unsigned* format) const {
    // Grow the buffer until the text no longer fills it: no heading is cut.
    std::vector<wchar_t> buffer(256, L'\0');
    for (;;) {
        HDITEMW item{};
        item.mask = HDI_TEXT | HDI_FORMAT;
        item.pszText = buffer.data();
        item.cchTextMax = static_cast<int>(buffer.size());
        if (!GetItem(column, &item)) {
            *format = 0;
            return std::wstring();
        }
        *format = static_cast<unsigned>(item.fmt);
        // The control may hand back its own text pointer instead of copying.
        const wchar_t* text = item.pszText ? item.pszText : L"";
        std::wstring heading(text);
        if (text != buffer.data() || heading.size() + 1 < buffer.size() || buffer.size() >= 0x10000) return heading;
        buffer.assign(buffer.size() * 2, L'\0');
    }
}

void CArrowHeaderCtrl::DrawItem(const DRAWITEMSTRUCT& item) {
    const HDC dc = item.hDC;
    const int savedState = SaveDC(dc);
    {
        GdiObject<HRGN> clip(CreateRectRgnIndirect(&item.rcItem));
        SelectClipRgn(dc, clip.get());
    }
    const int column = static_cast<int>(item.itemID);
    unsigned format = 0;
    const std::wstring text = HeadingText(column, &format);

    HeadingPaintRequest request;
    request.item = PixelRect{item.rcItem.left, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
    request.headingFormat = format;
    request.pressed = (item.itemState & ODS_SELECTED) != 0;
    request.isSortColumn = column == m_nSortColumn;
    request.ascending = m_bAscending;
    {
        GdiHeadingSurface surface(dc, text);
        PaintHeading(request, surface);
    }
    RestoreDC(dc, savedState);
}

bool CArrowHeaderCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_DRAWITEM) return CHeaderCtrl::OnChildNotify(message, wParam, lParam, result);
    DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    *result = TRUE;
    return true;
}

void CArrowHeaderCtrl::Serialize(ByteArchive& archive) {
    HeaderColumns columns(*this);
    SerializeColumnWidths(archive, columns);
}
