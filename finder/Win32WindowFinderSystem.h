// The window finder's seam over user32: the window under a point, parents,
// owners, titles and the top-level windows.
#pragma once

#include "finder/WindowFinderSystem.h"

class Win32WindowFinderSystem : public WindowFinderSystem {
public:
    WindowId WindowAt(ScreenPoint point) override;
    WindowId ParentOf(WindowId window) override;
    WindowId Desktop() override;
    uint32_t OwnerPid(WindowId window) override;
    std::string Title(WindowId window) override;
    std::vector<WindowId> TopLevelWindows() override;
    bool IsShown(WindowId window) override;
};
