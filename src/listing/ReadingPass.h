// One reading of a folder into the file list for one entry of the type
// selector: the all-image-files entry (the last) reads every other entry in
// turn, any other entry reads its own type. Each entry's import module is
// loaded into the host before its pass and released after it, whatever ends
// the pass. The window and the headless commands both read through this
// class; the per-file step is FolderReader::readFile.
#pragma once

#include <QString>
#include <functional>

#include "decode/ImageTypeEntry.h"

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
    // Thumbnail cells are taken from and kept in `cache` (null: not cached).
    void setCache(ThumbnailCache *cache) { m_cache = cache; }

    // Reads folder for entries[selected]. Returns false when stopped by the
    // file-done handler; a selection out of range reads nothing.
    bool run(const QString &folder, const ImageTypeList &entries, int selected);
    // After run: the system's reason when the folder could not be read
    // (nothing was listed then); empty otherwise.
    const QString &folderError() const { return m_folderError; }

private:
    bool readEntry(const QString &folder, const ImageTypeEntry &entry);
    // The cache's route text for an entry's files; empty: not cached.
    QString routeOf(const ImageTypeEntry &entry) const;

    FileListModel &m_model;
    TSpi &m_host;
    bool m_jpegPluginFound;
    std::function<void(int)> m_placeholderAdded;
    std::function<bool()> m_fileDone;
    ThumbnailCache *m_cache = nullptr;
    QString m_folderError;
};

} // namespace pelandor
