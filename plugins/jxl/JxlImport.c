/*
 * JPEG XL import module. Decodes the first frame of a JPEG XL file (a bare
 * codestream or one in its container) through libjxl, which applies the
 * picture's orientation, into a 24-bit device-independent bitmap: deeper
 * samples reduced to 8 bits, grey shown as grey, transparent pixels laid
 * over white (the colour of the thumbnail cells and of an empty viewer).
 *
 * The file is fed to the decoder in pieces, so a picture's size is known,
 * and refused when it is above the host's limits, before the bulk of the
 * file is read or any pixel is allocated. libjxl prints the causes of a
 * failure on standard error; they reach the program's with the file's name
 * in front (module_messages_begin).
 */
#include "ModuleSupport.h"

#include <jxl/color_encoding.h>
#include <jxl/decode.h>
#include <stdlib.h>
#include <string.h>
#include <sys/types.h>
#include <unistd.h>

/* Bytes looked at by IsSupported: the container's signature box. */
#define SIGNATURE_SIZE 12u

/* Bytes fed to the decoder at a time. */
#define PIECE (256u << 10)

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
    return module_plugin_info(infoNumber, buffer, bufferLength, "Pelandor JPEG XL import (libjxl)", "*.jxl",
                              "JPEG XL");
}

static int is_jxl_signature(const unsigned char *bytes, size_t length)
{
    const JxlSignature signature = JxlSignatureCheck(bytes, length);
    return signature == JXL_SIG_CODESTREAM || signature == JXL_SIG_CONTAINER;
}

int32_t IsSupported(const char *path, uint32_t data)
{
    unsigned char signature[SIGNATURE_SIZE];
    (void)path;
    return is_jxl_signature(signature, module_read_prefix(data, signature, sizeof signature));
}

/* Everything one decoding owns, released by finish() on every path. */
struct Decoding {
    int fd;
    off_t base;
    uint64_t size; /* bytes from `base` to the end of the file */
    uint64_t fed;  /* of which the decoder has been given so far */
    unsigned char *input;
    size_t inputLength;
    JxlDecoder *decoder;
    JxlBasicInfo info;
    unsigned char *rows;
    size_t rowsSize;
    unsigned char *header;
    unsigned char *pixels;
};

static void finish(struct Decoding *d)
{
    if (d->decoder)
        JxlDecoderDestroy(d->decoder);
    if (d->fd >= 0)
        close(d->fd);
    free(d->input);
    free(d->rows);
    free(d->header);
    free(d->pixels);
}

/* Gives the decoder the next piece of the file after what it has not used
 * yet; ResultBrokenData when the file has ended (a cut file). */
static int32_t feed(struct Decoding *d)
{
    const size_t unused = JxlDecoderReleaseInput(d->decoder);
    const uint64_t left = d->size - d->fed;
    const size_t piece = left < PIECE ? (size_t)left : PIECE;
    unsigned char *input;
    if (piece == 0 || unused > d->inputLength)
        return ResultBrokenData;
    input = malloc(unused + piece);
    if (!input)
        return ResultNoMemory;
    if (unused > 0)
        memcpy(input, d->input + (d->inputLength - unused), unused);
    if (!module_read_at(d->fd, input + unused, piece, d->base + (off_t)d->fed)) {
        free(input);
        return ResultReadError;
    }
    free(d->input);
    d->input = input;
    d->inputLength = unused + piece;
    d->fed += piece;
    if (JxlDecoderSetInput(d->decoder, d->input, d->inputLength) != JXL_DEC_SUCCESS)
        return ResultBrokenData;
    if (d->fed == d->size)
        JxlDecoderCloseInput(d->decoder);
    return ResultOk;
}

/* Hands the decoder a buffer for the picture's top-down red-green-blue-alpha
 * rows of 8-bit samples. */
static int32_t provide_rows(struct Decoding *d)
{
    const JxlPixelFormat format = {4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    size_t wanted = 0;
    size_t size;
    if (!module_size_product((size_t)d->info.xsize, (size_t)d->info.ysize, &size)
        || !module_size_product(size, 4u, &size))
        return ResultNoMemory;
    if (JxlDecoderImageOutBufferSize(d->decoder, &format, &wanted) != JXL_DEC_SUCCESS || wanted != size
        || d->rows)
        return ResultBrokenData;
    d->rows = malloc(size);
    if (!d->rows)
        return ResultNoMemory;
    d->rowsSize = size;
    if (JxlDecoderSetImageOutBuffer(d->decoder, &format, d->rows, size) != JXL_DEC_SUCCESS)
        return ResultBrokenData;
    return ResultOk;
}

/* Runs the decoder until it has told the picture's size (`pixels` 0) or
 * decoded the first frame; the size is checked against the host's limits
 * as soon as it is known. */
static int32_t run(struct Decoding *d, int pixels)
{
    int32_t result = ResultOk;
    if (JxlDecoderSubscribeEvents(d->decoder,
                                  JXL_DEC_BASIC_INFO | (pixels ? JXL_DEC_COLOR_ENCODING | JXL_DEC_FULL_IMAGE : 0))
            != JXL_DEC_SUCCESS
        || JxlDecoderSetUnpremultiplyAlpha(d->decoder, JXL_TRUE) != JXL_DEC_SUCCESS)
        return ResultBrokenData;
    while (result == ResultOk) {
        switch (JxlDecoderProcessInput(d->decoder)) {
        case JXL_DEC_NEED_MORE_INPUT:
            result = feed(d);
            break;
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(d->decoder, &d->info) != JXL_DEC_SUCCESS || d->info.xsize == 0
                || d->info.ysize == 0 || module_too_many_pixels(d->info.xsize, d->info.ysize))
                return ResultBrokenData;
            if (!pixels)
                return ResultOk;
            break;
        case JXL_DEC_COLOR_ENCODING: {
            /* Pictures stored in the codec's own colour space may come out
             * in sRGB; left alone, libjxl gives linear light for those with
             * an ICC profile, which looks washed out on screen. Pictures
             * kept in their original space come out in it anyway. */
            JxlColorEncoding srgb;
            memset(&srgb, 0, sizeof srgb);
            srgb.color_space = d->info.num_color_channels == 1 ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
            srgb.white_point = JXL_WHITE_POINT_D65;
            srgb.primaries = JXL_PRIMARIES_SRGB;
            srgb.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
            srgb.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
            JxlDecoderSetPreferredColorProfile(d->decoder, &srgb);
            break;
        }
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER:
            result = provide_rows(d);
            break;
        case JXL_DEC_FULL_IMAGE:
            return d->rows ? ResultOk : ResultBrokenData;
        default:
            /* An error, or the end of the file before a whole frame. */
            return ResultBrokenData;
        }
    }
    return result;
}

/* Opens the file at `offset`, checks its signature and starts a decoder. */
static int32_t start(struct Decoding *d, const char *source, int32_t offset, uint32_t flag)
{
    unsigned char signature[SIGNATURE_SIZE];
    off_t fileSize = 0;
    size_t got;
    const int32_t result = module_open_file(source, offset, flag, &d->fd, &fileSize);
    if (result != ResultOk)
        return result;
    if (fileSize <= offset)
        return ResultUnknownFormat;
    d->base = offset;
    d->size = (uint64_t)(fileSize - offset);
    got = d->size < sizeof signature ? (size_t)d->size : sizeof signature;
    if (!module_read_at(d->fd, signature, got, offset) || !is_jxl_signature(signature, got))
        return ResultUnknownFormat;
    d->decoder = JxlDecoderCreate(NULL);
    return d->decoder ? ResultOk : ResultNoMemory;
}

int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    struct Decoding d;
    struct ModuleMessages messages;
    int32_t result;
    memset(&d, 0, sizeof d);
    d.fd = -1;
    module_messages_begin(&messages);
    result = start(&d, source, offset, flag);
    if (result == ResultOk)
        result = run(&d, 0);
    if (result == ResultOk && info) {
        memset(info, 0, sizeof *info);
        info->width = (int32_t)d.info.xsize;
        info->height = (int32_t)d.info.ysize;
        info->bitDepth = d.info.alpha_bits > 0 ? 32 : 24;
    }
    finish(&d);
    module_messages_end(&messages, source);
    return result;
}

static int32_t decode(struct Decoding *d, SpiHandle *bitmapInfo, SpiHandle *bitmapBits)
{
    size_t width;
    size_t height;
    size_t stride;
    size_t y;
    const int32_t result = run(d, 1);
    if (result != ResultOk)
        return result;
    width = d->info.xsize;
    height = d->info.ysize;
    stride = module_stride(width, 24u);
    if (!module_allocate_bitmap(&d->header, &d->pixels, 0u, stride, height))
        return ResultNoMemory;
    /* Bottom-up rows: picture row y is stored as row height - 1 - y. */
    for (y = 0; y < height; ++y)
        module_rgba_over_white(d->rows + y * width * 4u, d->pixels + (height - 1 - y) * stride, width);
    module_fill_header(d->header, (uint32_t)width, (uint32_t)height, 24u, stride, 0u);
    return module_hand_over(&d->header, &d->pixels, bitmapInfo, bitmapBits);
}

int32_t GetPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                   SpiProgressCallback progress, int32_t callbackData)
{
    struct Decoding d;
    struct ModuleMessages messages;
    int32_t result;
    (void)progress;
    (void)callbackData;
    if (!bitmapInfo || !bitmapBits)
        return ResultNotImplemented;
    memset(&d, 0, sizeof d);
    d.fd = -1;
    module_messages_begin(&messages);
    result = start(&d, source, offset, flag);
    if (result == ResultOk)
        result = decode(&d, bitmapInfo, bitmapBits);
    finish(&d);
    module_messages_end(&messages, source);
    return result;
}
