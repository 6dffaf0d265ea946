// Reads one folder's files of one image type into the file list model: every
// regular file whose extension matches the type's pattern gets a placeholder
// row, is decoded at full size, drawn into its thumbnail cell and completed
// with its detail texts. The caller hears of each placeholder (to paint it)
// and of each finished file (to pump events and say whether to go on).
// Bitmaps and JPEG files are decoded by ReadAhead, partly on a worker thread
// ahead of the list; the list itself still grows one file after the other
// on the caller's thread, and a module is only ever called there.
#pragma once

#include <QImage>
#include <QList>
#include <QPersistentModelIndex>
#include <QSet>
#include <QString>
#include <functional>

#include "decode/Bitmap.h"
#include "listing/FolderFiles.h"
#include "pelandor/spi_plugin.h"

namespace pelandor {

class FileListModel;
class PictureSource;
class ReadAhead;
class ThumbnailCache;

class FolderReader {
public:
    // host decodes the files of plug-in types (the caller loads the entry's
    // module into it first); it may be null when no module is needed.
    FolderReader(FileListModel &model, PictureSource *host, bool jpegPluginFound);

    // Called right after a placeholder row was appended, before its file is
    // decoded.
    void setPlaceholderAdded(std::function<void(int row)> handler) { m_placeholderAdded = std::move(handler); }
    // Called after every finished file; returning false stops the reading.
    void setFileDone(std::function<bool()> handler) { m_fileDone = std::move(handler); }
    // Cells are taken from and kept in `cache` (null: none) under the
    // decoding route of this reader's type (ThumbnailCache::builtInRoute or
    // moduleRoute; empty: nothing is cached). Failed decodes are never kept.
    void setCache(ThumbnailCache *cache, const QString &route)
    {
        m_cache = cache;
        m_route = route;
    }

    // Hands each finished file's cell to `taken` instead of keeping it in
    // the model's thumbnail list, whose rows then have no image index: for
    // the headless commands, which use each cell once, right away.
    void setCellTaken(std::function<void(const QString &name, const QImage &cell)> taken)
    {
        m_cellTaken = std::move(taken);
    }

    // Reads only the files of these names (null: every file).
    void setOnly(const QSet<QString> *names) { m_only = names; }
    // Asked for each file before it is read: a valid index names the row
    // that already lists the file, which is then filled anew (its cell
    // replaced in place) instead of appending a row.
    void setRowOf(std::function<QPersistentModelIndex(const QString &name)> rowOf) { m_rowOf = std::move(rowOf); }

    // Appends the matching files of folderPath in the order the directory
    // lists them. Returns false when stopped by the file-done handler. A
    // folder that cannot be read adds nothing and leaves its reason in
    // listError().
    bool read(const QString &folderPath, const QString &pattern);
    // The same with the folder's files listed already (FolderFiles::list).
    bool read(const QString &folderPath, const QList<FolderFiles::Entry> &files, const QString &pattern);
    const QString &listError() const { return m_listError; }

    // Whether a file belongs to a pattern: the file's image extension (JPEG
    // and JPE counted as JPG, see FileNames) equals the pattern's extension
    // exactly. Wildcards in the pattern are not interpreted.
    static bool matches(const QString &fileName, const QString &pattern);

private:
    // The per-file step: a placeholder row, the full decode, the thumbnail
    // cell and the detail texts. Returns what the file-done handler says.
    // ahead decodes built-in types (null for a module's type); date is the
    // file's date key (see ItemTexts).
    bool readFile(const QString &path, const QString &name, qint64 size, qint64 date, const QString &pattern,
                  ReadAhead *ahead, int index, int source);
    // The indexes in `files` of the files this reader reads for pattern, in
    // their order.
    QList<int> selected(const QList<FolderFiles::Entry> &files, const QString &pattern) const;

    FileListModel &m_model;
    PictureSource *m_host;
    bool m_jpegPluginFound;
    std::function<void(int)> m_placeholderAdded;
    std::function<bool()> m_fileDone;
    std::function<void(const QString &, const QImage &)> m_cellTaken;
    const QSet<QString> *m_only = nullptr;
    std::function<QPersistentModelIndex(const QString &)> m_rowOf;
    ThumbnailCache *m_cache = nullptr;
    QString m_route;
    QString m_listError;
    // Reused from file to file, like the record the loader fills.
    Bitmap m_decoded;
    PictureInfo m_record{};
};

} // namespace pelandor
