// Re-reads the thumbnails of chosen list items: every file is decoded again
// and its cell composed exactly as the reading loop composes it. Only the
// cells are replaced; captions, columns and order are none of its business.
#pragma once

#include <QImage>
#include <QList>
#include <QString>
#include <functional>

namespace pelandor {

class SingleImageDecoder;
class ThumbnailCache;

class ThumbnailRefresher {
public:
    struct Item {
        QString path; // the file's full path
        int key;      // the caller's handle of the item's cell
    };
    using ReplaceCell = std::function<void(int key, const QImage &cell)>;

    // Decodes the items in the given order and hands each new cell to
    // `replaceCell`; `afterEach` runs after every item (the caller pumps
    // pending events there, so the list repaints between files). Every file
    // is decoded, never taken from the thumbnail cache; the new cell, made
    // for the device-pixel ratio `ratio` (see ThumbnailCell), goes into the
    // cache (`cache`, or the user's own when null), and a file that now fails
    // loses its entry.
    static void refresh(SingleImageDecoder &decoder, const QList<Item> &items, const ReplaceCell &replaceCell,
                        const std::function<void()> &afterEach = {}, ThumbnailCache *cache = nullptr,
                        qreal ratio = 1.0);
};

} // namespace pelandor
