// The file list model and its two views: sorting keeps every item's
// thumbnail and the selection, switching views keeps order and selection, and
// selection moves are reported old item first.
#include <QAbstractItemModelTester>
#include <QRegularExpression>
#include <QApplication>
#include <QItemSelectionModel>
#include <QSignalSpy>
#include <QTest>
#include <QScrollBar>
#include <QTreeView>

#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/ItemTexts.h"
#include "listing/FileReportView.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailGridView.h"
#include "listing/ThumbnailList.h"

using namespace pelandor;

namespace {

FileListItem makeItem(const QString &name, const QString &size, const QString &date, int imageIndex)
{
    FileListItem item;
    item.caption = name;
    item.typeIndex = typeIndexOf(QStringLiteral("image"));
    item.size = size.toLongLong();
    // "yy/MM/dd hh:mm" as the number its digits spell; none when empty.
    item.date = date.isEmpty() ? -1 : QString(date).remove(QRegularExpression(QStringLiteral("\\D"))).toLongLong();
    item.width = 1;
    item.height = 1;
    item.detailed = true;
    item.imageIndex = imageIndex;
    return item;
}

void fill(FileListModel &model)
{
    // Added in this order; the image index tells which item is which.
    const struct {
        const char *name, *size, *date;
    } rows[] = {
        {"c.jpg", "100", "98/01/01 00:00"},
        {"a.bmp", "9", "05/01/01 00:00"},
        {"B.jpg", "10", "01/01/01 00:00"},
        {"d.bmp", "10", "01/01/01 00:00"},
    };
    for (const auto &r : rows) {
        QImage cell = ThumbnailCell::blank();
        const int index = model.thumbnails()->add(cell);
        model.appendItem(makeItem(QLatin1String(r.name), QLatin1String(r.size), QLatin1String(r.date), index));
    }
}

QStringList captions(const FileListModel &model)
{
    QStringList out;
    for (int row = 0; row < model.count(); ++row)
        out << model.caption(row);
    return out;
}

} // namespace

class TestFileList : public QObject {
    Q_OBJECT

private slots:
    void modelContract()
    {
        FileListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        fill(model);
        model.sortItems(3);
        model.sortItems(-1);
        model.setCaption(0, QStringLiteral("x"));
        model.removeRows(1, 2);
        model.clear();
    }

    // A set of rows in any order, with repeats and rows that do not exist,
    // leaves exactly those rows and keeps the others' order and persistent
    // indexes.
    void rowSetLeavesTogether()
    {
        FileListModel model;
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
        for (int i = 0; i < 12; ++i)
            model.appendItem(makeItem(QStringLiteral("f%1.jpg").arg(i), QStringLiteral("1"),
                                      QStringLiteral("01/01/01 00:00"), -1));
        const QPersistentModelIndex kept(model.index(7, 0));
        QSignalSpy removals(&model, &QAbstractItemModel::rowsRemoved);
        model.removeRowSet({9, 2, 3, 11, 4, 2, -1, 12, 0, 10});
        QCOMPARE(captions(model), (QStringList{"f1.jpg", "f5.jpg", "f6.jpg", "f7.jpg", "f8.jpg"}));
        QCOMPARE(removals.count(), 3); // 9-11, 2-4, 0
        QCOMPARE(kept.row(), 3);
    }

    void sortKeepsImageIndexes_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<QStringList>("order");
        QTest::newRow("name") << 1 << QStringList{"a.bmp", "B.jpg", "c.jpg", "d.bmp"};
        QTest::newRow("name descending") << -1 << QStringList{"d.bmp", "c.jpg", "B.jpg", "a.bmp"};
        // Equal keys keep their present order (a stable sort).
        QTest::newRow("size numerically") << 3 << QStringList{"a.bmp", "B.jpg", "d.bmp", "c.jpg"};
        QTest::newRow("size descending") << -3 << QStringList{"c.jpg", "B.jpg", "d.bmp", "a.bmp"};
        QTest::newRow("date texts") << 4 << QStringList{"B.jpg", "d.bmp", "a.bmp", "c.jpg"};
    }
    void sortKeepsImageIndexes()
    {
        QFETCH(int, k);
        QFETCH(QStringList, order);
        FileListModel model;
        fill(model);
        const QStringList before = captions(model);
        model.sortItems(k);
        QCOMPARE(captions(model), order);
        for (int row = 0; row < model.count(); ++row)
            QCOMPARE(model.imageIndex(row), int(before.indexOf(model.caption(row))));
    }

    // A name sort after rows were added, renamed, replaced or removed since
    // the last one (few: placed among the ranked rows; many: all ranked
    // anew) gives the order of a list that never was sorted by name.
    void nameSortAfterChanges_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("names");
        QTest::newRow("appended") << "append" << QStringList{"0.bmp"};
        QTest::newRow("appended, equal names") << "append" << QStringList{"c.jpg", "C.JPG", "c.jpg"};
        QTest::newRow("appended, many") << "append" << QStringList{"b", "e", "B", "a", "z", "c.jpg", "0"};
        QTest::newRow("renamed") << "caption" << QStringList{"e.bmp", "A.BMP"};
        QTest::newRow("replaced") << "item" << QStringList{"c.jpg"};
        QTest::newRow("removed") << "remove" << QStringList{};
    }
    void nameSortAfterChanges()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, names);
        FileListModel model;
        fill(model);
        for (int i = 0; i < 24; ++i)
            model.appendItem(makeItem(QStringLiteral("m%1.bmp").arg(i % 8), QString::number(i % 3), QString(), 10 + i));
        model.sortItems(-1);
        model.sortItems(3);
        int imageIndex = 100;
        for (const QString &name : names) {
            if (change == QLatin1String("append"))
                model.appendItem(makeItem(name, QStringLiteral("1"), QString(), imageIndex++));
            else if (change == QLatin1String("caption"))
                model.setCaption(imageIndex++ % model.count(), name);
            else
                model.setItem(3, makeItem(name, QStringLiteral("1"), QString(), imageIndex++));
        }
        if (change == QLatin1String("remove"))
            model.removeRows(1, 3);
        FileListModel fresh;
        for (int row = 0; row < model.count(); ++row)
            fresh.appendItem(model.item(row));
        model.sortItems(1);
        fresh.sortItems(1);
        QCOMPARE(captions(model), captions(fresh));
        for (int row = 0; row < model.count(); ++row)
            QCOMPARE(model.imageIndex(row), fresh.imageIndex(row));
    }

    void selectionFollowsItemsAndViewSwitch()
    {
        FileListView view;
        view.resize(400, 300);
        view.show();
        FileListModel &model = *view.model();
        fill(model);
        QItemSelectionModel *selection = view.selectionModel();
        QCOMPARE(view.iconView()->selectionModel(), selection);
        selection->select(model.index(0, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows); // c.jpg
        selection->select(model.index(3, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows); // d.bmp
        QCOMPARE(view.selectedRows(), (QList<int>{0, 3}));

        model.sortItems(1);
        QCOMPARE(view.selectedRows(), (QList<int>{2, 3}));

        QVERIFY(!view.isReport());
        view.setViewStyle(true);
        QVERIFY(view.isReport());
        QCOMPARE(view.currentView(), static_cast<QAbstractItemView *>(view.reportView()));
        QCOMPARE(view.selectedRows(), (QList<int>{2, 3}));
        QVERIFY(view.reportView()->selectionModel()->isRowSelected(2, QModelIndex()));
        QCOMPARE(captions(model), (QStringList{"a.bmp", "B.jpg", "c.jpg", "d.bmp"}));
        view.setViewStyle(false);
        QCOMPARE(view.selectedRows(), (QList<int>{2, 3}));
    }

    void selectionMoveReportsOldThenNew()
    {
        FileListView view;
        fill(*view.model());
        QItemSelectionModel *selection = view.selectionModel();
        selection->setCurrentIndex(view.model()->index(1, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QSignalSpy spy(&view, &FileListView::itemChanged);
        selection->setCurrentIndex(view.model()->index(2, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(spy.count() >= 2);
        QCOMPARE(spy.first().at(0).toInt(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 2);

        spy.clear();
        selection->select(view.model()->index(2, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 2);

        spy.clear();
        view.model()->setCaption(3, QStringLiteral("renamed.bmp"));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.last().at(0).toInt(), 3);
    }

    // A plain press on one of several selected items keeps them all: a
    // double-click then acts on all of them, a drag carries all of them, and
    // only a plain click collapses the selection to the item, once no
    // double-click can follow any more. Ctrl and Shift start no drag.
    void pressOnSelectedItemKeepsSelection_data()
    {
        QTest::addColumn<bool>("report");
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<QList<int>>("selectedAfter");
        QTest::addColumn<int>("doubleClicks");
        QTest::addColumn<int>("drags");
        for (const bool report : {false, true}) {
            const QByteArray view = report ? "report: " : "icons: ";
            QTest::newRow(view + "click collapses later") << report << "click" << QList<int>{2} << 0 << 0;
            QTest::newRow(view + "double-click keeps all") << report << "double" << QList<int>{0, 2, 3} << 1 << 0;
            QTest::newRow(view + "drag keeps all") << report << "drag" << QList<int>{0, 2, 3} << 0 << 1;
            QTest::newRow(view + "Ctrl press starts no drag") << report << "ctrl-drag" << QList<int>{} << 0 << 0;
        }
    }
    void pressOnSelectedItemKeepsSelection()
    {
        QFETCH(bool, report);
        QFETCH(QString, gesture);
        QFETCH(QList<int>, selectedAfter);
        QFETCH(int, doubleClicks);
        QFETCH(int, drags);
        FileListView view;
        view.resize(500, 300);
        view.setViewStyle(report);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        fill(*view.model());
        QItemSelectionModel *selection = view.selectionModel();
        for (int row : {0, 2, 3})
            selection->select(view.model()->index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QSignalSpy doubleClicked(&view, &FileListView::doubleClicked);
        QSignalSpy dragStarted(&view, &FileListView::dragStarted);
        QWidget *viewport = view.currentView()->viewport();
        const QPoint at = view.currentView()->visualRect(view.model()->index(2, 0)).center();

        if (gesture == "click") {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
            QCOMPARE(view.selectedRows(), (QList<int>{0, 2, 3})); // a double-click may still follow
        } else if (gesture == "double") {
            QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
            QTest::mouseRelease(viewport, Qt::LeftButton, {}, at);
        } else {
            const Qt::KeyboardModifiers keys = gesture == "drag" ? Qt::NoModifier : Qt::ControlModifier;
            QTest::mousePress(viewport, Qt::LeftButton, keys, at);
            QTest::mouseMove(viewport, at + QPoint(QApplication::startDragDistance() + 2, 0));
            QTest::mouseRelease(viewport, Qt::LeftButton, keys, at + QPoint(QApplication::startDragDistance() + 2, 0));
        }
        QTest::qWait(QApplication::doubleClickInterval() + 100);
        if (gesture != "ctrl-drag") // Ctrl selects as the view always did
            QCOMPARE(view.selectedRows(), selectedAfter);
        QCOMPARE(doubleClicked.count(), doubleClicks);
        QCOMPARE(dragStarted.count(), drags);
    }

    void gridPlacesCellsByRow()
    {
        FileListView view;
        view.resize(400, 300);
        view.show();
        FileListModel &model = *view.model();
        for (int i = 0; i < 30; ++i)
            model.appendItem(makeItem(QStringLiteral("f%1").arg(i), QStringLiteral("1"), QString(), -1));
        ThumbnailGridView *grid = view.iconView();
        const int columns = grid->columnCount();
        QVERIFY(columns >= 2);
        for (int row = 0; row < model.count(); row += 7)
            QCOMPARE(grid->indexAt(grid->visualRect(model.index(row, 0)).center()).row(), row);
        QCOMPARE(grid->visualRect(model.index(columns, 0)).topLeft(), QPoint(0, grid->gridSize().height()));
        QVERIFY(!grid->indexAt(QPoint(columns * grid->gridSize().width() + 1, 1)).isValid());

        // Keys walk the grid; the selection is by whole rows.
        grid->setFocus();
        grid->setCurrentIndex(model.index(0, 0));
        QTest::keyClick(grid, Qt::Key_Down);
        QCOMPARE(grid->currentIndex().row(), columns);
        QTest::keyClick(grid, Qt::Key_Right, Qt::ShiftModifier);
        QCOMPARE(view.selectedRows(), (QList<int>{columns, columns + 1}));
        QVERIFY(view.selectionModel()->isSelected(model.index(columns, FileListModel::ColorsColumn)));
        QTest::keyClick(grid, Qt::Key_End);
        QCOMPARE(grid->currentIndex().row(), 29);

        // The scroll range follows appended rows shortly after, and removals.
        QScrollBar *bar = grid->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        model.removeRows(0, 29);
        QTRY_COMPARE(bar->maximum(), 0);
    }

    // Shift extends over the files between anchor and target in list order,
    // never over the grid's rectangle (a command would then act on files the
    // user did not mean).
    void shiftSelectsRunInListOrder_data()
    {
        QTest::addColumn<QString>("gesture");
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("targetFromLineBelow"); // target = anchor's line + 1, this column
        QTest::newRow("shift-click forward") << "click" << 2 << 0;
        QTest::newRow("shift-click backward") << "click-back" << 2 << 0;
        QTest::newRow("shift-down") << "down" << 1 << 1;
    }
    void shiftSelectsRunInListOrder()
    {
        QFETCH(QString, gesture);
        QFETCH(int, anchor);
        QFETCH(int, targetFromLineBelow);
        FileListView view;
        view.resize(500, 400);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        FileListModel &model = *view.model();
        for (int i = 0; i < 20; ++i)
            model.appendItem(makeItem(QStringLiteral("f%1").arg(i), QStringLiteral("1"), QString(), -1));
        ThumbnailGridView *grid = view.iconView();
        const int columns = grid->columnCount();
        QVERIFY(columns >= 3);
        QWidget *viewport = grid->viewport();
        const auto centre = [&](int row) { return grid->visualRect(model.index(row, 0)).center(); };
        int first = anchor;
        int target = columns + targetFromLineBelow;
        if (gesture == "click-back")
            std::swap(first, target);
        QTest::mouseClick(viewport, Qt::LeftButton, {}, centre(first));
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        if (gesture == "down") {
            QTest::keyClick(grid, Qt::Key_Down, Qt::ShiftModifier);
            target = anchor + columns;
        } else {
            QTest::mouseClick(viewport, Qt::LeftButton, Qt::ShiftModifier, centre(target));
        }
        QList<int> run;
        for (int row = std::min(first, target); row <= std::max(first, target); ++row)
            run << row;
        QCOMPARE(view.selectedRows(), run);
    }

    // The row of a file still being read is never selected, so no command
    // (copy, view, tool) can take "読み込み中" for a file name.
    void placeholderIsNeverSelected()
    {
        FileListView view;
        FileListModel &model = *view.model();
        fill(model);
        const int placeholder = model.appendPlaceholder();
        view.selectionModel()->select(QItemSelection(model.index(0, 0), model.index(model.count() - 1, 0)),
                                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(view.selectedRows(), (QList<int>{0, 1, 2, 3}));
        view.selectionModel()->select(model.index(placeholder, 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QCOMPARE(view.selectedRows(), QList<int>{});
        // Once read, the row is a file like any other.
        model.setItem(placeholder, makeItem(QStringLiteral("e.bmp"), QStringLiteral("1"), QString(), -1));
        view.selectionModel()->select(model.index(placeholder, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(view.selectedRows(), QList<int>{placeholder});
    }

    // Rows added below the report view's shown rows are laid out soon after
    // (together), and a row completed on screen is painted with its texts.
    void reportViewLaysOutRowsAddedOutOfSight()
    {
        FileListView view;
        view.resize(400, 200);
        view.setViewStyle(true);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        FileListModel &model = *view.model();
        const auto add = [&](int i) {
            model.appendItem(makeItem(QStringLiteral("f%1.jpg").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("1"),
                                      QStringLiteral("01/01/01 00:00"), -1));
        };
        for (int i = 0; i < 40; ++i)
            add(i);
        QCoreApplication::processEvents();
        QScrollBar *bar = view.reportView()->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 0);
        const int before = bar->maximum();
        for (int i = 40; i < 400; ++i)
            add(i);
        QTRY_VERIFY(bar->maximum() > before);
        view.reportView()->scrollToBottom();
        QTRY_VERIFY(view.reportView()->visualRect(model.index(399, 0)).intersects(view.reportView()->viewport()->rect()));

        model.setCaption(0, QStringLiteral("renamed.jpg"));
        view.reportView()->scrollToTop();
        QTRY_COMPARE(view.reportView()->indexAt(QPoint(1, 1)).data().toString(), QStringLiteral("renamed.jpg"));
    }

    void reportViewHasNoThumbnails()
    {
        FileListView view;
        fill(*view.model());
        view.setViewStyle(true);
        const QModelIndex index = view.model()->index(0, 0);
        QVERIFY(!view.model()->data(index, Qt::DecorationRole).isNull());
        const QSize report = view.reportView()->itemDelegate()->sizeHint(QStyleOptionViewItem(), index);
        QVERIFY2(report.height() < 40, qPrintable(QString::number(report.height())));
    }

    // A replaced cell repaints the one row that shows it, wherever sorting,
    // removing and adding rows have moved that row since.
    void refreshedCellRepaintsItsRow()
    {
        FileListModel model;
        fill(model);
        QImage red = ThumbnailCell::blank();
        red.fill(Qt::red);
        const auto repaintedRow = [&](int image) {
            QSignalSpy spy(&model, &QAbstractItemModel::dataChanged);
            model.thumbnails()->replace(image, red);
            return spy.count() == 1 ? spy.first().at(0).toModelIndex().row() : -1;
        };
        model.sortItems(1); // a.bmp (image 1), B.jpg (2), c.jpg (0), d.bmp (3)
        QCOMPARE(repaintedRow(1), 0);
        QCOMPARE(model.data(model.index(0, 0), Qt::DecorationRole).value<QImage>().pixel(0, 0), qRgb(255, 0, 0));
        QVERIFY(model.removeRows(0, 1));
        QCOMPARE(repaintedRow(0), 1);
        const int added = model.thumbnails()->add(ThumbnailCell::blank());
        model.appendItem(makeItem(QStringLiteral("e.jpg"), QStringLiteral("1"), QStringLiteral("01/01/01 00:00"), added));
        QCOMPARE(repaintedRow(added), 3);
        model.sortItems(-1);
        QCOMPARE(repaintedRow(added), 0);
        // A row given another cell (as a row being read is) is that cell's.
        const int other = model.thumbnails()->add(ThumbnailCell::blank());
        FileListItem item = model.item(2);
        const int before = item.imageIndex;
        item.imageIndex = other;
        model.setItem(2, item);
        QCOMPARE(repaintedRow(other), 2);
        QCOMPARE(repaintedRow(before), -1);
    }
};

QTEST_MAIN(TestFileList)
#include "TestFileList.moc"
