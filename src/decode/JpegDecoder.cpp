// JPEG decoder. The library writes its output rows straight into the
// picture's own rows (only CMYK goes through one row of its own for the
// conversion), so a decode costs one pixel buffer and no copies.
#include "decode/JpegDecoder.h"

#include "decode/Bitmap.h"
#include "decode/ImageFile.h"
#include "decode/JpegErrorManager.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include <jerror.h>

#include "pelandor/spi_plugin.h"

namespace pelandor {

namespace {

// A lying header must not ask for memory out of proportion to the file. With
// Huffman coding even a flat picture costs at least one bit per 8x8 block in
// the first scan, so a real file stays far below this many pixels per byte.
// Arithmetic coding adapts to a flat picture until a block costs almost
// nothing (a flat 4000 x 4000 picture fits in about 200 bytes), so for those
// files only the pixel cap bounds the memory.
constexpr uint64_t MaxPixelsPerByte = 1024;
// The largest picture anywhere in the program, the modules' bound.
constexpr uint64_t MaxPixels = SPI_MAX_PIXELS;
constexpr int RowsPerCall = 16;

struct DecodeOutput {
    QImage image;
    PixelFormat format = PixelFormat::Bits24;
};

inline uchar mul255(unsigned a, unsigned b)
{
    const unsigned t = a * b + 128;
    return uchar((t + (t >> 8)) >> 8);
}

// Converts one row of CMYK samples to RGB. Files with an Adobe marker store
// the inks inverted (0 = full ink), as the program that writes them does.
void cmykRowToRgb(const JSAMPLE *cmyk, uchar *rgb, JDIMENSION width, bool inverted)
{
    for (JDIMENSION x = 0; x < width; ++x, cmyk += 4, rgb += 3) {
        unsigned c = cmyk[0];
        unsigned m = cmyk[1];
        unsigned y = cmyk[2];
        unsigned k = cmyk[3];
        if (!inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        rgb[0] = mul255(c, k);
        rgb[1] = mul255(m, k);
        rgb[2] = mul255(y, k);
    }
}

// The library part of the decode. Everything with a destructor lives in the
// caller's frame, so a jump back from the error manager skips none.
bool runDecode(jpeg_decompress_struct *cinfo, JpegErrorManager *errors, const uchar *data, size_t size,
               DecodeOutput *output)
{
    if (setjmp(errors->recovery)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    jpeg_mem_src(cinfo, data, static_cast<unsigned long>(size));
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }

    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = TRUE;
    cinfo->do_block_smoothing = TRUE;
    cinfo->buffered_image = FALSE;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    if (cinfo->num_components == 1) {
        cinfo->out_color_space = JCS_GRAYSCALE;
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = 236;
        cinfo->dither_mode = JDITHER_FS;
        cinfo->two_pass_quantize = FALSE;
        output->format = PixelFormat::Bits8;
    } else {
        cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
        output->format = PixelFormat::Bits24;
    }

    const uint64_t pixels = uint64_t(cinfo->image_width) * cinfo->image_height;
    const bool lyingHuffmanHeader = !cinfo->arith_code && pixels > uint64_t(size) * MaxPixelsPerByte;
    if (pixels == 0 || pixels > MaxPixels || lyingHuffmanHeader) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }

    jpeg_start_decompress(cinfo);
    const JDIMENSION width = cinfo->output_width;
    const JDIMENSION height = cinfo->output_height;
    output->image = QImage(int(width), int(height), Bitmap::storageFormat(output->format));
    if (output->image.isNull()) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    if (output->format == PixelFormat::Bits8) {
        QList<QRgb> greys(cinfo->actual_number_of_colors);
        for (int i = 0; i < cinfo->actual_number_of_colors; ++i) {
            const int v = cinfo->colormap[0][i];
            greys[i] = qRgb(v, v, v);
        }
        output->image.setColorTable(greys);
    }

    uchar *const firstRow = output->image.bits();
    const qsizetype stride = output->image.bytesPerLine();
    JSAMPROW rows[RowsPerCall];
    if (cmyk) {
        const bool inverted = cinfo->saw_Adobe_marker;
        JSAMPARRAY buffer = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                        width * 4, RowsPerCall);
        while (cinfo->output_scanline < height) {
            const JDIMENSION first = cinfo->output_scanline;
            const JDIMENSION got = jpeg_read_scanlines(cinfo, buffer, RowsPerCall);
            for (JDIMENSION i = 0; i < got; ++i)
                cmykRowToRgb(buffer[i], firstRow + (first + i) * stride, width, inverted);
        }
    } else {
        while (cinfo->output_scanline < height) {
            const JDIMENSION first = cinfo->output_scanline;
            const JDIMENSION n = std::min<JDIMENSION>(RowsPerCall, height - first);
            for (JDIMENSION i = 0; i < n; ++i)
                rows[i] = firstRow + (first + i) * stride;
            jpeg_read_scanlines(cinfo, rows, n);
        }
    }
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return true;
}

} // namespace

JpegResult decodeJpeg(const uchar *data, size_t size, Bitmap &out)
{
    // The start-of-image test is made here by its condition, before the
    // library sees the data (which would report empty input differently).
    if (!data || size < 2 || data[0] != 0xFF || data[1] != 0xD8)
        return JpegResult::NotJpeg;

    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegErrorManager errors;
    errors.install(reinterpret_cast<j_common_ptr>(&cinfo));
    DecodeOutput output;
    if (!runDecode(&cinfo, &errors, data, size, &output))
        return errors.lastCode == JERR_NO_SOI ? JpegResult::NotJpeg : JpegResult::Failed;
    out.assign(output.format, std::move(output.image));
    out.setMasks({0, 0, 0});
    return JpegResult::Ok;
}

JpegResult decodeJpegFile(const QString &path, Bitmap &out)
{
    // The start-of-image marker is checked before the file is read whole.
    const ImageFileData file = readImageFile(path, QByteArrayView("\xFF\xD8", 2));
    if (file.status == ImageFileStatus::WrongSignature)
        return JpegResult::NotJpeg;
    if (file.status != ImageFileStatus::Read)
        return JpegResult::Failed;
    return decodeJpeg(reinterpret_cast<const uchar *>(file.bytes.constData()), size_t(file.bytes.size()), out);
}

} // namespace pelandor
