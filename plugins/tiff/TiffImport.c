/*
 * TIFF import module. Decodes the first page of a TIFF (or BigTIFF) file
 * through libtiff's RGBA interface, which handles every photometric
 * interpretation, bit depth and compression libtiff knows, into a 24-bit
 * device-independent bitmap with transparent pixels laid over white (the
 * colour of the thumbnail cells and of an empty viewer), turned and mirrored
 * as its Orientation tag says (a camera's upright photo shows upright).
 *
 * The file is read through client procedures that count every position from
 * the image's offset, since the offsets inside a TIFF file are relative to
 * its header. Pictures are decoded from a copy of the file in memory when
 * it is not huge (see map_copy). libtiff's diagnostics are silenced: problems
 * are reported through the result code, never on the console.
 */
#include "ModuleSupport.h"

#include <errno.h>
#include <stdarg.h>
#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <tiffio.h>
#include <unistd.h>

/* Largest file decoded from a copy in memory; see map_copy(). */
#define MAX_COPY (256u << 20)

/* The most pixels a byte of the file can hold with the page's compression,
 * taken at its best case and a bilevel (8 pixels a byte) picture, rounded up:
 * none 8; PackBits 128 bytes from 2, 512; deflate 1032 bytes a byte, 8256;
 * LZW (12-bit codes for strings of at most about 4000 bytes) and JPEG (a
 * block of 64 pixels in about two bits) below 16384; the modified Huffman
 * run-length coding (CCITT RLE), whose rows start on a byte and whose codes
 * take at least 12 bits for 2,560 white pixels, 2048; zstd (a run-length
 * block of 128 KiB in 4 bytes), LZMA, the fax and JBIG codings and any other
 * compression, 2^18. A fax row that repeats the row above costs one bit
 * whatever its width, so those codings bound nothing but the product; 2^18
 * still takes a blank 600-dpi page of G4 (about 40,000 pixels a byte). */
static uint64_t max_pixels_per_byte(uint16_t compression)
{
    switch (compression) {
    case COMPRESSION_NONE:
        return 8u;
    case COMPRESSION_PACKBITS:
        return 512u;
    case COMPRESSION_CCITTRLE:
    case COMPRESSION_CCITTRLEW:
        return 2048u;
    case COMPRESSION_LZW:
    case COMPRESSION_ADOBE_DEFLATE:
    case COMPRESSION_DEFLATE:
    case COMPRESSION_JPEG:
    case COMPRESSION_OJPEG:
        return 16384u;
    default:
        return 1u << 18;
    }
}

/* Whether the page claims more pixels than `bytes` bytes can hold. */
static int too_dense(TIFF *tiff, uint32_t width, uint32_t height, uint64_t bytes)
{
    uint16_t compression = COMPRESSION_NONE;
    uint64_t perByte;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_COMPRESSION, &compression);
    perByte = max_pixels_per_byte(compression);
    return module_too_dense(width, height, bytes, perByte);
}

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    return module_plugin_info(infoNumber, buffer, bufferLength, "Pelandor TIFF import (libtiff)", "*.tif;*.tiff",
                              "TIFF");
}

/* Byte order mark and version: classic TIFF (42) or BigTIFF (43). */
static int is_tiff_signature(const unsigned char *bytes)
{
    if (bytes[0] == 'I' && bytes[1] == 'I')
        return (bytes[2] == 42 || bytes[2] == 43) && bytes[3] == 0;
    if (bytes[0] == 'M' && bytes[1] == 'M')
        return bytes[2] == 0 && (bytes[3] == 42 || bytes[3] == 43);
    return 0;
}

int32_t IsSupported(const char *path, uint32_t data)
{
    unsigned char signature[4];
    (void)path;
    return module_read_signature(data, signature, sizeof signature) && is_tiff_signature(signature);
}

/* The image's bytes: the file from `base` on, and possibly a copy of them. */
struct Source {
    int fd;
    off_t base;
    uint64_t size;
    uint64_t position;
    unsigned char *copy;
};

static tmsize_t read_source(thandle_t handle, void *buffer, tmsize_t length)
{
    struct Source *s = (struct Source *)handle;
    tmsize_t done = 0;
    while (done < length && s->position < s->size) {
        const uint64_t left = s->size - s->position;
        const size_t want = (uint64_t)(length - done) < left ? (size_t)(length - done) : (size_t)left;
        const ssize_t n = pread(s->fd, (char *)buffer + done, want, s->base + (off_t)s->position);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
        s->position += (uint64_t)n;
    }
    return done;
}

static tmsize_t write_nothing(thandle_t handle, void *buffer, tmsize_t length)
{
    (void)handle;
    (void)buffer;
    (void)length;
    return 0;
}

static toff_t seek_source(thandle_t handle, toff_t offset, int whence)
{
    struct Source *s = (struct Source *)handle;
    uint64_t from;
    switch (whence) {
    case SEEK_SET:
        from = 0;
        break;
    case SEEK_CUR:
        from = s->position;
        break;
    case SEEK_END:
        from = s->size;
        break;
    default:
        return (toff_t)-1;
    }
    /* A relative offset arrives as an unsigned value; negative ones wrap. */
    if (whence != SEEK_SET && (int64_t)offset < 0 && (uint64_t)(-(int64_t)offset) > from)
        return (toff_t)-1;
    s->position = from + offset;
    return s->position;
}

static int close_nothing(thandle_t handle)
{
    (void)handle;
    return 0;
}

static toff_t size_of_source(thandle_t handle)
{
    return ((struct Source *)handle)->size;
}

/* Hands libtiff the copy in memory as a mapped file. Read through
 * read_source, libtiff refuses uncompressed tiles whose size is not a
 * multiple of 1024 bytes (it compares the tile with its rounded-up read
 * buffer); from a mapping it reads them, like every other layout. */
static int map_copy(thandle_t handle, void **base, toff_t *size)
{
    struct Source *s = (struct Source *)handle;
    if (!s->copy)
        return 0;
    *base = s->copy;
    *size = s->size;
    return 1;
}

static void unmap_nothing(thandle_t handle, void *base, toff_t size)
{
    (void)handle;
    (void)base;
    (void)size;
}

static int silent(TIFF *tiff, void *userData, const char *module, const char *format, va_list arguments)
{
    (void)tiff;
    (void)userData;
    (void)module;
    (void)format;
    (void)arguments;
    return 1;
}

/* Everything one decoding owns, released by finish() on every path. libtiff
 * still reports some problems through its process-wide handlers only; they
 * are switched off for the decoding and restored afterwards, so nothing here
 * stays installed once the module is unloaded. */
struct Decoding {
    struct Source source;
    TIFFOpenOptions *options;
    TIFF *tiff;
    TIFFErrorHandler oldError;
    TIFFErrorHandler oldWarning;
    TIFFErrorHandlerExt oldErrorExt;
    TIFFErrorHandlerExt oldWarningExt;
    uint32_t width;  /* as stored */
    uint32_t height;
    uint16_t orientation; /* the Orientation tag, 1 to 8 */
    uint32_t *raster;
    unsigned char *header;
    unsigned char *pixels;
};

static void begin(struct Decoding *d)
{
    memset(d, 0, sizeof *d);
    d->source.fd = -1;
    d->oldError = TIFFSetErrorHandler(NULL);
    d->oldWarning = TIFFSetWarningHandler(NULL);
    d->oldErrorExt = TIFFSetErrorHandlerExt(NULL);
    d->oldWarningExt = TIFFSetWarningHandlerExt(NULL);
}

static void finish(struct Decoding *d)
{
    if (d->tiff)
        TIFFClose(d->tiff);
    if (d->options)
        TIFFOpenOptionsFree(d->options);
    if (d->source.fd >= 0)
        close(d->source.fd);
    free(d->source.copy);
    free(d->raster);
    free(d->header);
    free(d->pixels);
    TIFFSetErrorHandler(d->oldError);
    TIFFSetWarningHandler(d->oldWarning);
    TIFFSetErrorHandlerExt(d->oldErrorExt);
    TIFFSetWarningHandlerExt(d->oldWarningExt);
}

/* Copies the image's bytes into memory for map_copy(), unless there are
 * more than MAX_COPY of them. The file itself is never mapped: a file
 * shortened while it is read would turn into a fatal signal. */
static int32_t load_copy(struct Source *s)
{
    if (s->size > MAX_COPY)
        return ResultOk;
    s->copy = malloc(s->size ? (size_t)s->size : 1u);
    if (!s->copy)
        return ResultNoMemory;
    s->position = 0;
    if ((uint64_t)read_source(s, s->copy, (tmsize_t)s->size) != s->size)
        return ResultReadError;
    s->position = 0;
    return ResultOk;
}

/* Opens the file at `offset` and reads the first page's directory; `copy`
 * asks for the copy in memory (pictures, not information). */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag, int copy)
{
    int32_t result;
    unsigned char signature[4];
    off_t fileSize = 0;
    result = module_open_file(source, offset, flag, &d->source.fd, &fileSize);
    if (result != ResultOk)
        return result;
    if (fileSize < offset)
        return ResultUnknownFormat;
    d->source.base = offset;
    d->source.size = (uint64_t)(fileSize - offset);
    if (read_source(&d->source, signature, sizeof signature) != (tmsize_t)sizeof signature
        || !is_tiff_signature(signature))
        return ResultUnknownFormat;
    d->source.position = 0;
    if (copy && (result = load_copy(&d->source)) != ResultOk)
        return result;

    d->options = TIFFOpenOptionsAlloc();
    if (!d->options)
        return ResultNoMemory;
    TIFFOpenOptionsSetErrorHandlerExtR(d->options, silent, NULL);
    TIFFOpenOptionsSetWarningHandlerExtR(d->options, silent, NULL);
    d->tiff = TIFFClientOpenExt(source, "r", (thandle_t)&d->source, read_source, write_nothing, seek_source,
                                close_nothing, size_of_source, map_copy, unmap_nothing, d->options);
    if (!d->tiff)
        return ResultBrokenData;
    if (!TIFFGetField(d->tiff, TIFFTAG_IMAGEWIDTH, &d->width)
        || !TIFFGetField(d->tiff, TIFFTAG_IMAGELENGTH, &d->height) || d->width == 0 || d->height == 0
        || module_too_many_pixels(d->width, d->height) || too_dense(d->tiff, d->width, d->height, d->source.size))
        return ResultBrokenData;
    d->orientation = ORIENTATION_TOPLEFT;
    TIFFGetFieldDefaulted(d->tiff, TIFFTAG_ORIENTATION, &d->orientation);
    if (d->orientation < ORIENTATION_TOPLEFT || d->orientation > ORIENTATION_LEFTBOT)
        d->orientation = ORIENTATION_TOPLEFT;
    return ResultOk;
}

/* Whether the orientation swaps rows and columns (5 to 8): the picture is
 * shown `height` pixels wide. */
static int turned(const struct Decoding *d)
{
    return d->orientation >= ORIENTATION_LEFTTOP;
}

/* A resolution tag in pixels per metre, as the host's other formats give it. */
static uint16_t density(TIFF *tiff, ttag_t tag)
{
    float resolution = 0;
    uint16_t unit = RESUNIT_INCH;
    double perMetre;
    if (!TIFFGetField(tiff, tag, &resolution) || !(resolution > 0))
        return 0;
    TIFFGetFieldDefaulted(tiff, TIFFTAG_RESOLUTIONUNIT, &unit);
    if (unit == RESUNIT_INCH)
        perMetre = resolution / 0.0254;
    else if (unit == RESUNIT_CENTIMETER)
        perMetre = resolution * 100.0;
    else
        return 0;
    return perMetre >= 65535.0 ? 0xFFFF : (uint16_t)(perMetre + 0.5);
}

int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    struct Decoding d;
    int32_t result;
    begin(&d);
    result = start(&d, source, offset, flag, 0);
    if (result == ResultOk && info) {
        uint16_t bitsPerSample = 0;
        uint16_t samplesPerPixel = 0;
        uint32_t depth;
        TIFFGetFieldDefaulted(d.tiff, TIFFTAG_BITSPERSAMPLE, &bitsPerSample);
        TIFFGetFieldDefaulted(d.tiff, TIFFTAG_SAMPLESPERPIXEL, &samplesPerPixel);
        /* Both are 16-bit values: their product fits 32 bits unsigned only. */
        depth = (uint32_t)bitsPerSample * (uint32_t)samplesPerPixel;
        memset(info, 0, sizeof *info);
        info->width = (int32_t)(turned(&d) ? d.height : d.width);
        info->height = (int32_t)(turned(&d) ? d.width : d.height);
        info->xDensity = density(d.tiff, TIFFTAG_XRESOLUTION);
        info->yDensity = density(d.tiff, TIFFTAG_YRESOLUTION);
        info->bitDepth = (int16_t)(depth > 0 && depth <= 0x7FFFu ? depth : 24u);
    }
    finish(&d);
    return result;
}

/* Where row `y` of the picture as shown starts in a raster stored `width` x
 * `height`, top row first, and how far apart its pixels lie there: the
 * orientation says which stored row is the top (1-4) or which stored column
 * (5-8), and whether either runs backwards. */
static void shown_row(uint16_t orientation, size_t width, size_t height, size_t y, ptrdiff_t *start,
                      ptrdiff_t *step)
{
    const ptrdiff_t w = (ptrdiff_t)width;
    const ptrdiff_t h = (ptrdiff_t)height;
    const ptrdiff_t r = (ptrdiff_t)y;
    switch (orientation) {
    case ORIENTATION_TOPRIGHT: /* mirrored left to right */
        *start = r * w + w - 1;
        *step = -1;
        break;
    case ORIENTATION_BOTRIGHT: /* turned half a turn */
        *start = (h - 1 - r) * w + w - 1;
        *step = -1;
        break;
    case ORIENTATION_BOTLEFT: /* mirrored top to bottom */
        *start = (h - 1 - r) * w;
        *step = 1;
        break;
    case ORIENTATION_LEFTTOP: /* stored row 0 is the left column, column 0 the top row */
        *start = r;
        *step = w;
        break;
    case ORIENTATION_RIGHTTOP: /* row 0 the right column, column 0 the top row */
        *start = (h - 1) * w + r;
        *step = -w;
        break;
    case ORIENTATION_RIGHTBOT: /* row 0 the right column, column 0 the bottom row */
        *start = (h - 1) * w + w - 1 - r;
        *step = -w;
        break;
    case ORIENTATION_LEFTBOT: /* row 0 the left column, column 0 the bottom row */
        *start = w - 1 - r;
        *step = w;
        break;
    default: /* as stored */
        *start = r * w;
        *step = 1;
        break;
    }
}

static int32_t decode(struct Decoding *d, SpiHandle *bitmapInfo, SpiHandle *bitmapBits)
{
    const size_t width = turned(d) ? d->height : d->width; /* as shown */
    const size_t height = turned(d) ? d->width : d->height;
    const size_t stride = module_stride(width, 24u);
    size_t y;

    d->raster = malloc((size_t)d->width * d->height * sizeof *d->raster);
    if (!d->raster || !module_allocate_bitmap(&d->header, &d->pixels, 0u, stride, height))
        return ResultNoMemory;
    /* The raster as the file stores it, top row first (libtiff leaves a
     * picture alone when asked for its own orientation). libtiff would apply
     * the orientations that swap rows and columns as one of the four that do
     * not, so all eight are applied below. A damaged strip or tile fails the
     * whole picture. */
    if (!TIFFReadRGBAImageOriented(d->tiff, d->width, d->height, d->raster, d->orientation, 1))
        return ResultBrokenData;

    /* libtiff hands back colours premultiplied by alpha, so laying them over
     * white adds the uncovered share of white. The bitmap's rows are
     * bottom-up: row y as shown is stored as row height - 1 - y. */
    for (y = 0; y < height; ++y) {
        ptrdiff_t at;
        ptrdiff_t step;
        unsigned char *dst = d->pixels + (height - 1 - y) * stride;
        size_t x;
        shown_row(d->orientation, d->width, d->height, y, &at, &step);
        for (x = 0; x < width; ++x, dst += 3, at += step) {
            const uint32_t pixel = d->raster[at];
            const unsigned white = 255u - TIFFGetA(pixel);
            const unsigned blue = TIFFGetB(pixel) + white;
            const unsigned green = TIFFGetG(pixel) + white;
            const unsigned red = TIFFGetR(pixel) + white;
            dst[0] = (unsigned char)(blue > 255u ? 255u : blue);
            dst[1] = (unsigned char)(green > 255u ? 255u : green);
            dst[2] = (unsigned char)(red > 255u ? 255u : red);
        }
    }

    module_fill_header(d->header, (uint32_t)width, (uint32_t)height, 24u, stride, 0u);
    return module_hand_over(&d->header, &d->pixels, bitmapInfo, bitmapBits);
}

int32_t GetPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                   SpiProgressCallback progress, int32_t callbackData)
{
    struct Decoding d;
    int32_t result;
    (void)progress;
    (void)callbackData;
    if (!bitmapInfo || !bitmapBits)
        return ResultNotImplemented;
    begin(&d);
    result = start(&d, source, offset, flag, 1);
    if (result == ResultOk)
        result = decode(&d, bitmapInfo, bitmapBits);
    finish(&d);
    return result;
}
