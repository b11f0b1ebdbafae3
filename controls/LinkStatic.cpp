#include "controls/LinkStatic.h"

#include <shellapi.h>

#include "framework/Text.h"

namespace {

// The caption of the platform's boxes that carry none of their own.
const char kApplicationCaption[] = "tarvemonix";

void OpenWithShell(const std::string& target) {
    ShellExecuteW(nullptr, L"open", WideFromText(target).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LinkShellOpen& CurrentShellOpen() {
    static LinkShellOpen open = OpenWithShell;
    return open;
}

// The stock GUI font, underlined.
HFONT CreateLinkFont() {
    LOGFONTW description{};
    GetObjectW(GetStockObject(DEFAULT_GUI_FONT), sizeof(description), &description);
    description.lfUnderline = TRUE;
    return CreateFontIndirectW(&description);
}

}  // namespace

LinkShellOpen SetLinkShellOpen(LinkShellOpen open) {
    LinkShellOpen previous = CurrentShellOpen();
    CurrentShellOpen() = open ? std::move(open) : LinkShellOpen(OpenWithShell);
    return previous;
}

CLinkStatic::CLinkStatic() : m_font(CreateLinkFont()) {
    m_errorReport = [this](const std::string& text) { MessageBox(text, kApplicationCaption, MB_OK); };
}

// The static control draws with its own font, so it gets the link font too.
void CLinkStatic::PreSubclassWindow() { SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_font.get()), FALSE); }

void CLinkStatic::SetNotify(bool notify) {
    if (notify) {
        ModifyStyle(0, SS_NOTIFY);
    } else {
        ModifyStyle(SS_NOTIFY, 0);
    }
}

bool CLinkStatic::SetLinkTarget(const std::string& text) { return ResolveLinkTarget(text, m_strTarget, m_errorReport); }

HBRUSH CLinkStatic::CtlColor(HDC dc) {
    SelectObject(dc, m_font.get());
    SetTextColor(dc, m_state.textColour());
    SetBkMode(dc, TRANSPARENT);
    // A system brush: nothing is created per message, nothing to release.
    return GetSysColorBrush(COLOR_BTNFACE);
}

bool CLinkStatic::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != WM_CTLCOLORSTATIC) return CStatic::OnChildNotify(message, wParam, lParam, result);
    *result = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam)));
    return true;
}

LRESULT CLinkStatic::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN: return OnLButtonDown();
    case WM_SETCURSOR: return OnSetCursor();
    case WM_MOUSEMOVE: return OnMouseMove();
    default: return CStatic::WindowProc(message, wParam, lParam);
    }
}

void CLinkStatic::RepaintNow() const {
    RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

LRESULT CLinkStatic::OnLButtonDown() {
    m_state.OnClick();
    RepaintNow();
    if (!m_strTarget.empty()) {
        // A copy: the opener may run a nested loop that ends this control.
        const LinkShellOpen open = CurrentShellOpen();
        open(m_strTarget);
    }
    return Default();
}

LRESULT CLinkStatic::OnSetCursor() {
    if (!m_hLinkCursor) return Default();
    SetCursor(m_hLinkCursor);
    return TRUE;
}

// The capture keeps moves coming while the pointer is over the link, so the
// move that leaves it arrives here too.
LRESULT CLinkStatic::OnMouseMove() {
    SetCapture(m_hWnd);
    POINT pointer{};
    GetCursorPos(&pointer);
    const RECT bounds = GetWindowRect();
    const LinkMoveOutcome outcome = m_state.OnMouseMove(PtInRect(&bounds, pointer) != FALSE);
    if (outcome.repaint) RepaintNow();
    if (outcome.releaseCapture) ReleaseCapture();
    return outcome.passToDefault ? Default() : 0;
}
