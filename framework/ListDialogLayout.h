// The layout of a resizable dialog made of one list and controls under it.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <utility>
#include <vector>

// The list keeps its margins to every edge, each control under it keeps its
// distance to the bottom edge, and the dialog is never made smaller than half
// its first size.
class ListDialogLayout {
public:
    // Measured at the dialog's first size (from OnInitDialog).
    void Measure(HWND dialog, HWND list, std::initializer_list<int> controlsBelow);
    // The dialog's WM_SIZE (lays the controls out anew) and WM_GETMINMAXINFO
    // (its smallest size); whether message was one of them.
    bool OnMessage(HWND dialog, UINT message, LPARAM lParam) const;
    bool Measured() const { return m_list != nullptr; }

private:
    // The client area's new size.
    void LayOut(HWND dialog, int width, int height) const;
    HWND m_list = nullptr;
    RECT m_listMargins{};                           // left, top, and the space right and below
    std::vector<std::pair<int, int>> m_fromBottom;  // control id, its top's distance to the bottom
    SIZE m_minimumSize{};
};
