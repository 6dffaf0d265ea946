// One open, one size query, one read: no mapping, so a file that shrinks
// while it is read gives a short read instead of a fault.
#include "decode/ImageFile.h"

#include <QFile>
#include <QFileInfo>

namespace pelandor {

std::optional<QByteArray> readImageFile(const QString &path)
{
    // Only regular files: opening a pipe or a device could block or never end.
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const qint64 size = file.size();
    if (size < 0 || size > MaxImageFileSize)
        return std::nullopt;
    QByteArray data(size, Qt::Uninitialized);
    qint64 done = 0;
    while (done < size) {
        const qint64 n = file.read(data.data() + done, size - done);
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    return data;
}

} // namespace pelandor
