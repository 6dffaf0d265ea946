// Turns the two blocks a module's GetPicture handed back into a bitmap. The
// blocks are checked against what their own header says the module must have
// written before any byte past the header is read.
#pragma once

#include <QtGlobal>
#include <cstddef>

namespace pelandor {

class Bitmap;

// `info` and `bits` are the blocks, `infoBlock` and `bitsBlock` how many bytes
// each holds. The header must describe an uncompressed or run-length picture
// whose colour table lies inside `info`, and `bits` must hold every row the
// header promises in full, the last row's padding included, and no less than
// the header's own image size when it states one. On success `out` receives
// the picture and true is returned; otherwise `out` is untouched.
bool convertModulePicture(const uchar *info, size_t infoBlock, const uchar *bits, size_t bitsBlock, Bitmap &out);

} // namespace pelandor
