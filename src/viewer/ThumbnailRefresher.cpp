#include "viewer/ThumbnailRefresher.h"

#include <optional>

#include "listing/ThumbnailCache.h"
#include "listing/ThumbnailCell.h"
#include "viewer/SingleImageDecoder.h"

namespace pelandor {

void ThumbnailRefresher::refresh(SingleImageDecoder &decoder, const QList<Item> &items, const ReplaceCell &replaceCell,
                                 const std::function<void()> &afterEach, ThumbnailCache *cache, qreal ratio)
{
    std::optional<ThumbnailCache> ownCache;
    if (!cache)
        cache = &ownCache.emplace(ThumbnailCache::defaultFolder());
    const QSize cellSize(ThumbnailCell::pixelSize(ratio), ThumbnailCell::pixelSize(ratio));
    for (const Item &item : items) {
        // Stamped before decoding: a file that changes meanwhile is not kept.
        const std::optional<ThumbnailCache::FileStamp> stamp = ThumbnailCache::stampOf(item.path);
        const Bitmap &decoded = decoder.decode(item.path);
        const QImage cell = ThumbnailCell::compose(decoded, ratio);
        if (const std::optional<QByteArray> key
            = stamp ? ThumbnailCache::keyOf(*stamp, decoder.cacheRoute(), cellSize) : std::nullopt) {
            const bool builtIn = decoder.cacheRoute() == ThumbnailCache::builtInRoute();
            if (decoder.cacheable() && (!builtIn || ThumbnailCache::worthKeeping(decoded.width(), decoded.height())))
                cache->store(*key, {cell, decoded.width(), decoded.height(), decoder.bitDepth()});
            else
                cache->remove(*key);
        }
        replaceCell(item.key, cell);
        if (afterEach)
            afterEach();
        decoder.release();
    }
}

} // namespace pelandor
