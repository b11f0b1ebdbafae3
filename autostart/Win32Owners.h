// Owners of the search handles and COM interfaces the startup entries' seam
// uses, so that every path releases them.
#pragma once

#include <windows.h>

#include <string>

// A find handle, closed with the object.
class FileSearch {
public:
    FileSearch(const std::wstring& pattern, WIN32_FIND_DATAW& found)
        : m_handle(FindFirstFileW(pattern.c_str(), &found)) {}
    ~FileSearch() {
        if (m_handle != INVALID_HANDLE_VALUE) FindClose(m_handle);
    }
    FileSearch(const FileSearch&) = delete;
    FileSearch& operator=(const FileSearch&) = delete;
    bool found() const { return m_handle != INVALID_HANDLE_VALUE; }
    bool Next(WIN32_FIND_DATAW& found) const { return FindNextFileW(m_handle, &found) != FALSE; }

private:
    HANDLE m_handle;
};

// A COM interface pointer, released with the object.
template <typename Interface>
class ComPointer {
public:
    ComPointer() = default;
    ~ComPointer() {
        if (m_pointer) m_pointer->Release();
    }
    ComPointer(const ComPointer&) = delete;
    ComPointer& operator=(const ComPointer&) = delete;
    Interface* operator->() const { return m_pointer; }
    Interface* get() const { return m_pointer; }
    void** out() { return reinterpret_cast<void**>(&m_pointer); }
    Interface** put() { return &m_pointer; }

private:
    Interface* m_pointer = nullptr;
};
