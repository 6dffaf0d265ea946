/*
 * Pieces shared by the shipped import modules; see ModuleSupport.h.
 */
#ifndef _GNU_SOURCE
#define _GNU_SOURCE /* memfd_create and file seals */
#endif
#include "ModuleSupport.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

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

int32_t module_plugin_info(int32_t infoNumber, char *buffer, int32_t bufferLength, const char *about,
                           const char *patterns, const char *kind)
{
    switch (infoNumber) {
    case 0:
        return copy_text("00IN", buffer, bufferLength);
    case 1:
        return copy_text(about, buffer, bufferLength);
    case 2:
        return copy_text(patterns, buffer, bufferLength);
    case 3:
        return copy_text(kind, buffer, bufferLength);
    default:
        return 0;
    }
}

int module_read_signature(uint32_t data, unsigned char *signature, size_t length)
{
    size_t got = 0;
    while (got < length) {
        const ssize_t n = read((int)data, signature + got, length - got);
        if (n <= 0)
            return 0;
        got += (size_t)n;
    }
    return 1;
}

int module_too_many_pixels(uint64_t width, uint64_t height)
{
    return width > MODULE_MAX_SIDE || height > MODULE_MAX_SIDE || width * height > MODULE_MAX_PIXELS;
}

int module_too_dense(uint64_t width, uint64_t height, uint64_t fileBytes, uint64_t pixelsPerByte)
{
    /* Both factors are bounded (sides by module_too_many_pixels, files far
     * below 2^40 bytes in practice), but the products are kept from wrapping
     * for any input. */
    const uint64_t pixels = width * height;
    if (width > MODULE_MAX_SIDE || height > MODULE_MAX_SIDE)
        return 1;
    if (fileBytes >= (UINT64_MAX - MODULE_DENSITY_GRACE) / pixelsPerByte)
        return 0;
    return pixels > fileBytes * pixelsPerByte + MODULE_DENSITY_GRACE;
}

size_t module_read_prefix(uint32_t data, unsigned char *prefix, size_t length)
{
    size_t got = 0;
    while (got < length) {
        const ssize_t n = read((int)data, prefix + got, length - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += (size_t)n;
    }
    return got;
}

static uint32_t big32(const unsigned char *p)
{
    return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 | (uint32_t)p[3];
}

int module_has_brand(const unsigned char *bytes, size_t length, const char *const *brands)
{
    size_t size;
    size_t at;
    if (length < 16 || memcmp(bytes + 4, "ftyp", 4) != 0)
        return 0;
    size = big32(bytes);
    if (size < 16 || size > length)
        size = length;
    /* The major brand at 8, the minor version at 12, compatible brands from 16. */
    for (at = 8; at + 4 <= size; at += at == 8 ? 8 : 4) {
        const char *const *brand;
        for (brand = brands; *brand; ++brand) {
            if (memcmp(bytes + at, *brand, 4) == 0)
                return 1;
        }
    }
    return 0;
}

/* The checks every request starts with: only files, named, at an offset. */
static int32_t check_request(const char *source, int32_t offset, uint32_t flag)
{
    if (flag != SPI_INPUT_FILE)
        return ResultNotImplemented;
    if (!source || offset < 0)
        return ResultReadError;
    return ResultOk;
}

int32_t module_open_stream(const char *source, int32_t offset, uint32_t flag, FILE **file, off_t *fileSize)
{
    int fd = -1;
    const int32_t result = module_open_file(source, offset, flag, &fd, fileSize);
    if (result != ResultOk) {
        if (fd >= 0)
            close(fd);
        return result;
    }
    /* The stream takes over the descriptor opened and checked above. */
    *file = fdopen(fd, "rb");
    if (!*file) {
        close(fd);
        return ResultNoMemory;
    }
    if (fseeko(*file, offset, SEEK_SET) != 0)
        return ResultReadError;
    return ResultOk;
}

int32_t module_open_file(const char *source, int32_t offset, uint32_t flag, int *fd, off_t *fileSize)
{
    struct stat status;
    const int32_t result = check_request(source, offset, flag);
    if (result != ResultOk)
        return result;
    /* Opening a FIFO or a device without O_NONBLOCK could wait forever; only
     * regular files are read, and pread never waits on those anyway. */
    *fd = open(source, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (*fd < 0 || fstat(*fd, &status) != 0 || !S_ISREG(status.st_mode))
        return ResultReadError;
    *fileSize = status.st_size;
    return ResultOk;
}

int module_read_at(int fd, unsigned char *buffer, size_t length, off_t at)
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

size_t module_stride(size_t width, unsigned bitCount)
{
    return ((width * bitCount + 31u) / 32u) * 4u;
}

int module_allocate_bitmap(unsigned char **header, unsigned char **pixels, size_t colours, size_t stride,
                           size_t height)
{
    *header = calloc(1, MODULE_HEADER_SIZE + colours * 4u);
    *pixels = calloc(height, stride);
    return *header && *pixels;
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

void module_fill_header(unsigned char *header, uint32_t width, uint32_t height, unsigned bitCount, size_t stride,
                        uint32_t colours)
{
    put32(header, MODULE_HEADER_SIZE);
    put32(header + 4, width);
    put32(header + 8, height);
    put16(header + 12, 1);
    put16(header + 14, bitCount);
    put32(header + 20, (uint32_t)(stride * height));
    if (colours)
        put32(header + 32, colours);
}

int32_t module_hand_over(unsigned char **header, unsigned char **pixels, SpiHandle *bitmapInfo,
                         SpiHandle *bitmapBits)
{
    *bitmapInfo = *header;
    *bitmapBits = *pixels;
    *header = NULL;
    *pixels = NULL;
    return ResultOk;
}

int module_size_product(size_t a, size_t b, size_t *product)
{
    if (a != 0 && b > (size_t)-1 / a)
        return 0;
    *product = a * b;
    return 1;
}

void module_rgba_over_white(const unsigned char *rgba, unsigned char *bgr, size_t width)
{
    size_t x;
    for (x = 0; x < width; ++x, rgba += 4, bgr += 3) {
        const unsigned alpha = rgba[3];
        int c;
        for (c = 0; c < 3; ++c)
            bgr[c] = (unsigned char)((rgba[2 - c] * alpha + 255u * (255u - alpha) + 127u) / 255u);
    }
}

void module_over_white(const unsigned char *bgra, unsigned char *bgr, size_t width)
{
    size_t x;
    for (x = 0; x < width; ++x, bgra += 4, bgr += 3) {
        const unsigned alpha = bgra[3];
        int c;
        for (c = 0; c < 3; ++c)
            bgr[c] = (unsigned char)((bgra[c] * alpha + 255u * (255u - alpha) + 127u) / 255u);
    }
}

void module_messages_begin(struct ModuleMessages *messages)
{
    messages->saved = -1;
    messages->capture = -1;
#if !defined(PELANDOR_MODULE_KEEP_STDERR)
    /* A memory file of a fixed size, sealed so that it cannot grow: a
     * library that floods it fails its writes instead of taking memory. */
    messages->capture = memfd_create("pelandor-module-messages", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (messages->capture < 0)
        return;
    if (ftruncate(messages->capture, MODULE_MESSAGE_BYTES) != 0
        || fcntl(messages->capture, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK) != 0) {
        close(messages->capture);
        messages->capture = -1;
        return;
    }
    fflush(stderr);
    messages->saved = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (messages->saved >= 0 && dup2(messages->capture, STDERR_FILENO) < 0) {
        close(messages->saved);
        messages->saved = -1;
    }
#endif
}

void module_messages_end(struct ModuleMessages *messages, const char *source)
{
    char text[1024];
    ssize_t got;
    size_t at = 0;
    unsigned lines = 0;
    if (messages->saved >= 0) {
        fflush(stderr);
        dup2(messages->saved, STDERR_FILENO);
        close(messages->saved);
    }
    if (messages->capture < 0)
        return;
    got = messages->saved >= 0 ? pread(messages->capture, text, sizeof text - 1, 0) : -1;
    close(messages->capture);
    messages->saved = messages->capture = -1;
    if (got <= 0)
        return;
    text[got] = '\0';
    /* The unwritten rest of the file reads as zero bytes: the text ends there. */
    while (at < (size_t)got && text[at] != '\0' && lines < MODULE_MESSAGE_LINES) {
        size_t end = at;
        while (end < (size_t)got && text[end] != '\0' && text[end] != '\n')
            ++end;
        fprintf(stderr, "%s: %.*s\n", source ? source : "", (int)(end - at), text + at);
        ++lines;
        at = end < (size_t)got && text[end] == '\n' ? end + 1 : end;
    }
}
