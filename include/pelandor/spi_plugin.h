/*
 * Pelandor import plug-in interface.
 *
 * An import plug-in is a shared module named "*.spi" (any letter case) placed
 * in the same folder as the pelandor executable. It exports four plain C
 * functions, declared below. Pelandor loads each module by its absolute path.
 *
 * Texts (paths, information texts) are UTF-8.
 *
 * Memory handles: a handle returned by GetPicture is a block allocated with
 * malloc(). "Locking" a handle yields the block itself; Pelandor takes
 * ownership of both blocks and releases them with free().
 *
 * File handles: the `data` argument of IsSupported is a POSIX file descriptor,
 * opened read-only and positioned at the offset being tried (0, or 128 for
 * files that carry a 128-byte header before the image). The module may read
 * from it but must not close it.
 */
#ifndef PELANDOR_SPI_PLUGIN_H
#define PELANDOR_SPI_PLUGIN_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Picture information record: packed, 26 bytes, little-endian. */
#pragma pack(push, 1)
typedef struct PictureInfo {
    int32_t left;      /* horizontal display offset */
    int32_t top;       /* vertical display offset */
    int32_t width;     /* image width in pixels */
    int32_t height;    /* image height in pixels */
    uint16_t xDensity; /* horizontal pixel density */
    uint16_t yDensity; /* vertical pixel density */
    int16_t bitDepth;  /* bits per pixel */
    uint32_t infoText; /* module-owned text information; never read by the host */
} PictureInfo;
#pragma pack(pop)

#ifdef __cplusplus
static_assert(sizeof(PictureInfo) == 26, "PictureInfo must be 26 bytes");
#else
_Static_assert(sizeof(PictureInfo) == 26, "PictureInfo must be 26 bytes");
#endif

/* The largest picture the host takes: at most SPI_MAX_SIDE pixels a side and
 * SPI_MAX_PIXELS pixels in all. A module should refuse a larger picture
 * before allocating it; the host refuses it anyway. */
#define SPI_MAX_SIDE (1u << 20)
#define SPI_MAX_PIXELS (1u << 28)

/* A memory handle: a malloc() block (see above). */
typedef void *SpiHandle;

/* Progress callback; the host always passes NULL. */
typedef int (*SpiProgressCallback)(void);

/* Flag value selecting file input: the source is a file path and the offset
 * the byte position in that file at which the image data begins. */
#define SPI_INPUT_FILE 0u

/*
 * GetPluginInfo(infoNumber, buffer, bufferLength)
 *   infoNumber 0: interface version text, "00IN" for an import plug-in.
 *   infoNumber 2: the first file-name filter, patterns separated by ";",
 *                 e.g. "*.png;*.PNG".
 *   Writes at most bufferLength bytes; returns the number of characters written.
 */
typedef int32_t (*SpiGetPluginInfoFn)(int32_t infoNumber, char *buffer, int32_t bufferLength);

/* IsSupported(path, fd): nonzero when the module decodes this file. */
typedef int32_t (*SpiIsSupportedFn)(const char *path, uint32_t data);

/* GetPictureInfo(source, offset, flag, info): 0 on success. */
typedef int32_t (*SpiGetPictureInfoFn)(const char *source, int32_t offset, uint32_t flag,
                                       PictureInfo *info);

/*
 * GetPicture(source, offset, flag, bitmapInfo, bitmapBits, progress, callbackData)
 *   On success (0) stores two handles: *bitmapInfo holds a BITMAPINFOHEADER
 *   (40 bytes, little-endian) followed by its colour table (4 bytes per entry,
 *   blue, green, red, reserved); *bitmapBits holds the pixel rows in the
 *   Windows device-independent bitmap layout for that header (rows padded to
 *   4 bytes, bottom-up for a positive height, top-down for a negative one).
 *   Supported depths: 1, 4, 8 (with colour table), 16, 24, 32.
 *   On failure returns a nonzero error code of the module and stores nothing.
 */
typedef int32_t (*SpiGetPictureFn)(const char *source, int32_t offset, uint32_t flag,
                                   SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                                   SpiProgressCallback progress, int32_t callbackData);

/* The exports a module provides, by these exact names. */
int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength);
int32_t IsSupported(const char *path, uint32_t data);
int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info);
int32_t GetPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo,
                   SpiHandle *bitmapBits, SpiProgressCallback progress, int32_t callbackData);

#ifdef __cplusplus
}
#endif

#endif /* PELANDOR_SPI_PLUGIN_H */
