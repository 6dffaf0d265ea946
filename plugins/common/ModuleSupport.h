/*
 * Pieces every shipped import module needs besides its decoder: the result
 * codes, the information texts, reading a signature through the host's file
 * descriptor, opening the file at an image's offset, and handing the host a
 * bottom-up device-independent bitmap in malloc blocks. Compiled into each
 * module, which stays a self-contained file; nothing here is exported.
 */
#ifndef PELANDOR_MODULE_SUPPORT_H
#define PELANDOR_MODULE_SUPPORT_H

#include "pelandor/spi_plugin.h"

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <sys/types.h>

/* Error codes of the modules. */
enum {
    ResultOk = 0,
    ResultNotImplemented = -1,
    ResultUnknownFormat = 2,
    ResultBrokenData = 3,
    ResultNoMemory = 4,
    ResultReadError = 6,
};

/* Largest pixel count and largest side handed to the host, which refuses
 * bigger bitmaps anyway: checked before anything of that size is allocated. */
#define MODULE_MAX_PIXELS SPI_MAX_PIXELS
#define MODULE_MAX_SIDE SPI_MAX_SIDE

/* Size of the bitmap information header, before any colour table. */
#define MODULE_HEADER_SIZE 40u

/* GetPluginInfo for an import module: the kind ("00IN"), then `about`,
 * `patterns` and `kind` for numbers 1 to 3; 0 for any other number. */
int32_t module_plugin_info(int32_t infoNumber, char *buffer, int32_t bufferLength, const char *about,
                           const char *patterns, const char *kind);

/* Reads `length` signature bytes from the descriptor the host passes to
 * IsSupported; 0 when the file ends first. */
int module_read_signature(uint32_t data, unsigned char *signature, size_t length);

/* Reads up to `length` bytes from the descriptor the host passes to
 * IsSupported; the number read, less when the file ends first. */
size_t module_read_prefix(uint32_t data, unsigned char *prefix, size_t length);

/* Whether `bytes` (the first `length` bytes of a file) start with an ISO base
 * media file-type box naming one of `brands` (four-character codes, the list
 * ending in NULL) as its major or a compatible brand. */
int module_has_brand(const unsigned char *bytes, size_t length, const char *const *brands);

/* Whether a picture of `width` by `height` pixels is too large to hand over:
 * a side above MODULE_MAX_SIDE or more than MODULE_MAX_PIXELS pixels. */
int module_too_many_pixels(uint64_t width, uint64_t height);

/* Pixels a picture may have beyond its file's bytes times the format's
 * densest coding: the headers of a small picture's file. */
#define MODULE_DENSITY_GRACE (1u << 16)

/* Whether a picture of `width` by `height` pixels is more than a file of
 * `fileBytes` bytes can hold when its format codes at best `pixelsPerByte`
 * pixels per byte (plus MODULE_DENSITY_GRACE): a header that lies about the
 * size, refused before the picture is allocated. */
int module_too_dense(uint64_t width, uint64_t height, uint64_t fileBytes, uint64_t pixelsPerByte);

/* Opens `source`, which must be a regular file, as a stream positioned at
 * `offset` (through module_open_file, so a FIFO never blocks); *file is set
 * whenever the stream exists, so the caller closes it on every path, and
 * *fileSize to the file's size. */
int32_t module_open_stream(const char *source, int32_t offset, uint32_t flag, FILE **file, off_t *fileSize);

/* Opens `source`, which must be a regular file, for reading with pread; *fd
 * is set whenever the file opened (the caller closes it), *fileSize to its
 * size. */
int32_t module_open_file(const char *source, int32_t offset, uint32_t flag, int *fd, off_t *fileSize);

/* Reads exactly `length` bytes at `at`; 0 when the file ends first or fails. */
int module_read_at(int fd, unsigned char *buffer, size_t length, off_t at);

/* Bytes per bitmap row of `width` pixels of `bitCount` bits, padded to 4. */
size_t module_stride(size_t width, unsigned bitCount);

/* Allocates a zeroed header with room for `colours` table entries and zeroed
 * pixels of `height` rows of `stride` bytes; 0 when memory runs out (whatever
 * was allocated is still stored for the caller to free). */
int module_allocate_bitmap(unsigned char **header, unsigned char **pixels, size_t colours, size_t stride,
                           size_t height);

/* Fills the information header of a bottom-up bitmap; `colours` is the
 * length of its colour table (0 for none). */
void module_fill_header(unsigned char *header, uint32_t width, uint32_t height, unsigned bitCount, size_t stride,
                        uint32_t colours);

/* Hands the finished bitmap to the host; the caller no longer owns it. */
int32_t module_hand_over(unsigned char **header, unsigned char **pixels, SpiHandle *bitmapInfo,
                         SpiHandle *bitmapBits);

/* a * b into *product; 0 when it does not fit in a size_t. */
int module_size_product(size_t a, size_t b, size_t *product);

/* Lays `width` red-green-blue-alpha pixels over white as blue-green-red. */
void module_rgba_over_white(const unsigned char *rgba, unsigned char *bgr, size_t width);

/* Lays `width` blue-green-red-alpha pixels over white as blue-green-red. */
void module_over_white(const unsigned char *bgra, unsigned char *bgr, size_t width);

/* A library's own messages on standard error during one call: kept aside
 * (at most MODULE_MESSAGE_BYTES of them) instead of reaching the program's
 * standard error unnamed, then written there with the file's name in front
 * of each of their first MODULE_MESSAGE_LINES lines. The descriptor is the
 * process's, so what another thread writes meanwhile is kept aside too.
 * Built with PELANDOR_MODULE_KEEP_STDERR (the fuzzers, whose sanitizer
 * reports must reach the terminal), nothing is kept aside. */
#define MODULE_MESSAGE_BYTES 65536u
#define MODULE_MESSAGE_LINES 4u
struct ModuleMessages {
    int saved;   /* the program's standard error while set aside, else -1 */
    int capture; /* where the messages go meanwhile, else -1 */
};
void module_messages_begin(struct ModuleMessages *messages);
void module_messages_end(struct ModuleMessages *messages, const char *source);

#endif
