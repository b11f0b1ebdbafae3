#include "app/WindowLayout.h"

#include <algorithm>

std::vector<LayoutRect> LayoutControls(const std::vector<AnchoredControl>& controls, LayoutSize first,
                                       LayoutSize current) {
    const int grownWidth = std::max(0, current.width - first.width);
    const int grownHeight = std::max(0, current.height - first.height);
    std::vector<LayoutRect> places;
    places.reserve(controls.size());
    for (const AnchoredControl& control : controls) {
        LayoutRect place = control.first;
        switch (control.anchor) {
        case Anchor::Grow:
            place.right += grownWidth;
            place.bottom += grownHeight;
            break;
        case Anchor::FollowRight:
            place.left += grownWidth;
            place.right += grownWidth;
            break;
        case Anchor::FollowBottom:
            place.top += grownHeight;
            place.bottom += grownHeight;
            break;
        }
        places.push_back(place);
    }
    return places;
}
