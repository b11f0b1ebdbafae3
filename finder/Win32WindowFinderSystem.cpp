#include "finder/Win32WindowFinderSystem.h"

#include <windows.h>

#include <algorithm>

#include "framework/Text.h"

namespace {

HWND HandleOf(WindowId window) { return reinterpret_cast<HWND>(window); }
WindowId IdOf(HWND window) { return reinterpret_cast<WindowId>(window); }

BOOL CALLBACK AddTopLevel(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<WindowId>*>(list)->push_back(IdOf(window));
    return TRUE;
}

}  // namespace

// Windows of this thread that answer HTTRANSPARENT (the finder's own frame)
// are passed through to what lies beneath them.
WindowId Win32WindowFinderSystem::WindowAt(ScreenPoint point) { return IdOf(WindowFromPoint({point.x, point.y})); }

WindowId Win32WindowFinderSystem::ParentOf(WindowId window) {
    const HWND parent = GetAncestor(HandleOf(window), GA_PARENT);
    return parent == GetDesktopWindow() ? 0 : IdOf(parent);
}

WindowId Win32WindowFinderSystem::Desktop() { return IdOf(GetDesktopWindow()); }

uint32_t Win32WindowFinderSystem::OwnerPid(WindowId window) {
    DWORD pid = 0;
    if (GetWindowThreadProcessId(HandleOf(window), &pid) == 0) return 0;
    return pid;
}

// Another process's title is read from the system's copy, without a message
// to that process: a hung program cannot hold the drag up.
std::string Win32WindowFinderSystem::Title(WindowId window) {
    const HWND handle = HandleOf(window);
    // The title may grow between the length and the read: read again with more room.
    size_t room = static_cast<size_t>(std::max(GetWindowTextLengthW(handle), 0)) + 1;
    std::wstring title;
    for (int attempt = 0; attempt < 4; ++attempt, room *= 2) {
        title.assign(room, L'\0');
        const int length = GetWindowTextW(handle, title.data(), static_cast<int>(room));
        if (length <= 0) return std::string();
        title.resize(static_cast<size_t>(length));
        if (static_cast<size_t>(length) + 1 < room) break;
    }
    return TextFromWide(title);
}

std::vector<WindowId> Win32WindowFinderSystem::TopLevelWindows() {
    std::vector<WindowId> windows;
    EnumWindows(AddTopLevel, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

bool Win32WindowFinderSystem::IsShown(WindowId window) { return IsWindowVisible(HandleOf(window)) != FALSE; }
