// Puts a decoded picture on the clipboard at full size: a palette picture as
// an indexed image with its colour table, any other in its own pixel layout.
#pragma once

#include <QImage>

class QClipboard;

namespace pelandor {

class Bitmap;

class ImageClipboard {
public:
    // The image handed to the clipboard for `bitmap`.
    static QImage clipboardImage(const Bitmap &bitmap);

    // Replaces the clipboard's content with the picture. An empty picture (a
    // failed decode) leaves the clipboard as it was; the result says whether
    // anything was copied.
    static bool copy(const Bitmap &bitmap, QClipboard &clipboard);
};

} // namespace pelandor
