// JPEG writer: the library compresses rows of a 24-bit copy of the picture
// and hands its output to a destination that writes to the device.
#include "decode/JpegWriter.h"

#include "decode/Bitmap.h"
#include "decode/JpegErrorManager.h"

#include <QIODevice>
#include <cstring>

#include <jerror.h>

namespace pelandor {

namespace {

constexpr size_t OutputChunk = 64 * 1024;
constexpr int MaxJpegSide = 65500; // the format's own limit

struct DeviceDestination {
    jpeg_destination_mgr pub;
    QIODevice *device = nullptr;
    JOCTET *buffer = nullptr;
};

void initDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<DeviceDestination *>(cinfo->dest);
    dest->buffer = static_cast<JOCTET *>(
        (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, OutputChunk));
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = OutputChunk;
}

boolean emptyOutputBuffer(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<DeviceDestination *>(cinfo->dest);
    if (dest->device->write(reinterpret_cast<const char *>(dest->buffer), qint64(OutputChunk)) != qint64(OutputChunk))
        ERREXIT(cinfo, JERR_FILE_WRITE);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = OutputChunk;
    return TRUE;
}

void termDestination(j_compress_ptr cinfo)
{
    auto *dest = reinterpret_cast<DeviceDestination *>(cinfo->dest);
    const qint64 pending = qint64(OutputChunk - dest->pub.free_in_buffer);
    if (pending > 0 && dest->device->write(reinterpret_cast<const char *>(dest->buffer), pending) != pending)
        ERREXIT(cinfo, JERR_FILE_WRITE);
}

// The library part of the write; objects with destructors live in the caller.
bool runCompress(jpeg_compress_struct *cinfo, JpegErrorManager *errors, DeviceDestination *dest, const QImage *rgb)
{
    if (setjmp(errors->recovery)) {
        jpeg_destroy_compress(cinfo);
        return false;
    }
    jpeg_create_compress(cinfo);
    dest->pub.init_destination = initDestination;
    dest->pub.empty_output_buffer = emptyOutputBuffer;
    dest->pub.term_destination = termDestination;
    cinfo->dest = &dest->pub;

    cinfo->image_width = JDIMENSION(rgb->width());
    cinfo->image_height = JDIMENSION(rgb->height());
    cinfo->input_components = 3;
    cinfo->in_color_space = JCS_RGB;
    jpeg_set_defaults(cinfo);
    jpeg_set_quality(cinfo, JpegWriteQuality, TRUE);

    jpeg_start_compress(cinfo, TRUE);
    while (cinfo->next_scanline < cinfo->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb->constScanLine(int(cinfo->next_scanline)));
        jpeg_write_scanlines(cinfo, &row, 1);
    }
    jpeg_finish_compress(cinfo);
    jpeg_destroy_compress(cinfo);
    return true;
}

} // namespace

bool writeJpeg(const Bitmap &bitmap, QIODevice &device, QString *errorText)
{
    auto fail = [errorText](const QString &text) {
        if (errorText)
            *errorText = text;
        return false;
    };
    if (bitmap.isEmpty())
        return fail(QStringLiteral("The picture is empty."));
    if (bitmap.width() > MaxJpegSide || bitmap.height() > MaxJpegSide)
        return fail(QStringLiteral("The picture is too large for a JPEG file."));
    const QImage rgb = bitmap.toRgb24();
    if (rgb.isNull())
        return fail(QStringLiteral("Not enough memory to convert the picture."));

    jpeg_compress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegErrorManager errors;
    errors.install(reinterpret_cast<j_common_ptr>(&cinfo));
    DeviceDestination dest;
    dest.device = &device;
    if (!runCompress(&cinfo, &errors, &dest, &rgb)) {
        if (errors.lastCode == JERR_FILE_WRITE && !device.errorString().isEmpty())
            return fail(device.errorString());
        return fail(errors.lastMessage(reinterpret_cast<j_common_ptr>(&cinfo)));
    }
    return true;
}

} // namespace pelandor
