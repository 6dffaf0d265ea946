#include "decode/Bitmap.h"

#include <limits>
#include <new>
#include <utility>

namespace pelandor {

QImage::Format Bitmap::storageFormat(PixelFormat format)
{
    switch (format) {
    case PixelFormat::Bits1:
        return QImage::Format_Mono;
    case PixelFormat::Bits4:
    case PixelFormat::Bits8:
        return QImage::Format_Indexed8;
    case PixelFormat::Bits15:
        return QImage::Format_RGB555;
    case PixelFormat::Bits16:
        return QImage::Format_RGB16;
    case PixelFormat::Bits24:
        return QImage::Format_RGB888;
    case PixelFormat::Bits32:
    case PixelFormat::Device:
    case PixelFormat::Custom:
        return QImage::Format_RGB32;
    }
    return QImage::Format_RGB32;
}

int Bitmap::bitDepthOf(PixelFormat format)
{
    switch (format) {
    case PixelFormat::Bits1:
        return 1;
    case PixelFormat::Bits4:
        return 4;
    case PixelFormat::Bits8:
        return 8;
    case PixelFormat::Bits15:
        return 15;
    case PixelFormat::Bits16:
        return 16;
    case PixelFormat::Bits24:
        return 24;
    case PixelFormat::Bits32:
        return 32;
    case PixelFormat::Device:
    case PixelFormat::Custom:
        return 0;
    }
    return 0;
}

void Bitmap::assign(PixelFormat format, QImage image)
{
    m_format = format;
    const QImage::Format want = storageFormat(format);
    if (!image.isNull() && image.format() != want)
        image = image.convertToFormat(want);
    m_image = std::move(image);
    if (format != PixelFormat::Bits15 && format != PixelFormat::Bits16 && format != PixelFormat::Custom)
        m_masks = {0, 0, 0};
}

void Bitmap::clear()
{
    m_image = QImage();
}

void Bitmap::setPixelFormat(PixelFormat format)
{
    if (format == m_format)
        return;
    const QImage::Format want = storageFormat(format);
    m_format = format;
    m_masks = {0, 0, 0};
    if (m_image.isNull() || m_image.format() == want)
        return;
    if (want == QImage::Format_Indexed8 || want == QImage::Format_Mono) {
        // Reducing to a palette: let Qt pick the colours.
        m_image = m_image.convertToFormat(want, Qt::ThresholdDither);
    } else {
        m_image = m_image.convertToFormat(want);
    }
}

namespace {

using Block = std::shared_ptr<uchar[]>;

// Called when the last QImage on a reshaped block goes: drops its share.
void releaseShare(void *share)
{
    delete static_cast<Block *>(share);
}

} // namespace

bool Bitmap::reshape(PixelFormat format, int width, int height)
{
    // Letting go of the picture first gives its share back if nobody else
    // holds a copy of it.
    m_image = QImage();
    m_format = format;
    m_masks = {0, 0, 0};
    if (width <= 0 || height <= 0)
        return false;
    const QImage::Format storage = storageFormat(format);
    const qsizetype depth = QImage::toPixelFormat(storage).bitsPerPixel();
    // Rows padded to 32 bits, as QImage lays out its own pictures.
    const qsizetype stride = ((qsizetype(width) * depth + 31) / 32) * 4;
    if (stride > std::numeric_limits<int>::max() || stride > std::numeric_limits<qsizetype>::max() / height)
        return false;
    const size_t bytes = size_t(stride) * size_t(height);
    if (!m_block || m_block.use_count() > 1 || m_blockSize < bytes) {
        m_block.reset();
        m_blockSize = 0;
        uchar *memory = new (std::nothrow) uchar[bytes];
        if (!memory)
            return false;
        m_block = Block(memory);
        m_blockSize = bytes;
    }
    auto *share = new Block(m_block);
    m_image = QImage(m_block.get(), width, height, stride, storage, releaseShare, share);
    if (m_image.isNull()) {
        delete share;
        return false;
    }
    return true;
}

bool Bitmap::setSize(int w, int h)
{
    if (w <= 0 || h <= 0) {
        m_image = QImage();
        return true;
    }
    QImage next(w, h, storageFormat(m_format));
    if (next.isNull())
        return false;
    if (next.format() == QImage::Format_Indexed8 || next.format() == QImage::Format_Mono)
        next.setColorTable(m_image.colorTable());
    m_image = std::move(next);
    return true;
}

QImage Bitmap::toRgb24() const
{
    if (m_image.isNull())
        return QImage();
    return m_image.convertToFormat(QImage::Format_RGB888);
}

} // namespace pelandor
