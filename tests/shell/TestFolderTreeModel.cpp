// The folder model against real folders made in a temporary directory.
#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "shell/FolderSelectionModel.h"
#include "shell/FolderTreeModel.h"

using pelandor::FolderTreeModel;

namespace {

void makeFolders(const QString &base, const QStringList &relativePaths)
{
    for (const QString &path : relativePaths)
        QVERIFY2(QDir(base).mkpath(path), qPrintable(path));
}

void makeFile(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

QStringList childTexts(const FolderTreeModel &model, const QModelIndex &parent)
{
    QStringList texts;
    for (int row = 0; row < model.rowCount(parent); ++row)
        texts << model.index(row, 0, parent).data().toString();
    return texts;
}

QModelIndex child(const FolderTreeModel &model, const QModelIndex &parent, const QString &text)
{
    for (int row = 0; row < model.rowCount(parent); ++row)
        if (model.index(row, 0, parent).data().toString() == text)
            return model.index(row, 0, parent);
    return {};
}

} // namespace

class TestFolderTreeModel : public QObject {
    Q_OBJECT

private slots:
    void firstLevelIsReadDeeperLevelsOnRequest()
    {
        QTemporaryDir dir;
        makeFolders(dir.path(), {"photos/1999/summer", "photos/2000", "empty"});
        makeFile(dir.filePath("photos/readme.txt"));

        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        const QModelIndex root = model.rootIndex();
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.path(root), dir.path());
        QCOMPARE(childTexts(model, root), QStringList({"empty", "photos"}));

        const QModelIndex photos = child(model, root, "photos");
        QVERIFY(model.hasChildren(photos));
        QCOMPARE(model.rowCount(photos), 0);
        QVERIFY(model.canFetchMore(photos));

        const QModelIndex empty = child(model, root, "empty");
        QVERIFY(!model.hasChildren(empty));
        QVERIFY(!model.canFetchMore(empty));

        model.fetchMore(photos);
        QCOMPARE(childTexts(model, photos), QStringList({"1999", "2000"})); // files never listed
        QVERIFY(!model.canFetchMore(photos));
        const QModelIndex y1999 = child(model, photos, "1999");
        QCOMPARE(model.path(y1999), dir.filePath("photos/1999"));
        QVERIFY(model.hasChildren(y1999));
        QCOMPARE(model.rowCount(y1999), 0);
        QVERIFY(!model.hasChildren(child(model, photos, "2000")));
    }

    void siblingsIncludeHiddenFoldersInWordOrder_data()
    {
        QTest::addColumn<QStringList>("created");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("case only breaks ties") << QStringList{"C", "a", "B"} << QStringList{"a", "B", "C"};
        QTest::newRow("hidden folders listed") << QStringList{".config", "music", ".cache"}
                                               << QStringList{".cache", ".config", "music"};
        QTest::newRow("same letters, different case") << QStringList{"b", "B", "A"} << QStringList{"A", "b", "B"};
    }
    void siblingsIncludeHiddenFoldersInWordOrder()
    {
        QFETCH(QStringList, created);
        QFETCH(QStringList, expected);
        QTemporaryDir dir;
        makeFolders(dir.path(), created);
        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        QCOMPARE(childTexts(model, model.rootIndex()), expected);
    }

    void rootWithoutSubfoldersHasNoExpandButton()
    {
        QTemporaryDir dir;
        makeFile(dir.filePath("only-a-file.jpg"));
        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        QCOMPARE(model.rowCount(model.rootIndex()), 0);
        QVERIFY(!model.hasChildren(model.rootIndex()));
    }

    // A folder whose hint was set but whose subfolders are gone by the time
    // it is read: no children, the button stays, the next request reads again.
    void hintWithoutReadableChildrenIsReadAgain()
    {
        QTemporaryDir dir;
        makeFolders(dir.path(), {"p/q"});
        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        const QModelIndex p = child(model, model.rootIndex(), "p");
        QVERIFY(model.hasChildren(p));
        QVERIFY(QDir(dir.filePath("p/q")).removeRecursively());

        model.fetchMore(p);
        QCOMPARE(model.rowCount(p), 0);
        QVERIFY(model.hasChildren(p));
        QVERIFY(model.canFetchMore(p));

        makeFolders(dir.path(), {"p/r"});
        model.fetchMore(p);
        QCOMPARE(childTexts(model, p), QStringList({"r"}));
    }

    // The expand button of a folder left unchanged for a while (whose answer
    // is remembered) follows subfolders made and removed in it.
    void settledFolderButtonFollowsItsSubfolders()
    {
        QTemporaryDir dir;
        makeFolders(dir.path(), {"a"});
        makeFile(dir.filePath("a/photo.jpg"));
        const auto settle = [&] {
            const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
            QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(dir.filePath("a")).constData(), old, 0), 0);
        };
        settle();
        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        const QModelIndex root = model.rootIndex();
        QVERIFY(!model.hasChildren(child(model, root, "a")));
        model.refreshNode(root);
        QVERIFY(!model.hasChildren(child(model, root, "a")));

        makeFolders(dir.path(), {"a/sub"});
        model.refreshNode(root);
        QVERIFY(model.hasChildren(child(model, root, "a")));

        QVERIFY(QDir(dir.filePath("a/sub")).removeRecursively());
        settle();
        model.refreshNode(root);
        QVERIFY(!model.hasChildren(child(model, root, "a")));
        // A subfolder made with the old time put back still changes the
        // folder's status time (one clock tick later).
        QTest::qSleep(20);
        makeFolders(dir.path(), {"a/sub"});
        settle();
        model.refreshNode(child(model, root, "a"));
        QVERIFY(model.hasChildren(child(model, root, "a")));
    }

    void unreadableFolderGetsNoChildrenAndKeepsItsButton()
    {
        QTemporaryDir dir;
        makeFolders(dir.path(), {"locked/inner"});
        const QString locked = dir.filePath("locked");
        QVERIFY(QFile::setPermissions(locked, QFileDevice::Permissions()));
        const bool readableAnyway = ::access(QFile::encodeName(locked).constData(), R_OK) == 0;
        if (readableAnyway) {
            QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
            QSKIP("permissions do not stop this user from reading (running as root)");
        }
        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        const QModelIndex index = child(model, model.rootIndex(), "locked");
        QVERIFY(model.hasChildren(index)); // content unknown: the button shows
        model.fetchMore(index);
        QCOMPARE(model.rowCount(index), 0);
        QVERIFY(model.hasChildren(index));
        QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    }

    void linksToFoldersAreFoldersAndDoNotLoop()
    {
        QTemporaryDir dir;
        makeFolders(dir.path(), {"real/inside"});
        QVERIFY(QFile::link(dir.filePath("real"), dir.filePath("link")));
        QVERIFY(QFile::link(dir.path(), dir.filePath("real/up"))); // points back up
        QVERIFY(QFile::link(dir.filePath("nowhere"), dir.filePath("dangling")));
        makeFile(dir.filePath("file"));
        QVERIFY(QFile::link(dir.filePath("file"), dir.filePath("filelink")));

        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        QCOMPARE(childTexts(model, model.rootIndex()), QStringList({"link", "real"}));
        const QModelIndex link = child(model, model.rootIndex(), "link");
        QVERIFY(model.hasChildren(link));
        model.fetchMore(link);
        QCOMPARE(childTexts(model, link), QStringList({"inside", "up"}));

        // Going round the loop reads one level per request and ends.
        const QModelIndex up = child(model, link, "up");
        model.fetchMore(up);
        QCOMPARE(childTexts(model, up), QStringList({"link", "real"}));
        const QString deep = dir.filePath("link/up/link/up/real/inside");
        QCOMPARE(model.path(model.indexForPath(deep)), deep);
    }

    void indexForPathWalksDownAndRefusesOtherPlaces_data()
    {
        QTest::addColumn<QString>("relative");
        QTest::addColumn<bool>("found");
        QTest::newRow("root itself") << "" << true;
        QTest::newRow("deep, not read before") << "a/b/c" << true;
        QTest::newRow("trailing slash") << "a/b/" << true;
        QTest::newRow("missing") << "a/x" << false;
        QTest::newRow("a file") << "a/file.txt" << false;
    }
    void indexForPathWalksDownAndRefusesOtherPlaces()
    {
        QFETCH(QString, relative);
        QFETCH(bool, found);
        QTemporaryDir dir;
        makeFolders(dir.path(), {"a/b/c"});
        makeFile(dir.filePath("a/file.txt"));
        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        const QModelIndex index = model.indexForPath(dir.path() + "/" + relative);
        QCOMPARE(index.isValid(), found);
        if (found)
            QCOMPARE(model.path(index), QDir::cleanPath(dir.path() + "/" + relative));
    }

    // The tester walks the whole tree, fetching every level, and checks each
    // insertion. (Qt 6.4's tester re-checks the model while a reset is still
    // being announced, which trips over lazily read levels; so it watches
    // from after the build.)
    void modelSignalsAreConsistent()
    {
        QTemporaryDir dir;
        makeFolders(dir.path(), {"a/b/c", "a/d", ".h/e", "f"});
        FolderTreeModel model;
        model.setRoot(dir.path(), "root");
        {
            QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
            QCOMPARE(childTexts(model, model.indexForPath(dir.filePath("a"))), QStringList({"b", "d"}));
            QCOMPARE(model.rowCount(model.indexForPath(dir.filePath("a/b/c"))), 0);
        }
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        model.clear();
        QCOMPARE(resets.count(), 1);
        QCOMPARE(model.rowCount(), 0);
        QVERIFY(model.path(model.rootIndex()).isEmpty());
    }

    // A move by the program that fails half-way must not switch off the
    // host's veto over the user's later moves.
    void programmaticMoveThatThrowsKeepsTheVeto()
    {
        QStandardItemModel items;
        items.appendRow(new QStandardItem(QStringLiteral("one")));
        items.appendRow(new QStandardItem(QStringLiteral("two")));
        pelandor::FolderSelectionModel selection(&items);
        int asked = 0;
        selection.setChangingHandler([&asked] {
            ++asked;
            return false;
        });
        selection.programmatic(
            [&] { selection.setCurrentIndex(items.index(0, 0), QItemSelectionModel::ClearAndSelect); });
        bool thrown = false;
        try {
            selection.programmatic([] { throw std::runtime_error("enumeration failed"); });
        } catch (const std::runtime_error &) {
            thrown = true;
        }
        QVERIFY(thrown);
        QVERIFY(!selection.inProgrammaticMove());

        selection.beginUserEvent();
        selection.setCurrentIndex(items.index(1, 0), QItemSelectionModel::ClearAndSelect);
        QCOMPARE(asked, 1);
        QCOMPARE(selection.currentIndex(), items.index(0, 0));
    }
};

QTEST_GUILESS_MAIN(TestFolderTreeModel)
#include "TestFolderTreeModel.moc"
