// Message boxes owned by a window, behind the MessagePrompt seam.
#pragma once

#include "framework/Wnd.h"
#include "process/MessagePrompt.h"

class Win32MessagePrompt : public MessagePrompt {
public:
    explicit Win32MessagePrompt(const CWnd& owner) : m_owner(owner) {}
    int Show(const std::string& text, const std::string& caption, unsigned style) override {
        return m_owner.MessageBox(text, caption, style);
    }

private:
    const CWnd& m_owner;
};
