#include "viewer/ImageControl.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <cmath>

namespace pelandor {

ImageControl::ImageControl(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("Image1"));
    // Every pixel of the control is painted, so Qt need not clear it first.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void ImageControl::setPicture(const Bitmap &picture)
{
    m_picture = picture;
    update();
}

QRect ImageControl::sourceRectFor(const QRect &exposed, const QSize &controlSize, const QSize &pictureSize)
{
    if (controlSize.isEmpty() || pictureSize.isEmpty())
        return QRect();
    const double sx = double(pictureSize.width()) / controlSize.width();
    const double sy = double(pictureSize.height()) / controlSize.height();
    const int left = std::max(0, int(std::floor(exposed.left() * sx)) - 1);
    const int top = std::max(0, int(std::floor(exposed.top() * sy)) - 1);
    const int right = std::min(pictureSize.width(), int(std::ceil((exposed.right() + 1) * sx)) + 1);
    const int bottom = std::min(pictureSize.height(), int(std::ceil((exposed.bottom() + 1) * sy)) + 1);
    if (right <= left || bottom <= top)
        return QRect();
    return QRect(left, top, right - left, bottom - top);
}

void ImageControl::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QImage &image = m_picture.image();
    if (image.isNull() || width() <= 0 || height() <= 0) {
        painter.fillRect(event->rect(), palette().window());
        return;
    }
    if (size() == image.size()) {
        painter.drawImage(event->rect().topLeft(), image, event->rect());
        return;
    }
    // Stretched: draw the part of the picture under the exposed area into
    // the place the whole-picture mapping would put it, so neighbouring
    // repaints meet without seams.
    const QRect source = sourceRectFor(event->rect(), size(), image.size());
    if (source.isEmpty())
        return;
    const double kx = double(width()) / image.width();
    const double ky = double(height()) / image.height();
    const QRectF target(source.left() * kx, source.top() * ky, source.width() * kx, source.height() * ky);
    painter.setClipRect(event->rect());
    painter.drawImage(target, image, QRectF(source));
}

void ImageControl::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        if (event->modifiers() & Qt::ControlModifier)
            emit ctrlDoubleClicked();
        else
            emit doubleClicked();
    }
    QWidget::mouseDoubleClickEvent(event);
}

} // namespace pelandor
