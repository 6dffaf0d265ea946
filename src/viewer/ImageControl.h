// The viewer's image control (Image1): holds the full-size picture and draws
// it stretched to the control's own size. Only the exposed part is drawn, from
// the matching part of the picture, so a very large photograph zooms and
// scrolls without rescaling the whole picture on every paint.
#pragma once

#include <QWidget>

#include "decode/Bitmap.h"

namespace pelandor {

class ImageControl : public QWidget {
    Q_OBJECT

public:
    explicit ImageControl(QWidget *parent = nullptr);

    void setPicture(const Bitmap &picture);
    const Bitmap &picture() const { return m_picture; }

    // The part of the picture (in picture pixels) shown by the control's area
    // `exposed` when the picture is stretched to `controlSize`; a pixel wider
    // on each side than strictly needed, clipped to the picture.
    static QRect sourceRectFor(const QRect &exposed, const QSize &controlSize, const QSize &pictureSize);

signals:
    void doubleClicked();
    // A double-click with Ctrl held (instead of doubleClicked).
    void ctrlDoubleClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    Bitmap m_picture;
};

} // namespace pelandor
