// Files in the ISO base media format (AVIF, HEIF) for the module tests: the
// signature of the other format, and real files damaged in chosen places.
#pragma once

#include <QByteArray>
#include <QtEndian>

namespace pelandor {

// A file-type box naming the brands of a HEVC-coded HEIC file, then junk.
inline QByteArray heicSignature()
{
    return QByteArray("\0\0\0\x18" "ftypheic\0\0\0\0mif1heic", 24) + QByteArray(64, 'x');
}

// A file-type box naming the brands of an AVIF file, then junk.
inline QByteArray avifSignature()
{
    return QByteArray("\0\0\0\x1c" "ftypavif\0\0\0\0avifmif1miaf", 28) + QByteArray(64, 'x');
}

// `file` with every byte after its file-type box overwritten.
inline QByteArray damagedAfterFileType(QByteArray file)
{
    const qsizetype boxSize = qFromBigEndian<quint32>(file.constData());
    for (qsizetype i = boxSize; i < file.size(); ++i)
        file[i] = char(0xA5);
    return file;
}

// `file` with every image-size property ("ispe") claiming `width` x `height`.
inline QByteArray withPictureSize(QByteArray file, quint32 width, quint32 height)
{
    for (qsizetype at = file.indexOf("ispe"); at >= 0 && at + 16 <= file.size(); at = file.indexOf("ispe", at + 4)) {
        qToBigEndian(width, file.data() + at + 8);
        qToBigEndian(height, file.data() + at + 12);
    }
    return file;
}

// `file` with the image-size properties that claim `fromWidth` x
// `fromHeight` claiming `width` x `height` instead.
inline QByteArray withPictureSize(QByteArray file, quint32 fromWidth, quint32 fromHeight, quint32 width,
                                  quint32 height)
{
    for (qsizetype at = file.indexOf("ispe"); at >= 0 && at + 16 <= file.size(); at = file.indexOf("ispe", at + 4)) {
        if (qFromBigEndian<quint32>(file.constData() + at + 8) != fromWidth
            || qFromBigEndian<quint32>(file.constData() + at + 12) != fromHeight)
            continue;
        qToBigEndian(width, file.data() + at + 8);
        qToBigEndian(height, file.data() + at + 12);
    }
    return file;
}

// `file`, whose grid data (16-bit sizes) lies in its "idat" box, with the
// grid assembling `width` x `height`.
inline QByteArray withGridOutput(QByteArray file, quint16 width, quint16 height)
{
    const qsizetype at = file.indexOf("idat");
    if (at >= 0 && at + 12 <= file.size()) {
        qToBigEndian(width, file.data() + at + 8);
        qToBigEndian(height, file.data() + at + 10);
    }
    return file;
}

} // namespace pelandor
