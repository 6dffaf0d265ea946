// The tool list in the settings store: what a settings file yields when it is
// loaded (including damaged counts and wrong types, with their messages), what
// a save writes, that a save is all or nothing, that an unreadable file is
// kept aside, and that two instances writing at once never corrupt the file.
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTest>
#include <unistd.h>

#include "ToolTestSupport.h"
#include "platform/PelandorError.h"
#include "tools/RegistryTree.h"
#include "tools/SettingsStore.h"
#include "tools/ToolList.h"
#include "tools/ToolStore.h"

using namespace pelandor;

namespace {

const QByteArray kHead = "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools]\n";
// The key as the first start leaves it.
const QByteArray kZeroCount = "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools]\n\"Count\"=dword:00000000\n";

ToolList toolsOf(const QStringList &namesAndFiles)
{
    ToolList tools;
    for (qsizetype i = 0; i + 1 < namesAndFiles.size(); i += 2)
        tools.append(namesAndFiles[i], namesAndFiles[i + 1]);
    return tools;
}

// The message of the error `f` raises, empty when it raises none.
template <typename F> QString errorOf(F &&f)
{
    try {
        f();
    } catch (const PelandorError &e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestToolStore : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path() const { return m_dir.filePath(QStringLiteral("pelandor/settings.reg")); }

private slots:
    void init()
    {
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(m_dir.filePath(QStringLiteral("pelandor")));
    }

    void savedFileIsARegistryExport()
    {
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        SaveTools(store, toolsOf({"GIMP \"2\"", "C:\\Tools\\gimp.exe", "ﾋﾞｭｰｱ", "/usr/bin/eog"}));
        QCOMPARE(readAllOf(path()),
                 QByteArray("REGEDIT4\n\n"
                            "[HKEY_CURRENT_USER\\Software]\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Tobrek]\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor]\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools]\n"
                            "\"Count\"=dword:00000002\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\0]\n"
                            "\"Exe_file\"=\"C:\\\\Tools\\\\gimp.exe\"\n"
                            "\"Name\"=\"GIMP \\\"2\\\"\"\n\n"
                            "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\1]\n"
                            "\"Exe_file\"=\"/usr/bin/eog\"\n"
                            "\"Name\"=\"") + QStringLiteral("ﾋﾞｭｰｱ").toUtf8() + "\"\n\n");
    }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("namesAndFiles");
        QTest::newRow("empty list") << QStringList();
        QTest::newRow("blanks") << QStringList{" my tool ", "/opt/my tools/run it"};
        QTest::newRow("Japanese") << QStringList{"画像編集ﾂｰﾙ", "/home/ユーザー/ツール/編集"};
        QTest::newRow("backslashes and quotes")
            << QStringList{"a\\\"b\"\\", "C:\\Program Files\\x\\", "\"", "\\\\server\\share"};
        QTest::newRow("empty texts and duplicates") << QStringList{"", "", "same", "/a", "same", "/a"};
        QTest::newRow("line breaks and brackets") << QStringList{"two\nlines\r\n", "[x]\n\"=dword:1"};
        QTest::newRow("ampersand and semicolon") << QStringList{"&Edit; it", ";/bin/true"};
        QTest::newRow("byte order mark first")
            << QStringList{QStringLiteral("\uFEFFname"), QStringLiteral("\uFEFF"), QStringLiteral("a\uFEFF"), "/b"};
    }
    void roundTrip()
    {
        QFETCH(QStringList, namesAndFiles);
        const ToolList saved = toolsOf(namesAndFiles);
        RecordingMessageSink messages;
        {
            SettingsStore store(path(), messages);
            SaveTools(store, saved);
        }
        SettingsStore other(path(), messages);
        ToolList loaded;
        LoadTools(other, loaded);
        QCOMPARE(loaded.ToolNames(), saved.ToolNames());
        QCOMPARE(loaded.ToolExeFiles(), saved.ToolExeFiles());
        QVERIFY(messages.messages.isEmpty());
    }

    void load_data()
    {
        QTest::addColumn<QByteArray>("file"); // empty: no file at all
        QTest::addColumn<QStringList>("namesAndFiles");
        QTest::addColumn<QString>("error");
        const QByteArray tool0 = "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\0]\n"
                                 "\"Exe_file\"=\"/bin/a\"\n\"Name\"=\"A\"\n";
        const QByteArray tool1 = "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\1]\n";
        QTest::newRow("first start") << QByteArray() << QStringList() << QString();
        QTest::newRow("count missing") << "REGEDIT4\n" + tool0 << QStringList() << QString();
        QTest::newRow("count 0") << kHead + "\"Count\"=dword:0\n" + tool0 << QStringList() << QString();
        QTest::newRow("count negative") << kHead + "\"Count\"=dword:ffffffff\n" + tool0 << QStringList() << QString();
        QTest::newRow("count larger than the subkeys")
            << kHead + "\"Count\"=dword:3\n" + tool0 << QStringList{"A", "/bin/a", "", "", "", ""} << QString();
        QTest::newRow("subkeys past the count ignored")
            << kHead + "\"Count\"=dword:1\n" + tool0 + tool1 + "\"Name\"=\"B\"\n" << QStringList{"A", "/bin/a"}
            << QString();
        QTest::newRow("name without program") << kHead + "\"Count\"=dword:2\n" + tool0 + tool1 + "\"Name\"=\"B\"\n"
                                              << QStringList{"A", "/bin/a", "B", ""} << QString();
        QTest::newRow("expandable text taken unchanged")
            << kHead + "\"Count\"=dword:1\n[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\0]\n"
                       "\"Exe_file\"=hex(2):24,48,4f,4d,45,2f,78,00\n\"Name\"=\"x\"\n"
            << QStringList{"x", "$HOME/x"} << QString();
        QTest::newRow("value without data reads empty")
            << kHead + "\"Count\"=dword:2\n" + tool0 + tool1 + "\"Exe_file\"=hex:\n\"Name\"=\"B\"\n"
            << QStringList{"A", "/bin/a", "B", ""} << QString();
        QTest::newRow("count as text") << kHead + "\"Count\"=\"1\"\n" + tool0 << QStringList()
                                       << "'Count' のﾃﾞｰﾀ型が不正です";
        QTest::newRow("count longer than 4 bytes")
            << kHead + "\"Count\"=hex(4):01,00,00,00,00,00,00,00\n" + tool0 << QStringList()
            << "'Count' の取得に失敗しました";
        QTest::newRow("program as number, tools before it kept")
            << kHead + "\"Count\"=dword:2\n" + tool0 + tool1 + "\"Exe_file\"=dword:1\n\"Name\"=\"B\"\n"
            << QStringList{"A", "/bin/a"} << "'Exe_file' のﾃﾞｰﾀ型が不正です";
        QTest::newRow("name as binary") << kHead + "\"Count\"=dword:2\n" + tool0 + tool1 + "\"Name\"=hex:41\n"
                                        << QStringList{"A", "/bin/a"} << "'Name' のﾃﾞｰﾀ型が不正です";
    }
    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(QStringList, namesAndFiles);
        QFETCH(QString, error);
        if (!file.isEmpty())
            QVERIFY(writeAllTo(path(), file));
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        ToolList tools;
        QCOMPARE(errorOf([&] { LoadTools(store, tools); }), error);
        QCOMPARE(tools, toolsOf(namesAndFiles));
        QVERIFY(messages.messages.isEmpty());
        // A load writes only a missing count.
        const QByteArray after = readAllOf(path());
        if (file.isEmpty() || !file.contains("Count"))
            QVERIFY(after.contains(kZeroCount));
        else
            QCOMPARE(after, file);
    }

    void hugeCountIsReported_data()
    {
        QTest::addColumn<QByteArray>("count");
        QTest::addColumn<int>("tools");
        QTest::newRow("largest") << QByteArray("7fffffff") << -1;
        QTest::newRow("one above the bound") << QByteArray::number(MaxToolCount + 1, 16) << -1;
        QTest::newRow("the bound") << QByteArray::number(MaxToolCount, 16) << MaxToolCount;
    }
    void hugeCountIsReported()
    {
        QFETCH(QByteArray, count);
        QFETCH(int, tools);
        QVERIFY(writeAllTo(path(), kHead + "\"Count\"=dword:" + count + "\n"));
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        ToolList loaded;
        const QString error = errorOf([&] { LoadTools(store, loaded); });
        if (tools < 0) {
            QCOMPARE(error, QStringLiteral("'Count' の取得に失敗しました"));
            QCOMPARE(loaded.ToolCount(), 0);
        } else {
            QCOMPARE(error, QString());
            QCOMPARE(loaded.ToolCount(), tools);
        }
    }

    void saveAfterDeletingTheFirstToolRenumbers()
    {
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        SaveTools(store, toolsOf({"A", "/a", "B", "/b", "C", "/c"}));
        ToolList tools;
        LoadTools(store, tools);
        tools.removeAt(0);
        SaveTools(store, tools);
        const QByteArray file = readAllOf(path());
        QVERIFY(file.contains("Tools\\0]\n\"Exe_file\"=\"/b\"\n\"Name\"=\"B\"\n"));
        QVERIFY(file.contains("Tools\\1]\n\"Exe_file\"=\"/c\"\n\"Name\"=\"C\"\n"));
        QVERIFY(!file.contains("Tools\\2]"));
        QVERIFY(file.contains("\"Count\"=dword:00000002\n"));
    }

    void deleteRegistryInfo()
    {
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        // Nothing stored yet: no error.
        QCOMPARE(errorOf([&] { DeleteRegistryInfo(store); }), QString());
        SaveTools(store, toolsOf({"A", "/a"}));
        DeleteRegistryInfo(store);
        const QByteArray file = readAllOf(path());
        QVERIFY(file.contains("[HKEY_CURRENT_USER\\Software\\Tobrek]\n"));
        QVERIFY(!file.contains("Pelandor"));
        ToolList tools;
        LoadTools(store, tools);
        QCOMPARE(tools.ToolCount(), 0);
        QVERIFY(readAllOf(path()).contains(kZeroCount));
    }

    void unreadableFileIsKeptAside_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("line");
        QTest::newRow("not an export") << QByteArray("[Tools]\nCount=1\n") << 1;
        QTest::newRow("single backslashes") << kHead + "\"Count\"=dword:1\n\n[HKEY_CURRENT_USER\\x]\n\"Exe_file\"=\"C:\\Tools\"\n" << 7;
        QTest::newRow("not UTF-8") << kHead + "\"Count\"=dword:1\n\"Name\"=\"\xff\xfe\"\n" << 5;
        QTest::newRow("value before a key") << QByteArray("REGEDIT4\n\"Count\"=dword:1\n") << 2;
        QTest::newRow("outside the user's hive") << QByteArray("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software]\n") << 3;
        QTest::newRow("cut hex list") << kHead + "\"Name\"=hex(2):41,\\" << 4;
        QTest::newRow("bad dword") << kHead + "\"Count\"=dword:123456789\n" << 4;
        // Deeper than the registry allows: a key 200,000 levels deep ran the
        // program out of stack.
        QTest::newRow("key too deep")
            << "REGEDIT4\n\n[HKEY_CURRENT_USER" + QByteArray("\\k").repeated(RegistryTree::MaxDepth + 1) + "]\n" << 3;
    }
    void unreadableFileIsKeptAside()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, line);
        QVERIFY(writeAllTo(path(), file));
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        ToolList tools;
        LoadTools(store, tools);
        QCOMPARE(tools.ToolCount(), 0);
        QCOMPARE(messages.messages.size(), 1);
        QVERIFY2(messages.messages[0].contains(path()), qPrintable(messages.messages[0]));
        QVERIFY2(messages.messages[0].contains(QStringLiteral(" %1 行目").arg(line)), qPrintable(messages.messages[0]));
        const QStringList aside =
            QDir(QFileInfo(path()).path()).entryList({QStringLiteral("settings.reg.broken-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(readAllOf(QFileInfo(path()).path() + QLatin1Char('/') + aside[0]), file);
        QVERIFY(messages.messages[0].contains(aside[0]));
        QVERIFY(readAllOf(path()).contains(kZeroCount));
    }

    void failedSaveKeepsTheStoredList_data()
    {
        QTest::addColumn<bool>("readOnlyFolder");
        QTest::newRow("failing writer") << false;
        QTest::newRow("read-only folder") << true;
    }
    void failedSaveKeepsTheStoredList()
    {
        QFETCH(bool, readOnlyFolder);
        if (readOnlyFolder && ::geteuid() == 0)
            QSKIP("a read-only folder does not stop root from writing");
        RecordingMessageSink messages;
        {
            SettingsStore store(path(), messages);
            SaveTools(store, toolsOf({"A", "/a", "B", "/b"}));
        }
        const QByteArray before = readAllOf(path());
        const QString folder = QFileInfo(path()).path();
        SettingsStore::FileWriter failing = [](const QString &, const QByteArray &, QString *error) {
            *error = QStringLiteral("No space left on device");
            return false;
        };
        SettingsStore store(path(), messages, readOnlyFolder ? SettingsStore::FileWriter() : failing);
        // The lock file lives beside the settings; keep it creatable.
        if (readOnlyFolder)
            QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        const QString error = errorOf([&] { SaveTools(store, toolsOf({"C", "/c"})); });
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY2(error.startsWith(QStringLiteral("'Count' の設定に失敗しました\n")), qPrintable(error));
        QVERIFY(error.contains(path()));
        QCOMPARE(readAllOf(path()), before);
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // A folder that cannot be written (here: the lock file's name is taken by
    // a folder, which stops root as well as anyone, unlike a mode bit) still
    // lets a valid settings file be read, without waiting for a lock, and
    // says once that changes cannot be saved; a save fails and changes nothing.
    void unwritableFolderStillLoads()
    {
        const QByteArray file = kHead + "\"Count\"=dword:1\n"
                                        "[HKEY_CURRENT_USER\\Software\\Tobrek\\Pelandor\\Tools\\0]\n"
                                        "\"Exe_file\"=\"/bin/a\"\n\"Name\"=\"A\"\n";
        QVERIFY(writeAllTo(path(), file));
        QVERIFY(QDir().mkdir(path() + QStringLiteral(".lock")));
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        QElapsedTimer timer;
        timer.start();
        for (int load = 0; load < 2; ++load) {
            ToolList tools;
            QCOMPARE(errorOf([&] { LoadTools(store, tools); }), QString());
            QCOMPARE(tools, toolsOf({"A", "/bin/a"}));
        }
        QVERIFY(timer.elapsed() < SettingsStore::LockTimeoutMs / 2);
        QCOMPARE(messages.messages.size(), 1);
        QVERIFY2(messages.messages[0].contains(QStringLiteral("保存できません")), qPrintable(messages.messages[0]));
        const QString error = errorOf([&] { SaveTools(store, toolsOf({"C", "/c"})); });
        QVERIFY2(error.startsWith(QStringLiteral("'Count' の設定に失敗しました\n")), qPrintable(error));
        QCOMPARE(readAllOf(path()), file);
        QCOMPARE(messages.messages.size(), 1);
    }

    void twoWritersNeverCorruptTheFile()
    {
        // Two programs save different whole lists over and over while this
        // one loads: every load must see one whole list of one writer.
        QList<QProcess *> writers;
        for (const char *tag : {"first", "second"}) {
            auto *writer = new QProcess(this);
            writer->setProcessChannelMode(QProcess::ForwardedChannels);
            writer->start(QStringLiteral(PELANDOR_SETTINGS_WRITER), {path(), QLatin1String(tag), QStringLiteral("100")});
            QVERIFY(writer->waitForStarted());
            writers.append(writer);
        }
        RecordingMessageSink messages;
        SettingsStore store(path(), messages);
        for (int load = 0; load < 40; ++load) {
            ToolList tools;
            LoadTools(store, tools);
            QVERIFY2(messages.messages.isEmpty(), qPrintable(messages.messages.value(0)));
            const QString tag = tools.ToolNames().value(0).section(QLatin1Char(':'), 0, 0);
            for (int i = 0; i < tools.ToolCount(); ++i) {
                QCOMPARE(tools.ToolNames()[i], QStringLiteral("%1:%2/%3").arg(tag).arg(i).arg(tools.ToolCount()));
                QCOMPARE(tools.ToolExeFiles()[i], QStringLiteral("/opt/%1/tool %2").arg(tag).arg(i));
            }
        }
        for (QProcess *w : writers) {
            QVERIFY(w->state() == QProcess::NotRunning || w->waitForFinished(60000));
            QCOMPARE(w->exitStatus(), QProcess::NormalExit);
            QCOMPARE(w->exitCode(), 0);
        }
        // Both wrote 100 rounds; the last save of either leaves 5 whole tools.
        ToolList last;
        LoadTools(store, last);
        QCOMPARE(last.ToolCount(), 5);
    }
};

QTEST_GUILESS_MAIN(TestToolStore)
#include "TestToolStore.moc"
