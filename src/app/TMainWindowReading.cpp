// Reading a folder into the file list: the folder tree's change handler runs
// the reading loop on the GUI thread, pumping events after every file so that
// the window stays usable and the stop command can end the loop. The folder
// read is then watched, and what other programs change in it is brought into
// the list the same way, as soon as no long command runs.
#include "app/TMainWindow.h"

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QElapsedTimer>
#include <QItemSelectionModel>
#include <QScopeGuard>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include "app/FileArguments.h"
#include "app/StatusPanel.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/CommandGuard.h"
#include "listing/FolderWatcher.h"
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
    ListChangeDetached(TMainWindow &window, FileListView *list)
        : m_window(window)
        , m_list(list)
        , m_wasAttached(QObject::disconnect(list, &FileListView::itemChanged, &window, &TMainWindow::ListView1Change))
    {
    }
    ~ListChangeDetached()
    {
        if (m_wasAttached)
            QObject::connect(m_list, &FileListView::itemChanged, &m_window, &TMainWindow::ListView1Change);
    }
    ListChangeDetached(const ListChangeDetached &) = delete;
    ListChangeDetached &operator=(const ListChangeDetached &) = delete;

private:
    TMainWindow &m_window;
    FileListView *m_list;
    bool m_wasAttached;
};

// A module in a helper process may take up to its time limit for a file:
// while this object lives, the window keeps painting and taking clicks
// meanwhile (the guard refuses whatever would change the list).
class EventsWhileModuleWaits {
public:
    explicit EventsWhileModuleWaits(TSpi &host)
        : m_host(host)
    {
        m_host.setWhileWaiting([] { QCoreApplication::processEvents(); });
    }
    ~EventsWhileModuleWaits() { m_host.setWhileWaiting({}); }
    EventsWhileModuleWaits(const EventsWhileModuleWaits &) = delete;
    EventsWhileModuleWaits &operator=(const EventsWhileModuleWaits &) = delete;

private:
    TSpi &m_host;
};

constexpr qint64 ProgressPaceMs = 40;

QString progressText(int done, int found)
{
    return QStringLiteral("%1 / %2").arg(done).arg(found);
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

        clearList();
        // Cells are made for the screen the window is on now.
        ImageList1->setDevicePixelRatio(devicePixelRatioF());

        // The cache holds the whole folder being read, however large, while
        // the disk has room (see ThumbnailCache).
        ThumbnailCache cache(ThumbnailCache::defaultFolder());
        cache.keepUsesFromNow();
        m_cellsKeptSince = cache.keptSince();
        ReadingPass pass(*ListView1->model(), *Spi1, m_jpegPluginFound);
        pass.setCache(&cache);
        hookUpReading(pass);
        // The first panel counts the files while the list change handler,
        // which writes it, is detached.
        // The count is written after every file but painted at most every
        // 40 ms (and at the end): faster than the eye follows, where a paint
        // a file would cost more than reading a file seen before.
        // Its size is held meanwhile, so a new count lays nothing out.
        QElapsedTimer progressShown;
        StatusPanel *countPanel = StatusPanels[0];
        const QSize minimum = countPanel->minimumSize();
        const QSize maximum = countPanel->maximumSize();
        countPanel->setFixedSize(countPanel->size());
        const auto painted = qScopeGuard([countPanel, minimum, maximum] {
            countPanel->setMinimumSize(minimum);
            countPanel->setMaximumSize(maximum);
            countPanel->setUpdatesEnabled(true);
        });
        pass.setProgress([this, &progressShown, countPanel](int done, int found) {
            const bool paint = done == 0 || done >= found || !progressShown.isValid()
                || progressShown.elapsed() >= ProgressPaceMs;
            if (paint)
                progressShown.start();
            countPanel->setUpdatesEnabled(paint);
            SetStatusPanel(0, progressText(done, found));
        });
        ListChangeDetached detached(*this, ListView1);
        const EventsWhileModuleWaits pumping(*Spi1);
        const QString folder = FolderTree1->GetFolderPath();
        m_shownFolder = folder;
        m_shownEntries = TypeEntries();
        m_shownType = ComboBox1->currentIndex();
        // Watched before it is listed, so that no change falls in between;
        // changes during the reading wait for its end.
        m_watcher->watch(folder);
        const bool complete = pass.run(folder, m_shownEntries, m_shownType);
        // A complete list needs no count. A stopped one keeps its count, and
        // says until the next reading that it lacks files in the panel that
        // nothing else writes (choosing an item writes over the count).
        if (complete)
            SetStatusPanel(0, QString());
        else
            SetStatusPanel(5, tr("中断"));
        // An empty list must not look like an empty folder.
        if (!pass.folderError().isEmpty())
            Messages().showMessage(tr("ﾌｫﾙﾀﾞ '%1' を読めません: %2")
                                       .arg(NativeName::display(folder), pass.folderError()));
    }

    sortByDownButton();
    QApplication::beep();
}

void TMainWindow::setUpLiveFolder()
{
    m_watcher = new FolderWatcher(this);
    connect(m_watcher, &FolderWatcher::changesReady, this, [this] { RunCommand([this] { ApplyFolderChanges(); }); });
    // Changes that came while a long command ran are brought in after it.
    connect(m_guard, &CommandGuard::released, this, [this] {
        if (m_watcher->hasChanges())
            QTimer::singleShot(0, this, [this] { RunCommand([this] { ApplyFolderChanges(); }); });
    });
}

void TMainWindow::ApplyFolderChanges()
{
    if (!m_watcher->hasChanges())
        return;
    // The update changes rows: never under a long command (it comes again
    // when the guard is released).
    auto token = m_guard->holdIfIdle();
    if (!token)
        return;
    const FolderWatcher::Changes changes = m_watcher->takeChanges();
    if (changes.folders)
        FolderTree1->refreshFolder(m_shownFolder);
    // The list's paths are the tree's: a list whose folder is no longer the
    // tree's selection is left alone.
    if ((changes.names.isEmpty() && !changes.everything) || m_shownFolder != FolderTree1->GetFolderPath())
        return;

    m_reading = {true, false};
    {
        const auto idle = qScopeGuard([this] { m_reading = {}; });
        ThumbnailCache cache(ThumbnailCache::defaultFolder());
        cache.keepUsesSince(m_cellsKeptSince);
        ReadingPass pass(*ListView1->model(), *Spi1, m_jpegPluginFound);
        pass.setCache(&cache);
        hookUpReading(pass);
        ListChangeDetached detached(*this, ListView1);
        const EventsWhileModuleWaits pumping(*Spi1);
        pass.update(m_shownFolder, m_shownEntries, m_shownType, changes.names, changes.everything);
    }
    // One sort for the whole burst puts the new files in their places.
    sortByDownButton();
}

void TMainWindow::hookUpReading(ReadingPass &pass)
{
    pass.setPlaceholderAdded([this](int) { ListView1->repaintNow(); });
    pass.setFileDone([this] {
        QCoreApplication::processEvents();
        return !m_reading.cancelRequested;
    });
}

bool TMainWindow::FolderTree1Changing()
{
    // Asked once for each click or key on the tree.
    if (!m_guard->busy())
        return true;
    refuseWhileBusy();
    return false;
}

void TMainWindow::refuseWhileBusy()
{
    QApplication::beep();
    showStatusText(tr("実行中の処理が終わるまでお待ち下さい"));
}

void TMainWindow::DriveComboEx1Change()
{
    if (DriveComboEx1->Drive() == FolderTree1->Drive())
        return;
    if (m_guard->busy()) {
        // Another volume would clear the list a long command works on: the
        // combo goes back to the tree's volume.
        DriveComboEx1->SetDrive(FolderTree1->Drive());
        refuseWhileBusy();
        return;
    }
    {
        // Moving the tree to another volume must not start a reading.
        const QSignalBlocker blocker(FolderTree1);
        FolderTree1->SetDrive(DriveComboEx1->Drive());
    }
    clearList();
    m_watcher->watch(QString());
    m_shownFolder.clear();
}

void TMainWindow::mnuView_readClick()
{
    if (m_guard->busy()) {
        sbRead->setChecked(m_reading.active);
        refuseWhileBusy();
        return;
    }
    // The read command also brings the open branches of the tree up to date.
    FolderTree1->refreshExpanded();
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

// Empties the list, its thumbnails and the status bar.
void TMainWindow::clearList()
{
    ListView1->model()->clear();
    ImageList1->clear();
    ClearStatusPanels();
}

// Sorts by the key whose button is down; every sort reads the direction from
// the menu.
void TMainWindow::sortByDownButton()
{
    if (sbSortByName->isChecked())
        mnuView_sort_nameClick();
    if (sbSortByType->isChecked())
        mnuView_sort_typeClick();
    if (sbSortBySize->isChecked())
        mnuView_sort_sizeClick();
    if (sbSortByDate->isChecked())
        mnuView_sort_dateClick();
}

} // namespace pelandor
