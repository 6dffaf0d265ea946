// Writes a Bitmap as a JPEG file through libjpeg-turbo.
#pragma once

#include <QString>

class QIODevice;

namespace pelandor {

class Bitmap;

// The quality every JPEG file is written with.
inline constexpr int JpegWriteQuality = 90;

// Writes `bitmap` to `device` (open for writing): the picture converted to
// 24-bit RGB, three components, the library's default parameters, quality 90
// with baseline quantization tables, sequential (not progressive). Returns
// false with a text in `errorText` (when given) if the picture is empty, too
// large for the format, or the device fails. Replacing the file atomically is
// the caller's business.
bool writeJpeg(const Bitmap &bitmap, QIODevice &device, QString *errorText = nullptr);

} // namespace pelandor
