// Device-independent bitmap reader. Every length and index comes from the
// data and is checked before it is used; the picture is built in a local
// image and handed to the caller only when all of it decoded.
#include "decode/DibDecoder.h"

#include "decode/Bitmap.h"
#include "pelandor/spi_plugin.h"

#include <QtEndian>
#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>

namespace pelandor {

namespace {

constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiRle8 = 1;
constexpr uint32_t BiRle4 = 2;
constexpr uint32_t BiBitfields = 3;

constexpr uint32_t CoreHeaderSize = 12;
constexpr uint32_t InfoHeaderSize = 40;
// Headers of 52 bytes and more carry the masks inside the header.
constexpr uint32_t HeaderWithMasksSize = 52;

// Limits that keep a lying header from asking for an absurd allocation: the
// largest picture the module interface lets a module hand over.
constexpr int64_t MaxSide = SPI_MAX_SIDE;
constexpr uint64_t MaxPixels = SPI_MAX_PIXELS;
// Run-length data: an encoded run spends two bytes on at most 255 pixels, so a
// real file stays well below this many pixels per byte of data.
constexpr uint64_t MaxRlePixelsPerByte = 256;
constexpr uint64_t RleGracePixels = 1 << 16;

inline uint16_t read16(const uchar *p)
{
    return qFromLittleEndian<uint16_t>(p);
}

inline uint32_t read32(const uchar *p)
{
    return qFromLittleEndian<uint32_t>(p);
}

struct DibHeader {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bitCount = 0;
    uint32_t compression = BiRgb;
    uint32_t sizeImage = 0;
    std::array<uint32_t, 3> masks{0, 0, 0};
    size_t paletteOffset = 0;
    size_t paletteEntrySize = 4;
    uint64_t paletteCount = 0; // entries the header block holds
    uint64_t infoBytes = 0;    // header + masks + colour table
};

bool masksAreSound(const std::array<uint32_t, 3> &masks, int bitCount)
{
    const uint64_t limit = bitCount == 16 ? 0xFFFFu : 0xFFFFFFFFu;
    uint32_t seen = 0;
    for (uint32_t m : masks) {
        if (m > limit || (m & seen) != 0)
            return false;
        if (m != 0) {
            // One run of set bits: shifting out the trailing zeros leaves 2^n - 1.
            const uint64_t run = uint64_t(m >> std::countr_zero(m));
            if ((run & (run + 1)) != 0)
                return false;
        }
        seen |= m;
    }
    return seen != 0;
}

std::optional<DibHeader> parseHeader(const uchar *info, size_t infoSize)
{
    if (!info || infoSize < 4)
        return std::nullopt;
    DibHeader h;
    const uint32_t headerSize = read32(info);
    int64_t width = 0;
    int64_t height = 0;
    int planes = 0;
    uint32_t colorsUsed = 0;
    if (headerSize == CoreHeaderSize) {
        if (infoSize < CoreHeaderSize)
            return std::nullopt;
        width = read16(info + 4);
        height = read16(info + 6);
        planes = read16(info + 8);
        h.bitCount = read16(info + 10);
        h.paletteEntrySize = 3;
    } else if (headerSize >= InfoHeaderSize && headerSize <= infoSize) {
        width = int32_t(read32(info + 4));
        height = int32_t(read32(info + 8));
        planes = read16(info + 12);
        h.bitCount = read16(info + 14);
        h.compression = read32(info + 16);
        h.sizeImage = read32(info + 20);
        colorsUsed = read32(info + 32);
    } else {
        return std::nullopt;
    }
    if (planes != 1)
        return std::nullopt;
    if (height < 0) {
        h.topDown = true;
        height = -height;
    }
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide
        || uint64_t(width) * uint64_t(height) > MaxPixels)
        return std::nullopt;
    h.width = int(width);
    h.height = int(height);

    const int bpp = h.bitCount;
    switch (h.compression) {
    case BiRgb:
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            return std::nullopt;
        break;
    case BiRle8:
    case BiRle4:
        // Run-length pictures are always stored bottom-up.
        if (bpp != (h.compression == BiRle8 ? 8 : 4) || h.topDown)
            return std::nullopt;
        break;
    case BiBitfields:
        if (bpp != 16 && bpp != 32)
            return std::nullopt;
        break;
    default:
        return std::nullopt;
    }

    uint64_t offset = headerSize;
    if (h.compression == BiBitfields) {
        const uchar *m = nullptr;
        if (headerSize >= HeaderWithMasksSize) {
            m = info + InfoHeaderSize;
        } else {
            if (offset + 12 > infoSize)
                return std::nullopt;
            m = info + offset;
            offset += 12;
        }
        h.masks = {read32(m), read32(m + 4), read32(m + 8)};
        if (!masksAreSound(h.masks, bpp))
            return std::nullopt;
    }

    if (bpp <= 8)
        h.paletteCount = colorsUsed != 0 ? colorsUsed : (uint64_t(1) << bpp);
    h.paletteOffset = size_t(offset);
    h.infoBytes = offset + h.paletteCount * h.paletteEntrySize;
    if (h.infoBytes > infoSize)
        return std::nullopt;
    return h;
}

uint64_t strideOf(const DibHeader &h)
{
    return (uint64_t(h.width) * uint64_t(h.bitCount) + 31) / 32 * 4;
}

// One colour channel described by a bit-field mask, scaled to 0..255.
class MaskChannel {
public:
    explicit MaskChannel(uint32_t mask)
        : m_mask(mask)
    {
        if (mask == 0)
            return;
        m_shift = std::countr_zero(mask);
        m_bits = std::popcount(mask);
        m_max = uint32_t((uint64_t(1) << m_bits) - 1);
    }
    uint32_t value(uint32_t pixel) const
    {
        if (m_bits == 0)
            return 0;
        const uint32_t v = (pixel & m_mask) >> m_shift;
        if (m_bits >= 8)
            return v >> (m_bits - 8);
        return (v * 255 + m_max / 2) / m_max;
    }

private:
    uint32_t m_mask = 0;
    int m_shift = 0;
    int m_bits = 0;
    uint32_t m_max = 1;
};

struct Palette {
    QList<QRgb> colors; // the entries a pixel may use (at most 2^depth)
};

Palette readPalette(const uchar *info, const DibHeader &h)
{
    Palette p;
    const uint64_t usable = std::min<uint64_t>(h.paletteCount, uint64_t(1) << h.bitCount);
    p.colors.reserve(qsizetype(usable));
    const uchar *entry = info + h.paletteOffset;
    for (uint64_t i = 0; i < usable; ++i, entry += h.paletteEntrySize)
        p.colors.append(qRgb(entry[2], entry[1], entry[0]));
    return p;
}

bool decodeUncompressed(const uchar *info, const DibHeader &h, const uchar *bits, size_t bitsSize, Bitmap &out)
{
    const uint64_t stride = strideOf(h);
    const uint64_t rowBytes = (uint64_t(h.width) * uint64_t(h.bitCount) + 7) / 8;
    // The last row need not carry its padding.
    if (!bits || stride * uint64_t(h.height - 1) + rowBytes > bitsSize)
        return false;

    PixelFormat format = PixelFormat::Bits32;
    std::array<uint32_t, 3> masks{0, 0, 0};
    switch (h.bitCount) {
    case 1:
        format = PixelFormat::Bits1;
        break;
    case 4:
        format = PixelFormat::Bits4;
        break;
    case 8:
        format = PixelFormat::Bits8;
        break;
    case 16:
        if (h.compression == BiRgb) {
            format = PixelFormat::Bits15;
        } else {
            format = h.masks[1] == 0x07E0 ? PixelFormat::Bits16 : PixelFormat::Custom;
            masks = h.masks;
        }
        break;
    case 24:
        format = PixelFormat::Bits24;
        break;
    case 32:
        if (h.compression == BiBitfields) {
            format = PixelFormat::Custom;
            masks = h.masks;
        }
        break;
    }

    Palette palette;
    if (h.bitCount <= 8) {
        palette = readPalette(info, h);
        if (palette.colors.isEmpty())
            return false;
    }
    const uint32_t paletteSize = uint32_t(palette.colors.size());

    QImage image(h.width, h.height, Bitmap::storageFormat(format));
    if (image.isNull())
        return false;
    const MaskChannel red(masks[0]);
    const MaskChannel green(masks[1]);
    const MaskChannel blue(masks[2]);
    const bool plain565 = masks == std::array<uint32_t, 3>{0xF800, 0x07E0, 0x001F};
    const int w = h.width;

    for (int y = 0; y < h.height; ++y) {
        const uchar *src = bits + stride * uint64_t(h.topDown ? y : h.height - 1 - y);
        uchar *dst = image.scanLine(y);
        switch (h.bitCount) {
        case 1:
            std::memcpy(dst, src, size_t(rowBytes));
            if (paletteSize < 2) {
                for (int x = 0; x < w; ++x) {
                    if ((src[x >> 3] >> (7 - (x & 7))) & 1)
                        return false;
                }
            }
            break;
        case 4:
            for (int x = 0; x < w; ++x) {
                const uchar index = (x & 1) ? (src[x >> 1] & 0x0F) : (src[x >> 1] >> 4);
                if (index >= paletteSize)
                    return false;
                dst[x] = index;
            }
            break;
        case 8:
            std::memcpy(dst, src, size_t(w));
            if (paletteSize < 256) {
                for (int x = 0; x < w; ++x) {
                    if (src[x] >= paletteSize)
                        return false;
                }
            }
            break;
        case 16: {
            auto *d = reinterpret_cast<uint16_t *>(dst);
            for (int x = 0; x < w; ++x) {
                const uint16_t p = read16(src + 2 * x);
                if (format == PixelFormat::Bits15) {
                    d[x] = p & 0x7FFF;
                } else if (format == PixelFormat::Bits16 && plain565) {
                    d[x] = p;
                } else if (format == PixelFormat::Bits16) {
                    // Green sits at 0x07E0 but red and blue elsewhere: repack.
                    d[x] = uint16_t(((red.value(p) >> 3) << 11) | ((green.value(p) >> 2) << 5) | (blue.value(p) >> 3));
                } else {
                    reinterpret_cast<uint32_t *>(dst)[x] = qRgb(red.value(p), green.value(p), blue.value(p));
                }
            }
            break;
        }
        case 24:
            for (int x = 0; x < w; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
            break;
        case 32: {
            auto *d = reinterpret_cast<uint32_t *>(dst);
            for (int x = 0; x < w; ++x) {
                const uint32_t p = read32(src + 4 * x);
                d[x] = format == PixelFormat::Custom ? qRgb(red.value(p), green.value(p), blue.value(p))
                                                     : (p | 0xFF000000u);
            }
            break;
        }
        }
    }
    if (h.bitCount <= 8)
        image.setColorTable(palette.colors);
    out.assign(format, std::move(image));
    out.setMasks(masks);
    return true;
}

// Expands RLE4 or RLE8 data into a 32-bit picture. Rows are counted from the
// bottom, as the data stores them.
bool decodeRunLength(const uchar *info, const DibHeader &h, const uchar *bits, size_t bitsSize, Bitmap &out)
{
    const uint64_t pixels = uint64_t(h.width) * uint64_t(h.height);
    if (!bits || pixels > uint64_t(bitsSize) * MaxRlePixelsPerByte + RleGracePixels)
        return false;
    const Palette palette = readPalette(info, h);
    const qsizetype paletteSize = palette.colors.size();
    if (paletteSize == 0)
        return false;

    QImage image(h.width, h.height, QImage::Format_RGB32);
    if (image.isNull())
        return false;
    image.fill(qRgb(0, 0, 0));

    const bool rle4 = h.compression == BiRle4;
    const int w = h.width;
    const int height = h.height;
    int x = 0;
    int y = 0;
    size_t pos = 0;
    auto row = [&](int fromBottom) { return reinterpret_cast<QRgb *>(image.scanLine(height - 1 - fromBottom)); };

    for (;;) {
        if (pos + 2 > bitsSize) {
            // Data ended without the end-of-bitmap mark: accept it only when
            // every row has been written.
            if (y == height || (y == height - 1 && x == w))
                break;
            return false;
        }
        const int count = bits[pos];
        const int value = bits[pos + 1];
        pos += 2;
        if (count > 0) {
            if (y >= height || x + count > w)
                return false;
            QRgb *dst = row(y) + x;
            for (int i = 0; i < count; ++i) {
                const int index = rle4 ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value;
                if (index >= paletteSize)
                    return false;
                dst[i] = palette.colors[index];
            }
            x += count;
            continue;
        }
        if (value == 0) { // end of line
            x = 0;
            if (++y > height)
                return false;
        } else if (value == 1) { // end of bitmap
            break;
        } else if (value == 2) { // move right and up
            if (pos + 2 > bitsSize)
                return false;
            x += bits[pos];
            y += bits[pos + 1];
            pos += 2;
            if (x > w || y > height)
                return false;
        } else { // literal pixels, padded to a 16-bit boundary
            const int n = value;
            const size_t bytes = rle4 ? size_t(n + 1) / 2 : size_t(n);
            if (pos + bytes > bitsSize || y >= height || x + n > w)
                return false;
            QRgb *dst = row(y) + x;
            for (int i = 0; i < n; ++i) {
                const int index = rle4 ? ((i & 1) ? (bits[pos + i / 2] & 0x0F) : (bits[pos + i / 2] >> 4))
                                       : bits[pos + i];
                if (index >= paletteSize)
                    return false;
                dst[i] = palette.colors[index];
            }
            x += n;
            pos += bytes + (bytes & 1);
        }
    }
    out.assign(PixelFormat::Device, std::move(image));
    out.setMasks({0, 0, 0});
    return true;
}

} // namespace

bool decodeDib(const uchar *info, size_t infoSize, const uchar *bits, size_t bitsSize, Bitmap &out)
{
    const std::optional<DibHeader> header = parseHeader(info, infoSize);
    if (!header)
        return false;
    if (header->compression == BiRle4 || header->compression == BiRle8)
        return decodeRunLength(info, *header, bits, bitsSize, out);
    return decodeUncompressed(info, *header, bits, bitsSize, out);
}

size_t dibInfoSize(const uchar *info, size_t available)
{
    const std::optional<DibHeader> header = parseHeader(info, available);
    return header ? size_t(header->infoBytes) : 0;
}

size_t dibBitsSize(const uchar *info, size_t infoSize)
{
    const std::optional<DibHeader> header = parseHeader(info, infoSize);
    if (!header)
        return 0;
    if (header->compression == BiRle4 || header->compression == BiRle8)
        return header->sizeImage;
    return size_t(strideOf(*header) * uint64_t(header->height));
}

} // namespace pelandor
