#include "app/ToolGlyphs.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace pelandor {

namespace {

const QColor kInk(0x33, 0x3b, 0x4a);
const QColor kAccent(0x2b, 0x7c, 0xd3);
const QColor kPaper(0xfd, 0xfd, 0xfd);

void drawArrow(QPainter &p, bool up, const QColor &color)
{
    QPainterPath path;
    if (up) {
        path.moveTo(10, 2);
        path.lineTo(17, 10);
        path.lineTo(12.5, 10);
        path.lineTo(12.5, 18);
        path.lineTo(7.5, 18);
        path.lineTo(7.5, 10);
        path.lineTo(3, 10);
    } else {
        path.moveTo(10, 18);
        path.lineTo(17, 10);
        path.lineTo(12.5, 10);
        path.lineTo(12.5, 2);
        path.lineTo(7.5, 2);
        path.lineTo(7.5, 10);
        path.lineTo(3, 10);
    }
    path.closeSubpath();
    p.setPen(QPen(kInk, 1));
    p.setBrush(color);
    p.drawPath(path);
}

void drawPicture(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(kInk, 1));
    p.setBrush(kPaper);
    p.drawRect(r);
    QPainterPath hill;
    hill.moveTo(r.left() + 1, r.bottom() - 1);
    hill.lineTo(r.left() + r.width() * 0.4, r.top() + r.height() * 0.45);
    hill.lineTo(r.left() + r.width() * 0.65, r.top() + r.height() * 0.7);
    hill.lineTo(r.right() - 1, r.top() + r.height() * 0.35);
    hill.lineTo(r.right() - 1, r.bottom() - 1);
    hill.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4c, 0xa8, 0x5a));
    p.drawPath(hill);
}

} // namespace

QIcon ToolGlyphs::glyphIcon(const QString &name)
{
    QIcon icon;
    for (qreal ratio : {1.0, 1.5, 2.0, 3.0})
        icon.addPixmap(glyph(name, ratio));
    return icon;
}

QPixmap ToolGlyphs::glyph(const QString &name, qreal ratio)
{
    // Drawn in 20 by 20 points on as many pixels as the ratio asks for.
    QPixmap pixmap(qRound(20 * ratio), qRound(20 * ratio));
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.translate(0.5, 0.5);

    if (name == QLatin1String("read")) {
        // An open folder with a picture being taken out of it.
        drawPicture(p, QRectF(6, 1, 11, 9));
        p.setPen(QPen(kInk, 1));
        p.setBrush(QColor(0xf2, 0xc1, 0x4e));
        QPainterPath folder;
        folder.moveTo(1, 7);
        folder.lineTo(6, 7);
        folder.lineTo(8, 9);
        folder.lineTo(18, 9);
        folder.lineTo(18, 18);
        folder.lineTo(1, 18);
        folder.closeSubpath();
        p.drawPath(folder);
    } else if (name == QLatin1String("stop")) {
        QPolygonF octagon;
        for (int i = 0; i < 8; ++i) {
            const double a = (22.5 + 45.0 * i) * 3.14159265358979 / 180.0;
            octagon << QPointF(9.5 + 8.5 * std::cos(a), 9.5 + 8.5 * std::sin(a));
        }
        p.setPen(QPen(QColor(0x7a, 0x12, 0x12), 1));
        p.setBrush(QColor(0xd9, 0x34, 0x2b));
        p.drawPolygon(octagon);
        p.setPen(QPen(Qt::white, 2.2));
        p.drawLine(QPointF(6, 6), QPointF(13, 13));
        p.drawLine(QPointF(13, 6), QPointF(6, 13));
    } else if (name == QLatin1String("icon")) {
        drawPicture(p, QRectF(1, 1, 8, 8));
        drawPicture(p, QRectF(10, 1, 8, 8));
        drawPicture(p, QRectF(1, 10, 8, 8));
        drawPicture(p, QRectF(10, 10, 8, 8));
    } else if (name == QLatin1String("report")) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kPaper);
        p.drawRect(QRectF(1, 1, 17, 17));
        p.setBrush(kAccent);
        p.drawRect(QRectF(1, 1, 17, 4));
        for (int y = 8; y <= 16; y += 4) {
            p.drawLine(QPointF(3, y), QPointF(9, y));
            p.drawLine(QPointF(11, y), QPointF(16, y));
        }
    } else if (name == QLatin1String("name")) {
        QFont font;
        font.setPixelSize(13);
        font.setBold(true);
        p.setFont(font);
        p.setPen(kInk);
        p.drawText(QRectF(0, 0, 12, 19), Qt::AlignCenter, QStringLiteral("A"));
        p.setPen(kAccent);
        p.drawText(QRectF(8, 3, 12, 17), Qt::AlignCenter, QStringLiteral("z"));
    } else if (name == QLatin1String("type")) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kAccent);
        p.drawEllipse(QRectF(1, 1, 8, 8));
        p.setBrush(QColor(0xf2, 0xc1, 0x4e));
        p.drawRect(QRectF(10, 1, 8, 8));
        p.setBrush(QColor(0x4c, 0xa8, 0x5a));
        p.drawPolygon(QPolygonF({QPointF(5, 10), QPointF(9, 18), QPointF(1, 18)}));
        p.setBrush(QColor(0xd9, 0x34, 0x2b));
        p.drawPolygon(QPolygonF({QPointF(14, 10), QPointF(18, 14), QPointF(14, 18), QPointF(10, 14)}));
    } else if (name == QLatin1String("size")) {
        p.setPen(QPen(kInk, 1));
        p.setBrush(kAccent);
        p.drawRect(QRectF(1, 13, 4, 5));
        p.drawRect(QRectF(7, 8, 4, 10));
        p.drawRect(QRectF(13, 2, 4, 16));
    } else if (name == QLatin1String("date")) {
        p.setPen(QPen(kInk, 1.2));
        p.setBrush(kPaper);
        p.drawEllipse(QRectF(1, 1, 17, 17));
        p.setPen(QPen(kAccent, 1.6));
        p.drawLine(QPointF(9.5, 9.5), QPointF(9.5, 4));
        p.drawLine(QPointF(9.5, 9.5), QPointF(13.5, 11.5));
    } else if (name == QLatin1String("up")) {
        drawArrow(p, true, QColor(0x4c, 0xa8, 0x5a));
    } else if (name == QLatin1String("down")) {
        drawArrow(p, false, QColor(0xe0, 0x8a, 0x1e));
    }
    return pixmap;
}

QImage ToolGlyphs::applicationIconImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 64.0, size / 64.0);
    // Three stacked photographs, the front one showing hills under a sun
    // (data/icons/pelandor.svg holds the same shapes for the desktop).
    p.setPen(QPen(kInk, 2));
    p.setBrush(QColor(0xe8, 0xe8, 0xe8));
    p.drawRoundedRect(QRectF(14, 4, 44, 36), 3, 3);
    p.setBrush(QColor(0xf4, 0xf4, 0xf4));
    p.drawRoundedRect(QRectF(10, 12, 44, 36), 3, 3);
    p.setBrush(QColor(0x9c, 0xd0, 0xf5));
    p.drawRoundedRect(QRectF(4, 22, 48, 38), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf2, 0xc1, 0x4e));
    p.drawEllipse(QRectF(36, 27, 10, 10));
    QPainterPath hills;
    hills.moveTo(5, 59);
    hills.lineTo(5, 50);
    hills.lineTo(20, 36);
    hills.lineTo(32, 48);
    hills.lineTo(40, 42);
    hills.lineTo(51, 52);
    hills.lineTo(51, 59);
    hills.closeSubpath();
    p.setBrush(QColor(0x3e, 0x94, 0x4c));
    p.drawPath(hills);
    p.end();
    return image;
}

QIcon ToolGlyphs::applicationIcon()
{
    QIcon icon;
    for (int size : ApplicationIconSizes)
        icon.addPixmap(QPixmap::fromImage(applicationIconImage(size)));
    return icon;
}

} // namespace pelandor
