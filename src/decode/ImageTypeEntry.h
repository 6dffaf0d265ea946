// One entry of the type selector: the file pattern (or the all-image-files
// caption) and the file name of the import module that reads it (empty for
// the built-in BMP and JPEG decoders).
#pragma once

#include <QCoreApplication>
#include <QList>
#include <QString>

namespace pelandor {

struct ImageTypeEntry {
    QString text;
    QString pluginName;

    bool operator==(const ImageTypeEntry &) const = default;
};

using ImageTypeList = QList<ImageTypeEntry>;

// Caption of the last entry, which stands for all types together.
inline const QString &allImageFilesText()
{
    static const QString text = QCoreApplication::translate("ImageTypeEntry", "全ての画像ﾌｧｲﾙ");
    return text;
}

} // namespace pelandor
