// Reads a whole image file into memory for the decoders, after checking its
// signature.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace pelandor {

// Largest file the built-in decoders read (1 GiB); larger ones are refused.
inline constexpr qint64 MaxImageFileSize = qint64(1) << 30;

enum class ImageFileStatus {
    Read,           // bytes holds the whole file (empty for an empty file)
    Unreadable,     // not a regular file, cannot be opened or read, or too large
    WrongSignature, // the file does not begin with the signature asked for
};

struct ImageFileData {
    ImageFileStatus status = ImageFileStatus::Unreadable;
    QByteArray bytes;
};

// The file's bytes. When `signature` is given, the file's first bytes are
// compared with it before the rest is read, so a large file of another kind
// costs one short read; an empty file is Read (with no bytes), one that is
// shorter than the signature or differs is WrongSignature.
ImageFileData readImageFile(const QString &path, QByteArrayView signature = {});

} // namespace pelandor
