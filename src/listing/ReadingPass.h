// One reading of a folder into the file list for one entry of the type
// selector: the all-image-files entry (the last) reads every other entry in
// turn, any other entry reads its own type. Each entry's import module is
// loaded into the host before its pass and released after it, whatever ends
// the pass. The window and the headless commands both read through this
// class; the per-file step is FolderReader::readFile.
#pragma once

#include <QImage>
#include <QList>
#include <QPersistentModelIndex>
#include <QSet>
#include <QString>
#include <functional>

#include "decode/ImageTypeEntry.h"
#include "listing/FolderFiles.h"

namespace pelandor {

class FileListModel;
class ThumbnailCache;
class TSpi;

class ReadingPass {
public:
    ReadingPass(FileListModel &model, TSpi &host, bool jpegPluginFound);

    // Called right after a placeholder row was appended, before its file is
    // decoded (the window repaints the list there).
    void setPlaceholderAdded(std::function<void(int row)> handler) { m_placeholderAdded = std::move(handler); }
    // Called after every finished file; returning false stops the whole
    // pass after that file (the window pumps events there and asks its stop
    // flag).
    void setFileDone(std::function<bool()> handler) { m_fileDone = std::move(handler); }
    // Called before the first file with (0, found) and after every file with
    // (files read, files found), found counting the files of every entry the
    // pass reads.
    void setProgress(std::function<void(int done, int found)> handler) { m_progress = std::move(handler); }
    // Hands each finished file's cell to `taken` instead of the model's
    // thumbnail list (see FolderReader::setCellTaken).
    void setCellTaken(std::function<void(const QString &name, const QImage &cell)> taken)
    {
        m_cellTaken = std::move(taken);
    }
    // Thumbnail cells are taken from and kept in `cache` (null: not cached).
    void setCache(ThumbnailCache *cache) { m_cache = cache; }

    // Reads folder for entries[selected]. Returns false when stopped by the
    // file-done handler; a selection out of range reads nothing.
    bool run(const QString &folder, const ImageTypeList &entries, int selected);
    // Brings the list up to date with the named files of folder, which
    // changed since it was read for entries[selected]: a named file that is
    // no longer there (or no longer a file) leaves the list, one the list
    // holds gets a new cell and new columns in its row, and a new one of the
    // pass's types is appended. everything: any file may have changed (the
    // names are then every listed file and every row). Returns false when
    // stopped by the file-done handler. Rows are followed by persistent
    // index, so the list may be sorted meanwhile.
    bool update(const QString &folder, const ImageTypeList &entries, int selected, const QSet<QString> &names,
                bool everything);
    // After run: the system's reason when the folder could not be read
    // (nothing was listed then); empty otherwise.
    const QString &folderError() const { return m_folderError; }

private:
    // Reads the files of the entries in range (every entry but the last for
    // the last one), limited to `only` when given.
    bool readEntries(const QString &folder, const QList<FolderFiles::Entry> &files, const ImageTypeList &entries,
                     int selected, const QSet<QString> *only);
    bool readEntry(const QString &folder, const QList<FolderFiles::Entry> &files, const ImageTypeEntry &entry,
                   const QSet<QString> *only);
    // The cache's route text for an entry's files; empty: not cached.
    QString routeOf(const ImageTypeEntry &entry) const;

    FileListModel &m_model;
    TSpi &m_host;
    bool m_jpegPluginFound;
    std::function<void(int)> m_placeholderAdded;
    std::function<bool()> m_fileDone;
    std::function<void(int, int)> m_progress;
    std::function<void(const QString &, const QImage &)> m_cellTaken;
    int m_done = 0;
    int m_found = 0;
    // While updating: the row that lists each named file.
    std::function<QPersistentModelIndex(const QString &)> m_rowOf;
    ThumbnailCache *m_cache = nullptr;
    QString m_folderError;
};

} // namespace pelandor
