// The in-memory raster image used everywhere a decoded picture, a thumbnail
// cell or a viewer's picture is held. It keeps the pixel format the picture
// came in (so that colour depth and saving in the original format work) and
// stores the pixels in a QImage, which makes drawing with Qt cheap.
#pragma once

#include <QImage>
#include <QList>
#include <array>
#include <cstdint>
#include <memory>

namespace pelandor {

enum class PixelFormat {
    Device, // the screen's own format (32-bit on this platform)
    Bits1,
    Bits4,
    Bits8,
    Bits15, // 16-bit pixels 5-5-5, no bit-field masks
    Bits16, // 16-bit pixels 5-6-5 (bit-field masks, green 0x07E0)
    Bits24,
    Bits32, // 32-bit pixels without bit-field masks
    Custom, // any other layout (other 16-bit masks, 32 bits with masks)
};

class Bitmap {
public:
    Bitmap() = default;

    PixelFormat pixelFormat() const { return m_format; }
    int width() const { return m_image.width(); }
    int height() const { return m_image.height(); }
    bool isEmpty() const { return m_image.isNull(); }

    // The pixels as a QImage, for drawing. Storage by format:
    // Bits1 -> Format_Mono, Bits4/Bits8 -> Format_Indexed8 with colour table,
    // Bits15 -> Format_RGB555, Bits16 -> Format_RGB16, Bits24 -> Format_RGB888,
    // Bits32/Device/Custom -> Format_RGB32.
    const QImage &image() const { return m_image; }

    // The colour table of a palette format (empty otherwise).
    QList<QRgb> palette() const { return m_image.colorTable(); }

    // Bit-field masks (red, green, blue) of a 15, 16-bit or custom format as
    // they came from the file; all zero when the picture had none.
    const std::array<uint32_t, 3> &masks() const { return m_masks; }
    void setMasks(const std::array<uint32_t, 3> &masks) { m_masks = masks; }

    // Replaces the whole content. The image is converted to the storage
    // format of `format` if it is not stored that way already.
    void assign(PixelFormat format, QImage image);

    // Empties the picture (width and height 0); the pixel format stays.
    void clear();

    // Changes the pixel format, converting the present content.
    void setPixelFormat(PixelFormat format);

    // Makes the picture width x height in `format` with its pixels left for
    // the caller to write (bits()). The pixel memory of the previous picture
    // is used again when it is large enough and no copy of that picture is
    // held anywhere else; otherwise new memory is taken. A decoding loop that
    // reuses one bitmap so touches its memory once, not once per file.
    // Returns false, the bitmap emptied, when the memory cannot be had.
    bool reshape(PixelFormat format, int width, int height);
    // The writable pixel rows, bytesPerLine() apart (detaches a shared picture).
    uchar *bits() { return m_image.bits(); }
    qsizetype bytesPerLine() const { return m_image.bytesPerLine(); }
    // The colour table of a palette picture.
    void setPalette(const QList<QRgb> &colours) { m_image.setColorTable(colours); }

    // Resizes to w x h (content is not kept), in the present pixel format.
    // Returns false when the size cannot be allocated.
    bool setSize(int w, int h);

    // The picture as 24-bit RGB (Format_RGB888).
    QImage toRgb24() const;

    // The colour depth reported for a pixel format: 1, 4, 8, 15, 16, 24, 32,
    // and 0 for the device-dependent and custom formats.
    static int bitDepthOf(PixelFormat format);

    // The QImage format used to store a pixel format.
    static QImage::Format storageFormat(PixelFormat format);

private:
    PixelFormat m_format = PixelFormat::Device;
    QImage m_image;
    std::array<uint32_t, 3> m_masks{0, 0, 0};
    // The memory reshape() hands out; every QImage made on it holds a share,
    // so it is written again only when the bitmap holds the one share left.
    std::shared_ptr<uchar[]> m_block;
    size_t m_blockSize = 0;
};

} // namespace pelandor
