// The 96 by 96 thumbnail cell of the file list: a white square with the
// decoded picture stretched into its FitRect rectangle. On a screen with a
// device-pixel ratio above 1 the cell has that many more pixels (96 x ratio a
// side, the rectangle scaled alike) and carries the ratio, so it shows at 96
// by 96 points, sharp instead of blown up.
#pragma once

#include <QImage>

#include "listing/FitRect.h"

namespace pelandor {

class Bitmap;

class ThumbnailCell {
public:
    static constexpr int Size = 96;
    // The storage format of a cell: 24-bit RGB keeps 10,000 cells small.
    static constexpr QImage::Format Format = QImage::Format_RGB888;

    // A white cell with `decoded` drawn into FitRect(96, 96, width, height)
    // (scaled by `ratio`) by a plain (nearest pixel) stretch. An empty
    // picture gives a white cell.
    static QImage compose(const Bitmap &decoded, qreal ratio = 1.0);
    static QImage compose(const QImage &decoded, qreal ratio = 1.0);

    // A cell of white only.
    static QImage blank(qreal ratio = 1.0);

    // The side of a cell in pixels at `ratio`.
    static int pixelSize(qreal ratio);
    // FitRect's rectangle for a width x height picture at `ratio`: the
    // rectangle of the 96 by 96 cell with every edge scaled.
    static CellRect target(int width, int height, qreal ratio);

    // Stretches `source` into `target` of `cell` (24-bit RGB), sampling the
    // source pixel under the centre of every target pixel.
    static void stretchInto(QImage &cell, const QImage &source, const CellRect &target);
};

} // namespace pelandor
