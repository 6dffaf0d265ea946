// Writes a Bitmap as a Windows bitmap file in its own pixel format.
#pragma once

#include <QString>

class QIODevice;

namespace pelandor {

class Bitmap;

// Writes `bitmap` to `device` (open for writing) as a bitmap file with a
// 40-byte info header, bottom-up rows:
// - Bits1, Bits4, Bits8: that depth with the picture's palette (a 4-bit
//   picture whose palette has grown past 16 colours is written with 8 bits);
// - Bits15: 16 bits, no masks (5-5-5);
// - Bits16: 16 bits with bit-field masks F800/07E0/001F;
// - Bits24: 24 bits;
// - Bits32 and Device: 32 bits, no masks;
// - Custom: 32 bits with bit-field masks 00FF0000/0000FF00/000000FF, so that
//   it reads back as the custom format it was.
// Returns false with a text in `errorText` (when given) if the picture is
// empty or the device fails. Replacing the file atomically is the caller's
// business.
bool writeBmp(const Bitmap &bitmap, QIODevice &device, QString *errorText = nullptr);

} // namespace pelandor
