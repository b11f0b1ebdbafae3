#include "framework/Wnd.h"

#include <unordered_map>
#include <vector>

#include "framework/Text.h"

namespace {

// The objects bound to this thread's windows (a window's messages all arrive
// on the thread that made it). Every message of a bound window looks its
// object up; a window property would do the same, but under Wine each
// property read is a round trip to the server.
std::unordered_map<HWND, CWnd*>& BoundObjects() {
    thread_local std::unordered_map<HWND, CWnd*> objects;
    return objects;
}

}  // namespace

CWnd::~CWnd() {
    if (m_hWnd) Unbind();
}

CWnd* CWnd::FromHandle(HWND hwnd) {
    const auto found = BoundObjects().find(hwnd);
    return found == BoundObjects().end() ? nullptr : found->second;
}

bool CWnd::SubclassWindow(HWND hwnd) {
    if (!hwnd || m_hWnd || FromHandle(hwnd)) return false;
    m_hWnd = hwnd;
    PreSubclassWindow();
    BoundObjects()[hwnd] = this;
    m_previousProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::SubclassProc)));
    return true;
}

bool CWnd::SubclassDlgItem(int id, CWnd& parent) { return SubclassWindow(::GetDlgItem(parent.m_hWnd, id)); }

void CWnd::Unbind() {
    if (m_previousProc) SetWindowLongPtrW(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_previousProc));
    BoundObjects().erase(m_hWnd);
    m_previousProc = nullptr;
    m_hWnd = nullptr;
}

bool CWnd::ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    HWND child = nullptr;
    switch (message) {
    case WM_NOTIFY: child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom; break;
    case WM_DRAWITEM: child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem; break;
    case WM_CTLCOLORSTATIC: child = reinterpret_cast<HWND>(lParam); break;
    default: return false;
    }
    CWnd* object = FromHandle(child);
    return object && object->OnChildNotify(message, wParam, lParam, result);
}

LRESULT CALLBACK CWnd::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CWnd* self = FromHandle(hwnd);
    if (!self) return ::DefWindowProcW(hwnd, message, wParam, lParam);
    LRESULT result = 0;
    if (ReflectToChild(message, wParam, lParam, &result)) return result;
    const CurrentMessage outer = self->m_current;
    self->m_current = {message, wParam, lParam};
    result = self->WindowProc(message, wParam, lParam);
    self->m_current = outer;
    if (message == WM_NCDESTROY) {
        self->Unbind();
        self->PostNcDestroy();
    }
    return result;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) { return DefWindowProc(message, wParam, lParam); }

bool CWnd::OnChildNotify(UINT, WPARAM, LPARAM, LRESULT*) { return false; }

LRESULT CWnd::Default() { return DefWindowProc(m_current.message, m_current.wParam, m_current.lParam); }

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_previousProc) return CallWindowProcW(m_previousProc, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcW(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::SendMessageW(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) const {
    return ::PostMessageW(m_hWnd, message, wParam, lParam) != FALSE;
}

void CWnd::EnableWindow(bool enable) const { ::EnableWindow(m_hWnd, enable ? TRUE : FALSE); }
bool CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd) != FALSE; }
void CWnd::ShowWindow(int command) const { ::ShowWindow(m_hWnd, command); }
bool CWnd::IsWindowVisible() const { return ::IsWindowVisible(m_hWnd) != FALSE; }
void CWnd::SetWindowText(const std::string& text) const { ::SetWindowTextW(m_hWnd, WideFromText(text).c_str()); }
std::string CWnd::GetWindowText() const { return GetWindowTextOf(m_hWnd); }
HWND CWnd::GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }

void CWnd::SetDlgItemText(int id, const std::string& text) const {
    ::SetDlgItemTextW(m_hWnd, id, WideFromText(text).c_str());
}

std::string CWnd::GetDlgItemText(int id) const { return GetWindowTextOf(GetDlgItem(id)); }

RECT CWnd::GetWindowRect() const {
    RECT rect{};
    ::GetWindowRect(m_hWnd, &rect);
    return rect;
}

RECT CWnd::GetClientRect() const {
    RECT rect{};
    ::GetClientRect(m_hWnd, &rect);
    return rect;
}

void CWnd::ModifyStyle(DWORD remove, DWORD add) const {
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(remove)) | static_cast<LONG_PTR>(add));
}

void CWnd::Invalidate(bool erase) const { InvalidateRect(m_hWnd, nullptr, erase ? TRUE : FALSE); }
UINT_PTR CWnd::SetTimer(UINT_PTR id, UINT elapse) const { return ::SetTimer(m_hWnd, id, elapse, nullptr); }
void CWnd::KillTimer(UINT_PTR id) const { ::KillTimer(m_hWnd, id); }
void CWnd::AnimateWindow(DWORD milliseconds, DWORD flags) const { ::AnimateWindow(m_hWnd, milliseconds, flags); }

int CWnd::MessageBox(const std::string& text, const std::string& caption, UINT type) const {
    return ::MessageBoxW(m_hWnd, WideFromText(text).c_str(), WideFromText(caption).c_str(), type);
}

std::string GetWindowTextOf(HWND hwnd) {
    const int length = GetWindowTextLengthW(hwnd);
    if (length <= 0) return std::string();
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    GetWindowTextW(hwnd, buffer.data(), length + 1);
    return TextFromWide(buffer.data());
}

RedrawSuspended::RedrawSuspended(const CWnd& window) {
    if (!(GetWindowLongW(window.m_hWnd, GWL_STYLE) & WS_VISIBLE)) return;
    m_hWnd = window.m_hWnd;
    ::SendMessageW(m_hWnd, WM_SETREDRAW, FALSE, 0);
}

// When drawing comes back, a list view updates its scroll bars, and while it
// is seen it draws them at once (under Wine, twice) before the redraw below
// draws them again. So it is switched back on unseen: DefWindowProc clears
// WS_VISIBLE around it, as it does for WM_SETREDRAW, without moving anything.
RedrawSuspended::~RedrawSuspended() {
    if (!m_hWnd) return;
    ::DefWindowProcW(m_hWnd, WM_SETREDRAW, FALSE, 0);
    ::SendMessageW(m_hWnd, WM_SETREDRAW, TRUE, 0);
    ::DefWindowProcW(m_hWnd, WM_SETREDRAW, TRUE, 0);
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN);
}
