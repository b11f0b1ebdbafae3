// The window finder's target: a small crosshair icon in a window. Pressing the
// mouse on it captures the mouse with a crosshair cursor; while it is dragged,
// another program's top-level window under the cursor is framed; releasing
// over one hands that window on, and the owner of the target shows a tip
// beside it. Esc, a release over nothing or over this program's own windows,
// and a lost capture end the drag without a word.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "finder/WindowFinder.h"
#include "framework/Wnd.h"

class CWindowFinderTarget : public CWnd {
public:
    CWindowFinderTarget();
    ~CWindowFinderTarget() override;

    // Called on a release over a window of another process.
    std::function<void(const FoundWindow&)> onFound;

    // Shows text in a tip beside the target for a few seconds.
    void ShowTip(const std::string& text);
    void HideTip();
    const std::string& TipText() const { return m_tipText; }
    HWND TipWindow() const { return m_resultTip.get(); }
    HWND HoverTipWindow() const { return m_hoverTip.get(); }
    bool IsDragging() const { return m_dragging; }
    // The frame around the window under the cursor (created at the first drag).
    HWND FrameWindow() const { return m_frame.get(); }

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // A window of this object's own, destroyed with it.
    class OwnedWindow {
    public:
        OwnedWindow() = default;
        ~OwnedWindow() { reset(); }
        OwnedWindow(const OwnedWindow&) = delete;
        OwnedWindow& operator=(const OwnedWindow&) = delete;
        void reset(HWND window = nullptr);
        HWND get() const { return m_window; }

    private:
        HWND m_window = nullptr;
    };
    // The icon, destroyed with the object.
    struct IconDeleter {
        void operator()(HICON__* icon) const;
    };

    void BeginDrag();
    void FollowCursor(POINT screenPoint);
    void EndDrag(std::optional<POINT> releasedAt);
    void ShowFrameAround(WindowId window);
    void HideFrame();
    void CreateTips();

    std::unique_ptr<WindowFinderSystem> m_windows;
    std::unique_ptr<HICON__, IconDeleter> m_icon;
    OwnedWindow m_hoverTip;
    OwnedWindow m_resultTip;
    OwnedWindow m_frame;
    std::string m_tipText;
    bool m_dragging = false;
    HWND m_focusBeforeDrag = nullptr;
    WindowId m_framed = 0;
    RECT m_framedRect{};
};
