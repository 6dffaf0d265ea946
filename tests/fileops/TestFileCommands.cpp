// The rules of the copy, move and delete commands and of a drop: the source
// list and its byte count, the Shift rule of the Delete key, which entries
// leave the list after a move that stopped half-way, and what a drop does.
#include <QMimeData>
#include "../TemporaryFolder.h"
#include <QUrl>

#include <memory>
#include <QTest>
#include <sys/stat.h>

#include "FileOpsFixture.h"
#include "fileops/DropRules.h"
#include "fileops/FileCommandRules.h"
#include "fileops/FileOperationEngine.h"
#include "fileops/FileOperationRequest.h"
#include "fileops/ShellOperationCodes.h"
#include "platform/NativeName.h"

using namespace pelandor;
using namespace fileops_test;

class TestFileCommands : public QObject {
    Q_OBJECT

private slots:
    void sourceList_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QStringList>("captions");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<int>("bytes");
        QTest::newRow("volume root") << "/" << QStringList{"a.jpg"} << QStringList{"/a.jpg"} << 7;
        QTest::newRow("three in a folder: paths, their NULs")
            << "/p" << QStringList{"a.jpg", "b.bmp", "c.png"}
            << QStringList{"/p/a.jpg", "/p/b.bmp", "/p/c.png"} << 3 * 8 + 3;
        // Bytes as the file system sees them: three per character here.
        QTest::newRow("Japanese name") << "/p" << QStringList{"写真.jpg"} << QStringList{"/p/写真.jpg"} << 3 + 6 + 4 + 1;
        QTest::newRow("nothing selected") << "/p" << QStringList{} << QStringList{} << 0;
    }
    void sourceList()
    {
        QFETCH(QString, folder);
        QFETCH(QStringList, captions);
        QFETCH(QStringList, paths);
        QFETCH(int, bytes);
        QStringList list;
        QCOMPARE(FileCommandRules::MakeSelectedFileList(folder, captions, list), qsizetype(bytes));
        QCOMPARE(list, paths);
    }

    void deleteKey_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("shift");
        QTest::addColumn<bool>("deletes");
        QTest::addColumn<int>("flags");
        QTest::newRow("Delete: to the trash") << int(Qt::Key_Delete) << false << true << int(FOF_ALLOWUNDO);
        QTest::newRow("Shift+Delete: permanent") << int(Qt::Key_Delete) << true << true << 0;
        QTest::newRow("Backspace does nothing") << int(Qt::Key_Backspace) << false << false << int(FOF_ALLOWUNDO);
    }
    void deleteKey()
    {
        QFETCH(int, key);
        QFETCH(bool, shift);
        QFETCH(bool, deletes);
        QFETCH(int, flags);
        QCOMPARE(FileCommandRules::isDeleteKey(key), deletes);
        QCOMPARE(int(FileCommandRules::deleteFlags(shift)), flags);
    }

    // The window's codes and flags, turned into the engine's request: each
    // code its own operation, the trash only where the undo flag is set
    // (whatever other flags come with it), an unknown code no request.
    void shellCodes_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<int>("flags");
        QTest::addColumn<bool>("known");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("toTrash");
        constexpr int others = 0x0010 | 0x0400; // no confirmation, no error box
        QTest::newRow("move") << int(FO_MOVE) << 0 << true << Operation::Move << false;
        QTest::newRow("copy") << int(FO_COPY) << 0 << true << Operation::Copy << false;
        QTest::newRow("delete for good") << int(FO_DELETE) << others << true << Operation::Delete << false;
        QTest::newRow("delete to the trash") << int(FO_DELETE) << (FOF_ALLOWUNDO | others) << true
                                             << Operation::Delete << true;
        QTest::newRow("rename: not one of ours") << 4 << 0 << false << Operation::Copy << false;
        QTest::newRow("zero") << 0 << int(FOF_ALLOWUNDO) << false << Operation::Copy << false;
    }
    void shellCodes()
    {
        QFETCH(int, code);
        QFETCH(int, flags);
        QFETCH(bool, known);
        QFETCH(Operation, operation);
        QFETCH(bool, toTrash);
        const std::optional<FileOperationRequest> request =
            ShellOperationCodes::request(code, {"/p/a.jpg", "/p/b.jpg"}, "/q", quint16(flags), "title");
        QCOMPARE(request.has_value(), known);
        if (!known)
            return;
        QCOMPARE(request->operation, operation);
        QCOMPARE(request->toTrash, toTrash);
        QCOMPARE(request->sources, (QList<QByteArray>{"/p/a.jpg", "/p/b.jpg"}));
        QCOMPARE(request->destination, QByteArray("/q"));
        QCOMPARE(request->progressTitle, QStringLiteral("title"));
    }

    // A move that fails at its second file: the first file has left, so its
    // entry leaves the list; the others stay. The first and last names are
    // not UTF-8: they are moved and found by their exact bytes.
    void entriesAfterAbortedMove()
    {
        TemporaryFolder temp;
        const QString source = temp.path() + "/source";
        const QString destination = temp.path() + "/destination";
        QVERIFY(QDir().mkpath(source) && QDir().mkpath(destination));
        QStringList paths;
        const QString shiftJis = NativeName::decode(QByteArray("\x82\xa0\x83J.jpg"));
        const QString latin1 = NativeName::decode(QByteArray("caf\xe9.jpg"));
        FileCommandRules::MakeSelectedFileList(source, {shiftJis, "b.jpg", latin1}, paths);
        for (const QString &path : std::as_const(paths))
            QVERIFY(!makeFile(NativeName::encode(path), 100, 1).isEmpty());

        FaultyOps ops;
        ops.unrenamable = NativeName::encode(paths[1]);
        ScriptedQuestions questions;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages, nullptr, ops);
        FileOperationRequest request;
        request.operation = Operation::Move;
        request.sources = FileCommandRules::encodePaths(paths);
        request.destination = QFile::encodeName(destination);
        QCOMPARE(engine.run(request), true);
        QCOMPARE(FileCommandRules::entriesGone(paths), QList<int>{0});
        struct stat moved {};
        QCOMPARE(::stat((QFile::encodeName(destination) + "/\x82\xa0\x83J.jpg").constData(), &moved), 0);
        // A copy leaves every source in place.
        request.operation = Operation::Copy;
        request.sources.removeFirst();
        ops.unrenamable.clear();
        QCOMPARE(engine.run(request), false);
        QCOMPARE(FileCommandRules::entriesGone(paths), QList<int>{0});
    }

    void drop_data()
    {
        QTest::addColumn<int>("site");
        QTest::addColumn<QString>("node");
        QTest::addColumn<bool>("copyMode");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("operation");
        using A = DropRules::Action;
        const int tree = int(DropRules::Site::FolderTree);
        const int combo = int(DropRules::Site::DriveCombo);
        const int elsewhere = int(DropRules::Site::Elsewhere);
        QTest::newRow("tree, move") << tree << "/photos" << false << int(A::Transfer) << int(FO_MOVE);
        QTest::newRow("tree, copy") << tree << "/photos" << true << int(A::Transfer) << int(FO_COPY);
        QTest::newRow("tree without a target node") << tree << "" << true << int(A::Ignore) << 0;
        QTest::newRow("combo, copy command") << combo << "/photos" << true << int(A::RunCopyCommand) << 0;
        QTest::newRow("combo, move command") << combo << "" << false << int(A::RunMoveCommand) << 0;
        QTest::newRow("back on the list") << elsewhere << "/photos" << false << int(A::Ignore) << 0;
    }
    void drop()
    {
        QFETCH(int, site);
        QFETCH(QString, node);
        QFETCH(bool, copyMode);
        QFETCH(int, kind);
        QFETCH(int, operation);
        const auto where = DropRules::Site(site);
        const DropRules::Action action = DropRules::drop(where, node, copyMode);
        QCOMPARE(int(action.kind), kind);
        QCOMPARE(action.operation, operation);
        QCOMPARE(action.destination, kind == DropRules::Action::Transfer ? node : QString());
        QCOMPARE(DropRules::accepts(where), where != DropRules::Site::Elsewhere);
    }

    void dragKeys()
    {
        QVERIFY(DropRules::dragMayStart(Qt::LeftButton, Qt::NoModifier, true));
        QVERIFY(!DropRules::dragMayStart(Qt::LeftButton, Qt::ShiftModifier, true));
        QVERIFY(!DropRules::dragMayStart(Qt::LeftButton, Qt::ControlModifier, true));
        QVERIFY(!DropRules::dragMayStart(Qt::LeftButton, Qt::NoModifier, false));
        QVERIFY(!DropRules::dragMayStart(Qt::RightButton, Qt::NoModifier, true));
        // The timer switches only when Ctrl differs from the mode.
        QVERIFY(DropRules::modeChanges(false, Qt::ControlModifier | Qt::ShiftModifier));
        QVERIFY(!DropRules::modeChanges(true, Qt::ControlModifier));
        QVERIFY(DropRules::modeChanges(true, Qt::AltModifier));
    }

    void dragCarriesFileUrls()
    {
        const std::unique_ptr<QMimeData> data(DropRules::mimeData({"/p/a b.jpg"}));
        QCOMPARE(data->urls(), QList<QUrl>{QUrl::fromLocalFile("/p/a b.jpg")});
        QVERIFY(DropRules::isOwnDrag(data.get()));
        QMimeData foreign;
        foreign.setUrls(data->urls());
        QVERIFY(!DropRules::isOwnDrag(&foreign));
        QVERIFY(!DropRules::isOwnDrag(nullptr));
    }
};

QTEST_GUILESS_MAIN(TestFileCommands)
#include "TestFileCommands.moc"
