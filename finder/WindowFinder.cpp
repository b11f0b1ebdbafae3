#include "finder/WindowFinder.h"

#include <algorithm>

#include "framework/FormatText.h"

namespace {
// Parents are followed no further than this: a chain that loops (a window
// made its own ancestor) ends rather than hangs the drag.
constexpr int kMostAncestors = 256;
}  // namespace

std::optional<FoundWindow> TopLevelWindowAt(WindowFinderSystem& windows, ScreenPoint point) {
    WindowId window = windows.WindowAt(point);
    if (window == 0 || window == windows.Desktop()) return std::nullopt;
    for (int step = 0; step < kMostAncestors; ++step) {
        const WindowId parent = windows.ParentOf(window);
        if (parent == 0) {
            const uint32_t pid = windows.OwnerPid(window);
            if (pid == 0) return std::nullopt;
            return FoundWindow{window, pid, windows.Title(window)};
        }
        window = parent;
    }
    return std::nullopt;
}

FinderOutcome JudgeFoundWindow(const std::optional<FoundWindow>& found, uint32_t ownPid) {
    if (!found) return FinderOutcome::Nothing;
    return found->pid == ownPid ? FinderOutcome::OwnWindow : FinderOutcome::OtherProcess;
}

std::string ShownTitle(const std::string& title) {
    if (title.empty()) return "（无标题）";
    std::string shown = title;
    // Bytes below 0x20 are never part of a two-byte character.
    for (char& byte : shown) {
        if (byte == '\r' || byte == '\n' || byte == '\t') byte = ' ';
    }
    return shown;
}

std::string WindowOwnerTip(const FoundWindow& found, const std::string& processName) {
    return "窗口“" + ShownTitle(found.title) + "”属于 " + processName + FormatText("（PID %u）", found.pid);
}

std::string WindowOwnerGoneTip(const FoundWindow& found) {
    return "窗口“" + ShownTitle(found.title) + FormatText("”属于 PID %u，该进程已结束", found.pid);
}

std::vector<std::string> ShownWindowTitles(WindowFinderSystem& windows, uint32_t pid) {
    std::vector<std::string> titles;
    for (const WindowId window : windows.TopLevelWindows()) {
        if (windows.OwnerPid(window) == pid && windows.IsShown(window)) titles.push_back(windows.Title(window));
    }
    return titles;
}

std::string WindowTitlesLine(const std::vector<std::string>& titles) {
    if (titles.empty()) return "窗口: 无";
    std::string line = "窗口: ";
    const size_t shown = std::min(titles.size(), kWindowTitlesShown);
    for (size_t index = 0; index < shown; ++index) {
        if (index > 0) line += "；";
        line += ShownTitle(titles[index]);
    }
    if (titles.size() > shown) line += FormatText(" 等 %u 个", static_cast<unsigned>(titles.size()));
    return line;
}

std::optional<ScreenRect> FramePlace(const ScreenRect& window, const ScreenRect& screen) {
    const ScreenRect place{std::max(window.left, screen.left), std::max(window.top, screen.top),
                           std::min(window.right, screen.right), std::min(window.bottom, screen.bottom)};
    if (place.left >= place.right || place.top >= place.bottom) return std::nullopt;
    return place;
}
