// Files given on the command line: the folder, the type entry, the files to
// select and view, and the paths that do not exist.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "app/FileArguments.h"
#include "listing/FileListModel.h"

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
        QTemporaryDir dir;
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
        QTemporaryDir dir;
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
};

QTEST_GUILESS_MAIN(TestFileArguments)
#include "TestFileArguments.moc"
