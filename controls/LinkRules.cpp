#include "controls/LinkRules.h"

const char* const kWrongLinkFormatText = "Error: wrong superlink format";

bool ResolveLinkTarget(std::string_view text, std::string& target, const LinkErrorReport& report) {
    if (text.find("http") != std::string_view::npos) {
        target.assign(text);
        return true;
    }
    if (text.find('@') != std::string_view::npos) {
        target = "mailto:" + std::string(text);
        return true;
    }
    if (report) report(kWrongLinkFormatText);
    target.clear();
    return false;
}

LinkMoveOutcome LinkState::OnMouseMove(bool pointerInside) {
    LinkMoveOutcome outcome;
    if (!pointerInside) {
        hover_ = false;
        ShowNormal();
        outcome.releaseCapture = true;
        outcome.repaint = true;
        return outcome;
    }
    if (hover_) return outcome;
    hover_ = true;
    ShowHover();
    outcome.releaseCapture = true;
    outcome.repaint = true;
    outcome.passToDefault = true;
    return outcome;
}

void LinkState::OnClick() {
    visited_ = true;
    textColour_ = visitedColour_;
}
