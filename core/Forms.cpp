#include "Forms.h"

#include <iterator>

namespace zalohy {

namespace {

constexpr const char* kControlNames[] = {
    "",
#define ZALOHY_CONTROL_NAME(name) #name,
    ZALOHY_CONTROLS(ZALOHY_CONTROL_NAME)
#undef ZALOHY_CONTROL_NAME
};

}  // namespace

const char* controlName(Control control) {
    const auto i = static_cast<std::size_t>(control);
    return i < std::size(kControlNames) ? kControlNames[i] : "";
}

const ControlDesign* FormDesign::find(Control control) const {
    for (const ControlDesign& c : controls)
        if (c.name == control) return &c;
    return nullptr;
}

PlaceRect anchoredPlace(PlaceRect design, int flags, int dx, int dy) {
    if (flags & Right) {
        design.right += dx;
        if (!(flags & Left)) design.left += dx;
    }
    if (flags & Bottom) {
        design.bottom += dy;
        if (!(flags & Top)) design.top += dy;
    }
    return design;
}

}  // namespace zalohy
