// CFileDialog: the common open and save dialogs. Texts in code page 936; the
// filter takes the form "description|pattern|...||".
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

class CFileDialog {
public:
    CFileDialog(bool openFileDialog, const std::string& defaultExtension, const std::string& fileName, DWORD flags,
                const std::string& filter, HWND parent = nullptr);

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    // The chosen full path, of any length the dialog allows, as the user chose it.
    const std::wstring& GetPathName() const { return m_pathName; }

private:
    const bool m_bOpenFileDialog;
    const std::wstring m_defaultExtension;
    const std::wstring m_fileName;
    const DWORD m_flags;
    std::wstring m_filter;
    const HWND m_hParent;
    std::wstring m_pathName;
};
