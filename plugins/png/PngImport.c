/*
 * PNG import module. Decodes PNG files through libpng into the
 * device-independent bitmap the host expects: palette and grey pictures
 * without transparency as 8-bit pictures with a colour table, everything else
 * as 24-bit pictures, with transparent pixels laid over white (the colour of
 * the thumbnail cells and of an empty viewer).
 */
#include "ModuleSupport.h"

#include <png.h>
#include <setjmp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* Densest PNG data: deflate codes at most 1032 bytes per byte of input, and a
 * byte holds at most eight 1-bit pixels. */
#define MAX_PIXELS_PER_BYTE (1032u * 8u)

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    return module_plugin_info(infoNumber, buffer, bufferLength,
                              "Pelandor PNG import (libpng " PNG_LIBPNG_VER_STRING ")", "*.png", "PNG");
}

int32_t IsSupported(const char *path, uint32_t data)
{
    png_byte signature[8];
    (void)path;
    return module_read_signature(data, signature, sizeof signature)
           && png_sig_cmp(signature, 0, sizeof signature) == 0;
}

/* Everything one decoding owns, released by finish() on every path. */
struct Decoding {
    FILE *file;
    off_t fileSize;
    uint64_t dataBytes; /* bytes of the file from the picture's offset on */
    png_structp png;
    png_infop info;
    unsigned char *header;
    unsigned char *pixels;
    unsigned char *scratch;
    png_bytep *rows;
};

static void finish(struct Decoding *d)
{
    if (d->png)
        png_destroy_read_struct(&d->png, d->info ? &d->info : NULL, NULL);
    if (d->file)
        fclose(d->file);
    free(d->header);
    free(d->pixels);
    free(d->scratch);
    free(d->rows);
}

/* Problems are reported through the result code, never on the console. */
static void warning_ignored(png_structp png, png_const_charp message)
{
    (void)png;
    (void)message;
}

static void error_to_result(png_structp png, png_const_charp message)
{
    (void)message;
    png_longjmp(png, 1);
}

/* Opens the file at `offset` and reads the PNG header; ResultOk or an error. */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag)
{
    png_byte signature[8];
    const int32_t result = module_open_stream(source, offset, flag, &d->file, &d->fileSize);
    if (result != ResultOk)
        return result;
    if (d->fileSize <= offset)
        return ResultUnknownFormat;
    d->dataBytes = (uint64_t)(d->fileSize - offset);
    if (fread(signature, 1, sizeof signature, d->file) != sizeof signature
        || png_sig_cmp(signature, 0, sizeof signature) != 0)
        return ResultUnknownFormat;
    d->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, NULL, error_to_result, warning_ignored);
    if (!d->png)
        return ResultNoMemory;
    d->info = png_create_info_struct(d->png);
    if (!d->info)
        return ResultNoMemory;
    return ResultOk;
}

static int32_t read_header(struct Decoding *d)
{
    png_uint_32 width;
    png_uint_32 height;
    if (setjmp(png_jmpbuf(d->png)))
        return ResultBrokenData;
    png_init_io(d->png, d->file);
    png_set_sig_bytes(d->png, 8);
    png_set_user_limits(d->png, MODULE_MAX_SIDE, MODULE_MAX_SIDE);
    /* Only the chunks the picture needs are kept: every chunk libpng knows
     * except the header, palette, transparency and data is skipped without
     * being stored (libpng would otherwise allocate the length a text or
     * palette-suggestion chunk claims, up to 2 GiB, before reading it), and
     * of the rest only the pixel density is read. */
    png_set_keep_unknown_chunks(d->png, PNG_HANDLE_CHUNK_NEVER, NULL, -1);
    png_set_keep_unknown_chunks(d->png, PNG_HANDLE_CHUNK_AS_DEFAULT, (png_const_bytep) "pHYs", 1);
    png_read_info(d->png, d->info);
    width = png_get_image_width(d->png, d->info);
    height = png_get_image_height(d->png, d->info);
    if (width == 0 || height == 0 || module_too_many_pixels(width, height)
        || module_too_dense(width, height, d->dataBytes, MAX_PIXELS_PER_BYTE))
        return ResultBrokenData;
    return ResultOk;
}

int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    struct Decoding d;
    int32_t result;
    memset(&d, 0, sizeof d);
    result = start(&d, source, offset, flag);
    if (result == ResultOk)
        result = read_header(&d);
    if (result == ResultOk && info) {
        const int channels = png_get_channels(d.png, d.info);
        const int depth = png_get_bit_depth(d.png, d.info);
        png_uint_32 xDensity = png_get_x_pixels_per_meter(d.png, d.info);
        png_uint_32 yDensity = png_get_y_pixels_per_meter(d.png, d.info);
        memset(info, 0, sizeof *info);
        info->width = (int32_t)png_get_image_width(d.png, d.info);
        info->height = (int32_t)png_get_image_height(d.png, d.info);
        info->xDensity = (uint16_t)(xDensity > 0xFFFF ? 0xFFFF : xDensity);
        info->yDensity = (uint16_t)(yDensity > 0xFFFF ? 0xFFFF : yDensity);
        info->bitDepth = (int16_t)(channels * depth);
    }
    finish(&d);
    return result;
}

/* Sets the transformations; returns whether the result uses a colour table. */
static int choose_layout(struct Decoding *d, png_color table[256])
{
    const int type = png_get_color_type(d->png, d->info);
    const int depth = png_get_bit_depth(d->png, d->info);
    const int transparent = png_get_valid(d->png, d->info, PNG_INFO_tRNS) != 0;
    int indexed = 0;
    int i;

    png_set_scale_16(d->png);
    if (type == PNG_COLOR_TYPE_PALETTE && !transparent) {
        png_colorp palette = NULL;
        int count = 0;
        png_set_packing(d->png);
        memset(table, 0, 256 * sizeof *table);
        if (png_get_PLTE(d->png, d->info, &palette, &count) && palette) {
            for (i = 0; i < count && i < 256; ++i)
                table[i] = palette[i];
        }
        indexed = 1;
    } else if (type == PNG_COLOR_TYPE_GRAY && !transparent) {
        if (depth < 8)
            png_set_expand_gray_1_2_4_to_8(d->png);
        for (i = 0; i < 256; ++i)
            table[i].red = table[i].green = table[i].blue = (png_byte)i;
        indexed = 1;
    } else {
        png_set_expand(d->png);
        png_set_gray_to_rgb(d->png);
        png_set_bgr(d->png);
    }
    png_set_interlace_handling(d->png);
    png_read_update_info(d->png, d->info);
    return indexed;
}

static int32_t decode(struct Decoding *d, SpiHandle *bitmapInfo, SpiHandle *bitmapBits)
{
    png_color table[256];
    png_uint_32 width;
    png_uint_32 height;
    size_t stride;
    size_t rowBytes;
    int channels;
    int indexed;
    png_uint_32 y;

    if (setjmp(png_jmpbuf(d->png)))
        return ResultBrokenData;
    indexed = choose_layout(d, table);
    width = png_get_image_width(d->png, d->info);
    height = png_get_image_height(d->png, d->info);
    channels = png_get_channels(d->png, d->info);
    rowBytes = png_get_rowbytes(d->png, d->info);
    if ((indexed && channels != 1) || (!indexed && channels != 3 && channels != 4)
        || rowBytes != (size_t)width * (size_t)channels)
        return ResultBrokenData;

    stride = module_stride(width, indexed ? 8u : 24u);
    if (!module_allocate_bitmap(&d->header, &d->pixels, indexed ? 256u : 0u, stride, height))
        return ResultNoMemory;
    d->rows = calloc(height, sizeof *d->rows);
    if (channels == 4)
        d->scratch = malloc((size_t)height * rowBytes);
    if (!d->rows || (channels == 4 && !d->scratch))
        return ResultNoMemory;

    /* Bottom-up rows: picture row y is stored as row height - 1 - y. */
    for (y = 0; y < height; ++y) {
        d->rows[y] = channels == 4 ? d->scratch + (size_t)y * rowBytes
                                   : d->pixels + (size_t)(height - 1 - y) * stride;
    }
    png_read_image(d->png, d->rows);
    png_read_end(d->png, NULL);

    if (channels == 4) {
        for (y = 0; y < height; ++y)
            module_over_white(d->rows[y], d->pixels + (size_t)(height - 1 - y) * stride, width);
    }

    module_fill_header(d->header, width, height, indexed ? 8u : 24u, stride, indexed ? 256u : 0u);
    if (indexed) {
        int i;
        for (i = 0; i < 256; ++i) {
            d->header[40 + 4 * i] = table[i].blue;
            d->header[41 + 4 * i] = table[i].green;
            d->header[42 + 4 * i] = table[i].red;
        }
    }
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
    result = start(&d, source, offset, flag);
    if (result == ResultOk)
        result = read_header(&d);
    if (result == ResultOk)
        result = decode(&d, bitmapInfo, bitmapBits);
    finish(&d);
    return result;
}
