// Reads a whole image file into memory with one read, for the decoders.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace pelandor {

// Largest file the built-in decoders read (1 GiB); larger ones are refused.
inline constexpr qint64 MaxImageFileSize = qint64(1) << 30;

// The file's bytes, or nothing when it is not a regular file, cannot be opened
// or read, or is larger than MaxImageFileSize.
std::optional<QByteArray> readImageFile(const QString &path);

} // namespace pelandor
