// The folder tree widget: building, the drive, the selected folder's path,
// the host's veto, the change notice and the drop target. Real folders in a
// temporary directory stand in for a volume.
#include <QApplication>
#include <QDir>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

#include "shell/FolderTreeModel.h"
#include "shell/TFolderTree.h"

using pelandor::FolderTreeModel;
using pelandor::TFolderTree;

namespace {

QModelIndex child(const QAbstractItemModel *model, const QModelIndex &parent, const QString &text)
{
    for (int row = 0; row < model->rowCount(parent); ++row)
        if (model->index(row, 0, parent).data().toString() == text)
            return model->index(row, 0, parent);
    return {};
}

QPoint centreOf(const TFolderTree &tree, const QModelIndex &index)
{
    return tree.visualRect(index).center();
}

} // namespace

class TestFolderTree : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_other;

    // A tree on the test volume, shown, with nothing or the given folder selected.
    std::unique_ptr<TFolderTree> shownTree(const QString &selected = QString())
    {
        auto tree = std::make_unique<TFolderTree>();
        tree->resize(300, 400);
        tree->SetDrive(m_dir.path());
        tree->show();
        if (!QTest::qWaitForWindowExposed(tree.get()) || (!selected.isEmpty() && !tree->selectFolder(selected)))
            return nullptr;
        return tree;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid() && m_other.isValid());
        for (const char *path : {"Photos/1999", "Photos/2000", "music", ".hidden"})
            QVERIFY(QDir(m_dir.path()).mkpath(path));
        QVERIFY(QDir(m_other.path()).mkpath("elsewhere"));
    }

    void buildShowsRootWithFirstLevelOnlyAndNoSelection()
    {
        TFolderTree tree;
        QSignalSpy changes(&tree, &TFolderTree::changed);
        tree.SetDrive(m_dir.path());
        const QModelIndex root = tree.folderModel()->rootIndex();
        QVERIFY(tree.isExpanded(root));
        QCOMPARE(tree.model()->rowCount(root), 3);
        QVERIFY(!tree.isExpanded(child(tree.model(), root, "Photos")));
        QCOMPARE(tree.model()->rowCount(child(tree.model(), root, "Photos")), 0);
        QVERIFY(tree.GetFolderPath().isEmpty());
        QVERIFY(!tree.selectionModel()->hasSelection());
        QCOMPARE(changes.count(), 0);

        // Expanding reads the level below, also before the tree is shown.
        const QModelIndex photos = child(tree.model(), root, "Photos");
        tree.expand(photos);
        QCOMPARE(tree.model()->rowCount(photos), 2);
        QCOMPARE(tree.nodePath(tree.model()->index(1, 0, photos)), m_dir.filePath("Photos/2000"));
    }

    void getFolderPath_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::newRow("root") << "";
        QTest::newRow("subfolder") << "Photos";
        QTest::newRow("deeper") << "Photos/1999";
        QTest::newRow("hidden") << ".hidden";
    }
    void getFolderPath()
    {
        QFETCH(QString, relative);
        TFolderTree tree;
        tree.SetDrive(m_dir.path());
        const QString expected = QDir::cleanPath(m_dir.path() + "/" + relative);
        QVERIFY(tree.selectFolder(expected + "/"));
        QCOMPARE(tree.GetFolderPath(), expected);
        QVERIFY(!tree.GetFolderPath().endsWith('/'));
    }

    void getFolderPathOfTheFileSystemRootIsSlash()
    {
        TFolderTree tree;
        tree.SetDrive("/");
        QVERIFY(tree.selectFolder("/"));
        QCOMPARE(tree.GetFolderPath(), QStringLiteral("/"));
        QCOMPARE(tree.nodePath(tree.model()->index(0, 0, tree.folderModel()->rootIndex())).count('/'), 1);
    }

    // SetDrive with the same root (however written) keeps the tree and its
    // selection; another root, or the empty text, rebuilds it.
    void setDrive_data()
    {
        QTest::addColumn<QString>("next");
        QTest::addColumn<bool>("rebuilt");
        QTest::addColumn<QString>("driveAfter");
        QTest::newRow("same") << m_dir.path() << false << m_dir.path();
        QTest::newRow("same with trailing slash") << m_dir.path() + "/" << false << m_dir.path();
        QTest::newRow("same, not clean") << m_dir.path() + "/Photos/.." << false << m_dir.path();
        QTest::newRow("another") << m_other.path() << true << m_other.path();
        QTest::newRow("empty falls back to /") << QString() << true << QStringLiteral("/");
    }
    void setDrive()
    {
        QFETCH(QString, next);
        QFETCH(bool, rebuilt);
        QFETCH(QString, driveAfter);
        TFolderTree tree;
        tree.SetDrive(m_dir.path());
        QVERIFY(tree.selectFolder(m_dir.filePath("music")));
        QSignalSpy resets(tree.model(), &QAbstractItemModel::modelReset);
        QSignalSpy changes(&tree, &TFolderTree::changed);

        tree.SetDrive(next);
        QCOMPARE(tree.Drive(), driveAfter);
        QCOMPARE(resets.count(), rebuilt ? 1 : 0);
        QCOMPARE(tree.GetFolderPath(), rebuilt ? QString() : m_dir.filePath("music"));
        QCOMPARE(tree.selectionModel()->currentIndex().isValid(), !rebuilt);
        QCOMPARE(tree.nodePath(tree.folderModel()->rootIndex()), driveAfter);
        QCOMPARE(changes.count(), 0); // a rebuild is not a selection move
    }

    void selectFolderRefusesOtherPlaces_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("other volume") << m_other.filePath("elsewhere");
        QTest::newRow("missing") << m_dir.filePath("Photos/2042");
        QTest::newRow("prefix of a name") << m_dir.path() + "x";
        QTest::newRow("empty") << QString();
    }
    void selectFolderRefusesOtherPlaces()
    {
        QFETCH(QString, path);
        TFolderTree tree;
        tree.SetDrive(m_dir.path());
        QVERIFY(tree.selectFolder(m_dir.filePath("music")));
        QVERIFY(!tree.selectFolder(path));
        QCOMPARE(tree.GetFolderPath(), m_dir.filePath("music"));
    }

    void selectFolderExpandsTheWayDownAndReportsTheMove()
    {
        TFolderTree tree;
        tree.SetDrive(m_dir.path());
        QSignalSpy changes(&tree, &TFolderTree::changed);
        int asked = 0;
        tree.setChangingHandler([&asked] {
            ++asked;
            return false;
        });
        QVERIFY(tree.selectFolder(m_dir.filePath("Photos/1999")));
        QVERIFY(tree.isExpanded(child(tree.model(), tree.folderModel()->rootIndex(), "Photos")));
        QCOMPARE(changes.count(), 1);
        QCOMPARE(asked, 0); // a move by the program is not the user's
        QVERIFY(tree.selectFolder(m_dir.filePath("Photos/1999")));
        QCOMPARE(changes.count(), 1); // same node: no move
    }

    // A user click asks the host once; a refusal leaves selection and current
    // node where they were and reports nothing.
    void userMovesAskTheHost_data()
    {
        QTest::addColumn<bool>("allow");
        QTest::newRow("allowed") << true;
        QTest::newRow("refused") << false;
    }
    void userMovesAskTheHost()
    {
        QFETCH(bool, allow);
        const auto shown = shownTree(m_dir.filePath("music"));
        QVERIFY(shown);
        TFolderTree &tree = *shown;
        const QModelIndex music = tree.selectionModel()->currentIndex();
        int asked = 0;
        QStringList seenWhileAsked; // the host sees the old selection while it decides
        tree.setChangingHandler([&] {
            ++asked;
            seenWhileAsked << tree.GetFolderPath();
            return allow;
        });
        QSignalSpy changes(&tree, &TFolderTree::changed);

        const QModelIndex photos = child(tree.model(), tree.folderModel()->rootIndex(), "Photos");
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, photos));
        QCOMPARE(asked, 1);
        QCOMPARE(tree.GetFolderPath(), allow ? m_dir.filePath("Photos") : m_dir.filePath("music"));
        QCOMPARE(QModelIndex(tree.selectionModel()->currentIndex()), allow ? photos : music);
        QCOMPARE(changes.count(), allow ? 1 : 0);

        // Keys move the selection under the same rule.
        QTest::keyClick(&tree, Qt::Key_Home);
        QCOMPARE(asked, 2);
        QCOMPARE(tree.GetFolderPath(), allow ? m_dir.path() : m_dir.filePath("music"));
        QCOMPARE(changes.count(), allow ? 2 : 0);
        QCOMPARE(seenWhileAsked.first(), m_dir.filePath("music"));
        QCOMPARE(seenWhileAsked.last(), allow ? m_dir.filePath("Photos") : m_dir.filePath("music"));

        // Clicking the selected node is no move and asks nothing.
        const QModelIndex selected = tree.selectionModel()->currentIndex();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, selected));
        QCOMPARE(asked, 2);
    }

    // The handler of a move by the program may handle events for a long time
    // (a reading does): a user's click meanwhile is asked of the host too.
    void userMoveWhileAProgramMoveIsHandledAsksTheHost()
    {
        const auto shown = shownTree(m_dir.filePath("music"));
        QVERIFY(shown);
        TFolderTree &tree = *shown;
        const QModelIndex music = tree.selectionModel()->currentIndex();
        int asked = 0;
        tree.setChangingHandler([&asked] {
            ++asked;
            return false;
        });
        bool clicked = false;
        connect(&tree, &TFolderTree::changed, &tree, [&] {
            if (!std::exchange(clicked, true))
                QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, centreOf(tree, music));
        });
        QVERIFY(tree.selectFolder(m_dir.filePath("Photos")));
        QVERIFY(clicked);
        QCOMPARE(asked, 1);
        QCOMPARE(tree.GetFolderPath(), m_dir.filePath("Photos"));
    }

    void userCannotEmptyTheSelection()
    {
        const auto shown = shownTree(m_dir.filePath("music"));
        QVERIFY(shown);
        TFolderTree &tree = *shown;
        const QModelIndex music = tree.selectionModel()->currentIndex();
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, Qt::ControlModifier, centreOf(tree, music));
        QCOMPARE(tree.GetFolderPath(), m_dir.filePath("music"));
        QTest::mouseClick(tree.viewport(), Qt::LeftButton, {}, QPoint(5, tree.viewport()->height() - 3));
        QCOMPARE(tree.GetFolderPath(), m_dir.filePath("music"));
    }

    void draggingWithTheButtonHeldDoesNotMoveTheSelection()
    {
        const auto shown = shownTree();
        QVERIFY(shown);
        TFolderTree &tree = *shown;
        const QModelIndex root = tree.folderModel()->rootIndex();
        const QPoint from = centreOf(tree, child(tree.model(), root, "Photos"));
        const QPoint to = centreOf(tree, child(tree.model(), root, "music"));
        QTest::mousePress(tree.viewport(), Qt::LeftButton, {}, from);
        QMouseEvent move(QEvent::MouseMove, to, tree.viewport()->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(tree.viewport(), &move);
        QTest::mouseRelease(tree.viewport(), Qt::LeftButton, {}, to);
        QCOMPARE(tree.GetFolderPath(), m_dir.filePath("Photos"));
    }

    void missingVolumeRootGivesALoneRootNode()
    {
        TFolderTree tree;
        tree.SetDrive(m_dir.filePath("not-there"));
        QCOMPARE(tree.model()->rowCount(), 1);
        QCOMPARE(tree.model()->rowCount(tree.folderModel()->rootIndex()), 0);
        QVERIFY(!tree.model()->hasChildren(tree.folderModel()->rootIndex()));
    }

    void dropTargetFollowsThePointerAndStaysOverEmptySpace()
    {
        const auto shown = shownTree();
        QVERIFY(shown);
        TFolderTree &tree = *shown;
        QVERIFY(tree.dropTargetPath().isEmpty());
        tree.setDropTarget(QPoint(5, tree.viewport()->height() - 3));
        QVERIFY(tree.dropTargetPath().isEmpty());
        QVERIFY(!tree.isDropTargetHighlighted());

        const QModelIndex music = child(tree.model(), tree.folderModel()->rootIndex(), "music");
        tree.setDropTarget(centreOf(tree, music));
        QCOMPARE(tree.dropTargetPath(), m_dir.filePath("music"));
        QVERIFY(tree.isDropTargetHighlighted());
        tree.setDropTarget(QPoint(5, tree.viewport()->height() - 3));
        QCOMPARE(tree.dropTargetPath(), m_dir.filePath("music"));

        tree.clearDropTarget();
        QVERIFY(!tree.isDropTargetHighlighted());
        QCOMPARE(tree.dropTargetPath(), m_dir.filePath("music"));
        QVERIFY(tree.GetFolderPath().isEmpty()); // a drop target is not a selection

        tree.InitFolderTree();
        QVERIFY(tree.dropTargetPath().isEmpty());
    }

    void foldersMadeOrRemovedElsewhereComeAndGo()
    {
        QTemporaryDir volume;
        QVERIFY(QDir(volume.path()).mkpath(QStringLiteral("b/inner")));
        QVERIFY(QDir(volume.path()).mkpath(QStringLiteral("d")));
        TFolderTree tree;
        tree.SetDrive(volume.path());
        tree.show();
        QVERIFY(tree.selectFolder(volume.filePath(QStringLiteral("b/inner"))));
        const QAbstractItemModel *model = tree.model();
        const QModelIndex root = model->index(0, 0);
        auto names = [&](const QModelIndex &parent) {
            QStringList out;
            for (int row = 0; row < model->rowCount(parent); ++row)
                out << model->index(row, 0, parent).data().toString();
            return out;
        };
        const QSignalSpy moves(&tree, &TFolderTree::changed);

        // Made and removed by another program, under the root and under an
        // expanded node: each comes in at its sorted place, the selection
        // and the expansion stay.
        QVERIFY(QDir(volume.path()).mkpath(QStringLiteral("a")));
        QVERIFY(QDir(volume.path()).mkpath(QStringLiteral("c")));
        QVERIFY(QDir(volume.path()).rmdir(QStringLiteral("d")));
        QVERIFY(QDir(volume.path()).mkpath(QStringLiteral("b/zz")));
        QTRY_COMPARE(names(root), (QStringList{"a", "b", "c"}));
        const QModelIndex b = child(model, root, QStringLiteral("b"));
        QTRY_COMPARE(names(b), (QStringList{"inner", "zz"}));
        QVERIFY(tree.isExpanded(b));
        QCOMPARE(tree.GetFolderPath(), volume.filePath(QStringLiteral("b/inner")));
        QCOMPARE(moves.count(), 0);

        // The refresh of expanded nodes finds what the watch was not told of.
        QVERIFY(QDir(volume.path()).rmdir(QStringLiteral("b/zz")));
        tree.refreshExpanded();
        QCOMPARE(names(child(model, root, QStringLiteral("b"))), QStringList{"inner"});
    }

    void showingAnUnsetTreeBuildsTheFallbackVolume()
    {
        TFolderTree tree;
        QVERIFY(tree.Drive().isEmpty());
        tree.SetDrive(QString()); // same as held: nothing happens yet
        QCOMPARE(tree.model()->rowCount(), 0);
        tree.show();
        QCOMPARE(tree.Drive(), QStringLiteral("/"));
        QCOMPARE(tree.model()->rowCount(), 1);
    }
};

QTEST_MAIN(TestFolderTree)
#include "TestFolderTree.moc"
