#include "viewer/ViewerSizing.h"

#include <QtGlobal>
#include <algorithm>
#include <limits>

namespace pelandor {

QSize ViewerSizing::zoomedSize(const QSize &fullSize, int percent)
{
    // 64-bit products: a wide picture at 200 % would overflow 32 bits long
    // before the picture itself stops fitting in memory.
    const auto scale = [percent](int side) {
        const qint64 scaled = qint64(percent) * side / 100;
        return int(std::clamp<qint64>(scaled, 0, std::numeric_limits<int>::max()));
    };
    return QSize(scale(fullSize.width()), scale(fullSize.height()));
}

QSize ViewerSizing::fittedClientSize(const QSize &imageSize, const QSize &frameExtra, const QSize &workArea)
{
    int outerWidth = imageSize.width() + frameExtra.width();
    int outerHeight = imageSize.height() + frameExtra.height();
    if (workArea.height() <= outerHeight)
        outerHeight = workArea.height();
    if (workArea.width() <= outerWidth)
        outerWidth = workArea.width();
    return QSize(outerWidth - frameExtra.width(), outerHeight - frameExtra.height()).expandedTo(MinimumClientSize);
}

bool ViewerSizing::fitsWorkArea(const QSize &imageSize, const QSize &frameExtra, const QSize &workArea)
{
    return imageSize.width() + frameExtra.width() < workArea.width()
           && imageSize.height() + frameExtra.height() < workArea.height();
}

QSize ViewerSizing::fitSize(const QSize &imageSize, const QSize &area)
{
    if (imageSize.isEmpty())
        return QSize(0, 0);
    if (imageSize.width() <= area.width() && imageSize.height() <= area.height())
        return imageSize;
    const qint64 w = imageSize.width();
    const qint64 h = imageSize.height();
    const qint64 aw = std::max(area.width(), 1);
    const qint64 ah = std::max(area.height(), 1);
    // Scale by the tighter side; 64-bit products, rounded to the nearest pixel.
    if (w * ah >= h * aw)
        return QSize(int(aw), int(std::max<qint64>(1, (h * aw + w / 2) / w)));
    return QSize(int(std::max<qint64>(1, (w * ah + h / 2) / h)), int(ah));
}

} // namespace pelandor
