// The libjpeg error manager shared by the JPEG decoder and writer: a fatal
// library error jumps back to the caller's recovery point instead of ending
// the process, and warnings are not printed.
#pragma once

#include <QString>
#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace pelandor {

struct JpegErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf recovery;
    int lastCode = 0;

    // Installs this manager on `info` (a decompress or compress struct).
    void install(jpeg_common_struct *info);
    // The text of the last fatal error.
    QString lastMessage(jpeg_common_struct *info) const;
};

} // namespace pelandor
