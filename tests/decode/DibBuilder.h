// Builds device-independent bitmaps and bitmap files byte by byte, so the
// decoder tests can make every variant, and damage it on purpose.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QtEndian>
#include <array>
#include <cstdint>
#include <functional>

namespace testdib {

inline void put16(QByteArray &out, uint16_t v)
{
    uchar b[2];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 2);
}

inline void put32(QByteArray &out, uint32_t v)
{
    uchar b[4];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 4);
}

struct Dib {
    uint32_t headerSize = 40; // 12 (core), 40, 108, 124
    int width = 4;
    int height = 4; // negative: rows stored top-down
    int planes = 1;
    int bitCount = 24;
    uint32_t compression = 0;
    uint32_t colorsUsed = 0;
    QList<QRgb> palette;
    bool withMasks = false;
    std::array<uint32_t, 3> masks{0, 0, 0};
    QByteArray bits;
};

// Header, masks and colour table.
inline QByteArray infoBlock(const Dib &d)
{
    QByteArray o;
    if (d.headerSize == 12) {
        put32(o, 12);
        put16(o, uint16_t(d.width));
        put16(o, uint16_t(d.height));
        put16(o, uint16_t(d.planes));
        put16(o, uint16_t(d.bitCount));
    } else {
        put32(o, d.headerSize);
        put32(o, uint32_t(d.width));
        put32(o, uint32_t(d.height));
        put16(o, uint16_t(d.planes));
        put16(o, uint16_t(d.bitCount));
        put32(o, d.compression);
        put32(o, uint32_t(d.bits.size()));
        put32(o, 2835);
        put32(o, 2835);
        put32(o, d.colorsUsed);
        put32(o, 0);
        if (d.headerSize >= 52) {
            for (uint32_t m : d.masks)
                put32(o, m);
        }
        while (uint32_t(o.size()) < d.headerSize)
            o.append('\0');
    }
    if (d.withMasks && d.headerSize == 40) {
        for (uint32_t m : d.masks)
            put32(o, m);
    }
    for (QRgb c : d.palette) {
        o.append(char(qBlue(c)));
        o.append(char(qGreen(c)));
        o.append(char(qRed(c)));
        if (d.headerSize != 12)
            o.append('\0');
    }
    return o;
}

inline QByteArray bmpFile(const Dib &d)
{
    const QByteArray info = infoBlock(d);
    QByteArray o("BM");
    put32(o, uint32_t(14 + info.size() + d.bits.size()));
    put32(o, 0);
    put32(o, uint32_t(14 + info.size()));
    return o + info + d.bits;
}

// Uncompressed rows of value(x, y), y counted from the top of the picture,
// each row padded to four bytes; 24-bit values are 0xRRGGBB.
inline QByteArray packRows(int w, int h, int bpp, bool topDown, const std::function<uint32_t(int, int)> &value)
{
    const int stride = (w * bpp + 31) / 32 * 4;
    QByteArray out(qsizetype(stride) * h, '\0');
    for (int row = 0; row < h; ++row) {
        const int y = topDown ? row : h - 1 - row;
        auto *dst = reinterpret_cast<uchar *>(out.data()) + qsizetype(row) * stride;
        for (int x = 0; x < w; ++x) {
            const uint32_t v = value(x, y);
            switch (bpp) {
            case 1:
                dst[x / 8] |= uchar((v & 1) << (7 - x % 8));
                break;
            case 4:
                dst[x / 2] |= uchar((x % 2) ? (v & 15) : ((v & 15) << 4));
                break;
            case 8:
                dst[x] = uchar(v);
                break;
            case 16:
                qToLittleEndian(uint16_t(v), dst + 2 * x);
                break;
            case 24:
                dst[3 * x] = uchar(v);
                dst[3 * x + 1] = uchar(v >> 8);
                dst[3 * x + 2] = uchar(v >> 16);
                break;
            case 32:
                qToLittleEndian(v, dst + 4 * x);
                break;
            }
        }
    }
    return out;
}

inline QImage imageOf(int w, int h, const std::function<QRgb(int, int)> &colour)
{
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x)
            image.setPixel(x, y, colour(x, y));
    }
    return image;
}

// Largest difference of one colour channel between two pictures of one size;
// -1 when the sizes differ.
inline int largestDifference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return -1;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    int worst = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int col = 0; col < x.width(); ++col) {
            const QRgb p = x.pixel(col, row);
            const QRgb q = y.pixel(col, row);
            worst = std::max({worst, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                              std::abs(qBlue(p) - qBlue(q))});
        }
    }
    return worst;
}

} // namespace testdib
