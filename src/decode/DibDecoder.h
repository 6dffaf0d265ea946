// Reads a Windows device-independent bitmap (an info or core header with its
// bit-field masks and colour table, plus the pixel rows) into a Bitmap. The
// bitmap file decoder uses it, and so does the plug-in host, whose modules
// hand their pictures back in this layout.
#pragma once

#include <QtGlobal>
#include <cstddef>

namespace pelandor {

class Bitmap;

// Decodes the header block `info` (infoSize bytes: a 12-byte core header or an
// info header of 40 bytes or more, then the masks and the colour table) and the
// pixel data `bits` (bitsSize bytes) into `out`.
//
// The result keeps the picture's own pixel format: 1, 4 and 8 bits with their
// palette; 16 bits without masks as Bits15; 16 bits with masks whose green mask
// is 0x07E0 as Bits16; other 16-bit masks and 32 bits with masks as Custom; 24
// and 32 bits as Bits24 and Bits32. Run-length data (RLE4, RLE8) is expanded
// into the Device format; pixels the run-length data skips stay black.
//
// Returns false and leaves `out` untouched when anything is inconsistent: an
// unknown header or compression, a plane count other than 1, a table or pixel
// data shorter than the header says, run-length data that runs past the image
// or ends before it is complete, a palette index past the colour table, or a
// size out of proportion to the data.
bool decodeDib(const uchar *info, size_t infoSize, const uchar *bits, size_t bitsSize, Bitmap &out);

// The number of bytes the header block starting at `info` occupies: header,
// masks (when they follow the header) and colour table. Reads at most
// `available` bytes; 0 when the header is not one decodeDib accepts.
size_t dibInfoSize(const uchar *info, size_t available);

// The number of bytes of pixel data the header promises: the padded rows of
// an uncompressed picture, or the recorded image size of a run-length one.
// 0 when the header is not one decodeDib accepts.
size_t dibBitsSize(const uchar *info, size_t infoSize);

} // namespace pelandor
