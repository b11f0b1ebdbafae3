// CWnd: a window object bound to a window handle by subclassing. Messages reach
// the virtual WindowProc; notifications of child controls (WM_NOTIFY,
// WM_DRAWITEM, WM_CTLCOLORSTATIC) are first offered to the child's own object
// (reflection).
#pragma once

#include <windows.h>

#include <string>

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;
    HWND GetSafeHwnd() const { return m_hWnd; }

    // The object bound to a window, or null.
    static CWnd* FromHandle(HWND hwnd);

    // Binds this object to an existing window and routes its messages here.
    bool SubclassWindow(HWND hwnd);
    bool SubclassDlgItem(int id, CWnd& parent);

    // Called right before a window is subclassed.
    virtual void PreSubclassWindow() {}
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // A notification of this control, reflected by its parent. Returns true
    // when handled, with the message's result in *result.
    virtual bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

    // Default processing of the message being handled.
    LRESULT Default();
    LRESULT DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    bool PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const;
    void EnableWindow(bool enable) const;
    bool IsWindowEnabled() const;
    void ShowWindow(int command) const;
    bool IsWindowVisible() const;
    void SetWindowText(const std::string& text) const;
    std::string GetWindowText() const;
    HWND GetDlgItem(int id) const;
    void SetDlgItemText(int id, const std::string& text) const;
    std::string GetDlgItemText(int id) const;
    RECT GetWindowRect() const;
    RECT GetClientRect() const;
    void ModifyStyle(DWORD remove, DWORD add) const;
    void Invalidate(bool erase = true) const;
    UINT_PTR SetTimer(UINT_PTR id, UINT elapse) const;
    void KillTimer(UINT_PTR id) const;
    void AnimateWindow(DWORD milliseconds, DWORD flags) const;
    // Message box owned by this window; text and caption in code page 936.
    int MessageBox(const std::string& text, const std::string& caption, UINT type) const;

protected:
    // Called after the last message of the window; the object is unbound.
    virtual void PostNcDestroy() {}

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static bool ReflectToChild(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    void Unbind();

    WNDPROC m_previousProc = nullptr;
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    } m_current{0, 0, 0};
};

// A text held as an owned string for the wide window functions.
std::string GetWindowTextOf(HWND hwnd);

// Drawing of a shown window switched off for the object's lifetime
// (WM_SETREDRAW): a list filled row by row is then drawn once, at the end,
// instead of after every row. A window without WS_VISIBLE is left alone, since
// switching drawing on again would show it.
class RedrawSuspended {
public:
    explicit RedrawSuspended(const CWnd& window);
    ~RedrawSuspended();
    RedrawSuspended(const RedrawSuspended&) = delete;
    RedrawSuspended& operator=(const RedrawSuspended&) = delete;

private:
    HWND m_hWnd = nullptr;
};
