// The file-operation engine on its worker thread: the questions reach the
// GUI thread and their answers go back; each file that left its folder is
// reported and takes its entry out of a list that is sorted meanwhile; a job
// destroyed while it waits for an answer stops safely. The stress case
// moves and copies 200 files back and forth, cancelling at random points,
// and checks that every source byte exists exactly once and nothing
// unfinished is left; it also runs under ThreadSanitizer.
#include <QElapsedTimer>
#include <QPersistentModelIndex>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <map>

#include "FileOpsFixture.h"
#include "fileops/FileOperationJob.h"
#include "fileops/FileOperationRequest.h"
#include "listing/FileListModel.h"

using namespace pelandor;
using namespace fileops_test;
using Answer = FileOperationQuestions::Answer;
using Reply = FileOperationQuestions::Reply;

class TestFileOperationJob : public QObject {
    Q_OBJECT

    QTemporaryDir m_temp;
    QByteArray m_root;
    QByteArray m_a;
    QByteArray m_b;

    QList<QByteArray> makeFiles(const QByteArray &folder, int count, quint32 seed)
    {
        QList<QByteArray> paths;
        QRandomGenerator sizes(seed);
        for (int i = 0; i < count; ++i) {
            const QByteArray path = RawPath::join(folder, "f" + QByteArray::number(i) + ".jpg");
            makeFile(path, sizes.bounded(1, 48 << 10), seed + quint32(i));
            paths.append(path);
        }
        return paths;
    }

    FileOperationRequest request(Operation operation, const QList<QByteArray> &sources, const QByteArray &to) const
    {
        FileOperationRequest r;
        r.operation = operation;
        r.sources = sources;
        r.destination = to;
        return r;
    }

    // Runs the job to its end in the event loop; returns finished's value.
    static bool runToEnd(FileOperationJob &job)
    {
        QSignalSpy finished(&job, &FileOperationJob::finished);
        job.start();
        if (!finished.wait(60000) && finished.isEmpty())
            return false;
        return finished.first().first().toBool();
    }

    // Every content found in the folders, with how often it occurs.
    static std::map<QByteArray, int> census(const QList<QByteArray> &folders)
    {
        std::map<QByteArray, int> count;
        for (const QByteArray &folder : folders) {
            for (const QByteArray &path : allFiles(folder))
                ++count[sha(readFile(path))];
        }
        return count;
    }

private slots:
    void init()
    {
        QVERIFY(m_temp.isValid());
        m_root = RawPath::join(QFile::encodeName(m_temp.path()), QByteArray::number(QRandomGenerator::global()->generate()));
        m_a = RawPath::join(m_root, "a");
        m_b = RawPath::join(m_root, "b");
        QVERIFY(::mkdir(m_root.constData(), 0755) == 0);
        QVERIFY(::mkdir(m_a.constData(), 0755) == 0);
        QVERIFY(::mkdir(m_b.constData(), 0755) == 0);
        qputenv("XDG_DATA_HOME", RawPath::join(m_root, "data"));
    }
    void cleanup() { removeTree(m_root); }

    // A move with a conflict: the question is asked on the GUI thread while
    // the worker waits, its answer goes back; the files that left are
    // reported one by one, the skipped one is not; an error message reaches
    // the sink on the GUI thread too.
    void questionsAndResultsCrossThreads()
    {
        const QList<QByteArray> sources = makeFiles(m_a, 3, 1);
        makeFile(RawPath::join(m_b, "f1.jpg"), 10, 9);
        ScriptedQuestions questions;
        questions.replaceReplies = {Reply{Answer::Skip, false}};
        QThread *askedOn = nullptr;
        questions.whileAsked = [&] { askedOn = QThread::currentThread(); };
        RecordingSink messages;
        FileOperationJob job(request(Operation::Move, sources, m_b), questions, messages);
        QSignalSpy left(&job, &FileOperationJob::sourceLeft);
        QCOMPARE(runToEnd(job), true); // one file skipped
        QCOMPARE(askedOn, QThread::currentThread());
        QCOMPARE(questions.replaceCalls, QList<QByteArray>{RawPath::join(m_b, "f1.jpg")});
        QCOMPARE(left.size(), 2);
        QCOMPARE(left[0].first().toInt(), 0);
        QCOMPARE(left[1].first().toInt(), 2);
        QVERIFY(exists(sources[1]) && !exists(sources[0]) && !exists(sources[2]));
        QVERIFY(!job.isRunning());

        // A message stops the job after it was shown, on this thread.
        FileOperationJob missing(request(Operation::Copy, {RawPath::join(m_a, "gone.jpg")}, m_b), questions, messages);
        QCOMPARE(runToEnd(missing), true);
        QCOMPARE(messages.messages.size(), 1);
    }

    // Destroying a job (the window closing) while its question waits, or
    // while it copies, cancels it: no file is lost, nothing half-written is
    // left, and no question is asked afterwards.
    void destroyedWhileRunning_data()
    {
        QTest::addColumn<bool>("conflict");
        QTest::newRow("waiting for an answer") << true;
        QTest::newRow("copying") << false;
    }
    void destroyedWhileRunning()
    {
        QFETCH(bool, conflict);
        const QList<QByteArray> sources = makeFiles(m_a, 20, 3);
        if (conflict)
            makeFile(RawPath::join(m_b, "f0.jpg"), 10, 9);
        const auto before = census({m_a, m_b});
        ScriptedQuestions questions;
        RecordingSink messages;
        {
            FileOperationJob job(request(Operation::Move, sources, m_b), questions, messages);
            job.start();
            QThread::msleep(5);
        }
        QCoreApplication::processEvents(); // nothing left to deliver
        QVERIFY(questions.replaceCalls.isEmpty());
        QCOMPARE(census({m_a, m_b}), before);
        QCOMPARE(leftoverTemporaries(m_root), QList<QByteArray>());
    }

    // 200 files moved back and forth between two folders and copied into a
    // third, each run cancelled at a random point, while a list of the files
    // is sorted again and again and loses each entry whose file the job
    // reports gone (by persistent index). Afterwards every source content
    // exists exactly once in the two folders, each copy is complete, the
    // list holds exactly the files still in the source folder, and no
    // temporary file remains.
    void stress()
    {
        makeFiles(m_a, 200, 100);
        const auto originals = census({m_a});
        const QByteArray copies = RawPath::join(m_root, "c");
        QVERIFY(::mkdir(copies.constData(), 0755) == 0);
        QRandomGenerator random(20261209);
        QByteArray from = m_a;
        QByteArray to = m_b;

        for (int round = 0; round < 8; ++round) {
            const bool copying = round % 4 == 3;
            const QByteArray target = copying ? copies : to;
            QList<QByteArray> sources;
            FileListModel model;
            for (const QByteArray &path : allFiles(from)) {
                sources.append(path);
                FileListItem item;
                item.caption = QFile::decodeName(RawPath::baseName(path));
                item.size = random.bounded(1000);
                item.detailed = true;
                model.appendItem(item);
            }
            // Some names are in the copy folder already: replaced or kept both.
            if (copying) {
                for (const QByteArray &path : sources.mid(0, 6)) {
                    QFile copy(QFile::decodeName(RawPath::join(copies, RawPath::baseName(path))));
                    QVERIFY(copy.open(QIODevice::WriteOnly) && copy.write(readFile(path)) >= 0);
                }
            }
            QList<QPersistentModelIndex> items;
            for (int row = 0; row < model.count(); ++row)
                items.append(QPersistentModelIndex(model.index(row, 0)));

            ScriptedQuestions questions;
            for (int i = 0; i < 400; ++i)
                questions.replaceReplies.append(Reply{i % 2 ? Answer::KeepBoth : Answer::Yes, false});
            RecordingSink messages;
            FileOperationJob job(request(copying ? Operation::Copy : Operation::Move, sources, target), questions, messages);
            bool mismatch = false;
            connect(&job, &FileOperationJob::sourceLeft, this, [&](int index) {
                const QPersistentModelIndex &item = items.at(index);
                mismatch |= !item.isValid()
                    || model.caption(item.row()) != QFile::decodeName(RawPath::baseName(sources.at(index)));
                model.removeRows(item.row(), 1);
            });
            QTimer sorter;
            int k = 1;
            connect(&sorter, &QTimer::timeout, this, [&] { model.sortItems(k = k == 1 ? 3 : (k == 3 ? -1 : 1)); });
            sorter.start(1);
            QTimer::singleShot(int(random.bounded(copying ? 60 : 8)), &job, &FileOperationJob::cancel);
            runToEnd(job);
            sorter.stop();

            QVERIFY(!mismatch);
            QCOMPARE(messages.messages, QStringList());
            QCOMPARE(leftoverTemporaries(m_root), QList<QByteArray>());
            if (copying) {
                // Each copy is whole: its content is that of some original.
                for (const QByteArray &copy : allFiles(copies))
                    QVERIFY(originals.count(sha(readFile(copy))));
                removeTree(copies);
                QVERIFY(::mkdir(copies.constData(), 0755) == 0);
            } else {
                QStringList listed;
                for (int row = 0; row < model.count(); ++row)
                    listed << model.caption(row);
                QStringList there;
                for (const QByteArray &path : allFiles(from))
                    there << QFile::decodeName(RawPath::baseName(path));
                listed.sort();
                there.sort();
                QCOMPARE(listed, there);
                QCOMPARE(census({m_a, m_b}), originals);
                std::swap(from, to);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFileOperationJob)
#include "TestFileOperationJob.moc"
