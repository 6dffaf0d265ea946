/*
 * A toy import module for the tests and the benchmark of module hosting. One
 * source, built three ways: a Linux module (.spi), a Win64 DLL and a Win32
 * DLL (the Windows builds compiled with TOY_WINDOWS by MinGW).
 *
 * The toy format, at the offset the host asks for (0, or 128 past a header):
 *   0  "PTOY"
 *   4  u8 version (1)
 *   5  u8 depth: 8 (a 256-entry palette of RGB triples follows the header)
 *      or 24 (RGB pixels)
 *   6  u8 behaviour: 'N' normal, 'C' crash in GetPicture, 'H' never return
 *      from GetPicture, 'S' take a second over GetPicture
 *   7  u8 reserved
 *   8  u32 width, 12 u32 height (little-endian)
 *  16  the palette (depth 8), then the pixel rows, top row first, unpadded
 *
 * Every call prints a line on standard output, as careless modules do; the
 * host must keep it out of its protocol and out of the program's output.
 */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#ifdef TOY_WINDOWS
#include <windows.h>
#define TOY_EXPORT __declspec(dllexport)
#define TOY_CALL WINAPI
typedef HLOCAL ToyHandle;
/* Pointer-sized where 64-bit modules commonly declare them so. */
typedef uintptr_t ToyData;
typedef intptr_t ToyOffset;
typedef void *ToyProgress;
#else
#include "pelandor/spi_plugin.h"
#include <signal.h>
#include <unistd.h>
#define TOY_EXPORT __attribute__((visibility("default")))
#define TOY_CALL
typedef SpiHandle ToyHandle;
typedef uint32_t ToyData;
typedef int32_t ToyOffset;
typedef SpiProgressCallback ToyProgress;
#endif

#define HEADER_SIZE 16
#define PALETTE_SIZE (256 * 3)
#define MAX_SIDE 65536u
#define MAX_PIXELS (1u << 26)

struct ToyHeader {
    unsigned depth;
    unsigned behaviour;
    uint32_t width;
    uint32_t height;
};

static void say(const char *call)
{
    printf("toy module: %s\n", call);
    fflush(stdout);
}

static uint32_t le32(const unsigned char *p)
{
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

/* Judges the first HEADER_SIZE bytes; 1 when they are a toy header. */
static int parse_header(const unsigned char *raw, struct ToyHeader *header)
{
    if (memcmp(raw, "PTOY", 4) != 0 || raw[4] != 1 || (raw[5] != 8 && raw[5] != 24))
        return 0;
    header->depth = raw[5];
    header->behaviour = raw[6];
    header->width = le32(raw + 8);
    header->height = le32(raw + 12);
    return header->width > 0 && header->height > 0 && header->width <= MAX_SIDE && header->height <= MAX_SIDE
        && (uint64_t)header->width * header->height <= MAX_PIXELS;
}

static int read_header(FILE *file, long offset, struct ToyHeader *header)
{
    unsigned char raw[HEADER_SIZE];
    return fseek(file, offset, SEEK_SET) == 0 && fread(raw, 1, sizeof raw, file) == sizeof raw
        && parse_header(raw, header);
}

static ToyHandle allocate(size_t size, void **data)
{
#ifdef TOY_WINDOWS
    HLOCAL handle = LocalAlloc(LMEM_MOVEABLE | LMEM_ZEROINIT, size);
    *data = handle ? LocalLock(handle) : NULL;
    return handle;
#else
    void *block = calloc(1, size);
    *data = block;
    return block;
#endif
}

static void unlock(ToyHandle handle)
{
#ifdef TOY_WINDOWS
    LocalUnlock(handle);
#else
    (void)handle;
#endif
}

static void release(ToyHandle handle)
{
#ifdef TOY_WINDOWS
    LocalFree(handle);
#else
    free(handle);
#endif
}

TOY_EXPORT int32_t TOY_CALL GetPluginInfo(int32_t infoNo, char *buffer, int32_t length)
{
    static const char *const texts[] = {"00IN", "Pelandor toy test module", "*.toy", "Toy pictures"};
    say("GetPluginInfo");
    if (infoNo < 0 || infoNo > 3 || !buffer || length <= 0)
        return 0;
    size_t n = strlen(texts[infoNo]);
    if (n >= (size_t)length)
        n = (size_t)length - 1;
    memcpy(buffer, texts[infoNo], n);
    buffer[n] = '\0';
    return (int32_t)n;
}

TOY_EXPORT int32_t TOY_CALL IsSupported(const char *path, ToyData data)
{
    unsigned char raw[HEADER_SIZE];
    struct ToyHeader header;
    (void)path;
    say("IsSupported");
#ifdef TOY_WINDOWS
    DWORD done = 0;
    if (!ReadFile((HANDLE)data, raw, sizeof raw, &done, NULL) || done != sizeof raw)
        return 0;
#else
    if (read((int)data, raw, sizeof raw) != (ssize_t)sizeof raw)
        return 0;
#endif
    return parse_header(raw, &header);
}

#ifdef TOY_WINDOWS
typedef struct ToyPictureInfo {
    int32_t left, top, width, height;
    uint16_t xDensity, yDensity;
    int16_t bitDepth;
    HLOCAL infoText;
} __attribute__((packed)) ToyPictureInfo;
#else
typedef PictureInfo ToyPictureInfo;
#endif

TOY_EXPORT int32_t TOY_CALL GetPictureInfo(const char *source, ToyOffset offset, uint32_t flag, ToyPictureInfo *info)
{
    struct ToyHeader header;
    FILE *file;
    int ok;
    say("GetPictureInfo");
    if (flag != 0 || !info)
        return 1;
    file = fopen(source, "rb");
    if (!file)
        return 1;
    ok = read_header(file, (long)offset, &header);
    fclose(file);
    if (!ok)
        return 1;
    memset(info, 0, sizeof *info);
    info->width = (int32_t)header.width;
    info->height = (int32_t)header.height;
    info->bitDepth = (int16_t)header.depth;
    return 0;
}

/* Reads the picture into a bitmap info block and a bottom-up bits block. */
static int decode(FILE *file, const struct ToyHeader *header, ToyHandle *infoOut, ToyHandle *bitsOut)
{
    const size_t bytes = header->depth / 8;
    const size_t row = header->width * bytes;
    const size_t stride = (row + 3) & ~(size_t)3;
    const size_t colours = header->depth == 8 ? 256 : 0;
    unsigned char *info;
    unsigned char *bits;
    unsigned char palette[PALETTE_SIZE];
    ToyHandle infoHandle = allocate(40 + colours * 4, (void **)&info);
    ToyHandle bitsHandle = allocate(stride * header->height, (void **)&bits);
    size_t i;
    uint32_t y;
    if (!info || !bits)
        goto fail;
    if (colours && fread(palette, 1, sizeof palette, file) != sizeof palette)
        goto fail;
    /* BITMAPINFOHEADER: size, width, height, planes, depth, no compression. */
    info[0] = 40;
    memcpy(info + 4, &header->width, 4);
    memcpy(info + 8, &header->height, 4);
    info[12] = 1;
    info[14] = (unsigned char)header->depth;
    for (i = 0; i < colours; ++i) {
        info[40 + i * 4] = palette[i * 3 + 2];
        info[40 + i * 4 + 1] = palette[i * 3 + 1];
        info[40 + i * 4 + 2] = palette[i * 3];
    }
    for (y = 0; y < header->height; ++y) {
        unsigned char *out = bits + (header->height - 1 - y) * stride;
        if (fread(out, 1, row, file) != row)
            goto fail;
        if (bytes == 3) {
            for (i = 0; i < row; i += 3) {
                const unsigned char red = out[i];
                out[i] = out[i + 2];
                out[i + 2] = red;
            }
        }
    }
    unlock(infoHandle);
    unlock(bitsHandle);
    *infoOut = infoHandle;
    *bitsOut = bitsHandle;
    return 1;
fail:
    if (infoHandle)
        release(infoHandle);
    if (bitsHandle)
        release(bitsHandle);
    return 0;
}

TOY_EXPORT int32_t TOY_CALL GetPicture(const char *source, ToyOffset offset, uint32_t flag, ToyHandle *bitmapInfo,
                                       ToyHandle *bitmapBits, ToyProgress progress, ToyOffset callbackData)
{
    struct ToyHeader header;
    FILE *file;
    int ok;
    (void)progress;
    (void)callbackData;
    say("GetPicture");
    if (flag != 0 || !bitmapInfo || !bitmapBits)
        return 1;
    file = fopen(source, "rb");
    if (!file)
        return 1;
    ok = read_header(file, (long)offset, &header);
    if (ok && header.behaviour == 'C') {
#ifdef TOY_WINDOWS
        /* An access violation, as a broken Windows module makes. */
        volatile int *nowhere = NULL;
        *nowhere = 1;
#else
        raise(SIGSEGV);
#endif
    }
    if (ok && header.behaviour == 'S') {
#ifdef TOY_WINDOWS
        Sleep(1000);
#else
        usleep(1000000);
#endif
    }
    if (ok && header.behaviour == 'H') {
        volatile int forever = 1;
        while (forever) {
        }
    }
    ok = ok && decode(file, &header, bitmapInfo, bitmapBits);
    fclose(file);
    return ok ? 0 : 2;
}
