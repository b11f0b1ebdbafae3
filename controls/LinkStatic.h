// A static text control of a dialog turned into a hyperlink: underlined text
// in the link colour, a hand over it, green while hovered until the first
// click, and the shell's "open" on the target when clicked.
#pragma once

#include <functional>
#include <string>

#include "controls/GdiObject.h"
#include "controls/LinkRules.h"
#include "framework/Controls.h"

// How a clicked link's target is opened. The default hands it to the shell's
// "open"; tests install their own to see the target.
using LinkShellOpen = std::function<void(const std::string& target)>;
// Installs open (an empty function restores the shell) and returns the previous one.
LinkShellOpen SetLinkShellOpen(LinkShellOpen open);

class CLinkStatic : public CStatic {
public:
    CLinkStatic();

    // Adds (true) or removes SS_NOTIFY; without it the control gets no mouse input.
    void SetNotify(bool notify);
    // The pointer shown over the link; none keeps the default pointer.
    void SetLinkCursor(HCURSOR cursor) { m_hLinkCursor = cursor; }
    // Web address or e-mail address; anything else is reported in a box and
    // leaves no target. True when a target was set.
    bool SetLinkTarget(const std::string& text);
    // Replaces the box that reports a wrong link text.
    void SetErrorReport(LinkErrorReport report) { m_errorReport = std::move(report); }

    const std::string& GetLinkTarget() const { return m_strTarget; }
    COLORREF GetTextColour() const { return m_state.textColour(); }
    bool IsVisited() const { return m_state.visited(); }
    HFONT GetLinkFont() const { return m_font.get(); }

    // WM_CTLCOLORSTATIC reflected by the dialog: the link font and colour on a
    // button-face background.
    bool OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

protected:
    void PreSubclassWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HBRUSH CtlColor(HDC dc);
    LRESULT OnLButtonDown();
    LRESULT OnSetCursor();
    LRESULT OnMouseMove();
    void RepaintNow() const;

    std::string m_strTarget;
    HCURSOR m_hLinkCursor = nullptr;
    LinkState m_state;
    LinkErrorReport m_errorReport;
    GdiObject<HFONT> m_font;
};
