// The pointer shapes of a drag of the selected files: "DRAGMOVE" and
// "DRAGCOPY", 32x32 monochrome (black, white, transparent), hot spot (5, 5).
// Both show a white sheet with a folded corner and an arrow pointer over it;
// the copy cursor adds a boxed plus sign at the lower right.
#pragma once

#include <QCursor>
#include <QImage>

namespace pelandor {

class DragCursors {
public:
    static QCursor cursor(bool copy);
    // The shape as an image: black, white and transparent pixels.
    static QImage image(bool copy);
};

} // namespace pelandor
