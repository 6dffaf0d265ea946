#include "listing/ThumbnailCell.h"

#include <mutex>
#include <vector>

#include "decode/Bitmap.h"

namespace pelandor {

int ThumbnailCell::pixelSize(qreal ratio)
{
    return ratio > 1.0 ? qRound(Size * ratio) : Size;
}

CellRect ThumbnailCell::target(int width, int height, qreal ratio)
{
    const CellRect rect = FitRect(Size, Size, width, height);
    if (ratio <= 1.0)
        return rect;
    return {qRound(rect.left * ratio), qRound(rect.top * ratio), qRound(rect.right * ratio),
            qRound(rect.bottom * ratio)};
}

QImage ThumbnailCell::blank(qreal ratio)
{
    // One white cell per ratio, whose pixels every copy shares until it is
    // drawn into: the files that fail to decode (any number of them) cost
    // one cell together.
    static std::mutex lock;
    static std::vector<QImage> made;
    const qreal stored = ratio > 1.0 ? ratio : 1.0;
    const std::lock_guard<std::mutex> guard(lock);
    for (const QImage &cell : made) {
        if (cell.devicePixelRatio() == stored)
            return cell;
    }
    const int side = pixelSize(ratio);
    QImage cell(side, side, Format);
    cell.fill(Qt::white);
    cell.setDevicePixelRatio(stored);
    made.push_back(cell);
    return cell;
}

QImage ThumbnailCell::compose(const Bitmap &decoded, qreal ratio)
{
    return compose(decoded.image(), ratio);
}

QImage ThumbnailCell::compose(const QImage &decoded, qreal ratio)
{
    QImage cell = blank(ratio);
    if (cell.isNull())
        return cell;
    if (decoded.isNull())
        return cell;
    stretchInto(cell, decoded, target(decoded.width(), decoded.height(), ratio));
    return cell;
}

void ThumbnailCell::stretchInto(QImage &cell, const QImage &source, const CellRect &target)
{
    const QRect clipped = target.toQRect().intersected(cell.rect());
    if (clipped.isEmpty() || source.isNull() || cell.format() != Format)
        return;
    const qint64 sw = source.width();
    const qint64 sh = source.height();
    const qint64 tw = target.width();
    const qint64 th = target.height();

    // Source column of every target column, computed once.
    std::vector<int> columns(size_t(clipped.width()));
    for (int x = clipped.left(); x <= clipped.right(); ++x)
        columns[size_t(x - clipped.left())] = int(((2 * qint64(x - target.left) + 1) * sw) / (2 * tw));

    const QImage::Format format = source.format();
    const QList<QRgb> table = source.colorTable();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        const int sy = int(((2 * qint64(y - target.top) + 1) * sh) / (2 * th));
        const uchar *in = source.constScanLine(sy);
        uchar *out = cell.scanLine(y) + 3 * clipped.left();
        for (const int sx : columns) {
            QRgb rgb;
            switch (format) {
            case QImage::Format_RGB888: {
                const uchar *p = in + 3 * sx;
                out[0] = p[0];
                out[1] = p[1];
                out[2] = p[2];
                out += 3;
                continue;
            }
            case QImage::Format_RGB32:
            case QImage::Format_ARGB32:
            case QImage::Format_ARGB32_Premultiplied:
                rgb = reinterpret_cast<const QRgb *>(in)[sx];
                break;
            case QImage::Format_Indexed8: {
                const uchar index = in[sx];
                rgb = index < table.size() ? table[index] : qRgb(0, 0, 0);
                break;
            }
            case QImage::Format_Grayscale8:
                rgb = qRgb(in[sx], in[sx], in[sx]);
                break;
            default:
                rgb = source.pixel(sx, sy);
                break;
            }
            out[0] = uchar(qRed(rgb));
            out[1] = uchar(qGreen(rgb));
            out[2] = uchar(qBlue(rgb));
            out += 3;
        }
    }
}

} // namespace pelandor
