// The main window's growth: where each control goes for a client size, from
// where it was at the window's first size.
#pragma once

#include <vector>

struct LayoutRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const LayoutRect& other) const {
        return left == other.left && top == other.top && right == other.right && bottom == other.bottom;
    }
};

struct LayoutSize {
    int width = 0, height = 0;
};

// How a control follows the window: the list grows with it, the buttons keep
// their distance to the right edge, the texts below the list theirs to the
// bottom edge.
enum class Anchor { Grow, FollowRight, FollowBottom };

struct AnchoredControl {
    LayoutRect first;  // at the first client size
    Anchor anchor = Anchor::Grow;
};

// Each control's place in a client of size current; a client smaller than the
// first one (the window cannot be made smaller, but a minimised one is) moves
// nothing.
std::vector<LayoutRect> LayoutControls(const std::vector<AnchoredControl>& controls, LayoutSize first,
                                       LayoutSize current);
