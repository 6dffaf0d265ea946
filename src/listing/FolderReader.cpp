#include "listing/FolderReader.h"

#include <QDirIterator>
#include <QPersistentModelIndex>

#include "decode/ImageLoader.h"
#include "platform/FileNames.h"
#include "listing/FileListModel.h"
#include "listing/ItemTexts.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailList.h"

namespace pelandor {

FolderReader::FolderReader(FileListModel &model, PictureSource *host, bool jpegPluginFound)
    : m_model(model)
    , m_host(host)
    , m_jpegPluginFound(jpegPluginFound)
{
}

bool FolderReader::matches(const QString &fileName, const QString &pattern)
{
    return FileNames::imageExtensionOf(fileName) == FileNames::extensionOf(pattern);
}

bool FolderReader::read(const QString &folderPath, const QString &pattern)
{
    if (folderPath.isEmpty())
        return true;
    const QString patternExtension = FileNames::extensionOf(pattern);
    // Files and links to files; hidden (dot) names, folders, devices, sockets
    // and dangling links are left out. The iterator keeps the directory order.
    QDirIterator entries(folderPath, QDir::Files | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        const QString name = entries.fileName();
        if (FileNames::imageExtensionOf(name) != patternExtension)
            continue;
        if (!readFile(folderPath, name, entries.fileInfo().size(), pattern))
            return false;
    }
    return true;
}

bool FolderReader::readFile(const QString &folderPath, const QString &name, qint64 size, const QString &pattern)
{
    // A persistent index: a modal box shown while decoding lets the user
    // sort, so the placeholder may move before it is completed.
    const QPersistentModelIndex placeholder(m_model.index(m_model.appendPlaceholder(), 0));
    if (m_placeholderAdded)
        m_placeholderAdded(placeholder.row());

    const QString path = FileNames::joinPath(folderPath, name);
    LoadImageToBitmap(m_jpegPluginFound, m_host, m_decoded, m_record, path, pattern);
    const QImage cell = ThumbnailCell::compose(m_decoded, m_model.thumbnails()->devicePixelRatio());

    FileListItem item;
    item.caption = name;
    item.subItems = {typeDescription(name), sizeText(size), FileDateText(path),
                     imageSizeText(m_decoded.width(), m_decoded.height()), ColorDepthText(m_record.bitDepth)};
    item.imageIndex = m_model.thumbnails()->add(cell);
    if (placeholder.isValid())
        m_model.setItem(placeholder.row(), item);

    return !m_fileDone || m_fileDone();
}

} // namespace pelandor
