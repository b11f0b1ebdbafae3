#include "framework/Clipboard.h"

#include <cstring>

namespace {

class OpenClipboardScope {
public:
    explicit OpenClipboardScope(HWND owner) : m_bOpen(OpenClipboard(owner) != FALSE) {}
    ~OpenClipboardScope() {
        if (m_bOpen) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool open() const { return m_bOpen; }

private:
    bool m_bOpen;
};

}  // namespace

bool CopyTextToClipboard(HWND owner, const std::wstring& text) {
    const OpenClipboardScope clipboard(owner);
    if (!clipboard.open() || !EmptyClipboard()) return false;
    const size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (!memory) return false;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(target, text.c_str(), bytes);
    GlobalUnlock(memory);
    // Once the clipboard has taken the memory it is the clipboard's to free.
    if (SetClipboardData(CF_UNICODETEXT, memory)) return true;
    GlobalFree(memory);
    return false;
}
