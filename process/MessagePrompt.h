// The one seam through which the program asks and tells the user. The real
// implementation shows a message box; tests script the answers.
#pragma once

#include <string>

// Message box styles and answers, with the platform's values.
constexpr unsigned kMbOk = 0x0;
constexpr unsigned kMbYesNo = 0x4;
constexpr unsigned kMbIconExclamation = 0x30;
constexpr unsigned kMbIconInformation = 0x40;
constexpr unsigned kMbTaskModal = 0x2000;
constexpr int kIdOk = 1;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

class MessagePrompt {
public:
    virtual ~MessagePrompt() = default;
    // Shows text (code page 936) with caption and style; returns the answer.
    virtual int Show(const std::string& text, const std::string& caption, unsigned style) = 0;

    bool AskYesNo(const std::string& text, const std::string& caption) {
        return Show(text, caption, kMbYesNo) == kIdYes;
    }
    void Notify(const std::string& text, const std::string& caption) { Show(text, caption, kMbOk); }
};
