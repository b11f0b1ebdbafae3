// The window finder's rules: which window the cursor points at (the top-level
// window around whatever lies under it), whether it is one of ours, what the
// tip says, and the details box's line of a process's windows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "finder/WindowFinderSystem.h"

struct FoundWindow {
    WindowId window = 0;  // top-level
    uint32_t pid = 0;
    std::string title;
};

// The top-level window around the window under point, with its owner and
// title; none over nothing, over the desktop itself, or for a window that
// went away while it was looked at.
std::optional<FoundWindow> TopLevelWindowAt(WindowFinderSystem& windows, ScreenPoint point);

// What a release over found does: nothing over no window or over one of this
// program's own windows (ownPid), otherwise it selects found's process.
enum class FinderOutcome { Nothing, OwnWindow, OtherProcess };
FinderOutcome JudgeFoundWindow(const std::optional<FoundWindow>& found, uint32_t ownPid);

// The title as shown: "（无标题）" for none; line breaks and tabs become spaces,
// so the tip and the details box keep one line per window.
std::string ShownTitle(const std::string& title);

// "窗口“<title>”属于 <name>（PID <n>）".
std::string WindowOwnerTip(const FoundWindow& found, const std::string& processName);
// The process is gone before the list could show it.
std::string WindowOwnerGoneTip(const FoundWindow& found);

// Titles of the process's shown top-level windows, front to back.
std::vector<std::string> ShownWindowTitles(WindowFinderSystem& windows, uint32_t pid);

// At most this many titles in the 窗口 line.
constexpr size_t kWindowTitlesShown = 5;
// "窗口: <title>；<title>…", then "等 <n> 个" with n all of them when there are
// more than kWindowTitlesShown; "窗口: 无" for none.
std::string WindowTitlesLine(const std::vector<std::string>& titles);

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const ScreenRect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

// Where the frame around a window goes: the part of the window on the screen
// (a maximised window reaches past its edges, where a frame would not be
// seen); none for a window wholly off it.
std::optional<ScreenRect> FramePlace(const ScreenRect& window, const ScreenRect& screen);
