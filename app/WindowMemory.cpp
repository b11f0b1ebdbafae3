#include "app/WindowMemory.h"

#include <algorithm>

#include "controls/SortableListCtrl.h"
#include "framework/Registry.h"
#include "framework/Text.h"
#include "res/resource.h"

namespace {

const wchar_t* const kSettingsKey = L"Software\\tarvemonix";

LayoutRect FromRect(const RECT& rect) { return {rect.left, rect.top, rect.right, rect.bottom}; }

BOOL CALLBACK AddMonitor(HMONITOR monitor, HDC, LPRECT area, LPARAM monitors) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    const RECT work = GetMonitorInfoW(monitor, &info) ? info.rcWork : *area;
    reinterpret_cast<std::vector<MonitorArea>*>(monitors)->push_back({FromRect(*area), FromRect(work)});
    return TRUE;
}

std::vector<MonitorArea> Monitors() {
    std::vector<MonitorArea> monitors;
    EnumDisplayMonitors(nullptr, nullptr, AddMonitor, reinterpret_cast<LPARAM>(&monitors));
    return monitors;
}

// The system's pixels per inch: the program is DPI aware, so its windows and
// columns grow with it.
int ScreenDpi() {
    const HDC screen = GetDC(nullptr);
    if (!screen) return kStandardDpi;
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : kStandardDpi;
}

// Where each control goes: the list grows, the buttons and their frame keep
// to the right edge, the texts below the list to the bottom edge.
Anchor AnchorOf(int id) {
    switch (id) {
    case IDC_PROCESSLIST: return Anchor::Grow;
    case IDC_COUNTTEXT:
    case IDC_PROMPTCHECK: return Anchor::FollowBottom;
    default: return Anchor::FollowRight;
    }
}

BOOL CALLBACK AddChild(HWND child, LPARAM window) {
    auto* children = reinterpret_cast<std::pair<HWND, std::vector<HWND>>*>(window);
    if (GetParent(child) == children->first) children->second.push_back(child);
    return TRUE;
}

}  // namespace

std::optional<StoredValue> RegistrySettingsStore::Read(const std::string& name) const {
    const RegistryKey key(HKEY_CURRENT_USER, kSettingsKey, KEY_QUERY_VALUE);
    if (key.status() != ERROR_SUCCESS) return std::nullopt;
    const std::wstring valueName = WideFromText(name);
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    StoredValue value{type, std::vector<uint8_t>(size)};
    if (RegQueryValueExW(key.get(), valueName.c_str(), nullptr, &type, value.bytes.data(), &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    value.type = type;
    value.bytes.resize(size);
    return value;
}

bool RegistrySettingsStore::Write(const std::string& name, const StoredValue& value) {
    const RegistryKey key(HKEY_CURRENT_USER, kSettingsKey, KEY_SET_VALUE, true);
    if (key.status() != ERROR_SUCCESS) return false;
    return RegSetValueExW(key.get(), WideFromText(name).c_str(), 0, value.type, value.bytes.data(),
                          static_cast<DWORD>(value.bytes.size())) == ERROR_SUCCESS;
}

void WindowMemory::Restore(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    m_firstClient = {client.right, client.bottom};
    RECT outer{};
    GetWindowRect(window, &outer);
    m_firstWindow = {outer.right - outer.left, outer.bottom - outer.top};
    // The widths are only known with the columns: read again then.
    m_settings = LoadWindowSettings(*m_store, {}, m_firstWindow, Monitors(), ScreenDpi());
    if (!m_settings.place) return;
    const LayoutRect& place = *m_settings.place;
    SetWindowPos(window, nullptr, place.left, place.top, place.right - place.left, place.bottom - place.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

bool WindowMemory::RestoreControls(HWND window, CSortableListCtrl& list) {
    std::pair<HWND, std::vector<HWND>> children{window, {}};
    EnumChildWindows(window, AddChild, reinterpret_cast<LPARAM>(&children));
    // The controls were made at the template's places, which are those of the
    // first client size, whatever size the window has by now.
    for (HWND child : children.second) {
        RECT rect{};
        GetWindowRect(child, &rect);
        MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&rect), 2);
        const int id = GetDlgCtrlID(child);
        m_controls.push_back({child, {FromRect(rect), AnchorOf(id)}});
    }
    std::vector<int> defaultWidths;
    defaultWidths.reserve(static_cast<size_t>(std::max(list.m_nColumnCount, 0)));
    for (int column = 0; column < list.m_nColumnCount; ++column) {
        defaultWidths.push_back(static_cast<int>(list.SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column))));
    }
    const WindowSettings columns = LoadWindowSettings(*m_store, defaultWidths, m_firstWindow, Monitors(), ScreenDpi());
    for (size_t column = 0; column < columns.columnWidths.size(); ++column) {
        list.SetColumnWidth(static_cast<int>(column), columns.columnWidths[column]);
    }
    std::vector<int> order = columns.columnOrder;
    if (!order.empty()) {
        list.SendMessage(LVM_SETCOLUMNORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data()));
    }
    if (columns.sortColumn >= 0 && !columns.treeOrder) {
        list.m_nSortColumn = columns.sortColumn;
        list.m_bAscending = columns.ascending;
        list.m_header.SetSortIndicator(columns.sortColumn, columns.ascending);
    }
    OnSize(window);
    return columns.treeOrder;
}

void WindowMemory::OnSize(HWND window) const {
    if (m_controls.empty() || IsIconic(window)) return;
    RECT client{};
    GetClientRect(window, &client);
    std::vector<AnchoredControl> anchored;
    for (const Control& control : m_controls) anchored.push_back(control.anchored);
    const std::vector<LayoutRect> places = LayoutControls(anchored, m_firstClient, {client.right, client.bottom});
    HDWP moves = BeginDeferWindowPos(static_cast<int>(places.size()));
    for (size_t index = 0; index < places.size() && moves; ++index) {
        const LayoutRect& place = places[index];
        moves = DeferWindowPos(moves, m_controls[index].window, nullptr, place.left, place.top,
                               place.right - place.left, place.bottom - place.top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    if (moves) EndDeferWindowPos(moves);
    // The frame around the buttons and the texts below the list are drawn
    // again where they are now, not smeared where they were.
    InvalidateRect(window, nullptr, TRUE);
}

void WindowMemory::OnGetMinMaxInfo(MINMAXINFO* limits) const {
    if (m_firstWindow.width == 0) return;
    limits->ptMinTrackSize.x = m_firstWindow.width;
    limits->ptMinTrackSize.y = m_firstWindow.height;
}

void WindowMemory::OnWindowPosChanged(HWND window) {
    if (m_firstWindow.width == 0 || IsZoomed(window) || IsIconic(window)) return;
    RECT outer{};
    GetWindowRect(window, &outer);
    m_normalPlace = FromRect(outer);
}

void WindowMemory::Save(HWND window, const CSortableListCtrl& list, bool treeOrder, bool maximizedWhenShown) {
    WindowSettings settings;
    settings.place = m_normalPlace;
    settings.maximized = IsZoomed(window) != FALSE || maximizedWhenShown;
    settings.dpi = ScreenDpi();
    const auto columns = static_cast<size_t>(std::max(list.m_nColumnCount, 0));
    for (size_t column = 0; column < columns; ++column) {
        settings.columnWidths.push_back(
            static_cast<int>(list.SendMessage(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column))));
    }
    settings.columnOrder.assign(columns, 0);
    if (columns > 0) {
        list.SendMessage(LVM_GETCOLUMNORDERARRAY, columns, reinterpret_cast<LPARAM>(settings.columnOrder.data()));
    }
    settings.sortColumn = list.m_nSortColumn;
    settings.ascending = list.m_bAscending;
    settings.treeOrder = treeOrder;
    SaveWindowSettings(*m_store, settings);
}
