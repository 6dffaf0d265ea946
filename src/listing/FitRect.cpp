#include "listing/FitRect.h"

#include <algorithm>

namespace pelandor {

CellRect FitRect(int cellWidth, int cellHeight, int width, int height)
{
    if (width <= cellWidth && height <= cellHeight) {
        const int left = (cellWidth - width) / 2;
        const int top = (cellHeight - height) / 2;
        return {left, top, left + width, top + height};
    }
    if (width == height)
        return {0, 0, cellWidth, cellHeight};
    if (width > height && width > cellWidth) {
        const double r = double(width) / cellWidth;
        const double h = height / r;
        const double e = (cellHeight - h) * 0.5;
        return {0, int(e), cellWidth, int(cellHeight - e)};
    }
    if (height > width && height > cellHeight) {
        const double r = double(height) / cellHeight;
        const double w = width / r;
        const double e = (cellWidth - w) * 0.5;
        return {int(e), 0, int(cellWidth - e), cellHeight};
    }
    // Only reachable with a cell that is not square: a picture wider than the
    // cell but not wider than it is tall (or the reverse). Scale to whichever
    // side overflows most, so that the picture still fits.
    const double r = std::max(double(width) / cellWidth, double(height) / cellHeight);
    const double ex = (cellWidth - width / r) * 0.5;
    const double ey = (cellHeight - height / r) * 0.5;
    return {int(ex), int(ey), int(cellWidth - ex), int(cellHeight - ey)};
}

} // namespace pelandor
