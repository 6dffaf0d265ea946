// What the image loader needs of a plug-in host: decode a file into a bitmap
// and fill the picture information record. The plug-in host implements it;
// tests can hand in their own.
#pragma once

#include <QString>
#include <cstdint>

#include "pelandor/spi_plugin.h"

namespace pelandor {

class Bitmap;

class PictureSource {
public:
    // GetBitmap's result for a path that is not a regular file that can be
    // opened (a FIFO, a device, a folder, a file that went away): no module
    // is asked anything about it, since its own open could block.
    static constexpr int NotRegularFileResult = 5;

    virtual ~PictureSource() = default;
    // 0 on success, NotRegularFileResult, or another failure code; on
    // failure the target is left untouched.
    virtual int GetBitmap(Bitmap &target, const QString &path) = 0;
    // The module's result, or -1 when no module is loaded.
    virtual int GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info) = 0;
};

} // namespace pelandor
