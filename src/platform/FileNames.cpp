#include "platform/FileNames.h"

namespace pelandor {

QString FileNames::extensionOf(const QString &name)
{
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > slash ? name.mid(dot).toUpper() : QString();
}

QString FileNames::imageExtensionOf(const QString &fileName)
{
    const QString ext = extensionOf(fileName);
    if (ext == QLatin1String(".JPEG") || ext == QLatin1String(".JPE"))
        return QStringLiteral(".JPG");
    return ext;
}

QString FileNames::joinPath(const QString &folderPath, const QString &name)
{
    if (folderPath.endsWith(QLatin1Char('/')))
        return folderPath + name;
    return folderPath + QLatin1Char('/') + name;
}

} // namespace pelandor
