// Reading a folder into the file list: the folder tree's change handler runs
// the reading loop on the GUI thread, pumping events after every file so that
// the window stays usable and the stop command can end the loop.
#include "app/TMainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolButton>

#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/FolderReader.h"
#include "listing/ThumbnailList.h"
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
    if (Reading)
        return;
    Reading = true;
    DriveComboEx1->setEnabled(false);
    sbRead->setChecked(true);

    // Whatever ends the reading (its end, a stop, an error), the window goes
    // back to idle with the items made so far.
    struct BackToIdle {
        TMainWindow &w;
        ~BackToIdle()
        {
            w.CancelRequested = false;
            w.Reading = false;
            w.sbRead->setChecked(false);
            w.DriveComboEx1->setEnabled(true);
            w.FolderTree1->setFocus();
            w.FinishPendingClose();
        }
    };
    {
        BackToIdle idle{*this};

        clearList(*this);

        const ImageTypeList entries = TypeEntries();
        const int n = int(entries.size());
        const int s = ComboBox1->currentIndex();
        auto readEntry = [this](const ImageTypeEntry &entry) {
            ListChangeDetached detached(*this);
            ReadFolder(entry.text, entry.pluginName);
        };
        if (n > 0 && s == n - 1) {
            for (int i = 0; i < n - 1; ++i) {
                readEntry(entries[i]);
                if (CancelRequested)
                    break;
            }
        } else if (s >= 0 && s < n) {
            readEntry(entries[s]);
        }
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
    return !Reading;
}

void TMainWindow::DriveComboEx1Change()
{
    if (DriveComboEx1->Drive() == FolderTree1->Drive())
        return;
    {
        // Moving the tree to another volume must not start a reading.
        const QSignalBlocker blocker(FolderTree1);
        FolderTree1->SetDrive(DriveComboEx1->Drive());
    }
    clearList(*this);
}

void TMainWindow::mnuView_readClick()
{
    if (Reading) {
        sbRead->setChecked(true);
        return;
    }
    FolderTree1Change();
}

void TMainWindow::mnuView_cancelClick()
{
    if (Reading)
        CancelRequested = true;
}

void TMainWindow::ReadFolder(const QString &pattern, const QString &pluginName)
{
    const QString folder = FolderTree1->GetFolderPath();
    const bool withModule = !pluginName.isEmpty();
    if (withModule)
        Spi1->LoadSpi(pluginName);
    struct ModuleRelease {
        TSpi *host;
        bool loaded;
        ~ModuleRelease()
        {
            if (loaded)
                host->FreeSpi();
        }
    } release{Spi1, withModule};

    FolderReader reader(*ListView1->model(), Spi1, JpegPluginFound);
    reader.setPlaceholderAdded([this](int) { ListView1->repaintNow(); });
    reader.setFileDone([this] {
        QCoreApplication::processEvents();
        return !CancelRequested;
    });
    reader.read(folder, pattern);
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

} // namespace pelandor
