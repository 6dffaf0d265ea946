// See JpegErrorManager.h.
#include "decode/JpegErrorManager.h"

namespace pelandor {

namespace {

[[noreturn]] void errorExit(j_common_ptr info)
{
    auto *manager = reinterpret_cast<JpegErrorManager *>(info->err);
    manager->lastCode = info->err->msg_code;
    std::longjmp(manager->recovery, 1);
}

void outputMessage(j_common_ptr)
{
}

} // namespace

void JpegErrorManager::install(jpeg_common_struct *info)
{
    info->err = jpeg_std_error(&pub);
    pub.error_exit = errorExit;
    pub.output_message = outputMessage;
}

QString JpegErrorManager::lastMessage(jpeg_common_struct *info) const
{
    char text[JMSG_LENGTH_MAX] = {};
    info->err->format_message(info, text);
    return QString::fromLocal8Bit(text);
}

} // namespace pelandor
