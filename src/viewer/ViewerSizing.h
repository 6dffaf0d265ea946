// The viewer window's size arithmetic: the image control's size at a zoom
// step, and the client size that keeps the window within the work area.
#pragma once

#include <QSize>

namespace pelandor {

class ViewerSizing {
public:
    // percent x each side / 100, truncated toward zero (150 % of 101 x 33 is
    // 151 x 49; 25 % of 3 x 3 is 0 x 0).
    static QSize zoomedSize(const QSize &fullSize, int percent);

    // The smallest client area a viewer has, whatever its image: a picture
    // that failed to decode, or a tiny one zoomed out, still gets a window
    // the user sees and can close.
    static constexpr QSize MinimumClientSize{32, 32};

    // The client size for showing an image control of `imageSize` in a window
    // whose frame adds `frameExtra` to the client area: the outer size is
    // limited to the work area's height when that height is less than or
    // equal to the outer height (a window exactly as tall as the work area is
    // "limited" too), and likewise for the width. Never less than
    // MinimumClientSize.
    static QSize fittedClientSize(const QSize &imageSize, const QSize &frameExtra, const QSize &workArea);

    // Whether a window showing `imageSize` at 100 % fits the work area
    // (outer size strictly inside it, as fittedClientSize limits a window
    // that merely reaches an edge).
    static bool fitsWorkArea(const QSize &imageSize, const QSize &frameExtra, const QSize &workArea);

    // The size "Fit to window" gives a picture of `imageSize` in `area`: the
    // largest size of the same proportions within the area, never larger
    // than the picture itself, and at least a pixel a side for a picture that
    // has any.
    static QSize fitSize(const QSize &imageSize, const QSize &area);
};

} // namespace pelandor
