#include "framework/FileDialog.h"

#include <algorithm>
#include <vector>

#include "framework/Text.h"

CFileDialog::CFileDialog(bool openFileDialog, const std::string& defaultExtension, const std::string& fileName,
                         DWORD flags, const std::string& filter, HWND parent)
    : m_bOpenFileDialog(openFileDialog),
      m_defaultExtension(WideFromText(defaultExtension)),
      m_fileName(WideFromText(fileName)),
      m_flags(flags),
      m_filter(WideFromText(filter)),
      m_hParent(parent) {
    // The dialog wants the entries separated and ended by NULs.
    std::replace(m_filter.begin(), m_filter.end(), L'|', L'\0');
}

INT_PTR CFileDialog::DoModal() {
    // The longest path the system handles.
    std::vector<wchar_t> file(32768, L'\0');
    std::copy_n(m_fileName.begin(), std::min(m_fileName.size(), file.size() - 1), file.begin());
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = m_hParent;
    dialog.lpstrFilter = m_filter.empty() ? nullptr : m_filter.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = m_defaultExtension.empty() ? nullptr : m_defaultExtension.c_str();
    dialog.Flags = m_flags | OFN_EXPLORER;
    const BOOL chosen = m_bOpenFileDialog ? GetOpenFileNameW(&dialog) : GetSaveFileNameW(&dialog);
    if (!chosen) return IDCANCEL;
    m_pathName = file.data();
    return IDOK;
}
