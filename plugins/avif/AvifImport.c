/*
 * AVIF import module. Decodes the primary picture of an AVIF file through
 * libavif into a 24-bit device-independent bitmap: deeper samples reduced to
 * 8 bits, transparent pixels laid over white (the colour of the thumbnail
 * cells and of an empty viewer), and the file's clean aperture, rotation and
 * mirroring applied, in that order, which libavif leaves to its caller.
 *
 * libavif reads the file through an I/O object of this module that fetches
 * the byte ranges it asks for with pread, so a file is never read whole
 * before its boxes have been checked, and libavif's own limits on the size
 * of a picture are set to the host's before anything is decoded.
 */
#include "IsoGrid.h"
#include "ModuleSupport.h"

#include <avif/avif.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

/* Bytes of the file-type box looked at by IsSupported. */
#define SIGNATURE_SIZE 64u

/* Largest byte range handed to libavif at once; it asks for whole items. */
#define MAX_READ (1u << 30)

/* AV1 codes a flat picture in next to no bytes (a 414-byte file decoded to
 * 4111 x 64800 pixels, 2.6 GB), so the format has no floor; the bound is a
 * choice, as for lossless WebP: 65536 pixels a byte, so that a picture of
 * 2^28 pixels needs a file of at least 4 KiB. */
#define MAX_PIXELS_PER_BYTE 65536u

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    return module_plugin_info(infoNumber, buffer, bufferLength, "Pelandor AVIF import (libavif)", "*.avif",
                              "AVIF");
}

static const char *const AvifBrands[] = {"avif", "avis", NULL};

int32_t IsSupported(const char *path, uint32_t data)
{
    unsigned char signature[SIGNATURE_SIZE];
    (void)path;
    return module_has_brand(signature, module_read_prefix(data, signature, sizeof signature), AvifBrands);
}

/* The I/O object libavif reads through: the file from `base` on. */
struct Reader {
    avifIO io;
    int fd;
    off_t base;
    uint64_t size;
    unsigned char *buffer;
    size_t capacity;
};

static avifResult read_range(struct avifIO *io, uint32_t readFlags, uint64_t offset, size_t size, avifROData *out)
{
    struct Reader *r = (struct Reader *)io->data;
    if (readFlags != 0 || offset > r->size)
        return AVIF_RESULT_IO_ERROR;
    if (size > r->size - offset)
        size = (size_t)(r->size - offset);
    if (size > MAX_READ)
        return AVIF_RESULT_IO_ERROR;
    if (size > r->capacity) {
        unsigned char *bigger = realloc(r->buffer, size);
        if (!bigger)
            return AVIF_RESULT_OUT_OF_MEMORY;
        r->buffer = bigger;
        r->capacity = size;
    }
    if (size > 0 && !module_read_at(r->fd, r->buffer, size, r->base + (off_t)offset))
        return AVIF_RESULT_IO_ERROR;
    out->data = r->buffer;
    out->size = size;
    return AVIF_RESULT_OK;
}

/* Everything one decoding owns, released by finish() on every path. */
struct Decoding {
    struct Reader reader;
    avifDecoder *decoder;
    avifRGBImage rgb;
    unsigned char *header;
    unsigned char *pixels;
};

/* The part of a decoded picture that is shown, and how it is turned. */
struct View {
    avifCropRect crop;
    size_t width; /* the picture as shown: the crop, turned */
    size_t height;
};

static void finish(struct Decoding *d)
{
    if (d->decoder)
        avifDecoderDestroy(d->decoder);
    if (d->reader.fd >= 0)
        close(d->reader.fd);
    free(d->reader.buffer);
    free(d->rgb.pixels);
    free(d->header);
    free(d->pixels);
}

/* Quarter turns anticlockwise the file asks for (0 to 3). */
static unsigned quarter_turns(const avifImage *image)
{
    return (image->transformFlags & AVIF_TRANSFORM_IROT) ? image->irot.angle & 3u : 0u;
}

/* What of `image` is shown: its clean aperture when it has a sound one, the
 * whole picture otherwise; 0 when the picture is too large. */
static int view_of(const avifImage *image, uint64_t fileBytes, struct View *view)
{
    avifDiagnostics diagnostics;
    memset(&diagnostics, 0, sizeof diagnostics);
    view->crop.x = 0;
    view->crop.y = 0;
    view->crop.width = image->width;
    view->crop.height = image->height;
    if (image->transformFlags & AVIF_TRANSFORM_CLAP) {
        avifCropRect crop;
        if (avifCropRectConvertCleanApertureBox(&crop, &image->clap, image->width, image->height, image->yuvFormat,
                                                &diagnostics)
            && crop.width > 0 && crop.height > 0 && crop.width <= image->width && crop.height <= image->height
            && crop.x <= image->width - crop.width && crop.y <= image->height - crop.height)
            view->crop = crop;
    }
    if (image->width == 0 || image->height == 0 || module_too_many_pixels(image->width, image->height)
        || module_too_dense(image->width, image->height, fileBytes, MAX_PIXELS_PER_BYTE))
        return 0;
    view->width = quarter_turns(image) & 1u ? view->crop.height : view->crop.width;
    view->height = quarter_turns(image) & 1u ? view->crop.width : view->crop.height;
    return 1;
}

/* Opens the file at `offset`, checks its file-type box and parses its
 * boxes; the picture's size is then known, and within the host's limits. */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag, struct View *view)
{
    unsigned char signature[SIGNATURE_SIZE];
    off_t fileSize = 0;
    size_t got;
    const avifImage *image;
    struct ModuleGrid grid;
    int32_t result = module_open_file(source, offset, flag, &d->reader.fd, &fileSize);
    if (result != ResultOk)
        return result;
    if (fileSize <= offset)
        return ResultUnknownFormat;
    d->reader.base = offset;
    d->reader.size = (uint64_t)(fileSize - offset);
    got = d->reader.size < sizeof signature ? (size_t)d->reader.size : sizeof signature;
    if (!module_read_at(d->reader.fd, signature, got, offset) || !module_has_brand(signature, got, AvifBrands))
        return ResultUnknownFormat;
    /* libavif bounds the picture, not the tiles of a grid: a 1 KB file's
     * tiles declared 128 x 1048448 pixels each. */
    if (!module_read_grid(d->reader.fd, offset, d->reader.size, &grid)
        || !module_grid_acceptable(&grid, d->reader.size, MAX_PIXELS_PER_BYTE))
        return ResultBrokenData;

    d->decoder = avifDecoderCreate();
    if (!d->decoder)
        return ResultNoMemory;
    d->decoder->maxThreads = 1;
    d->decoder->imageSizeLimit = MODULE_MAX_PIXELS;
    d->decoder->imageDimensionLimit = MODULE_MAX_SIDE;
    d->decoder->ignoreExif = AVIF_TRUE;
    d->decoder->ignoreXMP = AVIF_TRUE;
    d->reader.io.read = read_range;
    d->reader.io.sizeHint = d->reader.size;
    d->reader.io.persistent = AVIF_FALSE;
    d->reader.io.data = &d->reader;
    /* The reader lives in the decoding, not in the decoder: no destroy. */
    avifDecoderSetIO(d->decoder, &d->reader.io);
    if (avifDecoderParse(d->decoder) != AVIF_RESULT_OK)
        return ResultBrokenData;

    image = d->decoder->image;
    return view_of(image, d->reader.size, view) ? ResultOk : ResultBrokenData;
}

int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    struct Decoding d;
    struct View view;
    int32_t result;
    memset(&d, 0, sizeof d);
    d.reader.fd = -1;
    result = start(&d, source, offset, flag, &view);
    if (result == ResultOk && info) {
        memset(info, 0, sizeof *info);
        info->width = (int32_t)view.width;
        info->height = (int32_t)view.height;
        info->bitDepth = d.decoder->alphaPresent ? 32 : 24;
    }
    finish(&d);
    return result;
}

/* Where the pixel (x, y) of a `width` by `height` crop lands once turned and
 * mirrored: rotation first, then mirroring. */
static void place(const avifImage *image, size_t x, size_t y, size_t width, size_t height, size_t *outX,
                  size_t *outY)
{
    const unsigned turns = quarter_turns(image);
    const size_t shownWidth = turns & 1u ? height : width;
    const size_t shownHeight = turns & 1u ? width : height;
    switch (turns) {
    case 1:
        *outX = y;
        *outY = width - 1 - x;
        break;
    case 2:
        *outX = width - 1 - x;
        *outY = height - 1 - y;
        break;
    case 3:
        *outX = height - 1 - y;
        *outY = x;
        break;
    default:
        *outX = x;
        *outY = y;
        break;
    }
    if (image->transformFlags & AVIF_TRANSFORM_IMIR) {
        if (image->imir.mode == 0)
            *outY = shownHeight - 1 - *outY;
        else
            *outX = shownWidth - 1 - *outX;
    }
}

/* Decodes the picture and hands the host its shown part as a bitmap. The
 * size is taken again from the decoded picture, which is what the rows
 * hold; one that is not the size parsed before (`parsed`, what
 * GetPictureInfo reports) is refused. */
static int32_t decode(struct Decoding *d, const struct View *parsed, SpiHandle *bitmapInfo, SpiHandle *bitmapBits)
{
    const avifImage *image;
    struct View view;
    size_t rowBytes;
    size_t rgbSize;
    size_t stride;
    size_t x;
    size_t y;

    if (avifDecoderNextImage(d->decoder) != AVIF_RESULT_OK)
        return ResultBrokenData;
    image = d->decoder->image;
    if (!view_of(image, d->reader.size, &view) || view.width != parsed->width || view.height != parsed->height)
        return ResultBrokenData;
    stride = module_stride(view.width, 24u);
    if (!module_size_product(image->width, 4u, &rowBytes) || !module_size_product(rowBytes, image->height, &rgbSize)
        || rowBytes > UINT32_MAX)
        return ResultNoMemory;

    avifRGBImageSetDefaults(&d->rgb, image);
    d->rgb.format = AVIF_RGB_FORMAT_BGRA;
    d->rgb.depth = 8;
    d->rgb.rowBytes = (uint32_t)rowBytes;
    d->rgb.pixels = malloc(rgbSize);
    if (!d->rgb.pixels)
        return ResultNoMemory;
    if (avifImageYUVToRGB(image, &d->rgb) != AVIF_RESULT_OK)
        return ResultBrokenData;
    if (!module_allocate_bitmap(&d->header, &d->pixels, 0u, stride, view.height))
        return ResultNoMemory;

    for (y = 0; y < view.crop.height; ++y) {
        const unsigned char *row = d->rgb.pixels + (view.crop.y + y) * rowBytes + (size_t)view.crop.x * 4u;
        if (!(image->transformFlags & (AVIF_TRANSFORM_IROT | AVIF_TRANSFORM_IMIR))) {
            /* Bottom-up rows: picture row y is stored as row height - 1 - y. */
            module_over_white(row, d->pixels + (view.height - 1 - y) * stride, view.crop.width);
            continue;
        }
        for (x = 0; x < view.crop.width; ++x) {
            size_t shownX;
            size_t shownY;
            place(image, x, y, view.crop.width, view.crop.height, &shownX, &shownY);
            module_over_white(row + x * 4u, d->pixels + (view.height - 1 - shownY) * stride + shownX * 3u, 1u);
        }
    }

    module_fill_header(d->header, (uint32_t)view.width, (uint32_t)view.height, 24u, stride, 0u);
    return module_hand_over(&d->header, &d->pixels, bitmapInfo, bitmapBits);
}

int32_t GetPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                   SpiProgressCallback progress, int32_t callbackData)
{
    struct Decoding d;
    struct View view;
    int32_t result;
    (void)progress;
    (void)callbackData;
    if (!bitmapInfo || !bitmapBits)
        return ResultNotImplemented;
    memset(&d, 0, sizeof d);
    d.reader.fd = -1;
    result = start(&d, source, offset, flag, &view);
    if (result == ResultOk)
        result = decode(&d, &view, bitmapInfo, bitmapBits);
    finish(&d);
    return result;
}
