// The file list's image list: the 96 by 96 thumbnail cells, kept as 24-bit
// RGB images (27 KB each at ratio 1), addressed by the index add() returned.
//
// The list holds at most a budget of cell bytes (64 MB by default). A cell
// added with a source (a way to make it again from its file, for the built-in
// decoders: the thumbnail cache, else a new decode) may be dropped when the
// budget is full, the one used longest ago first; cell() brings it back from
// its source before it returns, so a view painting a page gets exactly the
// cells first made. Cells without a source (pictures decoded by an import
// module) are kept, and every white cell (failed and empty decodes) shares
// one image.
#pragma once

#include <QImage>
#include <QList>
#include <QObject>
#include <functional>
#include <vector>

namespace pelandor {

class ThumbnailList : public QObject {
    Q_OBJECT

public:
    explicit ThumbnailList(QObject *parent = nullptr);

    static constexpr int CellWidth = 96;
    static constexpr int CellHeight = 96;
    static constexpr qint64 DefaultBudget = qint64(64) << 20;

    // Makes a file's cell again from its path; a null image when it cannot.
    using Source = std::function<QImage(const QString &path)>;

    // The screen's device-pixel ratio the cells are made for (1 by default;
    // see ThumbnailCell). Cells made before keep their own.
    void setDevicePixelRatio(qreal ratio) { m_ratio = ratio > 1.0 ? ratio : 1.0; }
    qreal devicePixelRatio() const { return m_ratio; }

    // The bytes of cells held at most (beyond the cells that have no source).
    void setBudget(qint64 bytes);
    qint64 budget() const { return m_budget; }
    // The bytes of the cells held now (the shared white cell not counted).
    qint64 heldBytes() const { return m_held; }

    // Gets a file's cell ready to be made soon (reads it ahead from disk in
    // the background); it must not block.
    using Warm = std::function<void(const QString &path)>;

    // Registers a source for the cells of one reading (and optionally its
    // way to get cells ready); add() names it by the returned number.
    // clear() forgets the sources.
    int addSource(Source source, Warm warm = {});
    // Gets the dropped cell at index ready to come back soon (a page about
    // to be shown); nothing for a cell held or without a source.
    void prefetch(int index) const;

    // Appends a copy of the cell (converted to the storage format; a cell of
    // another size is fitted into a white cell of the list's size) and
    // returns its index. With a source (and the path it makes the cell
    // from), the cell may be dropped and made again.
    int add(const QImage &cell, int source = -1, const QString &path = QString());
    // Replaces the cell at index (and its source); an index out of range
    // changes nothing.
    void replace(int index, const QImage &cell, int source = -1, const QString &path = QString());
    // The same for a cell not made yet: its source makes it when it is first
    // asked for (a reading that found the cell in the thumbnail cache leaves
    // it there). A source out of range gives a white cell.
    int addFromSource(int source, const QString &path);
    void replaceFromSource(int index, int source, const QString &path);
    // The cell at index, brought back from its source when it was dropped
    // (white when the source fails); a null image for an index out of range.
    QImage cell(int index) const;
    int count() const { return int(m_slots.size()); }
    // Whether the cell at index is in memory now.
    bool isHeld(int index) const;
    void clear();

signals:
    // The cell at index was replaced.
    void cellReplaced(int index);
    // Every cell was removed.
    void cleared();

private:
    struct Slot {
        QImage cell;  // null when dropped
        QString path; // for the source
        int source = -1;
        // Neighbours in the use order of the droppable cells held (-1: none).
        int newer = -1;
        int older = -1;
        bool listed = false;
        bool counted = false; // its bytes are in m_held (not the shared white cell)
    };

    QImage normalized(const QImage &cell) const;
    // Puts a normalized cell into the slot, counting its bytes.
    void hold(int index, const QImage &cell) const;
    void unlink(int index) const;
    void touch(int index) const;
    // Drops the cells used longest ago until the held bytes fit the budget,
    // never `keep`.
    void trim(int keep) const;

    // Brought-back cells change what is held, not what cell() returns.
    mutable std::vector<Slot> m_slots;
    mutable qint64 m_held = 0;
    mutable int m_newest = -1;
    mutable int m_oldest = -1;
    std::vector<Source> m_sources;
    std::vector<Warm> m_warms;
    mutable QImage m_blank;
    qint64 m_budget = DefaultBudget;
    qreal m_ratio = 1.0;
};

} // namespace pelandor
