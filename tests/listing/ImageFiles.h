// Makes real image files for the listing tests: bitmaps and JPEG files of a
// given size and colour, written by the program's own writers.
#pragma once

#include <QFile>
#include <QImage>
#include <QString>

#include "decode/Bitmap.h"
#include "decode/BmpWriter.h"
#include "decode/JpegWriter.h"

namespace testfiles {

inline QImage solid(int width, int height, QRgb colour)
{
    QImage image(width, height, QImage::Format_RGB888);
    image.fill(colour);
    return image;
}

inline bool writeBmpFile(const QString &path, const QImage &image,
                         pelandor::PixelFormat format = pelandor::PixelFormat::Bits24)
{
    pelandor::Bitmap bitmap;
    bitmap.assign(format, image);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && pelandor::writeBmp(bitmap, file);
}

inline bool writeJpegFile(const QString &path, const QImage &image)
{
    pelandor::Bitmap bitmap;
    bitmap.assign(pelandor::PixelFormat::Bits24, image);
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && pelandor::writeJpeg(bitmap, file);
}

inline bool writeText(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace testfiles
