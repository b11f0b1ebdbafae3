#include "finder/WindowFinderTarget.h"

#include <windows.h>
#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

#include "finder/Win32WindowFinderSystem.h"
#include "framework/Text.h"
#include "res/resource.h"

namespace {

const char* const kTargetTip = "拖动到窗口上，找出它所属的进程";
// The tip after a release stays this long, or until the next press.
constexpr UINT_PTR kTipTimer = 1;
constexpr UINT kTipShownMs = 6000;
constexpr UINT_PTR kResultTool = 1;
// Room between the target and its tip, and the tip's widest line, in pixels
// at 96 dots per inch.
constexpr int kTipGap = 4;
constexpr int kTipWidestLine = 400;
constexpr int kStandardDpi = 96;

const wchar_t kFrameClass[] = L"tarvemonix.WindowFinderFrame";

// The frame lets the mouse through: under it, the window it surrounds is found.
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCHITTEST) return HTTRANSPARENT;
    return DefWindowProcW(window, message, wParam, lParam);
}

bool RegisterFrameClass() {
    static const bool registered = [] {
        WNDCLASSEXW frameClass{};
        frameClass.cbSize = sizeof(frameClass);
        frameClass.lpfnWndProc = FrameProc;
        frameClass.hInstance = GetModuleHandleW(nullptr);
        frameClass.hCursor = LoadCursorW(nullptr, IDC_CROSS);
        // A system colour: nothing to delete.
        frameClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_HIGHLIGHT + 1));
        frameClass.lpszClassName = kFrameClass;
        return RegisterClassExW(&frameClass) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
    }();
    return registered;
}

int ScaledToScreen(int pixels) {
    const HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSX) : kStandardDpi;
    if (screen) ReleaseDC(nullptr, screen);
    return MulDiv(pixels, dpi > 0 ? dpi : kStandardDpi, kStandardDpi);
}

ScreenRect VirtualScreen() {
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    return {left, top, left + GetSystemMetrics(SM_CXVIRTUALSCREEN), top + GetSystemMetrics(SM_CYVIRTUALSCREEN)};
}

HCURSOR Crosshair() { return LoadCursorW(nullptr, IDC_CROSS); }

HWND CreateTip(HWND owner) {
    return CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

void CWindowFinderTarget::OwnedWindow::reset(HWND window) {
    // A tip owned by the dialog is gone once the dialog is.
    if (m_window && IsWindow(m_window)) DestroyWindow(m_window);
    m_window = window;
}

void CWindowFinderTarget::IconDeleter::operator()(HICON__* icon) const { DestroyIcon(icon); }

CWindowFinderTarget::CWindowFinderTarget() : m_windows(std::make_unique<Win32WindowFinderSystem>()) {}

CWindowFinderTarget::~CWindowFinderTarget() = default;

void CWindowFinderTarget::PreSubclassWindow() {
    const int size = GetSystemMetrics(SM_CXSMICON);
    m_icon.reset(static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_FINDER), IMAGE_ICON, size, size, 0)));
    SendMessage(STM_SETICON, reinterpret_cast<WPARAM>(m_icon.get()));
    CreateTips();
}

void CWindowFinderTarget::CreateTips() {
    const HWND owner = GetParent(m_hWnd);
    m_hoverTip.reset(CreateTip(owner));
    std::wstring hoverText = WideFromText(kTargetTip);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(m_hWnd);
    tool.lpszText = hoverText.data();
    ::SendMessageW(m_hoverTip.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));

    m_resultTip.reset(CreateTip(owner));
    std::wstring empty;
    tool.uFlags = TTF_TRACK | TTF_ABSOLUTE;
    tool.uId = kResultTool;
    tool.lpszText = empty.data();
    ::SendMessageW(m_resultTip.get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    ::SendMessageW(m_resultTip.get(), TTM_SETMAXTIPWIDTH, 0, ScaledToScreen(kTipWidestLine));
}

void CWindowFinderTarget::ShowTip(const std::string& text) {
    if (!m_resultTip.get()) return;
    m_tipText = text;
    std::wstring wide = WideFromText(text);
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = GetParent(m_hWnd);
    tool.uId = kResultTool;
    tool.lpszText = wide.data();
    ::SendMessageW(m_resultTip.get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    // Shown first to learn its size (not every tooltip answers TTM_GETBUBBLESIZE),
    // then put left of the target, level with it; below it where the screen ends.
    const RECT target = GetWindowRect();
    ::SendMessageW(m_resultTip.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(target.left, target.bottom));
    ::SendMessageW(m_resultTip.get(), TTM_TRACKACTIVATE, TRUE, reinterpret_cast<LPARAM>(&tool));
    RECT tip{};
    ::GetWindowRect(m_resultTip.get(), &tip);
    const int gap = ScaledToScreen(kTipGap);
    int x = target.left - gap - (tip.right - tip.left);
    int y = (target.top + target.bottom - (tip.bottom - tip.top)) / 2;
    if (x < VirtualScreen().left) {
        x = target.left;
        y = target.bottom + gap;
    }
    ::SendMessageW(m_resultTip.get(), TTM_TRACKPOSITION, 0, MAKELPARAM(x, y));
    SetTimer(kTipTimer, kTipShownMs);
}

void CWindowFinderTarget::HideTip() {
    KillTimer(kTipTimer);
    if (!m_resultTip.get()) return;
    TOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.hwnd = GetParent(m_hWnd);
    tool.uId = kResultTool;
    ::SendMessageW(m_resultTip.get(), TTM_TRACKACTIVATE, FALSE, reinterpret_cast<LPARAM>(&tool));
}

LRESULT CWindowFinderTarget::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && m_hoverTip.get()) {
        MSG relayed{m_hWnd, message, wParam, lParam, static_cast<DWORD>(GetMessageTime()), {}};
        GetCursorPos(&relayed.pt);
        ::SendMessageW(m_hoverTip.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
    }
    const auto screenPoint = [this, lParam] {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ClientToScreen(m_hWnd, &point);
        return point;
    };
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: BeginDrag(); return 0;
    case WM_MOUSEMOVE:
        if (m_dragging) FollowCursor(screenPoint());
        return 0;
    case WM_LBUTTONUP:
        if (m_dragging) EndDrag(screenPoint());
        return 0;
    case WM_KEYDOWN:
        if (m_dragging && wParam == VK_ESCAPE) {
            EndDrag(std::nullopt);
            return 0;
        }
        break;
    // While dragging, the target holds the focus and takes Esc before the
    // dialog turns it into 取消.
    case WM_GETDLGCODE:
        if (m_dragging) return DLGC_WANTALLKEYS;
        break;
    case WM_SETCURSOR:
        if (m_dragging) {
            SetCursor(Crosshair());
            return TRUE;
        }
        break;
    case WM_CAPTURECHANGED:
        if (m_dragging && reinterpret_cast<HWND>(lParam) != m_hWnd) EndDrag(std::nullopt);
        break;
    case WM_CANCELMODE:
        if (m_dragging) EndDrag(std::nullopt);
        break;
    case WM_TIMER:
        if (wParam == kTipTimer) {
            HideTip();
            return 0;
        }
        break;
    case WM_DESTROY:
        EndDrag(std::nullopt);
        HideTip();
        break;
    default: break;
    }
    return Default();
}

void CWindowFinderTarget::BeginDrag() {
    HideTip();
    m_focusBeforeDrag = GetFocus();
    m_dragging = true;
    SetCapture(m_hWnd);
    SetFocus(m_hWnd);
    SetCursor(Crosshair());
}

void CWindowFinderTarget::FollowCursor(POINT screenPoint) {
    const std::optional<FoundWindow> found = TopLevelWindowAt(*m_windows, {screenPoint.x, screenPoint.y});
    if (JudgeFoundWindow(found, GetCurrentProcessId()) == FinderOutcome::OtherProcess) {
        ShowFrameAround(found->window);
    } else {
        HideFrame();
    }
}

// The drag's state is cleared before the capture goes, whose loss would end
// the drag a second time.
void CWindowFinderTarget::EndDrag(std::optional<POINT> releasedAt) {
    if (!m_dragging) return;
    m_dragging = false;
    HideFrame();
    if (GetCapture() == m_hWnd) ReleaseCapture();
    const HWND focus = m_focusBeforeDrag;
    m_focusBeforeDrag = nullptr;
    if (focus && IsWindow(focus)) SetFocus(focus);
    if (!releasedAt) return;
    const std::optional<FoundWindow> found = TopLevelWindowAt(*m_windows, {releasedAt->x, releasedAt->y});
    if (JudgeFoundWindow(found, GetCurrentProcessId()) == FinderOutcome::OtherProcess && onFound) onFound(*found);
}

// The frame is a window of its own above everything, shaped as a band: it
// goes by hiding it, and the windows below draw themselves again exactly as
// they were, whatever they drew meanwhile.
void CWindowFinderTarget::ShowFrameAround(WindowId window) {
    RECT outer{};
    if (!::GetWindowRect(reinterpret_cast<HWND>(window), &outer)) {
        HideFrame();
        return;
    }
    if (window == m_framed && EqualRect(&outer, &m_framedRect) && ::IsWindowVisible(m_frame.get())) return;
    const std::optional<ScreenRect> place =
        FramePlace({outer.left, outer.top, outer.right, outer.bottom}, VirtualScreen());
    if (!place) {
        HideFrame();
        return;
    }
    if (!m_frame.get() && RegisterFrameClass()) {
        m_frame.reset(CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_NOACTIVATE, kFrameClass, nullptr,
                                      WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
    }
    if (!m_frame.get()) return;
    const int width = place->right - place->left;
    const int height = place->bottom - place->top;
    const int band = std::max(3, GetSystemMetrics(SM_CXFRAME));
    const HRGN shape = CreateRectRgn(0, 0, width, height);
    const HRGN inside = CreateRectRgn(band, band, width - band, height - band);
    if (shape && inside) CombineRgn(shape, shape, inside, RGN_DIFF);
    if (inside) DeleteObject(inside);
    // The window owns the shape once it takes it.
    if (shape && !SetWindowRgn(m_frame.get(), shape, TRUE)) DeleteObject(shape);
    SetWindowPos(m_frame.get(), HWND_TOPMOST, place->left, place->top, width, height, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    m_framed = window;
    m_framedRect = outer;
}

void CWindowFinderTarget::HideFrame() {
    m_framed = 0;
    if (m_frame.get()) ::ShowWindow(m_frame.get(), SW_HIDE);
}
