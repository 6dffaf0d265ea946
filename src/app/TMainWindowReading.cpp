// Reading a folder into the file list: the folder tree's change handler runs
// the reading loop on the GUI thread, pumping events after every file so that
// the window stays usable and the stop command can end the loop.
#include "app/TMainWindow.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include "app/FileArguments.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/CommandGuard.h"
#include "listing/ReadingPass.h"
#include "platform/NativeName.h"
#include "listing/ThumbnailCache.h"
#include "listing/ThumbnailList.h"
#include "platform/MessageSink.h"
#include "platform/VolumeList.h"
#include "plugin/TSpi.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

namespace pelandor {

namespace {

// Detaches ListView1Change from the list while the object lives, so that the
// status bar never sees a half-made item. Only a connection that was there is
// made again.
class ListChangeDetached {
public:
    explicit ListChangeDetached(TMainWindow &window)
        : m_window(window)
        , m_wasAttached(QObject::disconnect(window.ListView1, &FileListView::itemChanged, &window,
                                            &TMainWindow::ListView1Change))
    {
    }
    ~ListChangeDetached()
    {
        if (m_wasAttached)
            QObject::connect(m_window.ListView1, &FileListView::itemChanged, &m_window, &TMainWindow::ListView1Change);
    }
    ListChangeDetached(const ListChangeDetached &) = delete;
    ListChangeDetached &operator=(const ListChangeDetached &) = delete;

private:
    TMainWindow &m_window;
    bool m_wasAttached;
};

// Empties the list, its thumbnails and the status bar.
void clearList(TMainWindow &window)
{
    window.ListView1->model()->clear();
    window.ImageList1->clear();
    window.ClearStatusPanels();
}

} // namespace

void TMainWindow::FolderTree1Change()
{
    // A reading clears the list: never while a long command works on it.
    auto token = m_guard->holdIfIdle();
    if (!token)
        return;
    m_reading = {true, false};
    DriveComboEx1->setEnabled(false);
    sbRead->setChecked(true);

    // Whatever ends the reading (its end, a stop, an error), the window goes
    // back to idle with the items made so far.
    struct BackToIdle {
        TMainWindow &w;
        ~BackToIdle()
        {
            w.m_reading = {};
            w.sbRead->setChecked(false);
            w.DriveComboEx1->setEnabled(true);
            w.FolderTree1->setFocus();
        }
    };
    {
        BackToIdle idle{*this};

        clearList(*this);
        // Cells are made for the screen the window is on now.
        ImageList1->setDevicePixelRatio(devicePixelRatioF());

        ThumbnailCache cache(ThumbnailCache::defaultFolder());
        ReadingPass pass(*ListView1->model(), *Spi1, m_jpegPluginFound);
        pass.setCache(&cache);
        pass.setPlaceholderAdded([this](int) { ListView1->repaintNow(); });
        pass.setFileDone([this] {
            QCoreApplication::processEvents();
            return !m_reading.cancelRequested;
        });
        ListChangeDetached detached(*this);
        // A module in a helper process may take up to its time limit for a
        // file: the window keeps painting and taking clicks meanwhile (the
        // guard refuses whatever would change the list).
        Spi1->setWhileWaiting([] { QCoreApplication::processEvents(); });
        const auto noLongerWaiting = qScopeGuard([this] { Spi1->setWhileWaiting({}); });
        const QString folder = FolderTree1->GetFolderPath();
        pass.run(folder, TypeEntries(), ComboBox1->currentIndex());
        // An empty list must not look like an empty folder.
        if (!pass.folderError().isEmpty())
            Messages().showMessage(tr("ﾌｫﾙﾀﾞ '%1' を読めません: %2")
                                       .arg(NativeName::display(folder), pass.folderError()));
    }

    // The key whose button is down; every sort reads the direction from the menu.
    if (sbSortByName->isChecked())
        mnuView_sort_nameClick();
    if (sbSortByType->isChecked())
        mnuView_sort_typeClick();
    if (sbSortBySize->isChecked())
        mnuView_sort_sizeClick();
    if (sbSortByDate->isChecked())
        mnuView_sort_dateClick();
    QApplication::beep();
}

bool TMainWindow::FolderTree1Changing()
{
    return !m_guard->busy();
}

void TMainWindow::DriveComboEx1Change()
{
    if (DriveComboEx1->Drive() == FolderTree1->Drive())
        return;
    if (m_guard->busy()) {
        // Another volume would clear the list a long command works on: the
        // combo goes back to the tree's volume.
        DriveComboEx1->SetDrive(FolderTree1->Drive());
        return;
    }
    {
        // Moving the tree to another volume must not start a reading.
        const QSignalBlocker blocker(FolderTree1);
        FolderTree1->SetDrive(DriveComboEx1->Drive());
    }
    clearList(*this);
}

void TMainWindow::mnuView_readClick()
{
    if (m_guard->busy()) {
        sbRead->setChecked(m_reading.active);
        return;
    }
    FolderTree1Change();
}

void TMainWindow::mnuView_cancelClick()
{
    if (m_reading.active)
        m_reading.cancelRequested = true;
}

void TMainWindow::OpenFolder(const QString &path)
{
    const QString folder = VolumeList::normalizedPath(path);
    const QString root = VolumeList::current().volumeOf(folder);
    if (root.isEmpty())
        return;
    DriveComboEx1->SetDrive(root);
    if (FolderTree1->Drive() != root) {
        const QSignalBlocker blocker(FolderTree1);
        FolderTree1->SetDrive(root);
    }
    // Selecting the folder reports a change, and that starts the reading;
    // it waits for the event loop so that the window is on screen first.
    QTimer::singleShot(0, this, [this, folder] { FolderTree1->selectFolder(folder); });
}

void TMainWindow::OpenPaths(const QStringList &paths)
{
    const FileArguments args = FileArguments::resolve(paths, TypeEntries());
    for (const QString &path : args.missing)
        Messages().showMessage(tr("'%1' が見つかりません").arg(NativeName::display(path)));
    if (args.folder.isEmpty())
        return;
    if (args.folderGiven) {
        OpenFolder(args.folder);
        return;
    }
    if (args.typeIndex >= 0)
        ComboBox1->setCurrentIndex(args.typeIndex);
    const QString folder = VolumeList::normalizedPath(args.folder);
    const QString root = VolumeList::current().volumeOf(folder);
    if (root.isEmpty())
        return;
    DriveComboEx1->SetDrive(root);
    if (FolderTree1->Drive() != root) {
        const QSignalBlocker blocker(FolderTree1);
        FolderTree1->SetDrive(root);
    }
    // As for a folder, the reading waits for the window to be on screen; it
    // runs inside the tree's change, so the list is complete afterwards.
    QTimer::singleShot(0, this, [this, folder, args] {
        RunCommand([&] {
            const bool alreadyThere = FolderTree1->GetFolderPath() == folder;
            if (!FolderTree1->selectFolder(folder))
                return;
            if (alreadyThere)
                FolderTree1Change();
            const FileArguments::Selection selection =
                FileArguments::rowsOf(*ListView1->model(), args.folder, args.files);
            QItemSelection rows;
            for (int row : selection.rows)
                rows.select(ListView1->model()->index(row, 0), ListView1->model()->index(row, 0));
            ListView1->selectionModel()->select(rows,
                                                QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            if (selection.firstRow >= 0) {
                const QModelIndex first = ListView1->model()->index(selection.firstRow, 0);
                ListView1->selectionModel()->setCurrentIndex(first, QItemSelectionModel::NoUpdate);
                ListView1->currentView()->scrollTo(first);
            }
            OpenViewers(args.files);
        });
    });
}

} // namespace pelandor
