#include "listing/FolderReader.h"

#include <QPersistentModelIndex>
#include <memory>
#include <optional>

#include "decode/ImageLoader.h"
#include "platform/FileNames.h"
#include "listing/FileListModel.h"
#include "listing/FolderFiles.h"
#include "listing/ItemTexts.h"
#include "listing/ReadAhead.h"
#include "listing/ThumbnailCache.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailList.h"

namespace pelandor {

namespace {

std::optional<QByteArray> cacheKey(ThumbnailCache *cache, const QString &path, const QString &route, qreal ratio)
{
    if (!cache)
        return std::nullopt;
    const int side = ThumbnailCell::pixelSize(ratio);
    return ThumbnailCache::keyOf(path, route, QSize(side, side));
}

ReadAhead::Result resultOf(const ThumbnailCache::Entry &entry)
{
    ReadAhead::Result result;
    result.cell = entry.cell;
    result.width = entry.width;
    result.height = entry.height;
    result.bitDepth = entry.bitDepth;
    return result;
}

ThumbnailCache::Entry entryOf(const ReadAhead::Result &result)
{
    return {result.cell, result.width, result.height, result.bitDepth};
}

// The decode of one thread: the cache first, then the built-in route into
// the thread's own picture, reused from file to file, and the cell made from
// it there. With factsOnly, a cell found in the cache is left there (only
// its facts are read): the list fetches it when it is painted.
ReadAhead::Decode builtInDecoder(bool jpegPluginFound, const QString &pattern, ThumbnailCache *cache,
                                 const QString &route, qreal ratio, bool factsOnly)
{
    auto picture = std::make_shared<Bitmap>();
    return [picture, jpegPluginFound, pattern, cache, route, ratio, factsOnly](const QString &path) {
        const std::optional<QByteArray> key = cacheKey(cache, path, route, ratio);
        if (key && factsOnly) {
            if (const std::optional<ThumbnailCache::Entry> hit = cache->findFacts(*key)) {
                ReadAhead::Result result = resultOf(*hit);
                result.cellInCache = true;
                return result;
            }
        } else if (key) {
            if (const std::optional<ThumbnailCache::Entry> hit = cache->find(*key))
                return resultOf(*hit);
        }
        ReadAhead::Result result;
        PictureInfo record{};
        const BuiltInOutcome outcome = LoadBuiltInImage(jpegPluginFound, *picture, record, path, pattern);
        if (outcome == BuiltInOutcome::TryPlugin) {
            result.needsModule = true;
            return result;
        }
        result.cell = ThumbnailCell::compose(*picture, ratio);
        result.width = picture->width();
        result.height = picture->height();
        result.bitDepth = record.bitDepth;
        if (key && outcome == BuiltInOutcome::Decoded && ThumbnailCache::worthKeeping(result.width, result.height))
            cache->store(*key, entryOf(result));
        return result;
    };
}

} // namespace

FolderReader::FolderReader(FileListModel &model, PictureSource *host, bool jpegPluginFound)
    : m_model(model)
    , m_host(host)
    , m_jpegPluginFound(jpegPluginFound)
{
}

bool FolderReader::matches(const QString &fileName, const QString &pattern)
{
    return FileNames::imageExtensionOf(fileName) == FileNames::extensionOf(pattern);
}

bool FolderReader::read(const QString &folderPath, const QString &pattern)
{
    if (folderPath.isEmpty())
        return true;
    QList<FolderFiles::Entry> files;
    if (!FolderFiles::list(folderPath, &files, &m_listError))
        return true;
    return read(folderPath, files, pattern);
}

QList<int> FolderReader::selected(const QList<FolderFiles::Entry> &files, const QString &pattern) const
{
    const QString patternExtension = FileNames::extensionOf(pattern);
    QList<int> out;
    for (int i = 0; i < files.size(); ++i) {
        const QString &name = files[i].name;
        if (FileNames::imageExtensionOf(name) == patternExtension && (!m_only || m_only->contains(name)))
            out.append(i);
    }
    return out;
}

bool FolderReader::read(const QString &folderPath, const QList<FolderFiles::Entry> &files, const QString &pattern)
{
    if (folderPath.isEmpty())
        return true;
    // The files read, as indexes into files; each path is made when it is
    // needed, so a folder of a million files has no second list of names
    // or paths.
    const QList<int> chosen = selected(files, pattern);
    const auto pathOf = [&folderPath, &files, &chosen](int i) {
        return FileNames::joinPath(folderPath, files[chosen[i]].name);
    };
    std::unique_ptr<ReadAhead> ahead;
    int source = -1;
    if (IsBuiltInPattern(pattern)) {
        const bool jpegPluginFound = m_jpegPluginFound;
        ThumbnailCache *cache = m_cache;
        const QString route = m_route;
        const qreal ratio = m_model.thumbnails()->devicePixelRatio();
        // Cells found in the cache stay there until painted: a reading of a
        // folder seen before reads only their facts. A reading that hands
        // each cell on (the headless commands) needs the cells themselves.
        const bool factsOnly = !m_cellTaken;
        ahead = std::make_unique<ReadAhead>(int(chosen.size()), pathOf,
                                            [jpegPluginFound, pattern, cache, route, ratio, factsOnly] {
            return builtInDecoder(jpegPluginFound, pattern, cache, route, ratio, factsOnly);
        });
        // A dropped cell comes back the way it was first made: from the
        // cache, else decoded again (into a picture freed straight after).
        // The list outlives this reading and its cache object, so the source
        // has a cache object of its own on the same folder.
        std::shared_ptr<ThumbnailCache> ownCache;
        if (cache) {
            ownCache = std::make_shared<ThumbnailCache>(cache->folder(), cache->limit());
            ownCache->keepUsesSince(cache->keptSince());
        }
        ThumbnailList::Warm warm;
        if (ownCache) {
            warm = [ownCache, route, ratio](const QString &path) {
                if (const std::optional<QByteArray> key = cacheKey(ownCache.get(), path, route, ratio))
                    ownCache->warm(*key);
            };
        }
        source = m_model.thumbnails()->addSource(
            [jpegPluginFound, pattern, ownCache, route, ratio](const QString &path) {
                return builtInDecoder(jpegPluginFound, pattern, ownCache.get(), route, ratio, false)(path).cell;
            },
            std::move(warm));
    }
    // The dates of this reading are shown in the time zone as it is now.
    readLocalZone();
    for (int i = 0; i < chosen.size(); ++i) {
        const FolderFiles::Entry &file = files[chosen[i]];
        const QString path = pathOf(i);
        // A file moved or deleted since the folder was listed (a move may run
        // while the folder is read) is skipped when its turn comes; the same
        // look-up gives its date.
        qint64 modified = 0;
        if (!FolderFiles::stillThere(path, &modified)) {
            if (ahead)
                ahead->take(i); // the read-ahead is taken strictly in order
            continue;
        }
        if (!readFile(path, file.name, file.size, fileDateKeyOfSeconds(modified), pattern, ahead.get(), i, source))
            return false;
    }
    return true;
}

bool FolderReader::readFile(const QString &path, const QString &name, qint64 size, qint64 date,
                            const QString &pattern, ReadAhead *ahead, int index, int source)
{
    // A persistent index: a modal box shown while decoding lets the user
    // sort, so the placeholder may move before it is completed. A row that
    // lists the file already keeps showing its old content meanwhile.
    QPersistentModelIndex placeholder = m_rowOf ? m_rowOf(name) : QPersistentModelIndex();
    const bool refill = placeholder.isValid();
    if (!refill) {
        placeholder = QPersistentModelIndex(m_model.index(m_model.appendPlaceholder(), 0));
        if (m_placeholderAdded)
            m_placeholderAdded(placeholder.row());
    }

    ReadAhead::Result decoded;
    if (ahead)
        decoded = ahead->take(index);
    if (!ahead || decoded.needsModule) {
        // A module's cell has no way back but the module: it is kept.
        source = -1;
        // A module's type, on this thread. A file the built-in decoder passed
        // on to a module is not cached: its route is not this reader's.
        const qreal ratio = m_model.thumbnails()->devicePixelRatio();
        const std::optional<QByteArray> key = ahead ? std::nullopt : cacheKey(m_cache, path, m_route, ratio);
        std::optional<ThumbnailCache::Entry> hit;
        if (key)
            hit = m_cache->find(*key);
        if (hit) {
            decoded = resultOf(*hit);
        } else {
            const bool ok = LoadImageToBitmap(m_jpegPluginFound, m_host, m_decoded, m_record, path, pattern);
            decoded.cell = ThumbnailCell::compose(m_decoded, ratio);
            decoded.width = m_decoded.width();
            decoded.height = m_decoded.height();
            decoded.bitDepth = m_record.bitDepth;
            if (key && ok)
                m_cache->store(*key, entryOf(decoded));
        }
    }

    FileListItem item;
    item.caption = name;
    item.typeIndex = typeIndexOf(typeDescription(name));
    item.size = size;
    item.date = date;
    item.width = decoded.width;
    item.height = decoded.height;
    item.depth = decoded.bitDepth;
    item.detailed = true;
    ThumbnailList *cells = m_model.thumbnails();
    const bool later = decoded.cellInCache && source >= 0;
    if (m_cellTaken) {
        m_cellTaken(name, decoded.cell);
    } else if (refill && placeholder.isValid() && m_model.imageIndex(placeholder.row()) >= 0) {
        item.imageIndex = m_model.imageIndex(placeholder.row());
        if (later)
            cells->replaceFromSource(item.imageIndex, source, path);
        else
            cells->replace(item.imageIndex, decoded.cell, source, path);
    } else {
        item.imageIndex = later ? cells->addFromSource(source, path) : cells->add(decoded.cell, source, path);
    }
    if (placeholder.isValid())
        m_model.setItem(placeholder.row(), item);

    return !m_fileDone || m_fileDone();
}

} // namespace pelandor
