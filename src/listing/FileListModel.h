// The file list's one item model: per row the caption (file name), the facts
// its five detail texts are made of (made when asked for), the caption's
// collation key for the sort and the index of its thumbnail in the list's
// ThumbnailList.
// The icon view shows column 0 with the thumbnail; the report view shows all
// six columns. Sorting reorders the rows and keeps every row's image index.
#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <optional>
#include <vector>

#include "listing/FileListItem.h"
#include "platform/TextCollator.h"

namespace pelandor {

class ThumbnailList;

class FileListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    enum Column { NameColumn, TypeColumn, SizeColumn, DateColumn, ImageSizeColumn, ColorsColumn, ColumnCount };
    enum Role {
        // The row's thumbnail cell (QImage), in every column; null without one.
        ThumbnailRole = Qt::UserRole + 1,
    };

    explicit FileListModel(QObject *parent = nullptr);

    // The caption of an item whose file is still being decoded.
    static QString placeholderCaption();
    // Caption, width and alignment of each column.
    static QString columnCaption(int column);
    static int columnWidth(int column);
    static Qt::Alignment columnAlignment(int column);

    ThumbnailList *thumbnails() const { return m_thumbnails; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool removeRows(int row, int count, const QModelIndex &parent = QModelIndex()) override;
    // Removes the given rows (any order, repeats and rows out of range
    // ignored), neighbouring ones together and from the bottom up: each
    // removal walks the rows after it and every persistent index, so a
    // large removal costs one walk a run of rows, not one a row.
    void removeRowSet(std::vector<int> rows);

    int count() const { return int(m_rows.size()); }
    QString caption(int row) const;
    // The row's item (its facts); a default item out of range.
    FileListItem item(int row) const;
    // Sub-item i (0 to 4) is column i + 1; empty out of range.
    QString subItem(int row, int i) const;
    int imageIndex(int row) const;

    // Appends one row (one insertion, so views only add that row) and returns it.
    int appendItem(const FileListItem &item);
    // Appends a row with the placeholder caption, no texts and no thumbnail.
    int appendPlaceholder();
    // Replaces a row's content; a row out of range changes nothing.
    void setItem(int row, const FileListItem &item);
    void setCaption(int row, const QString &caption);
    // Removes every row (the thumbnails stay: they are the ThumbnailList's).
    void clear();

    // Stable sort by the sort parameter k (see ItemComparison.h); k = 0 does
    // nothing. Selections and persistent indexes follow their rows.
    void sortItems(int k);

private:
    void onCellReplaced(int imageIndex);
    void onThumbnailsCleared();

    struct Row {
        FileListItem item;
        // The caption's TextCollator::key(), made when the caption is set.
        QByteArray nameKey;
        // The row's place in name order among the ranked rows: rows of equal
        // names share it, a row added or renamed since has none (-1).
        qint64 nameRank = -1;
    };
    int compareNames(const Row &a, const Row &b) const;
    void rankNames();
    Row rowOf(const FileListItem &item) const;
    // Enters `row` as the row of image `imageIndex` in the table below.
    void noteImageRow(int imageIndex, int row) const;

    QList<Row> m_rows;
    // The row of each image index, for repainting a row whose cell was
    // replaced without a scan of every row: kept up as rows are added and
    // given cells, made again after rows are sorted or removed.
    mutable std::vector<int> m_rowOfImage;
    mutable bool m_rowOfImageValid = false;
    mutable std::optional<QByteArray> m_placeholderKey;
    // Rows without a name rank (removing rows and sorting keep the others'
    // ranks in order).
    qsizetype m_unranked = 0;
    ThumbnailList *m_thumbnails = nullptr;
    TextCollator m_collator;
};

} // namespace pelandor
