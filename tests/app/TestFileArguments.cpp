// Files given on the command line: the folder, the type entry, the files to
// select and view, and the paths that do not exist.
#include <QDir>
#include <QFile>
#include "../TemporaryFolder.h"
#include <QTest>

#include "app/FileArguments.h"
#include "listing/FileListModel.h"
#include "platform/NativeName.h"

#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace pelandor;

namespace {

const ImageTypeList Entries{{"*.BMP", ""}, {"*.JPG", ""}, {"*.png", "png.spi"}, {"全ての画像ﾌｧｲﾙ", ""}};

QString touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

class TestFileArguments : public QObject {
    Q_OBJECT
private slots:
    void firstFileChoosesFolderAndType()
    {
        TemporaryFolder dir;
        const QString a = touch(dir.filePath("a/photo.jpeg"));
        const QString b = touch(dir.filePath("a/scan.bmp"));
        const QString other = touch(dir.filePath("b/x.png"));
        const QString gone = dir.filePath("a/gone.jpg");
        const FileArguments args = FileArguments::resolve({gone, a, b, other}, Entries);
        QCOMPARE(args.folder, QFileInfo(a).absolutePath());
        QVERIFY(!args.folderGiven);
        QCOMPARE(args.typeIndex, 1); // .jpeg is read by the JPEG entry
        QCOMPARE(args.files, (QStringList{a, b, other}));
        QCOMPARE(args.missing, QStringList{gone});
    }

    void folderOrUnknownType()
    {
        TemporaryFolder dir;
        const QString text = touch(dir.filePath("notes.txt"));
        FileArguments args = FileArguments::resolve({text}, Entries);
        QCOMPARE(args.typeIndex, -1); // no entry reads it: the selector stays
        QCOMPARE(args.files, QStringList{text});

        args = FileArguments::resolve({dir.path(), text}, Entries);
        QVERIFY(args.folderGiven);
        QCOMPARE(args.folder, QDir(dir.path()).absolutePath());
        QVERIFY(args.files.isEmpty());
    }

    void rowsInListOrderFirstGivenIsCurrent()
    {
        FileListModel model;
        for (const char *name : {"a.jpg", "b.jpg", "c.jpg", "d.jpg"})
            model.setCaption(model.appendPlaceholder(), QString::fromLatin1(name));
        const FileArguments::Selection selection =
            FileArguments::rowsOf(model, "/p", {"/p/c.jpg", "/q/a.jpg", "/p/b.jpg", "/p/missing.jpg"});
        QCOMPARE(selection.rows, (QList<int>{1, 2})); // a.jpg of another folder is not this a.jpg
        QCOMPARE(selection.firstRow, 2);
    }

    // A name that is not UTF-8, also in a folder whose name is not and given
    // relative to it, keeps its bytes all the way to its row.
    void nameThatIsNotUtf8_data()
    {
        QTest::addColumn<bool>("relative");
        QTest::newRow("absolute") << false;
        QTest::newRow("relative to a folder that is not UTF-8") << true;
    }
    void nameThatIsNotUtf8()
    {
        QFETCH(bool, relative);
        TemporaryFolder dir;
        const QByteArray folder = QFile::encodeName(dir.path()) + "/\x90\x91";
        QVERIFY(::mkdir(folder.constData(), 0755) == 0);
        const QByteArray name = "\x82\xa0\x83J.bmp";
        const int fd = ::open((folder + '/' + name).constData(), O_WRONLY | O_CREAT, 0644);
        QVERIFY(fd >= 0);
        ::close(fd);
        char previous[PATH_MAX];
        QVERIFY(::getcwd(previous, sizeof previous));
        QVERIFY(::chdir(folder.constData()) == 0);
        const FileArguments args =
            FileArguments::resolve({NativeName::decode(relative ? name : folder + '/' + name)}, Entries);
        QVERIFY(::chdir(previous) == 0);
        QCOMPARE(args.missing, QStringList{});
        QCOMPARE(NativeName::encode(args.files.value(0)), folder + '/' + name);
        QCOMPARE(NativeName::encode(args.folder), folder);
        QCOMPARE(args.typeIndex, 0);
        FileListModel model;
        model.setCaption(model.appendPlaceholder(), QStringLiteral("a.bmp"));
        model.setCaption(model.appendPlaceholder(), NativeName::decode(name));
        const FileArguments::Selection selection = FileArguments::rowsOf(model, args.folder, args.files);
        QCOMPARE(selection.rows, QList<int>{1});
        QCOMPARE(selection.firstRow, 1);
    }
};

QTEST_GUILESS_MAIN(TestFileArguments)
#include "TestFileArguments.moc"
