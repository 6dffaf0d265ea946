/*
 * HEIF import module. Decodes the primary picture of a HEIF or HEIC file
 * through libheif, which applies the file's cropping, rotation and mirroring,
 * into a 24-bit device-independent bitmap: deeper samples reduced to 8 bits
 * and transparent pixels laid over white (the colour of the thumbnail cells
 * and of an empty viewer).
 *
 * AVIF files are HEIF files too, but they belong to the AVIF module: this one
 * takes files whose file-type box names an HEVC brand, or the general image
 * brands without an AV1 one. libheif reads the file through a reader of this
 * module that uses pread, so a file is never read whole before its boxes
 * have been checked, and pictures above the host's limits are refused before
 * they are decoded.
 */
#include "IsoGrid.h"
#include "ModuleSupport.h"

#include <libheif/heif.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

/* Bytes of the file-type box looked at by IsSupported. */
#define SIGNATURE_SIZE 64u

/* libheif's bound on a picture's side; set on every context, so that a build
 * of the library with a looser default still refuses larger ones. */
#define MAX_SIDE 32768

/* Pixels a byte a grid's tiles may hold together: as for AVIF, a choice
 * (HEVC too codes a flat picture in next to no bytes), so that a grid of
 * 2^28 pixels needs a file of at least 4 KiB. */
#define GRID_PIXELS_PER_BYTE 65536u

/* What a coded picture's side may exceed its declared side by: its last
 * block of up to 64 pixels, with room to spare. */
#define CODED_PADDING 256

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    return module_plugin_info(infoNumber, buffer, bufferLength, "Pelandor HEIF import (libheif)", "*.heic;*.heif",
                              "HEIF");
}

static const char *const HevcBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "hevm", "hevs", NULL};
static const char *const ImageBrands[] = {"mif1", "msf1", NULL};
static const char *const Av1Brands[] = {"avif", "avis", NULL};

static int is_heif_signature(const unsigned char *bytes, size_t length)
{
    return module_has_brand(bytes, length, HevcBrands)
           || (module_has_brand(bytes, length, ImageBrands) && !module_has_brand(bytes, length, Av1Brands));
}

int32_t IsSupported(const char *path, uint32_t data)
{
    unsigned char signature[SIGNATURE_SIZE];
    (void)path;
    return is_heif_signature(signature, module_read_prefix(data, signature, sizeof signature));
}

/* The file from `base` on, as libheif's reader sees it. */
struct Source {
    int fd;
    off_t base;
    int64_t size;
    int64_t position;
};

static int64_t source_position(void *userdata)
{
    return ((struct Source *)userdata)->position;
}

static int read_source(void *data, size_t size, void *userdata)
{
    struct Source *s = (struct Source *)userdata;
    if (s->position < 0 || s->position > s->size || size > (uint64_t)(s->size - s->position))
        return 1;
    if (size > 0 && !module_read_at(s->fd, data, size, s->base + (off_t)s->position))
        return 1;
    s->position += (int64_t)size;
    return 0;
}

static int seek_source(int64_t position, void *userdata)
{
    struct Source *s = (struct Source *)userdata;
    if (position < 0 || position > s->size)
        return 1;
    s->position = position;
    return 0;
}

static enum heif_reader_grow_status wait_for_size(int64_t target, void *userdata)
{
    return target > ((struct Source *)userdata)->size ? heif_reader_grow_status_size_beyond_eof
                                                      : heif_reader_grow_status_size_reached;
}

static const struct heif_reader Reader = {1, source_position, read_source, seek_source, wait_for_size};

/* Everything one decoding owns, released by finish() on every path. */
struct Decoding {
    struct Source source;
    struct heif_context *context;
    struct heif_image_handle *handle;
    struct heif_decoding_options *options;
    struct heif_image *image;
    unsigned char *header;
    unsigned char *pixels;
};

static void finish(struct Decoding *d)
{
    if (d->image)
        heif_image_release(d->image);
    if (d->options)
        heif_decoding_options_free(d->options);
    if (d->handle)
        heif_image_handle_release(d->handle);
    if (d->context)
        heif_context_free(d->context);
    if (d->source.fd >= 0)
        close(d->source.fd);
    free(d->header);
    free(d->pixels);
}

static int larger(int a, int b)
{
    return a > b ? a : b;
}

/* Whether a picture's stored or shown size is within the host's limits. */
static int acceptable_size(int width, int height)
{
    return width > 0 && height > 0 && !module_too_many_pixels((uint64_t)width, (uint64_t)height);
}

/* Opens the file at `offset`, checks its file-type box and reads its boxes
 * up to the primary picture, whose size is then known and acceptable. */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag)
{
    unsigned char signature[SIGNATURE_SIZE];
    off_t fileSize = 0;
    size_t got;
    struct ModuleGrid grid;
    const int32_t result = module_open_file(source, offset, flag, &d->source.fd, &fileSize);
    if (result != ResultOk)
        return result;
    if (fileSize <= offset)
        return ResultUnknownFormat;
    d->source.base = offset;
    d->source.size = (int64_t)(fileSize - offset);
    got = (uint64_t)d->source.size < sizeof signature ? (size_t)d->source.size : sizeof signature;
    if (!module_read_at(d->source.fd, signature, got, offset) || !is_heif_signature(signature, got))
        return ResultUnknownFormat;
    /* libheif assembles a grid at the size of its grid data, whatever the
     * picture declares (594 bytes declaring 512 x 1 gave 512 x 512), and
     * bounds no tile: both are judged from the boxes first. */
    if (!module_read_grid(d->source.fd, offset, (uint64_t)d->source.size, &grid)
        || !module_grid_acceptable(&grid, (uint64_t)d->source.size, GRID_PIXELS_PER_BYTE))
        return ResultBrokenData;

    d->context = heif_context_alloc();
    if (!d->context)
        return ResultNoMemory;
    heif_context_set_maximum_image_size_limit(d->context, MAX_SIDE);
    heif_context_set_max_decoding_threads(d->context, 0);
    if (heif_context_read_from_reader(d->context, &Reader, &d->source, NULL).code != heif_error_Ok
        || heif_context_get_primary_image_handle(d->context, &d->handle).code != heif_error_Ok)
        return ResultBrokenData;
    if (!acceptable_size(heif_image_handle_get_ispe_width(d->handle), heif_image_handle_get_ispe_height(d->handle))
        || !acceptable_size(heif_image_handle_get_width(d->handle), heif_image_handle_get_height(d->handle)))
        return ResultBrokenData;
    /* A grid picture is assembled at the size its grid data gives, which
     * libheif does not compare with the size the picture declares: an 817-byte
     * file declaring 64 x 64 pixels made it allocate 1.5 GB. From here on no
     * side may exceed the larger declared side by more than a coded picture
     * is padded (HEVC codes whole blocks of up to 64 pixels, before cropping),
     * so the grid cannot either. */
    heif_context_set_maximum_image_size_limit(d->context,
                                              larger(larger(heif_image_handle_get_ispe_width(d->handle),
                                                            heif_image_handle_get_ispe_height(d->handle)),
                                                     larger(heif_image_handle_get_width(d->handle),
                                                            heif_image_handle_get_height(d->handle)))
                                                  + CODED_PADDING);
    return ResultOk;
}

int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    struct Decoding d;
    int32_t result;
    memset(&d, 0, sizeof d);
    d.source.fd = -1;
    result = start(&d, source, offset, flag);
    if (result == ResultOk && info) {
        memset(info, 0, sizeof *info);
        info->width = heif_image_handle_get_width(d.handle);
        info->height = heif_image_handle_get_height(d.handle);
        info->bitDepth = heif_image_handle_has_alpha_channel(d.handle) ? 32 : 24;
    }
    finish(&d);
    return result;
}

static int32_t decode(struct Decoding *d, SpiHandle *bitmapInfo, SpiHandle *bitmapBits)
{
    const int alpha = heif_image_handle_has_alpha_channel(d->handle);
    const unsigned char *rows;
    int rowBytes = 0;
    size_t width;
    size_t height;
    size_t stride;
    size_t y;

    d->options = heif_decoding_options_alloc();
    if (!d->options)
        return ResultNoMemory;
    d->options->convert_hdr_to_8bit = 1;
    if (heif_decode_image(d->handle, &d->image, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, d->options)
            .code
        != heif_error_Ok)
        return ResultBrokenData;
    rows = heif_image_get_plane_readonly(d->image, heif_channel_interleaved, &rowBytes);
    if (!rows || heif_image_get_bits_per_pixel_range(d->image, heif_channel_interleaved) != 8
        || !acceptable_size(heif_image_get_width(d->image, heif_channel_interleaved),
                            heif_image_get_height(d->image, heif_channel_interleaved)))
        return ResultBrokenData;
    width = (size_t)heif_image_get_width(d->image, heif_channel_interleaved);
    height = (size_t)heif_image_get_height(d->image, heif_channel_interleaved);
    /* The picture is the size GetPictureInfo reports, or it is refused. */
    if (width != (size_t)heif_image_handle_get_width(d->handle)
        || height != (size_t)heif_image_handle_get_height(d->handle))
        return ResultBrokenData;
    if (rowBytes <= 0 || (size_t)rowBytes < width * (alpha ? 4u : 3u))
        return ResultBrokenData;

    stride = module_stride(width, 24u);
    if (!module_allocate_bitmap(&d->header, &d->pixels, 0u, stride, height))
        return ResultNoMemory;
    /* Bottom-up rows: picture row y is stored as row height - 1 - y. */
    for (y = 0; y < height; ++y) {
        const unsigned char *row = rows + y * (size_t)rowBytes;
        unsigned char *out = d->pixels + (height - 1 - y) * stride;
        size_t x;
        if (alpha) {
            module_rgba_over_white(row, out, width);
            continue;
        }
        for (x = 0; x < width; ++x, row += 3, out += 3) {
            out[0] = row[2];
            out[1] = row[1];
            out[2] = row[0];
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
    memset(&d, 0, sizeof d);
    d.source.fd = -1;
    result = start(&d, source, offset, flag);
    if (result == ResultOk)
        result = decode(&d, bitmapInfo, bitmapBits);
    finish(&d);
    return result;
}
