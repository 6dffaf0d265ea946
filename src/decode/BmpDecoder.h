// Windows bitmap files: the 14-byte file header in front of a
// device-independent bitmap.
#pragma once

#include <QString>
#include <QtGlobal>
#include <cstddef>

namespace pelandor {

class Bitmap;

// Decodes the bytes of a whole bitmap file into `out`. The file must begin
// with "BM" and its pixel-data offset must lie after the header block and
// within the file. Zero bytes decode to an empty picture in the Device format
// (colour depth 0) and count as success. On failure `out` is untouched.
bool decodeBmp(const uchar *data, size_t size, Bitmap &out);

// How many bytes from the start of a bitmap file its header declares (file
// header, header block and pixel data; at most `fileSize`), judged from the
// file's first `headSize` bytes; 0 when they are no header decodeBmp accepts.
size_t bmpFileBytesNeeded(const uchar *head, size_t headSize, size_t fileSize);

// How much of a file is read before its header is judged: the file header
// and room for any header block decodeBmp accepts.
inline constexpr qint64 BmpHeadLength = 64 * 1024;

// Reads the file at `path` and decodes it with decodeBmp: first its header,
// then only the bytes that header declares. A file that cannot be read, one
// whose header is unsound, or one larger than the decoders accept, is a
// failure.
bool decodeBmpFile(const QString &path, Bitmap &out);

} // namespace pelandor
