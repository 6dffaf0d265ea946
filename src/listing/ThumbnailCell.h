// The 96 by 96 thumbnail cell of the file list: a white square with the
// decoded picture stretched into its FitRect rectangle.
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
    // by a plain (nearest pixel) stretch. An empty picture gives a white cell.
    static QImage compose(const Bitmap &decoded);
    static QImage compose(const QImage &decoded);

    // A cell of white only.
    static QImage blank();

    // Stretches `source` into `target` of `cell` (24-bit RGB), sampling the
    // source pixel under the centre of every target pixel.
    static void stretchInto(QImage &cell, const QImage &source, const CellRect &target);
};

} // namespace pelandor
