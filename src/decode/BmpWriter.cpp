// Bitmap file writer: headers, masks and palette first, then the rows from the
// bottom up, each padded to four bytes.
#include "decode/BmpWriter.h"

#include "decode/Bitmap.h"

#include <QIODevice>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

namespace pelandor {

namespace {

constexpr uint32_t FileHeaderSize = 14;
constexpr uint32_t InfoHeaderSize = 40;
constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiBitfields = 3;

void put16(QByteArray &out, uint16_t v)
{
    uchar b[2];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 2);
}

void put32(QByteArray &out, uint32_t v)
{
    uchar b[4];
    qToLittleEndian(v, b);
    out.append(reinterpret_cast<const char *>(b), 4);
}

bool fail(QString *errorText, const QString &text)
{
    if (errorText)
        *errorText = text;
    return false;
}

// The highest palette index the picture uses, so that the written table
// covers every pixel.
int highestIndex(const QImage &image)
{
    int highest = 0;
    for (int y = 0; y < image.height() && highest < 255; ++y) {
        const uchar *row = image.constScanLine(y);
        highest = std::max<int>(highest, *std::max_element(row, row + image.width()));
    }
    return highest;
}

} // namespace

bool writeBmp(const Bitmap &bitmap, QIODevice &device, QString *errorText)
{
    if (bitmap.isEmpty())
        return fail(errorText, QStringLiteral("The picture is empty."));

    const QImage &image = bitmap.image();
    const PixelFormat format = bitmap.pixelFormat();
    const int width = image.width();
    const int height = image.height();

    int bitCount = 32;
    uint32_t compression = BiRgb;
    std::array<uint32_t, 3> masks{0, 0, 0};
    QList<QRgb> palette;
    switch (format) {
    case PixelFormat::Bits1:
        bitCount = 1;
        palette = image.colorTable();
        if (palette.isEmpty())
            palette = {qRgb(0, 0, 0), qRgb(255, 255, 255)};
        break;
    case PixelFormat::Bits4:
    case PixelFormat::Bits8: {
        palette = image.colorTable();
        const int highest = highestIndex(image);
        while (palette.size() <= highest)
            palette.append(qRgb(0, 0, 0));
        bitCount = (format == PixelFormat::Bits4 && palette.size() <= 16) ? 4 : 8;
        break;
    }
    case PixelFormat::Bits15:
        bitCount = 16;
        break;
    case PixelFormat::Bits16:
        bitCount = 16;
        compression = BiBitfields;
        masks = {0xF800, 0x07E0, 0x001F};
        break;
    case PixelFormat::Bits24:
        bitCount = 24;
        break;
    case PixelFormat::Bits32:
    case PixelFormat::Device:
        break;
    case PixelFormat::Custom:
        compression = BiBitfields;
        masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
        break;
    }

    const uint64_t stride = (uint64_t(width) * uint64_t(bitCount) + 31) / 32 * 4;
    const uint64_t bitsSize = stride * uint64_t(height);
    const uint32_t infoBlock = InfoHeaderSize + (compression == BiBitfields ? 12 : 0) + uint32_t(palette.size()) * 4;
    const uint64_t fileSize = FileHeaderSize + infoBlock + bitsSize;
    if (fileSize > 0xFFFFFFFFu)
        return fail(errorText, QStringLiteral("The picture is too large for a bitmap file."));

    QByteArray header;
    header.reserve(int(FileHeaderSize + infoBlock));
    header.append("BM", 2);
    put32(header, uint32_t(fileSize));
    put32(header, 0);
    put32(header, FileHeaderSize + infoBlock);
    put32(header, InfoHeaderSize);
    put32(header, uint32_t(width));
    put32(header, uint32_t(height));
    put16(header, 1);
    put16(header, uint16_t(bitCount));
    put32(header, compression);
    put32(header, uint32_t(bitsSize));
    put32(header, 0); // no resolution recorded
    put32(header, 0);
    put32(header, uint32_t(palette.size()));
    put32(header, 0);
    if (compression == BiBitfields) {
        for (uint32_t m : masks)
            put32(header, m);
    }
    for (QRgb c : palette) {
        const char entry[4] = {char(qBlue(c)), char(qGreen(c)), char(qRed(c)), 0};
        header.append(entry, 4);
    }
    if (device.write(header) != header.size())
        return fail(errorText, device.errorString());

    QByteArray row(qsizetype(stride), '\0');
    uchar *dst = reinterpret_cast<uchar *>(row.data());
    for (int y = height - 1; y >= 0; --y) {
        const uchar *src = image.constScanLine(y);
        switch (bitCount) {
        case 1:
            std::memcpy(dst, src, size_t(width + 7) / 8);
            break;
        case 4:
            std::memset(dst, 0, size_t(stride));
            for (int x = 0; x < width; ++x)
                dst[x >> 1] |= (x & 1) ? (src[x] & 0x0F) : uchar(src[x] << 4);
            break;
        case 8:
            std::memcpy(dst, src, size_t(width));
            break;
        case 16: {
            const auto *p = reinterpret_cast<const uint16_t *>(src);
            for (int x = 0; x < width; ++x)
                qToLittleEndian<uint16_t>(p[x], dst + 2 * x);
            break;
        }
        case 24:
            for (int x = 0; x < width; ++x) {
                dst[3 * x] = src[3 * x + 2];
                dst[3 * x + 1] = src[3 * x + 1];
                dst[3 * x + 2] = src[3 * x];
            }
            break;
        case 32: {
            const auto *p = reinterpret_cast<const uint32_t *>(src);
            for (int x = 0; x < width; ++x)
                qToLittleEndian<uint32_t>(p[x], dst + 4 * x);
            break;
        }
        }
        if (device.write(row) != row.size())
            return fail(errorText, device.errorString());
    }
    return true;
}

} // namespace pelandor
