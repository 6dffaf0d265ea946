// The EXIF orientation of JPEG files: which way the camera was held. The tag
// is read with libexif from the file's APP1 block, and the decoded picture is
// turned and mirrored so that it shows upright everywhere a JPEG file is
// shown, measured, copied or saved. Whether that happens is one switch for the
// whole program (set at start-up; some users want the stored pixels).
#pragma once

#include <QtGlobal>
#include <cstddef>

namespace pelandor {

class Bitmap;

class ExifOrientation {
public:
    // Whether decoded JPEG pictures are turned upright (on unless switched
    // off at start-up).
    static bool applied();
    static void setApplied(bool on);

    // The orientation tag (1 to 8) of an APP1 block's contents (beginning
    // with "Exif\0\0"), or 1 when the block holds none, holds another value
    // or cannot be read: a damaged or absurd block never fails a decode.
    static int fromApp1(const uchar *data, size_t size);

    // Whether an orientation swaps width and height (5 to 8).
    static bool swapsSides(int orientation);

    // Turns and mirrors `picture` from its stored layout into the upright one
    // the orientation describes; 1 and unknown values change nothing. Returns
    // false, the picture left as it was, when the memory cannot be had.
    static bool apply(Bitmap &picture, int orientation);
};

} // namespace pelandor
