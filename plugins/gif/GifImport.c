/*
 * GIF import module. Decodes the first picture of a GIF file through giflib
 * into an 8-bit device-independent bitmap with that picture's colour table.
 * The bitmap covers the file's logical screen; the transparent colour and the
 * parts of the screen the first picture leaves uncovered show as white (the
 * colour of the thumbnail cells and of an empty viewer). Later pictures of an
 * animation are not read at all.
 */
#include "ModuleSupport.h"

#include <gif_lib.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define TEXT_OF(x) #x
#define NUMBER_TEXT(x) TEXT_OF(x)
#define GIFLIB_TEXT NUMBER_TEXT(GIFLIB_MAJOR) "." NUMBER_TEXT(GIFLIB_MINOR) "." NUMBER_TEXT(GIFLIB_RELEASE)

/* Densest GIF data: an LZW code of at least 12 bits once the table is full
 * stands for a string of at most 4094 pixels, about 2730 pixels per byte.
 * The bound is rounded up to 4096 and taken for the whole screen, whose
 * uncovered part costs no data at all, so a tiny file cannot claim a screen
 * of 2^28 pixels while a real one, whose pictures cover its screen, always
 * passes. */
#define MAX_PIXELS_PER_BYTE 4096u

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    return module_plugin_info(infoNumber, buffer, bufferLength, "Pelandor GIF import (giflib " GIFLIB_TEXT ")",
                              "*.gif", "GIF");
}

static int is_gif_signature(const unsigned char *bytes)
{
    return memcmp(bytes, "GIF87a", 6) == 0 || memcmp(bytes, "GIF89a", 6) == 0;
}

int32_t IsSupported(const char *path, uint32_t data)
{
    unsigned char signature[6];
    (void)path;
    return module_read_signature(data, signature, sizeof signature) && is_gif_signature(signature);
}

/* Everything one decoding owns, released by finish() on every path. */
struct Decoding {
    FILE *file;
    off_t fileSize;
    uint64_t dataBytes; /* bytes of the file from the picture's offset on */
    GifFileType *gif;
    unsigned char *header;
    unsigned char *pixels;
    GifPixelType *line;
    int transparent;  /* transparent colour index of the first picture, or -1 */
    int canvasWidth;  /* logical screen, grown to hold the first picture */
    int canvasHeight;
};

static void finish(struct Decoding *d)
{
    int error = 0;
    if (d->gif)
        DGifCloseFile(d->gif, &error);
    if (d->file)
        fclose(d->file);
    free(d->header);
    free(d->pixels);
    free(d->line);
}

/* giflib's input: the stream of the file opened at the wanted offset. */
static int read_input(GifFileType *gif, GifByteType *buffer, int length)
{
    if (length <= 0)
        return 0;
    return (int)fread(buffer, 1, (size_t)length, (FILE *)gif->UserData);
}

/* Opens the file at `offset` and reads the screen descriptor. */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag)
{
    unsigned char signature[6];
    int error = 0;
    const int32_t result = module_open_stream(source, offset, flag, &d->file, &d->fileSize);
    if (result != ResultOk)
        return result;
    if (d->fileSize <= offset)
        return ResultUnknownFormat;
    d->dataBytes = (uint64_t)(d->fileSize - offset);
    if (fread(signature, 1, sizeof signature, d->file) != sizeof signature || !is_gif_signature(signature)
        || fseek(d->file, offset, SEEK_SET) != 0)
        return ResultUnknownFormat;
    d->gif = DGifOpen(d->file, read_input, &error);
    if (!d->gif)
        return error == D_GIF_ERR_NOT_ENOUGH_MEM ? ResultNoMemory : ResultBrokenData;
    return ResultOk;
}

/* Skips the extensions before the first picture, keeping its transparent
 * colour, and reads that picture's descriptor. */
static int32_t read_first_descriptor(struct Decoding *d)
{
    GifRecordType type = UNDEFINED_RECORD_TYPE;
    const GifImageDesc *image = &d->gif->Image;
    int right;
    int bottom;

    d->transparent = NO_TRANSPARENT_COLOR;
    while (type != IMAGE_DESC_RECORD_TYPE) {
        int code = 0;
        GifByteType *block = NULL;
        if (DGifGetRecordType(d->gif, &type) == GIF_ERROR)
            return ResultBrokenData;
        switch (type) {
        case IMAGE_DESC_RECORD_TYPE:
            if (DGifGetImageDesc(d->gif) == GIF_ERROR)
                return ResultBrokenData;
            break;
        case EXTENSION_RECORD_TYPE:
            if (DGifGetExtension(d->gif, &code, &block) == GIF_ERROR)
                return ResultBrokenData;
            if (code == GRAPHICS_EXT_FUNC_CODE && block) {
                GraphicsControlBlock control;
                if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK)
                    d->transparent = control.TransparentColor;
            }
            while (block) {
                if (DGifGetExtensionNext(d->gif, &block) == GIF_ERROR)
                    return ResultBrokenData;
            }
            break;
        default:
            /* The trailer (or anything else) before any picture. */
            return ResultBrokenData;
        }
    }

    if (image->Width <= 0 || image->Height <= 0 || image->Left < 0 || image->Top < 0)
        return ResultBrokenData;
    /* A picture reaching past the logical screen (or a screen of size 0)
     * grows the bitmap rather than losing pixels. */
    right = image->Left + image->Width;
    bottom = image->Top + image->Height;
    d->canvasWidth = d->gif->SWidth > right ? d->gif->SWidth : right;
    d->canvasHeight = d->gif->SHeight > bottom ? d->gif->SHeight : bottom;
    if (module_too_many_pixels((uint64_t)d->canvasWidth, (uint64_t)d->canvasHeight)
        || module_too_dense((uint64_t)d->canvasWidth, (uint64_t)d->canvasHeight, d->dataBytes, MAX_PIXELS_PER_BYTE))
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
        result = read_first_descriptor(&d);
    if (result == ResultOk && info) {
        memset(info, 0, sizeof *info);
        info->width = d.canvasWidth;
        info->height = d.canvasHeight;
        info->bitDepth = 8;
    }
    finish(&d);
    return result;
}

/* Fills the 256-entry colour table (blue, green, red, 0) and returns the index
 * that shows white where the picture leaves the screen uncovered. */
static int fill_table(const struct Decoding *d, unsigned char *table)
{
    const ColorMapObject *map = d->gif->Image.ColorMap ? d->gif->Image.ColorMap : d->gif->SColorMap;
    int count = 0;
    int i;
    if (map && map->Colors) {
        count = map->ColorCount < 256 ? map->ColorCount : 256;
        for (i = 0; i < count; ++i) {
            table[4 * i] = map->Colors[i].Blue;
            table[4 * i + 1] = map->Colors[i].Green;
            table[4 * i + 2] = map->Colors[i].Red;
        }
    } else {
        /* A file without any colour table: show the indexes as grey levels. */
        for (i = 0; i < 256; ++i)
            table[4 * i] = table[4 * i + 1] = table[4 * i + 2] = (unsigned char)i;
        count = 256;
    }
    if (d->transparent >= 0 && d->transparent < 256) {
        memset(table + 4 * d->transparent, 255, 3);
        return d->transparent;
    }
    if (count < 256) {
        memset(table + 4 * count, 255, 3);
        return count;
    }
    /* A full table has no free entry: the background colour stands in. */
    return map ? d->gif->SBackGroundColor & 0xFF : 255;
}

static int32_t decode(struct Decoding *d, SpiHandle *bitmapInfo, SpiHandle *bitmapBits)
{
    /* Rows of an interlaced picture arrive in four passes. */
    static const int passStart[4] = {0, 4, 2, 1};
    static const int passStep[4] = {8, 8, 4, 2};
    const GifImageDesc *image = &d->gif->Image;
    const size_t width = (size_t)d->canvasWidth;
    const size_t height = (size_t)d->canvasHeight;
    const size_t stride = module_stride(width, 8u);
    const int passes = image->Interlace ? 4 : 1;
    int blank;
    int pass;

    if (!module_allocate_bitmap(&d->header, &d->pixels, 256u, stride, height))
        return ResultNoMemory;
    d->line = malloc((size_t)image->Width);
    if (!d->line)
        return ResultNoMemory;
    blank = fill_table(d, d->header + MODULE_HEADER_SIZE);
    memset(d->pixels, blank, height * stride);

    for (pass = 0; pass < passes; ++pass) {
        const int first = image->Interlace ? passStart[pass] : 0;
        const int step = image->Interlace ? passStep[pass] : 1;
        int row;
        for (row = first; row < image->Height; row += step) {
            /* Bottom-up rows: screen row r is stored as row height - 1 - r. */
            const size_t screenRow = (size_t)image->Top + (size_t)row;
            if (DGifGetLine(d->gif, d->line, image->Width) == GIF_ERROR)
                return ResultBrokenData;
            memcpy(d->pixels + (height - 1 - screenRow) * stride + (size_t)image->Left, d->line,
                   (size_t)image->Width);
        }
    }

    module_fill_header(d->header, (uint32_t)width, (uint32_t)height, 8u, stride, 256u);
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
        result = read_first_descriptor(&d);
    if (result == ResultOk)
        result = decode(&d, bitmapInfo, bitmapBits);
    finish(&d);
    return result;
}
