#include "framework/ListDialogLayout.h"

#include <algorithm>

namespace {

RECT PlaceInClient(HWND dialog, HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&place), 2);
    return place;
}

}  // namespace

void ListDialogLayout::Measure(HWND dialog, HWND list, std::initializer_list<int> controlsBelow) {
    RECT window{};
    ::GetWindowRect(dialog, &window);
    m_minimumSize = {(window.right - window.left) / 2, (window.bottom - window.top) / 2};
    RECT client{};
    ::GetClientRect(dialog, &client);
    const RECT listPlace = PlaceInClient(dialog, list);
    m_list = list;
    m_listMargins = {listPlace.left, listPlace.top, client.right - listPlace.right, client.bottom - listPlace.bottom};
    m_fromBottom.clear();
    for (const int id : controlsBelow) {
        m_fromBottom.emplace_back(id, client.bottom - PlaceInClient(dialog, GetDlgItem(dialog, id)).top);
    }
}

bool ListDialogLayout::OnMessage(HWND dialog, UINT message, LPARAM lParam) const {
    switch (message) {
    case WM_SIZE: LayOut(dialog, LOWORD(lParam), HIWORD(lParam)); return true;
    case WM_GETMINMAXINFO:
        reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {m_minimumSize.cx, m_minimumSize.cy};
        return true;
    default: return false;
    }
}

void ListDialogLayout::LayOut(HWND dialog, int width, int height) const {
    if (!m_list) return;
    const int listWidth = std::max(0, width - static_cast<int>(m_listMargins.left + m_listMargins.right));
    const int listHeight = std::max(0, height - static_cast<int>(m_listMargins.top + m_listMargins.bottom));
    MoveWindow(m_list, m_listMargins.left, m_listMargins.top, listWidth, listHeight, TRUE);
    for (const auto& [id, fromBottom] : m_fromBottom) {
        const HWND control = GetDlgItem(dialog, id);
        SetWindowPos(control, nullptr, PlaceInClient(dialog, control).left, height - fromBottom, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(dialog, nullptr, TRUE);
}
