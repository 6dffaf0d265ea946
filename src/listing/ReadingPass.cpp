#include "listing/ReadingPass.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPersistentModelIndex>
#include <QScopeGuard>
#include <utility>
#include <vector>

#include "decode/ImageLoader.h"
#include "listing/FileListModel.h"
#include "listing/FolderReader.h"
#include "listing/ThumbnailCache.h"
#include "plugin/TSpi.h"

namespace pelandor {

namespace {

// Releases a loaded module when the pass of its entry ends, also by an error.
class ModuleLoaded {
public:
    ModuleLoaded(TSpi &host, const QString &pluginName)
        : m_host(host)
        , m_loaded(!pluginName.isEmpty())
    {
        if (m_loaded)
            m_host.LoadSpi(pluginName);
    }
    ~ModuleLoaded()
    {
        if (m_loaded)
            m_host.FreeSpi();
    }
    ModuleLoaded(const ModuleLoaded &) = delete;
    ModuleLoaded &operator=(const ModuleLoaded &) = delete;

private:
    TSpi &m_host;
    bool m_loaded;
};

} // namespace

ReadingPass::ReadingPass(FileListModel &model, TSpi &host, bool jpegPluginFound)
    : m_model(model)
    , m_host(host)
    , m_jpegPluginFound(jpegPluginFound)
{
}

namespace {

// The range of entries a pass reads: the entry itself, or for the last
// (all-image-files) entry every other one.
std::pair<int, int> entryRange(int count, int selected)
{
    if (selected < 0 || selected >= count)
        return {0, 0};
    if (selected < count - 1)
        return {selected, selected + 1};
    return {0, count - 1};
}

} // namespace

bool ReadingPass::run(const QString &folder, const ImageTypeList &entries, int selected)
{
    m_folderError.clear();
    m_rowOf = nullptr;
    const auto [first, end] = entryRange(int(entries.size()), selected);
    if (first == end || folder.isEmpty())
        return true;
    QList<FolderFiles::Entry> files;
    if (!FolderFiles::list(folder, &files, &m_folderError))
        return true;
    return readEntries(folder, files, entries, selected, nullptr);
}

bool ReadingPass::update(const QString &folder, const ImageTypeList &entries, int selected,
                         const QSet<QString> &names, bool everything)
{
    m_folderError.clear();
    const auto [first, end] = entryRange(int(entries.size()), selected);
    if (first == end || folder.isEmpty())
        return true;
    // A folder that went away lists nothing: all its rows leave the list.
    QList<FolderFiles::Entry> files;
    FolderFiles::list(folder, &files, &m_folderError);

    QSet<QString> wanted = names;
    if (everything) {
        for (const FolderFiles::Entry &file : std::as_const(files))
            wanted.insert(file.name);
        for (int row = 0; row < m_model.count(); ++row)
            wanted.insert(m_model.caption(row));
    }
    QSet<QString> listed;
    for (const FolderFiles::Entry &file : std::as_const(files)) {
        if (!wanted.contains(file.name))
            continue;
        for (int i = first; i < end; ++i) {
            if (FolderReader::matches(file.name, entries[i].text)) {
                listed.insert(file.name);
                break;
            }
        }
    }
    // Rows of named files that are no longer there leave the list first, in
    // runs of neighbouring rows from the bottom up: one removal a row, with a
    // persistent index on every named row, cost a walk over all of them each
    // time (minutes when thousands of files of a large folder went at once).
    std::vector<int> gone;
    for (int row = 0; row < m_model.count(); ++row) {
        const QString caption = m_model.caption(row);
        if (wanted.contains(caption) && !listed.contains(caption))
            gone.push_back(row);
    }
    m_model.removeRowSet(std::move(gone));
    // The row of each named file that stays (the first, should a name be
    // listed twice). Rows added while the files are read come at the end and
    // move none of these; a sort or removal meanwhile (a modal box lets the
    // user sort) shows as a row whose caption is no longer the name, and the
    // table is made again. No persistent index a row: each row added would
    // walk them all.
    QHash<QString, int> rowsOf;
    const auto findRows = [this, &listed, &rowsOf] {
        rowsOf.clear();
        for (int row = m_model.count() - 1; row >= 0; --row) {
            const QString caption = m_model.caption(row);
            if (listed.contains(caption))
                rowsOf.insert(caption, row);
        }
    };
    findRows();
    m_rowOf = [this, &rowsOf, findRows](const QString &name) {
        auto found = rowsOf.constFind(name);
        if (found != rowsOf.cend() && m_model.caption(found.value()) != name) {
            findRows();
            found = rowsOf.constFind(name);
        }
        return found == rowsOf.cend() ? QPersistentModelIndex()
                                      : QPersistentModelIndex(m_model.index(found.value(), 0));
    };
    // The finder refers to rowsOf: it must not outlive this call, also when
    // an error ends the reading.
    const auto forget = qScopeGuard([this] { m_rowOf = nullptr; });
    return readEntries(folder, files, entries, selected, &listed);
}

bool ReadingPass::readEntries(const QString &folder, const QList<FolderFiles::Entry> &files,
                              const ImageTypeList &entries, int selected, const QSet<QString> *only)
{
    const auto [first, end] = entryRange(int(entries.size()), selected);
    m_done = 0;
    m_found = 0;
    for (int i = first; i < end; ++i) {
        for (const FolderFiles::Entry &file : files) {
            if (FolderReader::matches(file.name, entries[i].text) && (!only || only->contains(file.name)))
                ++m_found;
        }
    }
    if (m_progress)
        m_progress(m_done, m_found);
    for (int i = first; i < end; ++i) {
        if (!readEntry(folder, files, entries[i], only))
            return false;
    }
    return true;
}

QString ReadingPass::routeOf(const ImageTypeEntry &entry) const
{
    if (entry.pluginName.isEmpty())
        return IsBuiltInPattern(entry.text) ? ThumbnailCache::builtInRoute() : QString();
    // The module file the host loads: the first folder that holds it.
    for (const QString &folder : m_host.moduleFolders()) {
        const QString file = QDir(folder).filePath(entry.pluginName);
        if (QFileInfo::exists(file))
            return ThumbnailCache::moduleRoute(file);
    }
    return QString();
}

bool ReadingPass::readEntry(const QString &folder, const QList<FolderFiles::Entry> &files,
                            const ImageTypeEntry &entry, const QSet<QString> *only)
{
    const ModuleLoaded module(m_host, entry.pluginName);
    FolderReader reader(m_model, &m_host, m_jpegPluginFound);
    if (m_cache)
        reader.setCache(m_cache, routeOf(entry));
    reader.setOnly(only);
    if (m_rowOf)
        reader.setRowOf(m_rowOf);
    reader.setPlaceholderAdded(m_placeholderAdded);
    reader.setCellTaken(m_cellTaken);
    reader.setFileDone([this] {
        ++m_done;
        if (m_progress)
            m_progress(m_done, m_found);
        return !m_fileDone || m_fileDone();
    });
    return reader.read(folder, files, entry.text);
}

} // namespace pelandor
