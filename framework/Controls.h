// Wrappers for the common controls the program uses. Texts are code page 936.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>

#include "framework/Wnd.h"

class CButton : public CWnd {};
class CStatic : public CWnd {};
class CEdit : public CWnd {};

class CProgressCtrl : public CWnd {
public:
    void SetRange32(int lower, int upper) const { SendMessage(PBM_SETRANGE32, static_cast<WPARAM>(lower), upper); }
    void SetPos(int position) const { SendMessage(PBM_SETPOS, static_cast<WPARAM>(position)); }
    void SetStep(int step) const { SendMessage(PBM_SETSTEP, static_cast<WPARAM>(step)); }
    void StepIt() const { SendMessage(PBM_STEPIT); }
    int GetPos() const { return static_cast<int>(SendMessage(PBM_GETPOS)); }
};

class CListCtrl : public CWnd {
public:
    int GetItemCount() const { return static_cast<int>(SendMessage(LVM_GETITEMCOUNT)); }
    int InsertColumn(int column, const std::string& heading, int format, int width) const;
    int InsertItem(int row, const std::string& text) const;
    // Inserts a row with its text and its item data in one message.
    int InsertItem(int row, const std::string& text, LPARAM data) const;
    void SetItemText(int row, int column, const std::string& text) const;
    // The cell's text is asked of the owner (LVN_GETDISPINFO) whenever it is shown.
    void SetItemTextAsked(int row, int column) const;
    // The cell's whole text; empty for a row that does not exist.
    std::string GetItemText(int row, int column) const;
    bool SetItemData(int row, LPARAM data) const;
    LPARAM GetItemData(int row) const;
    bool DeleteAllItems() const { return SendMessage(LVM_DELETEALLITEMS) != 0; }
    int GetNextItem(int start, UINT flags) const {
        return static_cast<int>(SendMessage(LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
    }
    int GetFirstSelectedItem() const { return GetNextItem(-1, LVNI_SELECTED); }
    void SetExtendedStyle(DWORD styles) const { SendMessage(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, styles); }
    bool SetColumnWidth(int column, int width) const {
        return SendMessage(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)) != 0;
    }
    bool SortItems(PFNLVCOMPARE compare, LPARAM context) const {
        return SendMessage(LVM_SORTITEMS, static_cast<WPARAM>(context), reinterpret_cast<LPARAM>(compare)) != 0;
    }
    HWND GetHeaderCtrl() const { return reinterpret_cast<HWND>(SendMessage(LVM_GETHEADER)); }
};

class CHeaderCtrl : public CWnd {
public:
    int GetItemCount() const { return static_cast<int>(SendMessage(HDM_GETITEMCOUNT)); }
    bool GetItem(int index, HDITEMW* item) const {
        return SendMessage(HDM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item)) != 0;
    }
    bool SetItem(int index, const HDITEMW* item) const {
        return SendMessage(HDM_SETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item)) != 0;
    }
};
