// The main window's single-image commands on a folder it has read: viewers
// for the selected items, refresh of the selected thumbnails, and image copy
// of the first selected item.
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QItemSelectionModel>
#include <QPointer>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QAction>
#include <QComboBox>
#include <QTest>
#include <QTimer>

#include "WindowControls.h"
#include "app/TMainWindow.h"
#include "decode/Bitmap.h"
#include "decode/BmpWriter.h"
#include "decode/JpegWriter.h"
#include "listing/CommandGuard.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailGridView.h"
#include "listing/ThumbnailList.h"
#include "shell/TDriveComboEx.h"
#include "shell/TFolderTree.h"
#include "viewer/ImageControl.h"
#include "viewer/TViewWindow.h"

using namespace pelandor;

namespace {

constexpr int kFiles = 5;

Bitmap solid(int w, int h, QRgb colour)
{
    QImage image(w, h, QImage::Format_RGB888);
    image.fill(colour);
    Bitmap bitmap;
    bitmap.assign(PixelFormat::Bits24, image);
    return bitmap;
}

Bitmap fileBitmap(int i)
{
    return solid(20 + i, 10 + i, qRgb(40 * i, 255 - 40 * i, 100));
}

QList<TViewWindow *> openViewers()
{
    QList<TViewWindow *> viewers;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *viewer = qobject_cast<TViewWindow *>(widget); viewer && viewer->isVisible())
            viewers.append(viewer);
    }
    return viewers;
}

QImage grey()
{
    QImage cell(ThumbnailCell::Size, ThumbnailCell::Size, ThumbnailCell::Format);
    cell.fill(qRgb(128, 128, 128));
    return cell;
}

// Records the title of every viewer as it is shown.
class ShowRecorder : public QObject {
public:
    explicit ShowRecorder(QStringList *titles)
        : m_titles(titles)
    {
    }
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *viewer = qobject_cast<TViewWindow *>(watched))
                m_titles->append(viewer->windowTitle());
        }
        return false;
    }

private:
    QStringList *m_titles;
};

} // namespace

class TestMainWindowViewing : public QObject {
    Q_OBJECT

    QTemporaryDir m_modules; // no plug-ins
    QTemporaryDir m_root;
    QDir m_folder{m_root.filePath("a")};  // the folder read, f0.bmp to f4.bmp
    QDir m_sibling{m_root.filePath("b")}; // the next folder in the tree, three other files
    std::unique_ptr<TMainWindow> m_window;
    // The window's list and folder tree, found by name.
    FileListView *listView() const { return control<FileListView>(*m_window, "ListView1"); }
    TFolderTree *folderTree() const { return control<TFolderTree>(*m_window, "FolderTree1"); }

    FileListModel *model() const { return listView()->model(); }

    void select(const QList<int> &rows)
    {
        QItemSelectionModel *selection = listView()->selectionModel();
        selection->clearSelection();
        for (int row : rows)
            selection->select(model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
    }

    // The row of the file f<i>.bmp.
    int rowOf(int i) const
    {
        for (int row = 0; row < model()->count(); ++row) {
            if (model()->caption(row) == QString("f%1.bmp").arg(i))
                return row;
        }
        return -1;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(QDir(m_root.path()).mkpath("a"));
        QVERIFY(QDir(m_root.path()).mkpath("b"));
        QVERIFY(QDir(m_root.path()).mkpath("c"));
        const QDir mixed(m_root.filePath("c")); // two bitmaps and two JPEG files
        const QStringList names{"p0.bmp", "p1.jpg", "p2.bmp", "p3.jpg"};
        for (const QString &name : names) {
            QSaveFile file(mixed.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(name.endsWith("bmp") ? writeBmp(solid(8, 8, qRgb(1, 2, 3)), file)
                                         : writeJpeg(solid(8, 8, qRgb(1, 2, 3)), file));
            QVERIFY(file.commit());
        }
        for (int i = 0; i < 3; ++i) {
            QSaveFile file(m_sibling.filePath(QString("g%1.bmp").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(writeBmp(solid(30, 30, qRgb(255, 0, 255)), file));
            QVERIFY(file.commit());
        }
        for (int i = 0; i < kFiles; ++i) {
            QSaveFile file(m_folder.filePath(QString("f%1.bmp").arg(i)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            QVERIFY(writeBmp(fileBitmap(i), file));
            QVERIFY(file.commit());
        }
    }

    void init()
    {
        m_window = std::make_unique<TMainWindow>(m_modules.path());
        m_window->show();
        m_window->OpenFolder(m_folder.path());
        QTRY_COMPARE(model()->count(), kFiles);
        QTRY_VERIFY(!m_window->reading());
    }

    void cleanup() { m_window.reset(); }

    void viewersForSelectedItems()
    {
        select({rowOf(3), rowOf(0), rowOf(4)});
        m_window->ListView1DblClick();
        const QList<TViewWindow *> viewers = openViewers();
        QCOMPARE(viewers.size(), 3);
        QStringList titles;
        for (TViewWindow *viewer : viewers) {
            titles.append(viewer->windowTitle());
            QVERIFY(!viewer->parent());
            QCOMPARE(viewer->popMnu_view100->isChecked(), true);
        }
        titles.sort();
        QCOMPARE(titles, (QStringList{m_folder.filePath("f0.bmp"), m_folder.filePath("f3.bmp"),
                                      m_folder.filePath("f4.bmp")}));
        for (TViewWindow *viewer : viewers) {
            const int i = viewer->windowTitle().mid(viewer->windowTitle().size() - 5, 1).toInt();
            QCOMPARE(viewer->Image1->size(), fileBitmap(i).image().size());
        }

        // The viewers go with the main window.
        QPointer<TViewWindow> one = viewers.first();
        m_window.reset();
        QVERIFY(one.isNull());
    }

    // A double-click on one of three selected thumbnails (after the first
    // click of it) opens a viewer for each of the three, in list order.
    void doubleClickOnOneOfThreeSelected()
    {
        select({rowOf(3), rowOf(0), rowOf(4)});
        QStringList shown;
        ShowRecorder recorder(&shown);
        qApp->installEventFilter(&recorder);
        QWidget *viewport = listView()->iconView()->viewport();
        const QPoint at = listView()->iconView()->visualRect(model()->index(rowOf(4), 0)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        qApp->removeEventFilter(&recorder);

        QStringList inListOrder;
        QList<int> rows{rowOf(0), rowOf(3), rowOf(4)};
        std::sort(rows.begin(), rows.end());
        for (int row : rows)
            inListOrder << m_folder.filePath(model()->caption(row));
        QCOMPARE(shown, inListOrder);
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        QCOMPARE(listView()->selectedRows().size(), 3);
    }

    void refreshReplacesOnlySelectedThumbnails()
    {
        for (int i = 0; i < listView()->model()->thumbnails()->count(); ++i)
            listView()->model()->thumbnails()->replace(i, grey());
        QStringList captions;
        for (int row = 0; row < kFiles; ++row)
            captions.append(model()->caption(row));
        const QList<int> chosen{rowOf(1), rowOf(2), rowOf(4)};
        select(chosen);

        m_window->popMnu_refleshClick();

        for (int row = 0; row < kFiles; ++row) {
            const QImage cell = listView()->model()->thumbnails()->cell(model()->imageIndex(row));
            const int i = model()->caption(row).mid(1, 1).toInt();
            if (chosen.contains(row))
                QCOMPARE(cell, ThumbnailCell::compose(fileBitmap(i)));
            else
                QCOMPARE(cell, grey());
            QCOMPARE(model()->caption(row), captions[row]);
        }
    }

    // The refresh pumps events after every file; whatever the user does
    // meanwhile, each refreshed cell lands on its own item of the folder read.
    void refreshKeepsToItsOwnItems_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("key move to another folder is refused") << "tree";
        QTest::newRow("read command is refused") << "read";
        QTest::newRow("another volume is refused") << "volume";
        QTest::newRow("a sort moves the items") << "sort";
        QTest::newRow("closing waits for the end") << "close";
    }
    void refreshKeepsToItsOwnItems()
    {
        QFETCH(QString, meanwhile);
        for (int i = 0; i < listView()->model()->thumbnails()->count(); ++i)
            listView()->model()->thumbnails()->replace(i, grey());
        const QList<int> chosen{rowOf(1), rowOf(2), rowOf(4)};
        select(chosen);
        QVERIFY(folderTree()->currentIndex().isValid());

        bool acted = false;
        QTimer::singleShot(0, m_window.get(), [&] {
            QVERIFY(m_window->commandGuard().busy());
            if (meanwhile == "tree") {
                folderTree()->setFocus();
                QTest::keyClick(folderTree(), Qt::Key_Down);
            } else if (meanwhile == "read") {
                control<QAction>(*m_window, "mnuView_read")->trigger();
            } else if (meanwhile == "volume") {
                control<TDriveComboEx>(*m_window, "DriveComboEx1")->SetDrive(m_root.path());
                m_window->DriveComboEx1Change();
            } else if (meanwhile == "close") {
                m_window->close();
                QVERIFY(m_window->isVisible());
            } else {
                control<QAction>(*m_window, "mnuView_sort_down")->trigger();
            }
            acted = true;
        });
        m_window->popMnu_refleshClick();
        QVERIFY(acted);
        QVERIFY(!m_window->commandGuard().busy());

        QCOMPARE(folderTree()->GetFolderPath(), m_folder.path());
        QCOMPARE(control<TDriveComboEx>(*m_window, "DriveComboEx1")->Drive(), folderTree()->Drive());
        QCOMPARE(model()->count(), kFiles);
        for (int row = 0; row < kFiles; ++row) {
            const QImage cell = listView()->model()->thumbnails()->cell(model()->imageIndex(row));
            const int i = model()->caption(row).mid(1, 1).toInt();
            if (i == 1 || i == 2 || i == 4)
                QCOMPARE(cell, ThumbnailCell::compose(fileBitmap(i)));
            else
                QCOMPARE(cell, grey());
        }

        if (meanwhile == "close")
            QTRY_VERIFY(!m_window->isVisible());
        // Once the refresh is over, the same key does move to the next folder.
        if (meanwhile == "tree") {
            QTest::keyClick(folderTree(), Qt::Key_Down);
            QCOMPARE(folderTree()->GetFolderPath(), m_sibling.path());
            QCOMPARE(model()->count(), 3);
        }
    }

    // A viewer steps through the list in its present order, keeps its zoom
    // step, stops at the ends, and stays on a file the list dropped.
    void viewerStepsThroughTheList_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("meanwhile");
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<QList<int>>("shown"); // the file after each key
        const int space = Qt::Key_Space, back = Qt::Key_Backspace;
        QTest::newRow("list order") << 0 << "" << QList<int>{space, space, Qt::Key_PageDown, Qt::Key_Right, space}
                                    << QList<int>{1, 2, 3, 4, 4};
        QTest::newRow("backwards") << 3 << "" << QList<int>{back, Qt::Key_PageUp, Qt::Key_Left, back}
                                   << QList<int>{2, 1, 0, 0};
        QTest::newRow("across the ends") << 2 << "" << QList<int>{Qt::Key_End, space, Qt::Key_Home, back}
                                         << QList<int>{4, 4, 0, 0};
        QTest::newRow("after a re-sort") << 2 << "sort" << QList<int>{space, space, space, back}
                                         << QList<int>{1, 0, 0, 1};
        QTest::newRow("file dropped, forward") << 2 << "drop" << QList<int>{space, back} << QList<int>{3, 1};
        QTest::newRow("file dropped, backward") << 2 << "drop" << QList<int>{back, space} << QList<int>{1, 3};
        QTest::newRow("keys held down") << 0 << "" << QList<int>{space, space, space, space}
                                        << QList<int>{-1, -1, -1, 4};
    }

    void viewerStepsThroughTheList()
    {
        QFETCH(int, start);
        QFETCH(QString, meanwhile);
        QFETCH(QList<int>, keys);
        QFETCH(QList<int>, shown);
        select({rowOf(start)});
        m_window->ListView1DblClick();
        QPointer<TViewWindow> viewer = openViewers().value(0);
        QVERIFY(viewer);
        viewer->popMnu_view200->trigger();

        if (meanwhile == "sort")
            control<QAction>(*m_window, "mnuView_sort_down")->trigger();
        if (meanwhile == "drop")
            QVERIFY(model()->removeRows(rowOf(start), 1));
        QCOMPARE(viewer->windowTitle(), m_folder.filePath(QString("f%1.bmp").arg(start)));

        for (qsizetype k = 0; k < keys.size(); ++k) {
            QTest::keyClick(viewer, Qt::Key(keys[k]));
            if (shown[k] < 0)
                continue; // the next key comes before the picture
            QTRY_VERIFY(!viewer->stepping());
            QCOMPARE(viewer->windowTitle(), m_folder.filePath(QString("f%1.bmp").arg(shown[k])));
            QCOMPARE(viewer->Image1->picture().image(), fileBitmap(shown[k]).image());
            QVERIFY(viewer->popMnu_view200->isChecked());
            QCOMPARE(viewer->Image1->size(), fileBitmap(shown[k]).image().size() * 2);
        }

        QTest::keyClick(viewer, Qt::Key_Escape);
        QTRY_VERIFY(viewer.isNull());
    }

    // The list holds only the chosen type: the steps keep to it.
    void viewerStepsWithinTheType()
    {
        const QDir mixed(m_root.filePath("c"));
        control<QComboBox>(*m_window, "ComboBox1")->setCurrentIndex(control<QComboBox>(*m_window, "ComboBox1")->findText("*.BMP"));
        m_window->OpenFolder(mixed.path());
        QTRY_COMPARE(model()->count(), 2);
        QTRY_VERIFY(!m_window->reading());
        select({0});
        m_window->ListView1DblClick();
        QPointer<TViewWindow> viewer = openViewers().value(0);
        QVERIFY(viewer);
        QCOMPARE(viewer->windowTitle(), mixed.filePath("p0.bmp"));
        for (const char *expected : {"p2.bmp", "p2.bmp"}) {
            QTest::keyClick(viewer, Qt::Key_Space);
            QTRY_VERIFY(!viewer->stepping());
            QCOMPARE(viewer->windowTitle(), mixed.filePath(expected));
        }
        QTest::keyClick(viewer, Qt::Key_Home);
        QTRY_VERIFY(!viewer->stepping());
        QCOMPARE(viewer->windowTitle(), mixed.filePath("p0.bmp"));
        viewer->close();
    }

    void imageCopyTakesFirstSelected()
    {
        select({rowOf(3), rowOf(1)});
        m_window->popMnu_imagecopyClick();
        const int first = std::min(rowOf(3), rowOf(1));
        const int i = model()->caption(first).mid(1, 1).toInt();
        QCOMPARE(QGuiApplication::clipboard()->image(), fileBitmap(i).image());
    }
};

QTEST_MAIN(TestMainWindowViewing)
#include "TestMainWindowViewing.moc"
