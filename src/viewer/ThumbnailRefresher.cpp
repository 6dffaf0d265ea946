#include "viewer/ThumbnailRefresher.h"

#include "listing/ThumbnailCell.h"
#include "viewer/SingleImageDecoder.h"

namespace pelandor {

void ThumbnailRefresher::refresh(SingleImageDecoder &decoder, const QList<Item> &items, const ReplaceCell &replaceCell,
                                 const std::function<void()> &afterEach, qreal ratio)
{
    for (const Item &item : items) {
        const Bitmap &decoded = decoder.decode(item.path);
        replaceCell(item.key, ThumbnailCell::compose(decoded, ratio));
        if (afterEach)
            afterEach();
        decoder.release();
    }
}

} // namespace pelandor
