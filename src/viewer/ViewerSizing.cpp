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

} // namespace pelandor
