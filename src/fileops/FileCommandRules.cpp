#include "fileops/FileCommandRules.h"

#include <QFile>
#include <Qt>

#include <cerrno>

#include "fileops/FileSystemOps.h"
#include "fileops/ShellOperationCodes.h"
#include "platform/NativeName.h"

namespace pelandor {

QString FileCommandRules::fullPath(const QString &folderPath, const QString &fileName)
{
    return folderPath.endsWith(QLatin1Char('/')) ? folderPath + fileName : folderPath + QLatin1Char('/') + fileName;
}

qsizetype FileCommandRules::MakeSelectedFileList(
    const QString &folderPath, const QStringList &selectedCaptions, QStringList &list)
{
    qsizetype total = 0;
    for (const QString &caption : selectedCaptions) {
        const QString path = fullPath(folderPath, caption);
        list.append(path);
        total += NativeName::encode(path).size() + 1;
    }
    return total;
}

QList<QByteArray> FileCommandRules::encodePaths(const QStringList &paths)
{
    QList<QByteArray> encoded;
    encoded.reserve(paths.size());
    for (const QString &path : paths)
        encoded.append(NativeName::encode(path));
    return encoded;
}

bool FileCommandRules::isDeleteKey(int key) { return key == Qt::Key_Delete; }

quint16 FileCommandRules::deleteFlags(bool shiftDown) { return shiftDown ? 0 : FOF_ALLOWUNDO; }

QList<int> FileCommandRules::entriesGone(const QStringList &paths, FileSystemOps &ops)
{
    QList<int> gone;
    for (qsizetype i = 0; i < paths.size(); ++i) {
        struct stat info {};
        if (ops.lstat(NativeName::encode(paths.at(i)), &info) != 0 && (errno == ENOENT || errno == ENOTDIR))
            gone.append(int(i));
    }
    return gone;
}

QList<int> FileCommandRules::entriesGone(const QStringList &paths)
{
    return entriesGone(paths, FileSystemOps::system());
}

} // namespace pelandor
