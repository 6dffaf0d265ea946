// JPEG files through libjpeg-turbo, at full size with the accurate integer
// inverse DCT, smooth upsampling and block smoothing.
#pragma once

#include <QString>
#include <QtGlobal>
#include <cstddef>

namespace pelandor {

class Bitmap;

enum class JpegResult {
    Ok,
    NotJpeg, // the data does not begin with the start-of-image marker (FF D8)
    Failed,  // any other failure: damaged data, unsupported layout, no memory
};

// Decodes a whole JPEG file held in memory into `out`:
// - colour files as RGB into Bits24;
// - single-component files as grey through the library's one-pass quantizer
//   (236 colours, Floyd-Steinberg) into Bits8 whose palette holds the grey
//   levels the quantizer chose;
// - four-component files (CMYK, YCCK) as CMYK, converted to RGB here (also the
//   inverted CMYK that Adobe-marked files carry) into Bits24.
// Warnings of the library (such as data that ends early, which it completes
// with grey) do not fail the decode. While ExifOrientation::applied(), the
// picture is turned upright by its EXIF orientation tag. On failure `out` is untouched.
JpegResult decodeJpeg(const uchar *data, size_t size, Bitmap &out);

// Decodes the file at `path` as decodeJpeg does, reading it in pieces as the
// decode goes, into the memory `out` already has when it is large enough
// (Bitmap::reshape). A file that cannot be read or is no regular file is
// Failed; an empty file is NotJpeg. On failure `out` is either untouched
// (nothing decoded yet) or emptied.
JpegResult decodeJpegFile(const QString &path, Bitmap &out);

} // namespace pelandor
