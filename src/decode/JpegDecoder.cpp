// JPEG decoder. The library writes its output rows straight into the
// picture's own rows (only CMYK goes through one row of its own for the
// conversion), so a decode costs one pixel buffer and no copies. Files are
// read in 64 KB pieces as the library asks for them, never whole.
#include "decode/JpegDecoder.h"

#include "decode/Bitmap.h"
#include "decode/ExifOrientation.h"
#include "decode/ImageFile.h"
#include "decode/JpegErrorManager.h"

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <jerror.h>

#include "pelandor/spi_plugin.h"
#include "platform/NativeName.h"

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

// The compressed data: a whole file in memory, or an open file read in
// pieces through a buffer of its own.
struct FileSource {
    static constexpr size_t BufferSize = 64 * 1024;
    jpeg_source_mgr pub;
    int fd;
    JOCTET buffer[BufferSize];
};

struct Input {
    const uchar *data = nullptr; // the whole file, or
    FileSource *file = nullptr;  // the open file, its first bytes already read
    uint64_t size = 0;           // the file's size in bytes
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

void initFileSource(j_decompress_ptr)
{
}

// Refills the buffer. The end of the file (also one that shrank while it was
// read) gives a warning and an end-of-image marker, exactly as the memory
// source does, so a short file decodes the same from a file as from memory.
boolean fillFileBuffer(j_decompress_ptr cinfo)
{
    auto *source = reinterpret_cast<FileSource *>(cinfo->src);
    ssize_t n;
    do {
        n = ::read(source->fd, source->buffer, FileSource::BufferSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        ERREXIT(cinfo, JERR_FILE_READ);
    if (n == 0) {
        WARNMS(cinfo, JWRN_JPEG_EOF);
        source->buffer[0] = JOCTET(0xFF);
        source->buffer[1] = JOCTET(JPEG_EOI);
        n = 2;
    }
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = size_t(n);
    return TRUE;
}

void skipFileData(j_decompress_ptr cinfo, long count)
{
    if (count <= 0)
        return;
    jpeg_source_mgr *source = cinfo->src;
    while (size_t(count) > source->bytes_in_buffer) {
        count -= long(source->bytes_in_buffer);
        fillFileBuffer(cinfo);
    }
    source->next_input_byte += count;
    source->bytes_in_buffer -= size_t(count);
}

void termFileSource(j_decompress_ptr)
{
}

// The orientation tag of the first EXIF block the library kept.
int orientationOf(const jpeg_decompress_struct *cinfo)
{
    for (jpeg_saved_marker_ptr marker = cinfo->marker_list; marker; marker = marker->next) {
        if (marker->marker == JPEG_APP0 + 1 && marker->data) {
            const int orientation = ExifOrientation::fromApp1(marker->data, marker->data_length);
            if (orientation != 1)
                return orientation;
        }
    }
    return 1;
}

// The library part of the decode. Everything with a destructor lives in the
// caller's frame, so a jump back from the error manager skips none.
// `orientation` receives the EXIF orientation when it is to be applied (1
// otherwise); the caller turns the picture.
bool runDecode(jpeg_decompress_struct *cinfo, JpegErrorManager *errors, const Input &input, Bitmap &target,
               int &orientation)
{
    orientation = 1;
    if (setjmp(errors->recovery)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    if (input.file) {
        input.file->pub.init_source = initFileSource;
        input.file->pub.fill_input_buffer = fillFileBuffer;
        input.file->pub.skip_input_data = skipFileData;
        input.file->pub.resync_to_restart = jpeg_resync_to_restart;
        input.file->pub.term_source = termFileSource;
        cinfo->src = &input.file->pub;
    } else {
        jpeg_mem_src(cinfo, input.data, static_cast<unsigned long>(input.size));
    }
    const bool upright = ExifOrientation::applied();
    if (upright)
        jpeg_save_markers(cinfo, JPEG_APP0 + 1, 0xFFFF);
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    if (upright)
        orientation = orientationOf(cinfo);

    cinfo->scale_num = 1;
    cinfo->scale_denom = 1;
    cinfo->dct_method = JDCT_ISLOW;
    cinfo->do_fancy_upsampling = TRUE;
    cinfo->do_block_smoothing = TRUE;
    cinfo->buffered_image = FALSE;
    const bool cmyk = cinfo->jpeg_color_space == JCS_CMYK || cinfo->jpeg_color_space == JCS_YCCK;
    PixelFormat format = PixelFormat::Bits24;
    if (cinfo->num_components == 1) {
        cinfo->out_color_space = JCS_GRAYSCALE;
        cinfo->quantize_colors = TRUE;
        cinfo->desired_number_of_colors = 236;
        cinfo->dither_mode = JDITHER_FS;
        cinfo->two_pass_quantize = FALSE;
        format = PixelFormat::Bits8;
    } else {
        cinfo->out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
    }

    const uint64_t pixels = uint64_t(cinfo->image_width) * cinfo->image_height;
    const bool lyingHuffmanHeader = !cinfo->arith_code && pixels > input.size * MaxPixelsPerByte;
    if (pixels == 0 || pixels > MaxPixels || lyingHuffmanHeader) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }

    jpeg_start_decompress(cinfo);
    const JDIMENSION width = cinfo->output_width;
    const JDIMENSION height = cinfo->output_height;
    if (!target.reshape(format, int(width), int(height))) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    if (format == PixelFormat::Bits8) {
        QList<QRgb> greys(cinfo->actual_number_of_colors);
        for (int i = 0; i < cinfo->actual_number_of_colors; ++i) {
            const int v = cinfo->colormap[0][i];
            greys[i] = qRgb(v, v, v);
        }
        target.setPalette(greys);
    }

    uchar *const firstRow = target.bits();
    const qsizetype stride = target.bytesPerLine();
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
    Input input;
    input.data = data;
    input.size = size;
    // A picture of its own, so that a failure leaves `out` as it was.
    Bitmap decoded;
    int orientation = 1;
    if (!runDecode(&cinfo, &errors, input, decoded, orientation))
        return errors.lastCode == JERR_NO_SOI ? JpegResult::NotJpeg : JpegResult::Failed;
    if (!ExifOrientation::apply(decoded, orientation))
        return JpegResult::Failed;
    out = std::move(decoded);
    return JpegResult::Ok;
}

JpegResult decodeJpegFile(const QString &path, Bitmap &out)
{
    // Non-blocking, so that a pipe or device named like an image never
    // blocks the open; only regular files are read.
    const int fd = ::open(NativeName::encode(path).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return JpegResult::Failed;
    struct FdCloser {
        int fd;
        ~FdCloser() { ::close(fd); }
    } closer{fd};
    struct stat info;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > MaxImageFileSize)
        return JpegResult::Failed;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    // The source belongs to this frame, which the library's jump never leaves.
    auto source = std::make_unique_for_overwrite<FileSource>();
    source->fd = fd;
    ssize_t n;
    do {
        n = ::read(fd, source->buffer, FileSource::BufferSize);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return JpegResult::Failed;
    if (n < 2 || source->buffer[0] != 0xFF || source->buffer[1] != 0xD8)
        return JpegResult::NotJpeg;
    std::memset(&source->pub, 0, sizeof source->pub);
    source->pub.next_input_byte = source->buffer;
    source->pub.bytes_in_buffer = size_t(n);

    jpeg_decompress_struct cinfo;
    std::memset(&cinfo, 0, sizeof cinfo);
    JpegErrorManager errors;
    errors.install(reinterpret_cast<j_common_ptr>(&cinfo));
    Input input;
    input.file = source.get();
    input.size = uint64_t(info.st_size);
    int orientation = 1;
    if (!runDecode(&cinfo, &errors, input, out, orientation)) {
        out.clear();
        return errors.lastCode == JERR_NO_SOI ? JpegResult::NotJpeg : JpegResult::Failed;
    }
    if (!ExifOrientation::apply(out, orientation)) {
        out.clear();
        return JpegResult::Failed;
    }
    return JpegResult::Ok;
}

} // namespace pelandor
