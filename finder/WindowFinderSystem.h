// Seam over the system's windows for the window finder and the details box's
// 窗口 line, so that both can be driven with windows of a test's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A window's handle as a number: pointer-sized, 0 for none.
using WindowId = uintptr_t;

struct ScreenPoint {
    int x = 0, y = 0;
};

class WindowFinderSystem {
public:
    virtual ~WindowFinderSystem() = default;
    // The innermost shown window under the point; 0 over none.
    virtual WindowId WindowAt(ScreenPoint point) = 0;
    // The window's parent; 0 for a top-level window (whose parent is the desktop).
    virtual WindowId ParentOf(WindowId window) = 0;
    // The desktop window itself, which belongs to no program the user started.
    virtual WindowId Desktop() = 0;
    // The pid of the process that made the window; 0 when it is gone.
    virtual uint32_t OwnerPid(WindowId window) = 0;
    // The window's title (code page 936), empty when it has none.
    virtual std::string Title(WindowId window) = 0;
    // Every top-level window, front to back.
    virtual std::vector<WindowId> TopLevelWindows() = 0;
    virtual bool IsShown(WindowId window) = 0;
};
