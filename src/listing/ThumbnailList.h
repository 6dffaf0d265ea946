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

    // Appends a copy of the cell (converted to the storage format; a cell of
    // another size is fitted into a white 96 by 96 cell) and returns its index.
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
    static QImage normalized(const QImage &cell);

    QList<QImage> m_cells;
};

} // namespace pelandor
