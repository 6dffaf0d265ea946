// The shown folder, changed by another program while the window shows it
// (offscreen): added, removed and rewritten files, a burst, and changes that
// arrive during a reading; plus the reading's progress count and the list's
// Enter and Ctrl+A keys.
#include <QAbstractItemView>
#include <QDir>
#include <QItemSelectionModel>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "ImageFiles.h"
#include "WindowOnVolume.h"
#include "app/TMainWindow.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/ThumbnailList.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"

using namespace pelandor;
using namespace testfiles;

class TestLiveFolder : public QObject, private WindowOnVolume {
    Q_OBJECT

    QTemporaryDir m_cache;
    QString m_folder;
    // The bitmaps of the folder, sorted as the list sorts them by name.
    QStringList bitmapsOnDisk()
    {
        QStringList names = QDir(m_folder).entryList({QStringLiteral("*.bmp")}, QDir::Files, QDir::Name);
        return names;
    }
    QString file(const QString &name) { return QDir(m_folder).filePath(name); }
    // Reads m_folder with `bitmaps` red bitmaps b00.bmp, b01.bmp, ... in it.
    void readFolder(int bitmaps)
    {
        QDir(root.path()).mkpath(QStringLiteral("shown"));
        m_folder = root.filePath(QStringLiteral("shown"));
        for (int i = 0; i < bitmaps; ++i)
            QVERIFY(writeBmpFile(file(QStringLiteral("b%1.bmp").arg(i, 2, 10, QLatin1Char('0'))),
                                 solid(8 + i, 8, qRgb(255, 0, 0))));
        QVERIFY(select(m_folder));
        QCOMPARE(model().count(), bitmaps);
    }

private slots:
    void initTestCase() { qputenv("XDG_CACHE_HOME", m_cache.path().toLocal8Bit()); }
    void init()
    {
        open();
    }
    void cleanup()
    {
        close();
        QDir(m_folder).removeRecursively();
    }

    void addedRemovedAndRewrittenFiles()
    {
        readFolder(3);
        // A new bitmap comes in at its sorted place; a file of another type
        // does not.
        QVERIFY(writeBmpFile(file(QStringLiteral("a.bmp")), solid(30, 20, qRgb(0, 255, 0))));
        QVERIFY(writeText(file(QStringLiteral("a.txt")), "text"));
        QTRY_COMPARE(captions(), bitmapsOnDisk());
        QCOMPARE(model().subItem(0, 3), QStringLiteral("30 * 20"));

        // A removed file leaves; the others keep their cells.
        QVERIFY(QFile::remove(file(QStringLiteral("b01.bmp"))));
        QTRY_COMPARE(captions(), bitmapsOnDisk());
        QCOMPARE(model().data(model().index(rowOf("b02.bmp"), 0), FileListModel::ThumbnailRole)
                     .value<QImage>().pixel(48, 48),
                 qRgb(255, 0, 0));

        // A file rewritten in place gets a new cell and new columns in its
        // own row, its cell replaced rather than added.
        const int cells = listView()->model()->thumbnails()->count();
        QVERIFY(writeBmpFile(file(QStringLiteral("b00.bmp")), solid(50, 40, qRgb(0, 0, 255))));
        QTRY_COMPARE(model().subItem(rowOf("b00.bmp"), 3), QStringLiteral("50 * 40"));
        const QImage cell =
            model().data(model().index(rowOf("b00.bmp"), 0), FileListModel::ThumbnailRole).value<QImage>();
        QCOMPARE(cell.pixel(48, 48), qRgb(0, 0, 255));
        QCOMPARE(listView()->model()->thumbnails()->count(), cells);
        QCOMPARE(captions(), bitmapsOnDisk());

        // A rename is a removal and an addition, sorted once.
        QVERIFY(QFile::rename(file(QStringLiteral("a.bmp")), file(QStringLiteral("c.bmp"))));
        QTRY_COMPARE(captions(), bitmapsOnDisk());
    }

    void burstIsAppliedWithoutReorderingPerFile()
    {
        readFolder(2);
        control<QAction>(*window, "mnuView_sort_down")->trigger(); // descending: the new files go before the old ones
        QSignalSpy sorts(&model(), &QAbstractItemModel::layoutChanged);
        QSignalSpy removals(&model(), &QAbstractItemModel::rowsRemoved);
        QSignalSpy resets(&model(), &QAbstractItemModel::modelReset);
        for (int i = 0; i < 500; ++i)
            QVERIFY(writeBmpFile(file(QStringLiteral("n%1.bmp").arg(i, 3, 10, QLatin1Char('0'))),
                                 solid(4, 4, qRgb(0, 0, 0))));
        QStringList expected = bitmapsOnDisk();
        std::reverse(expected.begin(), expected.end());
        QTRY_COMPARE_WITH_TIMEOUT(captions(), expected, 20000);
        // A report per burst (or per longest delay), never one per file; the
        // list is neither emptied nor thinned meanwhile.
        QVERIFY2(sorts.count() <= 5, qPrintable(QString::number(sorts.count())));
        QCOMPARE(removals.count(), 0);
        QCOMPARE(resets.count(), 0);

        // A burst of removals, runs of neighbouring rows and single rows
        // between kept ones, leaves the others in their order.
        for (int i = 0; i < 500; i += i < 100 ? 1 : 37)
            QVERIFY(QFile::remove(file(QStringLiteral("n%1.bmp").arg(i, 3, 10, QLatin1Char('0')))));
        expected = bitmapsOnDisk();
        std::reverse(expected.begin(), expected.end());
        QTRY_COMPARE_WITH_TIMEOUT(captions(), expected, 20000);
    }

    void changesDuringAReadingAreAppliedAfterIt()
    {
        QDir(root.path()).mkpath(QStringLiteral("shown"));
        m_folder = root.filePath(QStringLiteral("shown"));
        for (int i = 0; i < 10; ++i)
            QVERIFY(writeBmpFile(file(QStringLiteral("b%1.bmp").arg(i)), solid(8, 8, qRgb(255, 0, 0))));
        {
            const QSignalBlocker blocker(folderTree());
            folderTree()->InitFolderTree();
        }
        int completed = 0;
        bool changedDuringReading = false;
        QString firstRead;
        connect(&model(), &QAbstractItemModel::dataChanged, this, [&](const QModelIndex &topLeft) {
            if (!window->reading() || model().caption(topLeft.row()) == FileListModel::placeholderCaption())
                return;
            if (++completed == 1) {
                firstRead = model().caption(topLeft.row());
                // Another program adds one file and removes one that is read
                // already; the reading goes on long enough for the watcher
                // to report both.
                QVERIFY(writeBmpFile(file(QStringLiteral("late.bmp")), solid(8, 8, qRgb(0, 255, 0))));
                QVERIFY(QFile::remove(file(firstRead)));
                QTest::qWait(400);
            }
            if (captions().contains(QStringLiteral("late.bmp")) || !captions().contains(firstRead))
                changedDuringReading = true;
        });
        QSignalSpy removals(&model(), &QAbstractItemModel::rowsRemoved);
        QVERIFY(folderTree()->selectFolder(m_folder));
        QCOMPARE(model().count(), 10);
        QVERIFY(!changedDuringReading);
        QCOMPARE(removals.count(), 0);
        QTRY_COMPARE(captions(), bitmapsOnDisk());
    }

    void progressCountAndStoppedReading()
    {
        QDir(root.path()).mkpath(QStringLiteral("shown"));
        m_folder = root.filePath(QStringLiteral("shown"));
        for (int i = 0; i < 10; ++i)
            QVERIFY(writeBmpFile(file(QStringLiteral("b%1.bmp").arg(i)), solid(8, 8, qRgb(255, 0, 0))));
        QVERIFY(writeText(file(QStringLiteral("notes.txt")), "x"));
        {
            const QSignalBlocker blocker(folderTree());
            folderTree()->InitFolderTree();
        }
        QStringList counts;
        connect(&model(), &QAbstractItemModel::dataChanged, this, [&] {
            counts << window->StatusPanelText(0);
            if (counts.size() == 3)
                window->mnuView_cancelClick();
        });
        QVERIFY(folderTree()->selectFolder(m_folder));
        // Counted when each file is finished: the panel still shows the
        // count before it.
        QCOMPARE(counts, (QStringList{"0 / 10", "1 / 10", "2 / 10"}));
        QCOMPARE(window->StatusPanelText(0), QStringLiteral("3 / 10"));
        QCOMPARE(window->StatusPanelText(5), QStringLiteral("中断"));
        // Choosing an item does not hide that the list is incomplete.
        listView()->selectionModel()->setCurrentIndex(
            model().index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(window->StatusPanelText(5), QStringLiteral("中断"));

        disconnect(&model(), &QAbstractItemModel::dataChanged, this, nullptr);
        window->mnuView_readClick();
        QCOMPARE(model().count(), 10);
        QCOMPARE(window->StatusPanelText(0), QString());
        QCOMPARE(window->StatusPanelText(5), QString());
    }

    void enterOpensAndCtrlASelectsAll_data()
    {
        QTest::addColumn<bool>("report");
        QTest::newRow("thumbnails") << false;
        QTest::newRow("report") << true;
    }
    void enterOpensAndCtrlASelectsAll()
    {
        QFETCH(bool, report);
        readFolder(4);
        listView()->setViewStyle(report);
        QAbstractItemView *view = listView()->currentView();
        view->setFocus();
        listView()->selectionModel()->setCurrentIndex(
            model().index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QTest::keyClick(view, Qt::Key_A, Qt::ControlModifier);
        QCOMPARE(listView()->selectedRows().size(), 4);
        QSignalSpy opened(listView(), &FileListView::doubleClicked);
        // Disconnected from the window: only whether Enter opens is asked.
        disconnect(listView(), &FileListView::doubleClicked, window.get(), nullptr);
        QTest::keyClick(view, Qt::Key_Return);
        QTest::keyClick(view, Qt::Key_Enter, Qt::KeypadModifier);
        QCOMPARE(opened.count(), 2);
        QCOMPARE(listView()->selectedRows().size(), 4);
    }
};

QTEST_MAIN(TestLiveFolder)
#include "TestLiveFolder.moc"
