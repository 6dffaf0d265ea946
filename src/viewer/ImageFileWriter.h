// Writes a viewer's picture to a file as a Windows bitmap (in the picture's
// own pixel format) or as a JPEG file of quality 90. The file is written
// beside its destination and renamed over it only when complete, so a failed
// write never leaves a half-written file where an older one stood.
#pragma once

#include <QString>

namespace pelandor {

class Bitmap;

class ImageFileWriter {
public:
    enum class Format { Bmp, Jpeg };

    // Throws PelandorError with a message for the user when the file cannot
    // be created or written; the destination is then left as it was.
    static void write(const Bitmap &bitmap, const QString &path, Format format);
};

} // namespace pelandor
