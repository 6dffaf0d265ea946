#include "viewer/ImageClipboard.h"

#include <QClipboard>

#include "decode/Bitmap.h"

namespace pelandor {

QImage ImageClipboard::clipboardImage(const Bitmap &bitmap)
{
    const QImage &image = bitmap.image();
    // One-bit pictures are stored packed; hand them over with the same
    // 8-bit indexed layout as the 4- and 8-bit ones, colour table kept.
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB)
        return image.convertToFormat(QImage::Format_Indexed8, image.colorTable());
    return image;
}

bool ImageClipboard::copy(const Bitmap &bitmap, QClipboard &clipboard)
{
    if (bitmap.isEmpty())
        return false;
    clipboard.setImage(clipboardImage(bitmap));
    return true;
}

} // namespace pelandor
