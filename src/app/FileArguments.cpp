#include "app/FileArguments.h"

#include <QFileInfo>
#include <QHash>
#include <climits>
#include <sys/stat.h>
#include <unistd.h>

#include "decode/ImageLoader.h"
#include "listing/FileListModel.h"
#include "platform/NativeName.h"

namespace pelandor {

namespace {

// The path made absolute with the working folder's exact bytes: QFileInfo
// would take the working folder as Qt decodes it, which names another folder
// when its name is not UTF-8.
QString absoluteOf(const QString &path)
{
    if (path.startsWith(QLatin1Char('/')))
        return path;
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        return path;
    const QString folder = NativeName::decode(buffer);
    return folder.endsWith(QLatin1Char('/')) ? folder + path : folder + QLatin1Char('/') + path;
}

} // namespace

FileArguments FileArguments::resolve(const QStringList &paths, const ImageTypeList &entries)
{
    FileArguments result;
    for (const QString &given : paths) {
        // The name's own bytes are asked for: a name that is not UTF-8 is
        // found too (QFileInfo would look for another name).
        const QString path = absoluteOf(given);
        const QFileInfo info(path);
        struct stat status {};
        if (::stat(NativeName::encode(path).constData(), &status) != 0) {
            result.missing.append(given);
            continue;
        }
        if (S_ISDIR(status.st_mode)) {
            // A folder counts only when it comes first; files after it are
            // not in it, and files before it have chosen their folder.
            if (result.folder.isEmpty()) {
                result.folder = info.absoluteFilePath();
                result.folderGiven = true;
            }
            continue;
        }
        if (result.folderGiven)
            continue;
        const QString file = info.absoluteFilePath();
        if (result.folder.isEmpty()) {
            result.folder = info.absolutePath();
            if (const auto entry = FindImageType(file, entries))
                result.typeIndex = int(entries.indexOf(*entry));
        }
        result.files.append(file);
    }
    return result;
}

FileArguments::Selection FileArguments::rowsOf(const FileListModel &model, const QString &folder,
                                               const QStringList &files)
{
    // The given files of `folder` by name, with their place on the command line.
    QHash<QString, int> wanted;
    for (int i = 0; i < files.size(); ++i) {
        const QFileInfo info(files[i]);
        if (info.absolutePath() == folder && !wanted.contains(info.fileName()))
            wanted.insert(info.fileName(), i);
    }
    Selection selection;
    int firstPlace = int(files.size());
    for (int row = 0; row < model.rowCount(); ++row) {
        const auto it = wanted.constFind(model.caption(row));
        if (it == wanted.constEnd())
            continue;
        selection.rows.append(row);
        if (it.value() < firstPlace) {
            firstPlace = it.value();
            selection.firstRow = row;
        }
    }
    return selection;
}

} // namespace pelandor
