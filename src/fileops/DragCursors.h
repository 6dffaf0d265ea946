// The pointer shapes of a drag of the selected files: "DRAGMOVE" and
// "DRAGCOPY", 32x32 monochrome (black, white, transparent), hot spot (5, 5).
// Both show a white sheet with a folded corner and an arrow pointer over it;
// the copy cursor adds a boxed plus sign at the lower right.
#pragma once

#include <QCursor>
#include <QImage>
#include <QPixmap>

namespace pelandor {

class DragCursors {
public:
    static QCursor cursor(bool copy);
    // The shape for QDrag::setDragCursor, which puts the hot spot in the
    // middle of the pixmap: the 32x32 shape inside a larger transparent
    // pixmap whose middle is the shape's (5, 5).
    static QPixmap dragPixmap(bool copy);
    // The shape as an image: black, white and transparent pixels.
    static QImage image(bool copy);
};

} // namespace pelandor
