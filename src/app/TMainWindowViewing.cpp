// Opening viewers, refreshing thumbnails and copying an image. Each command
// decodes through a plug-in host of its own, never through the reading
// loop's Spi1.
#include "app/TMainWindow.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHash>
#include <QPersistentModelIndex>
#include <QSet>

#include "listing/CommandGuard.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/ThumbnailList.h"
#include "platform/NativeName.h"
#include "platform/PelandorError.h"
#include "shell/TFolderTree.h"
#include "viewer/ImageClipboard.h"
#include "viewer/SingleImageDecoder.h"
#include "viewer/TViewWindow.h"
#include "listing/ThumbnailCache.h"
#include "viewer/ThumbnailRefresher.h"
#include "viewer/ViewerPictureLoader.h"
#include "viewer/ViewerSequence.h"

namespace pelandor {

void TMainWindow::ListView1DblClick()
{
    // Taken before any event is processed, so a list that changes meanwhile
    // cannot mix up the items.
    OpenViewers(SelectedFullPaths());
}

void TMainWindow::OpenViewers(const QStringList &paths)
{
    if (paths.isEmpty())
        return;
    const CommandGuard::Token token = m_guard->hold();
    SingleImageDecoder decoder(PluginFolder(), Messages(), TypeEntries(), m_jpegPluginFound);
    // Each viewer steps through the list as long as it shows this folder.
    const QString folder = FolderTree1->GetFolderPath();
    const FileListModel *model = ListView1->model();
    const auto pathOfRow = [this, folder, model](int row) {
        return FolderTree1->GetFolderPath() == folder ? ItemFullPath(model->caption(row)) : QString();
    };
    // By persistent index: a sort while an earlier viewer paints moves the
    // rows. Only the rows of the files opened get one (an index held on every
    // row of a large folder would make each change of the list walk them all).
    const QSet<QString> opened(paths.cbegin(), paths.cend());
    QHash<QString, QPersistentModelIndex> itemOfPath;
    for (int row = 0; row < model->count(); ++row) {
        const QString path = pathOfRow(row);
        if (opened.contains(path))
            itemOfPath.insert(path, QPersistentModelIndex(model->index(row, 0)));
    }
    for (const QString &path : paths) {
        auto *viewer = new TViewWindow(this);
        viewer->setErrorHandler([](QWidget *parent, const QString &message) { showErrorBox(parent, message); });
        viewer->setMessageSink(&Messages());
        viewer->setPicture(decoder.decode(path));
        const QPersistentModelIndex item = itemOfPath.value(path);
        viewer->setBrowsing(new ViewerSequence(model, pathOfRow, item.isValid() ? item.row() : -1, path),
                            new ViewerPictureLoader(PluginFolder(), Messages(), TypeEntries(), m_jpegPluginFound));
        viewer->setWindowTitle(NativeName::display(path));
        viewer->show();
        // The viewer paints before the next file is decoded.
        QCoreApplication::processEvents();
        decoder.release();
    }
}

void TMainWindow::popMnu_viewClick()
{
    ListView1DblClick();
}

void TMainWindow::popMnu_refleshClick()
{
    // The refresh pumps events after every file. It follows its items by
    // persistent index, so a sort meanwhile still puts each cell on its own
    // item; the guard keeps the list from being re-read or cleared under it.
    const FileListModel *model = ListView1->model();
    QList<QPersistentModelIndex> targets;
    QList<ThumbnailRefresher::Item> items;
    for (int row : ListView1->selectedRows()) {
        items.append({ItemFullPath(model->caption(row)), int(targets.size())});
        targets.append(QPersistentModelIndex(model->index(row, 0)));
    }
    if (items.isEmpty())
        return;
    const CommandGuard::Token token = m_guard->hold();
    SingleImageDecoder decoder(PluginFolder(), Messages(), TypeEntries(), m_jpegPluginFound);
    // Its stores must not drop the cells the shown folder's reading keeps.
    ThumbnailCache cache(ThumbnailCache::defaultFolder());
    cache.keepUsesSince(m_cellsKeptSince);
    ThumbnailRefresher::refresh(
        decoder, items,
        [this, model, &targets](int key, const QImage &cell) {
            const QPersistentModelIndex &target = targets[key];
            if (target.isValid())
                ImageList1->replace(model->imageIndex(target.row()), cell);
        },
        [] { QCoreApplication::processEvents(); }, &cache, ImageList1->devicePixelRatio());
}

void TMainWindow::popMnu_imagecopyClick()
{
    const QList<int> rows = ListView1->selectedRows();
    if (rows.isEmpty())
        return;
    const QString path = ItemFullPath(ListView1->model()->caption(rows.first()));
    SingleImageDecoder decoder(PluginFolder(), Messages(), TypeEntries(), m_jpegPluginFound);
    const Bitmap &decoded = decoder.decode(path);
    QClipboard *clipboard = QGuiApplication::clipboard();
    if (!clipboard)
        throw PelandorError(QStringLiteral("Cannot open clipboard"));
    // A file that could not be decoded leaves the clipboard as it was.
    ImageClipboard::copy(decoded, *clipboard);
}

} // namespace pelandor
