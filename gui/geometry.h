// Points, sizes and rectangles in pixels, for window logic that both the Qt
// and the Win32 presentations draw: each converts at its edge. A rectangle's
// right and bottom are its last pixels inside, and an empty one contains
// nothing.
#pragma once

namespace tuv::gui {

struct point {
    int x = 0;
    int y = 0;
};

struct extent {
    int width = 0;
    int height = 0;
};

struct rect {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;

    int right() const { return left + width - 1; }
    int bottom() const { return top + height - 1; }
    point centre() const { return {left + (width - 1) / 2, top + (height - 1) / 2}; }
    bool contains(point at) const {
        return at.x >= left && at.x <= right() && at.y >= top && at.y <= bottom();
    }
    rect translated(int dx, int dy) const { return {left + dx, top + dy, width, height}; }
};

}  // namespace tuv::gui
