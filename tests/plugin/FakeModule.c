/*
 * Import module for the plug-in host tests. One source, built once per
 * variant: the variant (FAKE_<NAME>, set by the build) chooses the texts the
 * module announces and the exports it has. The picture it hands back is
 * chosen by the file: "FAKE <keyword>" at the offset asked for. Some
 * keywords make the module misbehave the way a broken module does: crash,
 * exit, never return, take a second in every call, print on standard output
 * or error, leave a child behind.
 */
#include "pelandor/spi_plugin.h"

#include <fcntl.h>
#include <signal.h>
#include <time.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#define KIND_TEXT "00IN"
#define PATTERN_TEXT "*.fak"

#if defined(FAKE_TWO)
#undef PATTERN_TEXT
#define PATTERN_TEXT "*.abc;*.DEF"
#elif defined(FAKE_BMP_FIRST)
#undef PATTERN_TEXT
#define PATTERN_TEXT "*.bmp;*.xyz"
#elif defined(FAKE_BMP_SECOND)
#undef PATTERN_TEXT
#define PATTERN_TEXT "*.xyz;*.BMP"
#elif defined(FAKE_JPEG)
#undef PATTERN_TEXT
#define PATTERN_TEXT "*.jpg;*.jpeg"
#elif defined(FAKE_JPEG_UPPER)
#undef PATTERN_TEXT
#define PATTERN_TEXT "*.JPE"
#elif defined(FAKE_TRAILING)
#undef PATTERN_TEXT
#define PATTERN_TEXT "*.tr;"
#elif defined(FAKE_EXPORT)
#undef KIND_TEXT
#define KIND_TEXT "00AM"
#elif defined(FAKE_LOWER_KIND)
#undef KIND_TEXT
#define KIND_TEXT "00in"
#endif

#if !defined(FAKE_NO_DECODE)
#define HAS_DECODER 1
#endif

#if !defined(FAKE_NO_INFO)
static int32_t copy_text(const char *text, char *buffer, int32_t length)
{
    size_t n = strlen(text);
    if (!buffer || length <= 0)
        return 0;
    if (n > (size_t)length)
        n = (size_t)length;
    memcpy(buffer, text, n);
    if (n < (size_t)length)
        buffer[n] = '\0';
    return (int32_t)n;
}

int32_t GetPluginInfo(int32_t infoNumber, char *buffer, int32_t bufferLength)
{
#if defined(FAKE_CRASH_INFO)
    if (infoNumber == 2)
        raise(SIGSEGV);
#elif defined(FAKE_EXIT_INFO)
    if (infoNumber == 2)
        exit(0);
#endif
    if (infoNumber == 0)
        return copy_text(KIND_TEXT, buffer, bufferLength);
    if (infoNumber != 2)
        return 0;
#if defined(FAKE_NEG_PATTERNS)
    (void)buffer;
    (void)bufferLength;
    return -1;
#elif defined(FAKE_OVERRUN)
    /* Ignores the length it was given and claims far more than it wrote. */
    (void)bufferLength;
    memset(buffer, 'x', 300);
    memcpy(buffer, "*.ovr;", 6);
    return 1000;
#else
    return copy_text(PATTERN_TEXT, buffer, bufferLength);
#endif
}
#endif

#if defined(HAS_DECODER)

static const char Magic[] = "FAKE ";

/* What the keyword "slow" costs in each call: under the tests' time limit
 * for one call, above it for three. */
static void take_a_second(void)
{
    const struct timespec second = {1, 0};
    nanosleep(&second, NULL);
}

/* The keyword after the magic at `offset` of the file, or 0 when there is none. */
static int read_keyword(const char *path, int32_t offset, char *keyword, size_t size)
{
    char line[64];
    ssize_t got;
    size_t i;
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    if (lseek(fd, offset, SEEK_SET) != offset) {
        close(fd);
        return 0;
    }
    got = read(fd, line, sizeof line - 1);
    close(fd);
    if (got < (ssize_t)(sizeof Magic - 1) || memcmp(line, Magic, sizeof Magic - 1) != 0)
        return 0;
    line[got] = '\0';
    for (i = 0; i + 1 < size && line[sizeof Magic - 1 + i] > ' '; ++i)
        keyword[i] = line[sizeof Magic - 1 + i];
    keyword[i] = '\0';
    return 1;
}

int32_t IsSupported(const char *path, uint32_t data)
{
    char head[32] = {0};
    (void)path;
    if (read((int)data, head, sizeof head - 1) < 5)
        return 0;
    if (strstr(head, "crashsupported"))
        raise(SIGSEGV);
    if (strstr(head, "slow"))
        take_a_second();
    return memcmp(head, Magic, 5) == 0;
}

int32_t GetPictureInfo(const char *source, int32_t offset, uint32_t flag, PictureInfo *info)
{
    char keyword[32];
    if (flag != SPI_INPUT_FILE || !read_keyword(source, offset, keyword, sizeof keyword))
        return 2;
    if (strcmp(keyword, "crashinfo") == 0)
        raise(SIGSEGV);
    if (strcmp(keyword, "slow") == 0)
        take_a_second();
    if (strcmp(keyword, "hang") == 0) {
        volatile int forever = 1;
        while (forever) {
        }
    }
    memset(info, 0, sizeof *info);
    info->width = 3;
    info->height = 2;
    info->bitDepth = 24;
    return 0;
}

#if !defined(FAKE_NO_GETPICTURE)

enum { Width = 3, Height = 2 };

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

/* The six pictures' colours, top row first, as 0xRRGGBB. */
static const uint32_t Colours[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x804020};

static unsigned char *make_header(int32_t width, int32_t height, unsigned bitCount, uint32_t compression,
                                  const uint32_t *table, unsigned tableCount, uint32_t tableEntriesRecorded)
{
    unsigned i;
    unsigned char *h = calloc(1, 40 + 4 * (size_t)tableCount);
    if (!h)
        return NULL;
    put32(h, 40);
    put32(h + 4, (uint32_t)width);
    put32(h + 8, (uint32_t)height);
    put16(h + 12, 1);
    put16(h + 14, bitCount);
    put32(h + 16, compression);
    put32(h + 32, tableEntriesRecorded);
    for (i = 0; i < tableCount; ++i) {
        h[40 + 4 * i] = (unsigned char)table[i];
        h[41 + 4 * i] = (unsigned char)(table[i] >> 8);
        h[42 + 4 * i] = (unsigned char)(table[i] >> 16);
    }
    return h;
}

/* A 3 x 2 picture: `values` are table indices or colours, top row first. */
static int make_picture(unsigned bitCount, int topDown, const uint32_t *table, unsigned tableCount,
                        const uint32_t *values, SpiHandle *info, SpiHandle *bits)
{
    const size_t stride = ((Width * bitCount + 31) / 32) * 4;
    unsigned char *px;
    int x, y;
    unsigned char *h = make_header(Width, topDown ? -Height : Height, bitCount, 0, table, tableCount, tableCount);
    if (!h)
        return 4;
    px = calloc(1, stride * Height);
    if (!px) {
        free(h);
        return 4;
    }
    for (y = 0; y < Height; ++y) {
        unsigned char *row = px + stride * (size_t)(topDown ? y : Height - 1 - y);
        for (x = 0; x < Width; ++x) {
            const uint32_t v = values[y * Width + x];
            switch (bitCount) {
            case 1:
                if (v)
                    row[x / 8] |= (unsigned char)(0x80 >> (x % 8));
                break;
            case 4:
                row[x / 2] |= (unsigned char)(x % 2 ? v : v << 4);
                break;
            case 8:
                row[x] = (unsigned char)v;
                break;
            case 24:
                row[3 * x] = (unsigned char)v;
                row[3 * x + 1] = (unsigned char)(v >> 8);
                row[3 * x + 2] = (unsigned char)(v >> 16);
                break;
            case 32:
                row[4 * x] = (unsigned char)v;
                row[4 * x + 1] = (unsigned char)(v >> 8);
                row[4 * x + 2] = (unsigned char)(v >> 16);
                break;
            }
        }
    }
    *info = h;
    *bits = px;
    return 0;
}

static int32_t make_named(const char *keyword, int32_t offset, SpiHandle *info, SpiHandle *bits)
{
    static const uint32_t Mono[6] = {1, 0, 1, 0, 1, 0};
    uint32_t table16[16];
    uint32_t table256[256];
    unsigned i;

    if (strcmp(keyword, "rgb24") == 0)
        return make_picture(24, 0, NULL, 0, Colours, info, bits);
    if (strcmp(keyword, "rgb32") == 0)
        return make_picture(32, 0, NULL, 0, Colours, info, bits);
    if (strcmp(keyword, "topdown") == 0)
        return make_picture(24, 1, NULL, 0, Colours, info, bits);
    if (strcmp(keyword, "pal1") == 0) {
        static const uint32_t Table2[2] = {0x0A141E, 0xC86432};
        return make_picture(1, 0, Table2, 2, Mono, info, bits);
    }
    if (strcmp(keyword, "pal4") == 0) {
        /* The six colours sit at the end of a full 16-entry table. */
        uint32_t values[6];
        for (i = 0; i < 16; ++i)
            table16[i] = i < 10 ? 0x111111 * i : Colours[i - 10];
        for (i = 0; i < 6; ++i)
            values[i] = 10 + i;
        return make_picture(4, 0, table16, 16, values, info, bits);
    }
    if (strcmp(keyword, "pal8") == 0) {
        uint32_t values[6];
        for (i = 0; i < 256; ++i)
            table256[i] = 0x010101 * (255 - i);
        for (i = 0; i < 6; ++i) {
            table256[200 + i] = Colours[i];
            values[i] = 200 + i;
        }
        return make_picture(8, 0, table256, 256, values, info, bits);
    }
    if (strcmp(keyword, "fail") == 0)
        return offset == 0 ? 5 : 6;
    if (strcmp(keyword, "crash") == 0)
        raise(SIGSEGV);
    if (strcmp(keyword, "exit") == 0)
        exit(0);
    if (strcmp(keyword, "hang") == 0) {
        volatile int forever = 1;
        while (forever) {
        }
    }
    if (strcmp(keyword, "print") == 0) {
        printf("module output\n");
        fflush(stdout);
        fprintf(stderr, "module message\n");
        return make_picture(24, 0, NULL, 0, Colours, info, bits);
    }
    if (strcmp(keyword, "flood") == 0) {
        /* 4 MiB on each of standard output and error. */
        static char block[64 * 1024];
        memset(block, 'x', sizeof block);
        for (i = 0; i < 64; ++i) {
            if (write(STDOUT_FILENO, block, sizeof block) < 0 || write(STDERR_FILENO, block, sizeof block) < 0)
                break;
        }
        return make_picture(24, 0, NULL, 0, Colours, info, bits);
    }
    if (strcmp(keyword, "fork") == 0) {
        /* A child that keeps every descriptor of the module open. */
        if (fork() == 0) {
            const struct timespec wait = {30, 0};
            nanosleep(&wait, NULL);
            _exit(0);
        }
        return make_picture(24, 0, NULL, 0, Colours, info, bits);
    }
    if (strcmp(keyword, "slow") == 0) {
        take_a_second();
        return make_picture(24, 0, NULL, 0, Colours, info, bits);
    }
    if (strcmp(keyword, "notmalloc") == 0) {
        static unsigned char notFromMalloc[64];
        *info = notFromMalloc;
        *bits = calloc(1, 64);
        return 0;
    }
    if (strcmp(keyword, "failstore") == 0) {
        /* Reports failure yet leaves blocks behind. */
        make_picture(24, 0, NULL, 0, Colours, info, bits);
        return 9;
    }
    if (strcmp(keyword, "nullhandles") == 0)
        return 0;
    if (strcmp(keyword, "nullinfo") == 0) {
        *bits = calloc(1, 64);
        return 0;
    }
    if (strcmp(keyword, "samehandle") == 0) {
        int32_t r = make_picture(24, 0, NULL, 0, Colours, info, bits);
        free(*bits);
        *bits = *info;
        return r;
    }
    if (strcmp(keyword, "tinyinfo") == 0) {
        unsigned char *h = calloc(1, 8);
        if (h)
            put32(h, 40);
        *info = h;
        *bits = calloc(1, 64);
        return 0;
    }
    if (strcmp(keyword, "tinybits") == 0) {
        *info = make_header(1000, 1000, 24, 0, NULL, 0, 0);
        *bits = calloc(1, 16);
        return 0;
    }
    if (strcmp(keyword, "absurd") == 0) {
        *info = make_header(0x7FFFFFFF, 0x7FFFFFFF, 32, 0, NULL, 0, 0);
        *bits = calloc(1, 64);
        return 0;
    }
    if (strcmp(keyword, "zerowidth") == 0) {
        *info = make_header(0, 2, 24, 0, NULL, 0, 0);
        *bits = calloc(1, 64);
        return 0;
    }
    if (strcmp(keyword, "shorttable") == 0) {
        /* Records 256 table entries but the block holds 4 of them. */
        unsigned char *h = make_header(Width, Height, 8, 0, Colours, 4, 256);
        *info = h;
        *bits = calloc(1, 8);
        return 0;
    }
    if (strcmp(keyword, "shortrows") == 0) {
        /* Rows counted without their padding: 9 bytes each instead of 12,
         * the header's image size saying so, within the allocator's slack. */
        unsigned char *h = make_header(Width, Height, 24, 0, NULL, 0, 0);
        if (h)
            put32(h + 20, 9 * Height);
        *info = h;
        *bits = calloc(1, 9 * Height);
        return 0;
    }
    if (strcmp(keyword, "hugebits") == 0) {
        /* A 3 x 2 picture whose bits block is 32 MiB. */
        *info = make_header(Width, Height, 24, 0, NULL, 0, 0);
        *bits = calloc(1, (size_t)32 << 20);
        return 0;
    }
    if (strcmp(keyword, "large") == 0) {
        /* A plain 3000 x 3000 picture of 36 MB. */
        *info = make_header(3000, 3000, 32, 0, NULL, 0, 0);
        *bits = calloc(1, (size_t)3000 * 3000 * 4);
        return 0;
    }
    if (strcmp(keyword, "badcompression") == 0) {
        *info = make_header(Width, Height, 24, 9, NULL, 0, 0);
        *bits = calloc(1, 64);
        return 0;
    }
    return 8;
}

int32_t GetPicture(const char *source, int32_t offset, uint32_t flag, SpiHandle *bitmapInfo, SpiHandle *bitmapBits,
                   SpiProgressCallback progress, int32_t callbackData)
{
    char keyword[32];
    if (progress || callbackData != 0)
        return 1;
    if (flag != SPI_INPUT_FILE || !read_keyword(source, offset, keyword, sizeof keyword))
        return 2;
    if (strcmp(keyword, "changes") == 0) {
        /* Another picture is written over the file while it is decoded. */
        static const char Other[] = "FAKE pal8\n";
        int fd = open(source, O_WRONLY | O_TRUNC | O_CLOEXEC);
        ssize_t written = fd < 0 ? -1 : write(fd, Other, sizeof Other - 1);
        if (fd >= 0)
            close(fd);
        if (written != (ssize_t)(sizeof Other - 1))
            return 4;
        return make_named("rgb24", offset, bitmapInfo, bitmapBits);
    }
    return make_named(keyword, offset, bitmapInfo, bitmapBits);
}

#endif /* !FAKE_NO_GETPICTURE */
#endif /* HAS_DECODER */
