// The file list's image list: the 96 by 96 thumbnail cells, kept as 24-bit
// RGB images (27 KB each), addressed by the index add() returned.
#pragma once

#include <QImage>
#include <QList>
#include <QObject>

namespace pelandor {

class ThumbnailList : public QObject {
    Q_OBJECT

public:
    explicit ThumbnailList(QObject *parent = nullptr);

    static constexpr int CellWidth = 96;
    static constexpr int CellHeight = 96;

    // The screen's device-pixel ratio the cells are made for (1 by default;
    // see ThumbnailCell). Cells made before keep their own.
    void setDevicePixelRatio(qreal ratio) { m_ratio = ratio > 1.0 ? ratio : 1.0; }
    qreal devicePixelRatio() const { return m_ratio; }

    // Appends a copy of the cell (converted to the storage format; a cell of
    // another size is fitted into a white cell of the list's size) and
    // returns its index.
    int add(const QImage &cell);
    // Replaces the cell at index; an index out of range changes nothing.
    void replace(int index, const QImage &cell);
    // The cell at index; a null image for an index out of range.
    QImage cell(int index) const;
    int count() const { return int(m_cells.size()); }
    void clear();

signals:
    // The cell at index was replaced.
    void cellReplaced(int index);
    // Every cell was removed.
    void cleared();

private:
    QImage normalized(const QImage &cell) const;

    QList<QImage> m_cells;
    qreal m_ratio = 1.0;
};

} // namespace pelandor
