/*
 * WebP import module. Decodes lossy and lossless WebP files through libwebp,
 * and the first frame of animated ones through its animation decoder, into a
 * 24-bit device-independent bitmap with transparent pixels laid over white
 * (the colour of the thumbnail cells and of an empty viewer).
 */
#include "ModuleSupport.h"

#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>
#include <webp/decode.h>
#include <webp/demux.h>

/* Bytes read to learn a picture's size; more only when its header runs on. */
#define HEADER_PREFIX 4096u

/* Densest lossy (VP8) data: every macroblock of 256 pixels codes its luma and
 * chroma prediction modes with the fixed key-frame probabilities, at least
 * about 1.7 bits, so fewer than 1300 pixels a byte; rounded up to 2048.
 * Lossless (VP8L) data has no such floor (a picture of one colour needs no
 * bits per pixel at all), nor has an animation's canvas, which its frames
 * need not cover; libwebp fills a whole canvas, twice, before the first frame.
 * For those the bound is a choice, not the format's: 65536 pixels a byte, so
 * that a picture of 2^28 pixels needs a file of at least 4 KiB. Only pictures
 * of one flat colour, or nearly, come that dense. */
#define MAX_LOSSY_PIXELS_PER_BYTE 2048u
#define MAX_OTHER_PIXELS_PER_BYTE 65536u

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    return module_plugin_info(infoNumber, buffer, bufferLength, "Pelandor WebP import (libwebp)", "*.webp", "WebP");
}

/* A RIFF container holding WebP data. */
static int is_webp_signature(const unsigned char *bytes)
{
    return memcmp(bytes, "RIFF", 4) == 0 && memcmp(bytes + 8, "WEBP", 4) == 0;
}

int32_t IsSupported(const char *path, uint32_t data)
{
    unsigned char signature[12];
    (void)path;
    return module_read_signature(data, signature, sizeof signature) && is_webp_signature(signature);
}

/* Everything one decoding owns, released by finish() on every path. */
struct Decoding {
    int fd;
    off_t base;
    uint64_t available; /* bytes of the RIFF container present in the file */
    unsigned char *data;
    size_t size;
    WebPBitstreamFeatures features;
    WebPAnimDecoder *animation;
    unsigned char *scratch;
    unsigned char *header;
    unsigned char *pixels;
};

static void finish(struct Decoding *d)
{
    if (d->animation)
        WebPAnimDecoderDelete(d->animation);
    if (d->fd >= 0)
        close(d->fd);
    free(d->data);
    free(d->scratch);
    free(d->header);
    free(d->pixels);
}

/* Opens the file at `offset` and checks the container header; `available`
 * is the container's size as far as the file holds it. */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag)
{
    unsigned char signature[12];
    off_t fileSize = 0;
    uint64_t container;
    uint64_t rest;
    const int32_t result = module_open_file(source, offset, flag, &d->fd, &fileSize);
    if (result != ResultOk)
        return result;
    if (fileSize < offset + (off_t)sizeof signature || !module_read_at(d->fd, signature, sizeof signature, offset)
        || !is_webp_signature(signature))
        return ResultUnknownFormat;
    container = 8u + ((uint64_t)signature[4] | (uint64_t)signature[5] << 8 | (uint64_t)signature[6] << 16
                      | (uint64_t)signature[7] << 24);
    rest = (uint64_t)(fileSize - offset);
    d->base = offset;
    d->available = container < rest ? container : rest;
    return ResultOk;
}

/* Reads the first `length` bytes of the container (all of it when less). */
static int32_t load(struct Decoding *d, uint64_t length)
{
    if (length > d->available)
        length = d->available;
    if (length > (size_t)-1)
        return ResultNoMemory;
    if (d->data && d->size == length)
        return ResultOk;
    free(d->data);
    d->size = (size_t)length;
    d->data = malloc(d->size);
    if (!d->data)
        return ResultNoMemory;
    if (!module_read_at(d->fd, d->data, d->size, d->base))
        return ResultReadError;
    return ResultOk;
}

/* Reads the picture's features from as little of the file as they need. */
static int32_t read_features(struct Decoding *d)
{
    VP8StatusCode status;
    int32_t result = load(d, HEADER_PREFIX);
    if (result != ResultOk)
        return result;
    status = WebPGetFeatures(d->data, d->size, &d->features);
    if (status == VP8_STATUS_NOT_ENOUGH_DATA && d->size < d->available) {
        result = load(d, d->available);
        if (result != ResultOk)
            return result;
        status = WebPGetFeatures(d->data, d->size, &d->features);
    }
    if (status == VP8_STATUS_OUT_OF_MEMORY)
        return ResultNoMemory;
    if (status != VP8_STATUS_OK || d->features.width <= 0 || d->features.height <= 0
        || module_too_many_pixels((uint64_t)d->features.width, (uint64_t)d->features.height))
        return ResultBrokenData;
    if (module_too_dense((uint64_t)d->features.width, (uint64_t)d->features.height, d->available,
                         d->features.format == 1 && !d->features.has_animation ? MAX_LOSSY_PIXELS_PER_BYTE
                                                                               : MAX_OTHER_PIXELS_PER_BYTE))
        return ResultBrokenData;
    return ResultOk;
}

int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    struct Decoding d;
    int32_t result;
    memset(&d, 0, sizeof d);
    d.fd = -1;
    result = start(&d, source, offset, flag);
    if (result == ResultOk)
        result = read_features(&d);
    if (result == ResultOk && info) {
        memset(info, 0, sizeof *info);
        info->width = d.features.width;
        info->height = d.features.height;
        info->bitDepth = d.features.has_alpha ? 32 : 24;
    }
    finish(&d);
    return result;
}

/* Decodes the picture, or an animation's first frame on its canvas, into
 * top-down blue-green-red-alpha rows; returns them or NULL. */
static const unsigned char *decode_rows(struct Decoding *d, size_t width, size_t height)
{
    if (d->features.has_animation) {
        WebPAnimDecoderOptions options;
        WebPAnimInfo animation;
        WebPData data;
        uint8_t *frame = NULL;
        int timestamp = 0;
        if (!WebPAnimDecoderOptionsInit(&options))
            return NULL;
        options.color_mode = MODE_BGRA;
        options.use_threads = 0;
        data.bytes = d->data;
        data.size = d->size;
        d->animation = WebPAnimDecoderNew(&data, &options);
        if (!d->animation || !WebPAnimDecoderGetInfo(d->animation, &animation)
            || animation.canvas_width != width || animation.canvas_height != height
            || !WebPAnimDecoderGetNext(d->animation, &frame, &timestamp))
            return NULL;
        return frame;
    }
    d->scratch = malloc(width * height * 4u);
    if (!d->scratch)
        return NULL;
    return WebPDecodeBGRAInto(d->data, d->size, d->scratch, width * height * 4u, (int)(width * 4u));
}

static int32_t decode(struct Decoding *d, SpiHandle *bitmapInfo, SpiHandle *bitmapBits)
{
    const size_t width = (size_t)d->features.width;
    const size_t height = (size_t)d->features.height;
    const size_t stride = module_stride(width, 24u);
    const unsigned char *rows;
    int32_t result;
    size_t y;

    result = load(d, d->available);
    if (result != ResultOk)
        return result;
    if (!module_allocate_bitmap(&d->header, &d->pixels, 0u, stride, height))
        return ResultNoMemory;
    rows = decode_rows(d, width, height);
    if (!rows)
        return ResultBrokenData;

    /* Bottom-up rows: picture row y is stored as row height - 1 - y. */
    for (y = 0; y < height; ++y)
        module_over_white(rows + y * width * 4u, d->pixels + (height - 1 - y) * stride, width);

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
    d.fd = -1;
    result = start(&d, source, offset, flag);
    if (result == ResultOk)
        result = read_features(&d);
    if (result == ResultOk)
        result = decode(&d, bitmapInfo, bitmapBits);
    finish(&d);
    return result;
}
