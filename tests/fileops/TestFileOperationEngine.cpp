// The file-operation engine on real files in a temporary folder: copy and
// move inside and across file systems, name conflicts, cancelling, a full or
// read-only destination, the trash and permanent deletion. After every case
// the content of every source file must still exist somewhere.
#include <QTemporaryDir>
#include <QTest>

#include <sys/mount.h>
#include <sys/time.h>

#include "FileOpsFixture.h"
#include "fileops/FileOperationEngine.h"
#include "fileops/FileOperationRequest.h"
#include "fileops/FreedesktopTrash.h"

using namespace pelandor;
using namespace fileops_test;
using Answer = FileOperationQuestions::Answer;
using Reply = FileOperationQuestions::Reply;

Q_DECLARE_METATYPE(QList<Reply>)

namespace {

// A name that is not valid UTF-8, with a blank and a "%" for the trash's encoding.
const QByteArray OddName("caf\xe9 50%.jpg");

} // namespace

class TestFileOperationEngine : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_temp;
    QByteArray m_root;
    QByteArray m_source;
    QByteArray m_destination;
    QSet<QByteArray> m_originals;
    QStringList m_mounts;

    // The source files: a.jpg (small), b.jpg (1.5 MiB, more than one block),
    // and OddName; their hashes go into m_originals.
    QList<QByteArray> makeSources()
    {
        const QList<QPair<QByteArray, qint64>> files = {{"a.jpg", 1000}, {"b.jpg", 3 << 19}, {OddName, 0}};
        QList<QByteArray> paths;
        quint32 seed = 1;
        for (const auto &[name, size] : files) {
            const QByteArray path = RawPath::join(m_source, name);
            m_originals.insert(sha(makeFile(path, size, seed++)));
            paths.append(path);
        }
        // A known modification time to find on the copies.
        const struct timeval times[2] = {{1000000000, 0}, {1234567890, 0}};
        ::utimes(paths.first().constData(), times);
        return paths;
    }

    bool nothingLost()
    {
        const QSet<QByteArray> now = contentsBelow({m_root});
        for (const QByteArray &hash : std::as_const(m_originals)) {
            if (!now.contains(hash))
                return false;
        }
        return true;
    }

    FileOperationRequest request(Operation operation, const QList<QByteArray> &sources) const
    {
        FileOperationRequest r;
        r.operation = operation;
        r.sources = sources;
        r.destination = operation == Operation::Delete ? QByteArray() : m_destination;
        return r;
    }

    bool mountTmpfs(const QByteArray &path)
    {
        if (::getuid() != 0 || ::mkdir(path.constData(), 0755) != 0)
            return false;
        if (::mount("pelandor-test", path.constData(), "tmpfs", 0, "size=16m") != 0)
            return false;
        m_mounts.append(QFile::decodeName(path));
        return true;
    }

private slots:
    void init()
    {
        QVERIFY(m_temp.isValid());
        m_root = RawPath::join(QFile::encodeName(m_temp.path()), QByteArray::number(QRandomGenerator::global()->generate()));
        m_source = RawPath::join(m_root, "source");
        m_destination = RawPath::join(m_root, "destination");
        QVERIFY(::mkdir(m_root.constData(), 0755) == 0);
        QVERIFY(::mkdir(m_source.constData(), 0755) == 0);
        QVERIFY(::mkdir(m_destination.constData(), 0755) == 0);
        m_originals.clear();
        qputenv("XDG_DATA_HOME", RawPath::join(m_root, "data"));
    }

    void cleanup()
    {
        const bool kept = nothingLost();
        const QList<QByteArray> leftovers = leftoverTemporaries(m_root);
        for (const QString &mount : std::as_const(m_mounts))
            ::umount2(QFile::encodeName(mount).constData(), MNT_DETACH);
        m_mounts.clear();
        removeTree(m_root);
        QVERIFY2(kept, "the content of a source file is gone");
        QCOMPARE(leftovers, QList<QByteArray>());
    }

    void transfer_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("crossDevice");
        QTest::newRow("copy") << Operation::Copy << false;
        QTest::newRow("move by rename") << Operation::Move << false;
        QTest::newRow("move across file systems") << Operation::Move << true;
    }
    void transfer()
    {
        QFETCH(Operation, operation);
        QFETCH(bool, crossDevice);
        const QList<QByteArray> sources = makeSources();
        QList<QByteArray> contents;
        for (const QByteArray &s : sources)
            contents.append(readFile(s));
        ::chmod(sources.first().constData(), 0604);

        ScriptedQuestions questions;
        RecordingSink messages;
        CancellingProgress progress;
        FaultyOps ops;
        ops.crossDevice = crossDevice;
        FileOperationEngine engine(questions, messages, &progress, ops);
        QCOMPARE(engine.run(request(operation, sources)), false);
        QCOMPARE(messages.messages, QStringList());

        for (int i = 0; i < sources.size(); ++i) {
            const QByteArray target = RawPath::join(m_destination, RawPath::baseName(sources[i]));
            QCOMPARE(readFile(target), contents[i]);
            QCOMPARE(exists(sources[i]), operation == Operation::Copy);
        }
        struct stat info {};
        QCOMPARE(::stat(RawPath::join(m_destination, "a.jpg").constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, mode_t(0604));
        QCOMPARE(qint64(info.st_mtim.tv_sec), qint64(1234567890));
        QCOMPARE(progress.lastDone, qint64(1000 + (3 << 19)));
        // Copies are written under a temporary name and renamed: in the
        // renaming cases nothing is written at all.
        QCOMPARE(ops.written > 0, operation == Operation::Copy || crossDevice);
    }

    void realSecondFileSystem()
    {
        const QByteArray mounted = RawPath::join(m_root, "tmpfs");
        if (!mountTmpfs(mounted))
            QSKIP("mounting a tmpfs needs root");
        m_destination = mounted;
        const QList<QByteArray> sources = makeSources();
        ScriptedQuestions questions;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages);
        QCOMPARE(engine.run(request(Operation::Move, sources)), false);
        for (const QByteArray &s : sources)
            QVERIFY(!exists(s));
        QCOMPARE(contentsBelow({mounted}), m_originals);
    }

    void conflicts_data()
    {
        QTest::addColumn<QList<Reply>>("replies");
        QTest::addColumn<int>("questionsAsked");
        QTest::addColumn<bool>("aborted");
        QTest::addColumn<QList<bool>>("replaced"); // per source: the target holds the source's content
        QTest::addColumn<QList<bool>>("sourceLeft");
        const Reply replace{Answer::Yes, false};
        const Reply skip{Answer::Skip, false};
        const Reply cancel{Answer::Cancel, false};
        QTest::newRow("replace, skip, replace")
            << QList<Reply>{replace, skip, replace} << 3 << true << QList<bool>{true, false, true}
            << QList<bool>{false, true, false};
        QTest::newRow("cancel at the second")
            << QList<Reply>{replace, cancel} << 2 << true << QList<bool>{true, false, false}
            << QList<bool>{false, true, true};
        QTest::newRow("replace all") << QList<Reply>{Reply{Answer::Yes, true}} << 1 << false
                                     << QList<bool>{true, true, true} << QList<bool>{false, false, false};
        QTest::newRow("skip all") << QList<Reply>{Reply{Answer::Skip, true}} << 1 << true
                                  << QList<bool>{false, false, false} << QList<bool>{true, true, true};
        QTest::newRow("cancel with apply to all still asks no more")
            << QList<Reply>{Reply{Answer::Cancel, true}} << 1 << true << QList<bool>{false, false, false}
            << QList<bool>{true, true, true};
    }
    void conflicts()
    {
        QFETCH(QList<Reply>, replies);
        QFETCH(int, questionsAsked);
        QFETCH(bool, aborted);
        QFETCH(QList<bool>, replaced);
        QFETCH(QList<bool>, sourceLeft);
        const QList<QByteArray> sources = makeSources();
        QList<QByteArray> contents;
        for (int i = 0; i < sources.size(); ++i) {
            contents.append(readFile(sources[i]));
            // Replaced on request, so not among the contents that must survive.
            makeFile(RawPath::join(m_destination, RawPath::baseName(sources[i])), 500 + i, 100 + i);
        }
        ScriptedQuestions questions;
        questions.replaceReplies = replies;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages);
        QCOMPARE(engine.run(request(Operation::Move, sources)), aborted);
        QCOMPARE(questions.replaceCalls.size(), questionsAsked);
        for (int i = 0; i < sources.size(); ++i) {
            const QByteArray target = RawPath::join(m_destination, RawPath::baseName(sources[i]));
            QCOMPARE(readFile(target) == contents[i], replaced[i]);
            QCOMPARE(exists(sources[i]), sourceLeft[i]);
        }
    }

    // A file saved under the target name while the copy ran (or between the
    // check and a move's rename) is never replaced without the question.
    void nameTakenMeanwhile_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("crossDevice");
        QTest::addColumn<int>("answer");
        for (const int answer : {int(Answer::Skip), int(Answer::Yes)}) {
            const char *said = answer == int(Answer::Skip) ? "skip" : "replace";
            QTest::addRow("copy, %s", said) << Operation::Copy << false << answer;
            QTest::addRow("move by rename, %s", said) << Operation::Move << false << answer;
            QTest::addRow("move across file systems, %s", said) << Operation::Move << true << answer;
        }
    }
    void nameTakenMeanwhile()
    {
        QFETCH(Operation, operation);
        QFETCH(bool, crossDevice);
        QFETCH(int, answer);
        const QList<QByteArray> sources = makeSources();
        const QByteArray content = readFile(sources[0]);
        const QByteArray target = RawPath::join(m_destination, RawPath::baseName(sources[0]));
        const QByteArray theirs("saved by another program meanwhile");
        if (answer == int(Answer::Skip))
            m_originals.insert(sha(theirs));
        FaultyOps ops;
        ops.crossDevice = crossDevice;
        ops.intruderPath = target;
        ops.intruderContent = theirs;
        ScriptedQuestions questions;
        questions.replaceReplies = {Reply{Answer(answer), false}};
        RecordingSink messages;
        FileOperationEngine engine(questions, messages, nullptr, ops);
        QCOMPARE(engine.run(request(operation, sources.mid(0, 1))), answer == int(Answer::Skip));
        QCOMPARE(questions.replaceCalls, QList<QByteArray>{target});
        QCOMPARE(readFile(target), answer == int(Answer::Skip) ? theirs : content);
        QCOMPARE(exists(sources[0]), operation == Operation::Copy || answer == int(Answer::Skip));
        QCOMPARE(messages.messages, QStringList());
    }

    // "Keep both": the file takes the first free numbered name, placed with
    // no-replace, so a file that takes that name meanwhile is never
    // overwritten (the next number is used, without a question); the file
    // that had the name stays. The question showed both files' sizes.
    void keepBoth_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("crossDevice");
        QTest::addColumn<bool>("takenMeanwhile");
        QTest::newRow("copy") << Operation::Copy << false << false;
        QTest::newRow("copy, the new name taken meanwhile") << Operation::Copy << false << true;
        QTest::newRow("move by rename, the new name taken meanwhile") << Operation::Move << false << true;
        QTest::newRow("move across file systems") << Operation::Move << true << false;
    }
    void keepBoth()
    {
        QFETCH(Operation, operation);
        QFETCH(bool, crossDevice);
        QFETCH(bool, takenMeanwhile);
        const QList<QByteArray> sources = makeSources();
        const QByteArray content = readFile(sources[0]);
        m_originals.insert(sha(makeFile(RawPath::join(m_destination, "a.jpg"), 77, 50)));
        m_originals.insert(sha(makeFile(RawPath::join(m_destination, "a (2).jpg"), 78, 51)));
        FaultyOps ops;
        ops.crossDevice = crossDevice;
        if (takenMeanwhile) {
            ops.intruderPath = RawPath::join(m_destination, "a (3).jpg");
            ops.intruderContent = "saved by another program meanwhile";
            m_originals.insert(sha(ops.intruderContent));
        }
        ScriptedQuestions questions;
        questions.replaceReplies = {Reply{Answer::KeepBoth, false}};
        RecordingSink messages;
        FileOperationEngine engine(questions, messages, nullptr, ops);
        QCOMPARE(engine.run(request(operation, sources.mid(0, 1))), false);
        QCOMPARE(questions.conflicts.size(), 1);
        QCOMPARE(questions.conflicts[0].sourceSize, qint64(1000));
        QCOMPARE(questions.conflicts[0].targetSize, qint64(77));
        QCOMPARE(readFile(RawPath::join(m_destination, takenMeanwhile ? "a (4).jpg" : "a (3).jpg")), content);
        QCOMPARE(exists(sources[0]), operation == Operation::Copy);
        QCOMPARE(messages.messages, QStringList());
    }

    void numberedName_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("extension") << QByteArray("name.jpg") << QByteArray("name (2).jpg");
        QTest::newRow("two dots") << QByteArray("a.b.jpg") << QByteArray("a.b (2).jpg");
        QTest::newRow("no extension") << QByteArray("name") << QByteArray("name (2)");
        QTest::newRow("hidden name") << QByteArray(".name") << QByteArray(".name (2)");
    }
    void numberedName()
    {
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, second);
        QCOMPARE(FileOperationEngine::numberedName(name, 2), second);
    }

    // A file saved under the source's name while a move copied it across
    // file systems is newer than the copy: it stays, and the user is told.
    void newerSourceKeptAfterMove()
    {
        const QList<QByteArray> sources = makeSources();
        const QByteArray newer("saved while the old one was copied");
        m_originals.insert(sha(newer));
        FaultyOps ops;
        ops.crossDevice = true;
        ops.afterFirstRead = [&] {
            ::unlink(sources[0].constData());
            const int fd = ::open(sources[0].constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
            QVERIFY(fd >= 0 && ::write(fd, newer.constData(), size_t(newer.size())) == newer.size());
            ::close(fd);
        };
        ScriptedQuestions questions;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages, nullptr, ops);
        QCOMPARE(engine.run(request(Operation::Move, sources.mid(0, 1))), true);
        QCOMPARE(readFile(sources[0]), newer);
        QVERIFY(exists(RawPath::join(m_destination, RawPath::baseName(sources[0]))));
        QCOMPARE(messages.messages.size(), 1);
    }

    void sameFileRefused_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<bool>("hardLink");
        QTest::newRow("copy into its own folder") << Operation::Copy << false;
        QTest::newRow("move into its own folder") << Operation::Move << false;
        QTest::newRow("move onto a hard link of itself") << Operation::Move << true;
    }
    void sameFileRefused()
    {
        QFETCH(Operation, operation);
        QFETCH(bool, hardLink);
        const QList<QByteArray> sources = makeSources();
        if (hardLink)
            QCOMPARE(::link(sources[0].constData(), RawPath::join(m_destination, "a.jpg").constData()), 0);
        else
            m_destination = m_source;
        ScriptedQuestions questions;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages);
        QCOMPARE(engine.run(request(operation, sources.mid(0, 1))), true);
        QCOMPARE(messages.messages.size(), 1);
        QVERIFY(questions.replaceCalls.isEmpty());
        QVERIFY(exists(sources[0]));
    }

    void cancelInsideLargeFile_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::newRow("copy") << Operation::Copy;
        QTest::newRow("move across file systems") << Operation::Move;
    }
    void cancelInsideLargeFile()
    {
        QFETCH(Operation, operation);
        const QByteArray big = RawPath::join(m_source, "big.jpg");
        const QByteArray content = makeFile(big, 8 << 20, 7);
        m_originals.insert(sha(content));
        ScriptedQuestions questions;
        RecordingSink messages;
        CancellingProgress progress;
        progress.cancelAfterProgressCalls = 3;
        FaultyOps ops;
        ops.crossDevice = true;
        FileOperationEngine engine(questions, messages, &progress, ops);
        QCOMPARE(engine.run(request(operation, {big})), true);
        QVERIFY(ops.written > 0 && ops.written < content.size());
        QCOMPARE(readFile(big), content);
        QCOMPARE(allFiles(m_destination), QList<QByteArray>());
    }

    void faults_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("copyRemains"); // the destination holds a complete copy afterwards
        for (const auto &[name, operation] : {std::pair{"copy", Operation::Copy}, std::pair{"move", Operation::Move}}) {
            QTest::newRow(qPrintable(QStringLiteral("%1, disk full").arg(name))) << operation << "nospace" << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, read-only").arg(name))) << operation << "readonly" << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, flush fails").arg(name))) << operation << "fsync" << false;
            QTest::newRow(qPrintable(QStringLiteral("%1, source ends early").arg(name))) << operation << "shortread" << false;
        }
        QTest::newRow("move, source cannot be removed") << Operation::Move << "undeletable" << true;
    }
    void faults()
    {
        QFETCH(Operation, operation);
        QFETCH(QString, fault);
        QFETCH(bool, copyRemains);
        const QList<QByteArray> sources = makeSources();
        FaultyOps ops;
        ops.crossDevice = true;
        if (fault == "nospace")
            ops.writeLimit = 1000 + 4096; // a.jpg fits, b.jpg does not
        else if (fault == "readonly")
            ops.readOnlyFolder = m_destination;
        else if (fault == "shortread")
            ops.readLimit = 1000 + 4096;
        else if (fault == "fsync")
            ops.fsyncError = EIO;
        else
            ops.undeletable = sources[0];
        ScriptedQuestions questions;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages, nullptr, ops);
        QCOMPARE(engine.run(request(operation, sources)), true);
        QCOMPARE(messages.messages.size(), 1);
        // The file that failed is still at its place; nothing half-written
        // carries a final name (a.jpg may be complete when b.jpg failed).
        for (const QByteArray &path : allFiles(m_destination)) {
            const QByteArray source = RawPath::join(m_source, RawPath::baseName(path));
            QVERIFY(!exists(source) || readFile(source) == readFile(path));
        }
        QCOMPARE(exists(RawPath::join(m_destination, "a.jpg")),
            copyRemains || fault == "nospace" || fault == "shortread");
        QVERIFY(exists(sources[1]));
    }

    void trash()
    {
        const QList<QByteArray> sources = makeSources();
        const QByteArray trash = FreedesktopTrash::homeTrashPath();
        // A name already in the trash: the second one gets another name.
        const QByteArray earlier = RawPath::join(m_source, "earlier");
        QVERIFY(::mkdir(earlier.constData(), 0755) == 0);
        const QByteArray again = RawPath::join(earlier, "a.jpg");
        m_originals.insert(sha(makeFile(again, 10, 99)));
        ScriptedQuestions questions;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages);
        FileOperationRequest r = request(Operation::Delete, {again, sources[0], sources[2]});
        r.toTrash = true;
        QCOMPARE(engine.run(r), false);
        QCOMPARE(questions.confirmCalls, QList<QList<QByteArray>>{r.sources});
        QCOMPARE(messages.messages, QStringList());
        for (const QByteArray &s : r.sources)
            QVERIFY(!exists(s));

        const QByteArray files = RawPath::join(trash, "files");
        const QByteArray info = RawPath::join(trash, "info");
        QCOMPARE(readFile(RawPath::join(files, "a.jpg")).size(), 10);
        QCOMPARE(readFile(RawPath::join(files, "a.jpg.2")).size(), 1000);
        QVERIFY(exists(RawPath::join(files, OddName)));
        const QByteArray entry = readFile(RawPath::join(info, OddName + ".trashinfo"));
        QVERIFY2(entry.startsWith("[Trash Info]\nPath=" + sources[2].toPercentEncoding("/") + "\nDeletionDate="),
            entry.constData());
        QVERIFY(entry.contains("caf%E9%2050%25.jpg"));
        const QByteArray date = entry.split('=').last().trimmed();
        QVERIFY(QDateTime::fromString(QString::fromLatin1(date), Qt::ISODate).secsTo(QDateTime::currentDateTime()) < 60);
        QVERIFY(readFile(RawPath::join(info, "a.jpg.2.trashinfo")).contains("\nPath=" + sources[0] + "\n"));
    }

    void deleteAnswered_data()
    {
        QTest::addColumn<bool>("toTrash");
        QTest::addColumn<bool>("confirm");
        QTest::newRow("permanent") << false << true;
        QTest::newRow("permanent, declined") << false << false;
        QTest::newRow("to the trash, declined") << true << false;
    }
    void deleteAnswered()
    {
        QFETCH(bool, toTrash);
        QFETCH(bool, confirm);
        const QList<QByteArray> sources = makeSources();
        m_originals.clear(); // deleting for good loses them on purpose
        ScriptedQuestions questions;
        questions.confirmAnswer = confirm;
        RecordingSink messages;
        FileOperationEngine engine(questions, messages);
        FileOperationRequest r = request(Operation::Delete, sources);
        r.toTrash = toTrash;
        QCOMPARE(engine.run(r), !confirm);
        QCOMPARE(questions.confirmCalls.size(), 1);
        for (const QByteArray &s : sources)
            QCOMPARE(exists(s), !confirm);
        QVERIFY(!exists(FreedesktopTrash::homeTrashPath()) || allFiles(FreedesktopTrash::homeTrashPath()).isEmpty());
    }

    void volumeTrash_data()
    {
        QTest::addColumn<bool>("trashUsable");
        QTest::addColumn<bool>("throughLink");
        QTest::newRow(".Trash-uid on the volume") << true << false;
        QTest::newRow("through a link to a folder of the volume") << true << true;
        QTest::newRow("no usable trash: asked, then deleted") << false << false;
    }
    void volumeTrash()
    {
        QFETCH(bool, trashUsable);
        QFETCH(bool, throughLink);
        const QByteArray mounted = RawPath::join(m_root, "volume");
        if (!mountTmpfs(mounted))
            QSKIP("mounting a tmpfs needs root");
        m_source = RawPath::join(mounted, "photos");
        QVERIFY(::mkdir(m_source.constData(), 0755) == 0);
        if (throughLink) {
            // The files are reached through a link on the home volume; the
            // trash is still the volume's own, at its top.
            const QByteArray link = RawPath::join(m_root, "photos-link");
            QCOMPARE(::symlink(m_source.constData(), link.constData()), 0);
            m_source = link;
        }
        const QList<QByteArray> sources = makeSources();
        const QByteArray volumeTrash = RawPath::join(mounted, ".Trash-" + QByteArray::number(::getuid()));
        if (!trashUsable) {
            makeFile(volumeTrash, 1, 1); // a file where the folder would be
            m_originals.clear();
        }
        ScriptedQuestions questions;
        questions.permanentReplies = {Reply{Answer::Yes, true}};
        RecordingSink messages;
        FileOperationEngine engine(questions, messages);
        FileOperationRequest r = request(Operation::Delete, sources);
        r.toTrash = true;
        QCOMPARE(engine.run(r), false);
        QCOMPARE(messages.messages, QStringList());
        for (const QByteArray &s : sources)
            QVERIFY(!exists(s));
        QCOMPARE(questions.permanentCalls.size(), trashUsable ? 0 : 1);
        if (trashUsable) {
            QCOMPARE(contentsBelow({RawPath::join(volumeTrash, "files")}), m_originals);
            // The path is relative to the volume's top folder.
            QVERIFY(readFile(RawPath::join(volumeTrash, "info/b.jpg.trashinfo")).contains("\nPath=photos/b.jpg\n"));
        }
    }
};

QTEST_GUILESS_MAIN(TestFileOperationEngine)
#include "TestFileOperationEngine.moc"
