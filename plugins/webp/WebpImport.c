/*
 * WebP import module. Decodes lossy and lossless WebP files through libwebp,
 * and the first frame of animated ones through its animation decoder, into a
 * 24-bit device-independent bitmap with transparent pixels laid over white
 * (the colour of the thumbnail cells and of an empty viewer).
 */
#include "pelandor/spi_plugin.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>
#include <webp/decode.h>
#include <webp/demux.h>

/* Error codes of this module. */
enum {
    ResultOk = 0,
    ResultNotImplemented = -1,
    ResultUnknownFormat = 2,
    ResultBrokenData = 3,
    ResultNoMemory = 4,
    ResultReadError = 6,
};

/* Largest pixel count handed to the host. */
#define MAX_PIXELS (1u << 28)

/* Bytes read to learn a picture's size; more only when its header runs on. */
#define HEADER_PREFIX 4096u

static int32_t copy_text(const char *text, char *buffer, int32_t length)
{
    size_t n = strlen(text);
    if (!buffer || length <= 0)
        return 0;
    if (n >= (size_t)length)
        n = (size_t)length - 1;
    memcpy(buffer, text, n);
    buffer[n] = '\0';
    return (int32_t)n;
}

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    switch (infoNumber) {
    case 0:
        return copy_text("00IN", buffer, bufferLength);
    case 1:
        return copy_text("Pelandor WebP import (libwebp)", buffer, bufferLength);
    case 2:
        return copy_text("*.webp", buffer, bufferLength);
    case 3:
        return copy_text("WebP", buffer, bufferLength);
    default:
        return 0;
    }
}

/* A RIFF container holding WebP data. */
static int is_webp_signature(const unsigned char *bytes)
{
    return memcmp(bytes, "RIFF", 4) == 0 && memcmp(bytes + 8, "WEBP", 4) == 0;
}

int32_t IsSupported(const char *path, uint32_t data)
{
    unsigned char signature[12];
    size_t got = 0;
    (void)path;
    while (got < sizeof signature) {
        const ssize_t n = read((int)data, signature + got, sizeof signature - got);
        if (n <= 0)
            return 0;
        got += (size_t)n;
    }
    return is_webp_signature(signature);
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

static int read_fully(int fd, unsigned char *buffer, size_t length, off_t at)
{
    size_t done = 0;
    while (done < length) {
        const ssize_t n = pread(fd, buffer + done, length - done, at + (off_t)done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return 0;
        done += (size_t)n;
    }
    return 1;
}

/* Opens the file at `offset` and checks the container header; `available`
 * is the container's size as far as the file holds it. */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag)
{
    unsigned char signature[12];
    struct stat status;
    uint64_t container;
    uint64_t rest;
    if (flag != SPI_INPUT_FILE)
        return ResultNotImplemented;
    if (!source || offset < 0)
        return ResultReadError;
    d->fd = open(source, O_RDONLY | O_CLOEXEC);
    if (d->fd < 0 || fstat(d->fd, &status) != 0 || !S_ISREG(status.st_mode))
        return ResultReadError;
    if (status.st_size < offset + (off_t)sizeof signature || !read_fully(d->fd, signature, sizeof signature, offset)
        || !is_webp_signature(signature))
        return ResultUnknownFormat;
    container = 8u + ((uint64_t)signature[4] | (uint64_t)signature[5] << 8 | (uint64_t)signature[6] << 16
                      | (uint64_t)signature[7] << 24);
    rest = (uint64_t)(status.st_size - offset);
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
    if (!read_fully(d->fd, d->data, d->size, d->base))
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
        || (uint64_t)d->features.width * (uint64_t)d->features.height > MAX_PIXELS)
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

static void put16(unsigned char *p, unsigned v)
{
    p[0] = (unsigned char)v;
    p[1] = (unsigned char)(v >> 8);
}

static void put32(unsigned char *p, uint32_t v)
{
    put16(p, v & 0xFFFF);
    put16(p + 2, v >> 16);
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
    const size_t stride = ((width * 24u + 31u) / 32u) * 4u;
    const unsigned char *rows;
    int32_t result;
    size_t y;

    result = load(d, d->available);
    if (result != ResultOk)
        return result;
    d->header = calloc(1, 40);
    d->pixels = calloc(height, stride);
    if (!d->header || !d->pixels)
        return ResultNoMemory;
    rows = decode_rows(d, width, height);
    if (!rows)
        return ResultBrokenData;

    /* Bottom-up rows: picture row y is stored as row height - 1 - y. */
    for (y = 0; y < height; ++y) {
        const unsigned char *src = rows + y * width * 4u;
        unsigned char *dst = d->pixels + (height - 1 - y) * stride;
        size_t x;
        for (x = 0; x < width; ++x, src += 4, dst += 3) {
            const unsigned alpha = src[3];
            int c;
            for (c = 0; c < 3; ++c)
                dst[c] = (unsigned char)((src[c] * alpha + 255u * (255u - alpha) + 127u) / 255u);
        }
    }

    put32(d->header, 40);
    put32(d->header + 4, (uint32_t)width);
    put32(d->header + 8, (uint32_t)height);
    put16(d->header + 12, 1);
    put16(d->header + 14, 24);
    put32(d->header + 20, (uint32_t)(stride * height));
    *bitmapInfo = d->header;
    *bitmapBits = d->pixels;
    d->header = NULL;
    d->pixels = NULL;
    return ResultOk;
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
