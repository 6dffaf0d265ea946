// The main window's copy, move and delete commands and the drop on the
// folder tree, on a folder it has read (offscreen). The folder chooser, the
// key state and the engine's questions are answered in code; the engine
// itself works on real files, on its worker thread.
#include <QAction>
#include <QDir>
#include <QDragEnterEvent>
#include <QMimeData>
#include <QSignalBlocker>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "../fileops/FileOpsFixture.h"
#include "../listing/ImageFiles.h"
#include "app/FileCommands.h"
#include "WindowOnVolume.h"
#include "app/TMainWindow.h"
#include "fileops/DropRules.h"
#include "fileops/FileOperationJob.h"
#include "listing/CommandGuard.h"
#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/ThumbnailGridView.h"
#include "shell/TDriveComboEx.h"
#include "shell/FolderTreeModel.h"
#include "shell/TFolderTree.h"

using namespace pelandor;
using namespace fileops_test;
using namespace testfiles;

class TestFileCommandsWindow : public QObject, private WindowOnVolume {
    Q_OBJECT

    // On the volume, "a" is read, "b" and "c" are targets.
    QString m_folder;
    QString m_target;

    // What the services saw and how they answer.
    ScriptedQuestions m_questions;
    RecordingSink m_messages;
    QList<FileOperationRequest> m_requests;
    QList<Operation> m_chooserCalls;
    QStringList m_chooserStarts;
    Qt::KeyboardModifiers m_keys;

    // Hands the test's scripted answers to each operation.
    class Forwarding : public FileOperationQuestions {
    public:
        explicit Forwarding(FileOperationQuestions &to)
            : m_to(to)
        {
        }
        bool confirmDelete(const QList<QByteArray> &paths, bool toTrash) override
        {
            return m_to.confirmDelete(paths, toTrash);
        }
        Reply askReplace(const Conflict &conflict, bool moreFollow) override
        {
            return m_to.askReplace(conflict, moreFollow);
        }
        Reply askDeletePermanently(const QByteArray &path, bool moreFollow) override
        {
            return m_to.askDeletePermanently(path, moreFollow);
        }

    private:
        FileOperationQuestions &m_to;
    };

    FileCommands &files() { return window->fileCommands(); }
    // Notes the request of the operation a command has just started, and
    // lets it run to its end.
    void finishOperation()
    {
        if (FileOperationJob *job = files().job()) {
            m_requests << job->request();
            QTRY_VERIFY_WITH_TIMEOUT(!files().job(), 30000);
        }
    }
    void select(const QStringList &names)
    {
        QItemSelectionModel *selection = listView()->selectionModel();
        selection->clearSelection();
        for (const QString &name : names) {
            const int row = int(captions().indexOf(name));
            QVERIFY(row >= 0);
            selection->select(model().index(row, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    QStringList paths(const QString &folder, const QStringList &names)
    {
        QStringList out;
        for (const QString &name : names)
            out << QDir(folder).filePath(name);
        return out;
    }
    QStringList sourcesOf(const FileOperationRequest &request)
    {
        QStringList out;
        for (const QByteArray &path : request.sources)
            out << QFile::decodeName(path);
        return out;
    }

private slots:
    void init()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(root.filePath("data")));
        QDir volume(root.path());
        QVERIFY(volume.removeRecursively() && volume.mkpath("a") && volume.mkpath("b") && volume.mkpath("data"));
        m_folder = root.filePath("a");
        m_target = root.filePath("b");
        for (int i = 0; i < 6; ++i)
            writeBmpFile(QDir(m_folder).filePath(QStringLiteral("f%1.bmp").arg(i)), solid(8 + i, 8, 0));
        m_questions = ScriptedQuestions();
        m_messages.messages.clear();
        m_requests.clear();
        m_chooserCalls.clear();
        m_chooserStarts.clear();
        m_keys = {};

        MainWindowServices windowServices;
        windowServices.messages = &m_messages;
        open(std::move(windowServices));
        FileCommandServices services;
        services.chooseFolder = [this](QWidget *, Operation operation, const QString &start) {
            m_chooserCalls << operation;
            m_chooserStarts << start;
            return m_target;
        };
        services.questions = [this](QWidget *) -> std::unique_ptr<FileOperationQuestions> {
            return std::make_unique<Forwarding>(m_questions);
        };
        services.keys = [this] { return m_keys; };
        services.showProgress = false;
        window->setFileCommandServices(services);
        QVERIFY(folderTree()->selectFolder(m_folder));
        QTRY_COMPARE(model().count(), 6);
        QTRY_VERIFY(!window->reading());
    }
    void cleanup() { close(); }

    // Copy and move onto the folder the files are in: an error box, no
    // operation; a drag over that folder's node shows "no drop".
    void ontoTheirOwnFolder()
    {
        m_target = m_folder;
        select({"f1.bmp"});
        window->popMnu_copyClick();
        window->popMnu_moveClick();
        QVERIFY(!files().job());
        QCOMPARE(m_messages.messages.size(), 2);
        TFolderTree *tree = folderTree();
        const QPoint own = tree->visualRect(tree->folderModel()->indexForPath(m_folder)).center();
        const QPoint other = tree->visualRect(tree->folderModel()->indexForPath(root.filePath("b"))).center();
        QVERIFY(!files().treeTakesDropAt(own));
        QVERIFY(files().treeTakesDropAt(other));
        // The chooser started at the folder chosen last.
        QCOMPARE(m_chooserStarts, (QStringList{QString(), m_folder}));
    }

    // Closing the window while an operation waits for an answer cancels it
    // and closes once it has stopped: every file is whole and in its place.
    void closeDuringOperation()
    {
        writeText(QDir(m_target).filePath("f1.bmp"), "already there");
        select({"f0.bmp", "f1.bmp", "f2.bmp"});
        m_questions.replaceReplies = {FileOperationQuestions::Reply{FileOperationQuestions::Answer::Yes, true}};
        m_questions.whileAsked = [this] { window->close(); };
        window->popMnu_moveClick();
        QVERIFY(window->isVisible());
        QTRY_VERIFY(!window->isVisible());
        QVERIFY(!files().job());
        QCOMPARE(QDir(m_target).entryList(QDir::Files | QDir::Hidden), (QStringList{"f0.bmp", "f1.bmp"}));
        QFile kept(QDir(m_target).filePath("f1.bmp"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("already there"));
        QVERIFY(QFile::exists(QDir(m_folder).filePath("f1.bmp")));
        QVERIFY(QFile::exists(QDir(m_folder).filePath("f2.bmp")));
    }

    // A move while the folder is being read: it runs (its results arrive
    // while the reading goes on), the moved entries leave the list, the
    // reading completes the other files, and a file moved away before the
    // reading reached it is not listed.
    void moveDuringReading()
    {
        for (int i = 6; i < 40; ++i)
            writeBmpFile(QDir(m_folder).filePath(QStringLiteral("f%1.bmp").arg(i)), solid(8, 8 + i, 0));
        QString awayBeforeItsTurn;
        bool moved = false;
        QTimer poll;
        connect(&poll, &QTimer::timeout, this, [&] {
            if (moved || model().count() < 3 || !window->reading())
                return;
            moved = true;
            const QStringList listed = captions();
            for (const QString &name : QDir(m_folder).entryList(QDir::Files)) {
                if (!listed.contains(name)) {
                    awayBeforeItsTurn = name;
                    break;
                }
            }
            QVERIFY(QFile::rename(QDir(m_folder).filePath(awayBeforeItsTurn), QDir(m_target).filePath(awayBeforeItsTurn)));
            select({listed[0], listed[1]});
            window->popMnu_moveClick();
            QVERIFY(files().job());
            m_requests << files().job()->request();
        });
        poll.start(0);
        window->mnuView_readClick();
        poll.stop();
        QVERIFY(moved);
        QTRY_VERIFY(!files().job());
        QCOMPARE(m_messages.messages, QStringList());
        const QStringList moves = sourcesOf(m_requests.value(0));
        QCOMPARE(moves.size(), 2);
        QStringList expected = QDir(m_folder).entryList(QDir::Files);
        QStringList listed = captions();
        expected.sort();
        listed.sort();
        QCOMPARE(listed, expected);
        QCOMPARE(listed.size(), 40 - 3);
        QVERIFY(!listed.contains(awayBeforeItsTurn));
    }

    // Each command takes the selected files in list order; a copy leaves the
    // list alone, a completed move or delete takes exactly those entries out
    // and leaves nothing selected. Shift held as the delete starts deletes
    // for good, through the menu or the Delete key.
    void commandsOnTheSelection_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("keys");
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("toTrash");
        QTest::newRow("copy") << "copy" << 0 << Operation::Copy << false;
        QTest::newRow("move") << "move" << 0 << Operation::Move << false;
        QTest::newRow("delete to the trash") << "delete" << 0 << Operation::Delete << true;
        QTest::newRow("Delete key") << "key" << 0 << Operation::Delete << true;
        QTest::newRow("Shift+Delete key: for good") << "key" << int(Qt::ShiftModifier) << Operation::Delete << false;
        QTest::newRow("quick Shift+Delete, Shift let go first: for good")
            << "quick" << int(Qt::ShiftModifier) << Operation::Delete << false;
        QTest::newRow("delete with Ctrl: to the trash")
            << "delete" << int(Qt::ControlModifier) << Operation::Delete << true;
    }
    void commandsOnTheSelection()
    {
        QFETCH(QString, command);
        QFETCH(int, keys);
        QFETCH(Operation, operation);
        QFETCH(bool, toTrash);
        m_keys = Qt::KeyboardModifiers(keys);
        const QStringList chosen{"f4.bmp", "f1.bmp", "f2.bmp"};
        const QStringList inListOrder{"f1.bmp", "f2.bmp", "f4.bmp"};
        select(chosen);

        const QStringList statusBefore{window->StatusPanelText(0), window->StatusPanelText(1)};
        if (command == "copy")
            control<QAction>(*window, "popMnu_copy")->trigger();
        else if (command == "move")
            control<QAction>(*window, "mnuFile_move")->trigger();
        else if (command == "delete")
            control<QAction>(*window, "popMnu_delete")->trigger();
        else if (command == "quick") {
            QTest::keyPress(listView()->iconView(), Qt::Key_Delete, Qt::ShiftModifier);
            m_keys = {};
            QTest::keyRelease(listView()->iconView(), Qt::Key_Delete, Qt::NoModifier);
        } else {
            QTest::keyClick(listView()->iconView(), Qt::Key_Delete, m_keys);
        }
        finishOperation();

        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(m_requests[0].operation, operation);
        QCOMPARE(m_requests[0].toTrash, toTrash);
        QCOMPARE(sourcesOf(m_requests[0]), paths(m_folder, inListOrder));
        QCOMPARE(QFile::decodeName(m_requests[0].destination), operation == Operation::Delete ? QString() : m_target);
        QCOMPARE(m_chooserCalls, operation == Operation::Delete ? QList<Operation>{} : QList<Operation>{operation});
        QVERIFY(!window->commandGuard().busy());

        const QString trash = root.filePath("data/Trash/files");
        if (operation == Operation::Copy) {
            QCOMPARE(captions().size(), 6);
            QCOMPARE(listView()->selectedRows().size(), 3);
            QCOMPARE(QDir(m_target).entryList(QDir::Files), inListOrder);
            return;
        }
        QCOMPARE(captions(), (QStringList{"f0.bmp", "f3.bmp", "f5.bmp"}));
        QVERIFY(listView()->selectedRows().isEmpty());
        // The status bar shows no file that has just left the list.
        QCOMPARE((QStringList{window->StatusPanelText(0), window->StatusPanelText(1)}), statusBefore);
        QCOMPARE(QDir(m_folder).entryList(QDir::Files), (QStringList{"f0.bmp", "f3.bmp", "f5.bmp"}));
        const QString landed = operation == Operation::Move ? m_target : trash;
        const bool forGood = operation == Operation::Delete && !toTrash;
        QCOMPARE(QDir(landed).entryList(QDir::Files), forGood ? QStringList{} : inListOrder);
    }

    // A move stopped at its second file (a name conflict answered with
    // cancel): the file that left its folder leaves the list, the files still
    // there stay, even though the list was re-sorted while the move ran.
    void abortedMoveRemovesOnlyWhatLeft()
    {
        writeText(QDir(m_target).filePath("f2.bmp"), "already there");
        select({"f1.bmp", "f2.bmp", "f4.bmp"});
        m_questions.whileAsked = [this] { control<QAction>(*window, "mnuView_sort_down")->trigger(); };

        window->popMnu_moveClick();
        finishOperation();

        QCOMPARE(m_questions.replaceCalls.size(), 1);
        QCOMPARE(captions(), (QStringList{"f5.bmp", "f4.bmp", "f3.bmp", "f2.bmp", "f0.bmp"}));
        QVERIFY(QFile::exists(QDir(m_target).filePath("f1.bmp")));
        QVERIFY(QFile::exists(QDir(m_folder).filePath("f2.bmp")));
        QVERIFY(QFile::exists(QDir(m_folder).filePath("f4.bmp")));
    }

    // While an operation runs, every command that would re-read or clear the
    // list refuses, and so does a second operation (with a beep and a status
    // text); sorting is allowed.
    void listChangingCommandsRefusedMeanwhile_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("another folder") << "tree";
        QTest::newRow("read command") << "read";
        QTest::newRow("another volume") << "volume";
        QTest::newRow("Delete key") << "delete";
        QTest::newRow("move command") << "move";
    }
    void listChangingCommandsRefusedMeanwhile()
    {
        QFETCH(QString, meanwhile);
        folderTree()->setFocus();
        select({"f1.bmp"});
        m_questions.whileAsked = [&] {
            m_questions.whileAsked = nullptr; // once
            if (meanwhile == "tree") {
                QTest::keyClick(folderTree(), Qt::Key_Down);
            } else if (meanwhile == "read") {
                control<QAction>(*window, "mnuView_read")->trigger();
            } else if (meanwhile == "volume") {
                control<TDriveComboEx>(*window, "DriveComboEx1")->SetDrive(QStringLiteral("/"));
                window->DriveComboEx1Change();
            } else if (meanwhile == "delete") {
                QTest::keyClick(listView()->iconView(), Qt::Key_Delete);
            } else {
                window->popMnu_moveClick();
            }
        };
        window->popMnu_deleteClick();
        finishOperation();

        QCOMPARE(m_requests.size(), 1);
        QVERIFY(!control<QStatusBar>(*window, "StatusBar1")->currentMessage().isEmpty());
        QCOMPARE(folderTree()->GetFolderPath(), m_folder);
        QCOMPARE(control<TDriveComboEx>(*window, "DriveComboEx1")->Drive(), folderTree()->Drive());
        QCOMPARE(captions(), (QStringList{"f0.bmp", "f2.bmp", "f3.bmp", "f4.bmp", "f5.bmp"}));
        QVERIFY(!window->commandGuard().busy());
    }

    // A drop on the tree copies or moves into the node the drag last passed
    // over; a drag that passed over no node is refused and does nothing; a
    // drag from elsewhere is refused.
    void dropOnTheTree_data()
    {
        QTest::addColumn<bool>("copy");
        QTest::addColumn<bool>("overNode");
        QTest::addColumn<bool>("ownDrag");
        QTest::newRow("copy into the node") << true << true << true;
        QTest::newRow("move into the node") << false << true << true;
        QTest::newRow("no node passed: ignored") << false << false << true;
        QTest::newRow("another program's drag: refused") << false << true << false;
    }
    void dropOnTheTree()
    {
        QFETCH(bool, copy);
        QFETCH(bool, overNode);
        QFETCH(bool, ownDrag);
        select({"f3.bmp", "f0.bmp"});
        TFolderTree *tree = folderTree();
        const QModelIndex node = tree->folderModel()->indexForPath(m_target);
        QVERIFY(node.isValid());
        QWidget *viewport = tree->viewport();
        const QPoint onNode = tree->visualRect(node).center();
        const QPoint empty(viewport->width() / 2, viewport->height() - 2);
        QVERIFY(!tree->indexAt(empty).isValid());

        m_keys = copy ? Qt::ControlModifier : Qt::NoModifier;
        files().timerTick();
        QCOMPARE(files().dragCopyMode(), copy);
        std::unique_ptr<QMimeData> data(ownDrag ? DropRules::mimeData({m_folder + "/f0.bmp"}) : new QMimeData);
        if (!ownDrag)
            data->setUrls({QUrl::fromLocalFile(m_folder + "/f0.bmp")});
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(overNode ? onNode : empty, actions, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &enter);
        QCOMPARE(enter.isAccepted(), ownDrag);
        QCOMPARE(tree->isDropTargetHighlighted(), ownDrag && overNode);
        QDragMoveEvent move(empty, actions, data.get(), Qt::LeftButton, {}); // the node stays the target
        QApplication::sendEvent(viewport, &move);
        QDropEvent drop(empty, actions, data.get(), Qt::LeftButton, {});
        QApplication::sendEvent(viewport, &drop);
        // Where a drop would do nothing (no node passed yet) it is refused:
        // the pointer shows "no drop".
        QCOMPARE(drop.isAccepted(), ownDrag && overNode);
        if (ownDrag && overNode)
            QCOMPARE(drop.dropAction(), copy ? Qt::CopyAction : Qt::MoveAction);

        window->FolderTree1DragDrop();
        finishOperation();
        if (!ownDrag || !overNode) {
            QVERIFY(m_requests.isEmpty());
            QCOMPARE(captions().size(), 6);
            return;
        }
        QCOMPARE(m_requests.size(), 1);
        QCOMPARE(sourcesOf(m_requests[0]), paths(m_folder, {"f0.bmp", "f3.bmp"}));
        QCOMPARE(QDir(m_target).entryList(QDir::Files), (QStringList{"f0.bmp", "f3.bmp"}));
        QCOMPARE(captions().size(), copy ? 6 : 4);
    }
};

QTEST_MAIN(TestFileCommandsWindow)
#include "TestFileCommandsWindow.moc"
