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

// Reads the file at `path` in one go and decodes it with decodeBmp. A file that
// cannot be read, or one larger than the decoders accept, is a failure.
bool decodeBmpFile(const QString &path, Bitmap &out);

} // namespace pelandor
