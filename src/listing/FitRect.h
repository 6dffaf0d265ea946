// Where a decoded picture goes inside a thumbnail cell: never enlarged, shrunk
// with its proportions kept when it is too big, centred, edges truncated.
#pragma once

#include <QRect>

namespace pelandor {

// A rectangle by its edges; right and bottom are exclusive.
struct CellRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    bool isEmpty() const { return right <= left || bottom <= top; }
    QRect toQRect() const { return QRect(left, top, width(), height()); }
    bool operator==(const CellRect &) const = default;
};

// The part of a cellWidth x cellHeight cell that a width x height picture is
// drawn into. The four cases are tried in order: fits (centred, unscaled),
// square (whole cell), landscape (scaled to the cell's width), portrait
// (scaled to the cell's height). Positions are truncated, never rounded.
CellRect FitRect(int cellWidth, int cellHeight, int width, int height);

} // namespace pelandor
