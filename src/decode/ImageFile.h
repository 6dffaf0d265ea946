// Reads a whole image file into memory for the decoders, after checking its
// signature.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

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

// Says from the file's first bytes (`head`, at most the length asked for)
// and its size how many bytes from its start are to be read in all: at most
// `fileSize`, or -1 to refuse the file without reading more.
using ImageFileJudge = std::function<qint64(QByteArrayView head, qint64 fileSize)>;

// As readImageFile, but reads the first `headLength` bytes (fewer for a
// shorter file) after the signature check and then only what `judge` asks
// for: a header that declares little, or nothing sound, costs no read of a
// huge (perhaps sparse) file. `bytes` holds what was read; a refusal is
// Unreadable.
ImageFileData readImageFileJudged(const QString &path, QByteArrayView signature, qint64 headLength,
                                  const ImageFileJudge &judge);

} // namespace pelandor
