// Plain rules of the link static control: what a link text opens, and which
// colour the link shows as the pointer moves and the user clicks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

// Colours as the platform packs them (red in the low byte).
constexpr uint32_t kLinkBlue = 0x00FF0000;   // red 0, green 0, blue 255
constexpr uint32_t kLinkGreen = 0x0000FF00;  // red 0, green 255, blue 0

extern const char* const kWrongLinkFormatText;  // "Error: wrong superlink format"

using LinkErrorReport = std::function<void(const std::string& text)>;

// "http" anywhere (exact case) makes the text its own target; otherwise "@"
// makes it "mailto:" + text; otherwise report is called with
// kWrongLinkFormatText and the target is empty. Returns true when a target was set.
bool ResolveLinkTarget(std::string_view text, std::string& target, const LinkErrorReport& report);

// What the control does after a mouse move has been judged.
struct LinkMoveOutcome {
    bool releaseCapture = false;
    bool repaint = false;
    bool passToDefault = false;
};

// Colour and pointer state of one link. The control takes the mouse capture
// on every move that reaches it, then acts on the outcome.
class LinkState {
public:
    uint32_t textColour() const { return textColour_; }
    bool visited() const { return visited_; }
    bool hover() const { return hover_; }

    // Outside: leave hover, release the capture, show the normal colour.
    // Inside for the first time: hover colour, release the capture, pass on.
    // Inside while hovering: keep the capture so the move that leaves arrives.
    LinkMoveOutcome OnMouseMove(bool pointerInside);
    // Marks the link visited for good and shows the visited colour.
    void OnClick();

private:
    void ShowHover() { textColour_ = visited_ ? visitedColour_ : hoverColour_; }
    void ShowNormal() { textColour_ = visited_ ? visitedColour_ : normalColour_; }

    uint32_t textColour_ = kLinkBlue;
    bool visited_ = false;
    bool hover_ = false;
    uint32_t visitedColour_ = kLinkBlue;
    uint32_t hoverColour_ = kLinkGreen;
    uint32_t normalColour_ = kLinkBlue;
};
