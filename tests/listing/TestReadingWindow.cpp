// The main window's reading loop, sort and view handlers on real folders
// (offscreen): the state of the flags, buttons and menu checks during and
// after a reading, stopping, refused re-entry, and a drive change.
#include <QAction>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

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

class TestReadingWindow : public QObject, private WindowOnVolume {
    Q_OBJECT

    QString makeFolder(const QString &name, int bitmaps, int jpegs)
    {
        QDir(root.path()).mkpath(name);
        const QString folder = root.filePath(name);
        // Sizes grow against the names, so that name and size orders differ.
        for (int i = 0; i < bitmaps; ++i)
            writeBmpFile(QDir(folder).filePath(QStringLiteral("b%1.bmp").arg(i)), solid(10 * (bitmaps - i), 8, 0));
        for (int i = 0; i < jpegs; ++i)
            writeJpegFile(QDir(folder).filePath(QStringLiteral("j%1.jpg").arg(i)), solid(40, 30, qRgb(0, 0, 255)));
        writeText(QDir(folder).filePath(QStringLiteral("notes.txt")), "x");
        return folder;
    }

private slots:
    void init()
    {
        open();
    }
    void cleanup() { close(); }

    void readingEndsSortedAndIdle()
    {
        const QString folder = makeFolder(QStringLiteral("mixed"), 3, 2);
        int placeholders = 0;
        connect(&model(), &QAbstractItemModel::rowsInserted, this, [&](const QModelIndex &, int first, int) {
            ++placeholders;
            QCOMPARE(model().caption(first), FileListModel::placeholderCaption());
            QVERIFY(window->reading());
            QVERIFY(control<QToolButton>(*window, "sbRead")->isChecked());
            QVERIFY(!control<TDriveComboEx>(*window, "DriveComboEx1")->isEnabled());
            QVERIFY(!window->FolderTree1Changing());
        });
        QVERIFY(select(folder));
        QCOMPARE(placeholders, 5);
        QCOMPARE(captions(), (QStringList{"b0.bmp", "b1.bmp", "b2.bmp", "j0.jpg", "j1.jpg"}));
        QVERIFY(!window->reading());
        QVERIFY(!window->cancelRequested());
        QVERIFY(!control<QToolButton>(*window, "sbRead")->isChecked());
        QVERIFY(control<TDriveComboEx>(*window, "DriveComboEx1")->isEnabled());
        QVERIFY(window->FolderTree1Changing());
        QCOMPARE(listView()->hint(), QStringLiteral("名前順"));
        for (int i = 0; i < 6; ++i)
            QCOMPARE(window->StatusPanelText(i), QString());
        QCOMPARE(model().subItem(3, 3), QStringLiteral("40 * 30"));
    }

    void statusBarFollowsSelection()
    {
        QVERIFY(select(makeFolder(QStringLiteral("status"), 2, 0)));
        QItemSelectionModel *selection = listView()->selectionModel();
        selection->setCurrentIndex(model().index(0, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selection->setCurrentIndex(model().index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(window->StatusPanelText(0), QStringLiteral("b1.bmp"));
        QCOMPARE(window->StatusPanelText(1), model().subItem(1, 0));
        QCOMPARE(window->StatusPanelText(2), model().subItem(1, 1) + QStringLiteral("Byte"));
        QCOMPARE(window->StatusPanelText(3), model().subItem(1, 2));
        QCOMPARE(window->StatusPanelText(4), QStringLiteral("10 * 8"));
        QCOMPARE(window->StatusPanelText(5), QString());
        // Sorting leaves the status bar alone.
        window->mnuView_sort_sizeClick();
        QCOMPARE(window->StatusPanelText(0), QStringLiteral("b1.bmp"));
    }

    void sortKeysButtonsAndMenu()
    {
        QVERIFY(select(makeFolder(QStringLiteral("keys"), 3, 0)));
        control<QToolButton>(*window, "sbSortBySize")->click();
        QCOMPARE(captions(), (QStringList{"b2.bmp", "b1.bmp", "b0.bmp"}));
        QVERIFY(control<QAction>(*window, "mnuView_sort_size")->isChecked());
        QCOMPARE(listView()->hint(), QStringLiteral("サイズ順"));
        // The button that is down, clicked again: sorts again and stays down.
        control<QToolButton>(*window, "sbSortBySize")->click();
        QVERIFY(control<QToolButton>(*window, "sbSortBySize")->isChecked());
        QVERIFY(!control<QToolButton>(*window, "sbSortByName")->isChecked());

        control<QAction>(*window, "mnuView_sort_name")->trigger();
        QVERIFY(control<QToolButton>(*window, "sbSortByName")->isChecked());
        QCOMPARE(captions(), (QStringList{"b0.bmp", "b1.bmp", "b2.bmp"}));
    }

    void directionFromTheMenuRules()
    {
        const QString folder = makeFolder(QStringLiteral("direction"), 3, 0);
        QVERIFY(select(folder));
        control<QAction>(*window, "mnuView_sort_down")->trigger();
        QCOMPARE(captions(), (QStringList{"b2.bmp", "b1.bmp", "b0.bmp"}));
        // The menu moved; the direction buttons did not.
        QVERIFY(control<QToolButton>(*window, "sbUpSort")->isChecked());
        QVERIFY(!control<QToolButton>(*window, "sbDownSort")->isChecked());
        // A new reading ends with the menu's direction.
        window->mnuView_readClick();
        QCOMPARE(model().count(), 3);
        QCOMPARE(captions(), (QStringList{"b2.bmp", "b1.bmp", "b0.bmp"}));
        control<QToolButton>(*window, "sbUpSort")->click();
        QVERIFY(control<QAction>(*window, "mnuView_sort_up")->isChecked());
        QCOMPARE(captions(), (QStringList{"b0.bmp", "b1.bmp", "b2.bmp"}));
    }

    void viewStyleKeepsOrderAndSelection()
    {
        QVERIFY(select(makeFolder(QStringLiteral("style"), 3, 0)));
        listView()->selectionModel()->select(model().index(1, 0),
                                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        control<QToolButton>(*window, "sbReport")->click();
        QVERIFY(listView()->isReport());
        QVERIFY(control<QAction>(*window, "mnuView_style_report")->isChecked());
        QCOMPARE(listView()->selectedRows(), QList<int>{1});
        control<QAction>(*window, "mnuView_style_icon")->trigger();
        QVERIFY(!listView()->isReport());
        QVERIFY(control<QToolButton>(*window, "sbIcon")->isChecked());
        QCOMPARE(listView()->selectedRows(), QList<int>{1});
        QCOMPARE(captions(), (QStringList{"b0.bmp", "b1.bmp", "b2.bmp"}));
    }

    void stopPartWayAndRefusedReentry()
    {
        const QString folder = makeFolder(QStringLiteral("ten"), 10, 0);
        int completed = 0;
        connect(&model(), &QAbstractItemModel::dataChanged, this, [&](const QModelIndex &topLeft) {
            if (model().caption(topLeft.row()) == FileListModel::placeholderCaption() || ++completed != 3)
                return;
            // In the middle of the reading: nothing may start a second one.
            window->FolderTree1Change();
            QCOMPARE(model().count(), 3);
            control<QToolButton>(*window, "sbRead")->click(); // lets the toggle up; the handler presses it again
            QVERIFY(control<QToolButton>(*window, "sbRead")->isChecked());
            QVERIFY(window->reading());
            window->mnuView_cancelClick();
        });
        QVERIFY(select(folder));
        QCOMPARE(model().count(), 3);
        for (int row = 0; row < 3; ++row)
            QVERIFY(model().caption(row) != FileListModel::placeholderCaption());
        QStringList sorted = captions();
        sorted.sort();
        QCOMPARE(captions(), sorted);
        QVERIFY(!control<QToolButton>(*window, "sbRead")->isChecked());
        QVERIFY(!window->cancelRequested());
        QVERIFY(!window->reading());

        // A stop pressed while idle does not carry over to the next reading.
        window->mnuView_cancelClick();
        disconnect(&model(), &QAbstractItemModel::dataChanged, this, nullptr);
        window->mnuView_readClick();
        QCOMPARE(model().count(), 10);
    }

    void singleTypeAndEmptyFolders()
    {
        const QString folder = makeFolder(QStringLiteral("types"), 2, 2);
        control<QComboBox>(*window, "ComboBox1")->setCurrentIndex(control<QComboBox>(*window, "ComboBox1")->findText(QStringLiteral("*.JPG")));
        QVERIFY(select(folder));
        QCOMPARE(captions(), (QStringList{"j0.jpg", "j1.jpg"}));

        QDir(root.path()).mkpath(QStringLiteral("only/sub1"));
        QVERIFY(select(root.filePath(QStringLiteral("only"))));
        QCOMPARE(model().count(), 0);
        QVERIFY(!control<QToolButton>(*window, "sbRead")->isChecked());
    }

    void driveChangeClearsWithoutReading()
    {
        QVERIFY(select(makeFolder(QStringLiteral("drive"), 2, 0)));
        window->SetStatusPanel(0, QStringLiteral("x"));
        const QString other = makeFolder(QStringLiteral("other-volume"), 1, 0);
        control<TDriveComboEx>(*window, "DriveComboEx1")->SetDrive(other);
        window->DriveComboEx1Change();
        QCOMPARE(folderTree()->Drive(), other);
        QCOMPARE(model().count(), 0);
        QCOMPARE(listView()->model()->thumbnails()->count(), 0);
        QCOMPARE(window->StatusPanelText(0), QString());
        QVERIFY(folderTree()->GetFolderPath().isEmpty());
    }

    void openFolderFromCommandLine()
    {
        const QString folder = makeFolder(QStringLiteral("opened"), 1, 1);
        window->OpenFolder(folder);
        QTRY_COMPARE(model().count(), 2);
        QCOMPARE(folderTree()->GetFolderPath(), folder);
        QVERIFY(!window->reading());
    }
};

QTEST_MAIN(TestReadingWindow)
#include "TestReadingWindow.moc"
