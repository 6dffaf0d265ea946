// The reading pass makes exactly the cells and columns that a straightforward
// decode of each file (a fresh picture per file, the whole file in memory)
// makes: bitmaps, colour, grey and CMYK JPEG files, a damaged JPEG file and
// files of an import module's type, mixed so that large and small pictures
// follow each other through the pass's reused memory.
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "ImageFiles.h"
#include "JpegBuilder.h"
#include "decode/BmpDecoder.h"
#include "decode/ImageLoader.h"
#include "decode/JpegDecoder.h"
#include "listing/FileListModel.h"
#include "listing/ItemTexts.h"
#include "listing/ReadingPass.h"
#include "listing/ThumbnailCache.h"
#include "listing/ThumbnailCell.h"
#include "listing/ThumbnailList.h"
#include "platform/MessageSink.h"
#include "plugin/TSpi.h"

#include "FakeModuleReading.h"

using namespace pelandor;
using namespace testfiles;

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

struct Expected {
    QImage cell;
    QStringList texts; // the detail columns
};

// One file decoded the plain way: its bytes read whole into a fresh picture.
Expected straightforward(const QString &folder, const QString &name, MessageSink &messages)
{
    const QString path = folder + QLatin1Char('/') + name;
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    const auto *data = reinterpret_cast<const uchar *>(bytes.constData());
    Bitmap picture;
    int depth = 0;
    const QString ext = name.section(QLatin1Char('.'), -1).toLower();
    if (ext == QLatin1String("bmp")) {
        if (decodeBmp(data, size_t(bytes.size()), picture))
            depth = Bitmap::bitDepthOf(picture.pixelFormat());
    } else if (ext == QLatin1String("jpg")) {
        if (decodeJpeg(data, size_t(bytes.size()), picture) == JpegResult::Ok)
            depth = Bitmap::bitDepthOf(picture.pixelFormat());
    } else {
        TSpi host(QFileInfo(folder + QStringLiteral("/../modules")).absoluteFilePath(), messages);
        host.LoadSpi(FakeModule);
        PictureInfo record{};
        LoadImageToBitmap(false, &host, picture, record, path, QStringLiteral("*.fak"));
        depth = record.bitDepth;
        host.FreeSpi();
    }
    Expected e;
    e.cell = ThumbnailCell::compose(picture);
    e.texts = {typeDescription(name), sizeText(bytes.size()), FileDateText(path),
               imageSizeText(picture.width(), picture.height()),
               colorsText(picture.width(), picture.height(), int16_t(depth))};
    return e;
}

void gradient(int x, int y, unsigned char *px)
{
    px[0] = uchar(x * 3);
    px[1] = uchar(y * 5);
    px[2] = uchar(x + y);
}

void greyRamp(int x, int y, unsigned char *px)
{
    px[0] = uchar((x * 7 + y * 3) & 0xFF);
}

void inks(int x, int y, unsigned char *px)
{
    px[0] = uchar(x * 4);
    px[1] = uchar(y * 4);
    px[2] = uchar(255 - x * 2);
    px[3] = uchar(y);
}

} // namespace

class TestReadingIdentity : public QObject {
    Q_OBJECT

    QTemporaryDir m_root;
    QString m_folder;
    QString m_modules;

private slots:
    void initTestCase()
    {
        m_folder = m_root.filePath(QStringLiteral("images"));
        m_modules = m_root.filePath(QStringLiteral("modules"));
        QVERIFY(QDir().mkpath(m_folder));
        QVERIFY(QDir().mkpath(m_modules));
        QVERIFY(QFile::copy(QStringLiteral(PELANDOR_TEST_MODULE_DIR "/") + FakeModule,
                            m_modules + QLatin1Char('/') + FakeModule));
        const QString f = m_folder + QLatin1Char('/');
        writeBytes(f + QStringLiteral("large.jpg"), testjpeg::make(testjpeg::Kind::Rgb, 1200, 700, gradient));
        writeBytes(f + QStringLiteral("grey.jpg"), testjpeg::make(testjpeg::Kind::Grey, 300, 200, greyRamp));
        writeBytes(f + QStringLiteral("cmyk.jpg"), testjpeg::make(testjpeg::Kind::CmykAdobe, 190, 240, inks));
        writeBytes(f + QStringLiteral("plaincmyk.jpg"), testjpeg::make(testjpeg::Kind::CmykPlain, 240, 200, inks));
        writeBytes(f + QStringLiteral("small.jpg"), testjpeg::make(testjpeg::Kind::Rgb, 33, 17, gradient));
        writeBytes(f + QStringLiteral("damaged.jpg"), QByteArray("\xFF\xD8") + QByteArray(300, '\x5A'));
        QVERIFY(writeBmpFile(f + QStringLiteral("wide.bmp"), solid(500, 80, qRgb(10, 200, 30))));
        QVERIFY(writeBmpFile(f + QStringLiteral("palette.bmp"), solid(200, 200, qRgb(90, 90, 90)), PixelFormat::Bits8));
        QVERIFY(writeText(f + QStringLiteral("broken.bmp"), "BM not really"));
        QVERIFY(writeText(f + QStringLiteral("a.fak"), "FAKE rgb24"));
        QVERIFY(writeText(f + QStringLiteral("b.fak"), "FAKE pal8"));
        QVERIFY(writeText(f + QStringLiteral("c.fak"), "FAKE fail"));
    }

    // Decoded (bitmaps and JPEG files partly on the read-ahead's worker),
    // decoded while filling the thumbnail cache, and taken from the cache.
    void sameAsStraightforwardDecode_data()
    {
        QTest::addColumn<int>("passes");
        QTest::addColumn<bool>("cached");
        QTest::newRow("decoded") << 1 << false;
        QTest::newRow("filling the cache") << 1 << true;
        QTest::newRow("from the cache") << 2 << true;
    }
    void sameAsStraightforwardDecode()
    {
        QFETCH(int, passes);
        QFETCH(bool, cached);
        QTemporaryDir cacheFolder;
        ThumbnailCache cache(cacheFolder.path());
        CollectingSink messages;
        TSpi host(m_modules, messages);
        FileListModel model;
        for (int i = 0; i < passes; ++i) {
            model.clear();
            model.thumbnails()->clear();
            messages.messages.clear();
            ReadingPass pass(model, host, false);
            if (cached)
                pass.setCache(&cache);
            QVERIFY(pass.run(m_folder, fakeModuleTypes(), int(fakeModuleTypes().size()) - 1));
        }
        if (cached) // every file but the three that fail and the small one
            QCOMPARE(QDir(cacheFolder.path()).entryList(QDir::Files).size(), 8);
        QCOMPARE(model.count(), 12);
        // Cells found in the cache are left there until asked for: only the
        // small picture's and the module's two are in memory.
        if (passes == 2)
            QCOMPARE(model.thumbnails()->heldBytes(), 3 * qint64(ThumbnailCell::Size) * ThumbnailCell::Size * 3);
        CollectingSink referenceMessages;
        for (int row = 0; row < model.count(); ++row) {
            const QString name = model.caption(row);
            const Expected e = straightforward(m_folder, name, referenceMessages);
            for (int i = 0; i < FileListItem::SubItemCount; ++i)
                QCOMPARE(model.subItem(row, i), e.texts[i]);
            QCOMPARE(model.thumbnails()->cell(model.imageIndex(row)), e.cell);
        }
        // The module's failure is reported as often as the plain way reports it.
        QCOMPARE(messages.messages, referenceMessages.messages);
        QVERIFY(!messages.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReadingIdentity)
#include "TestReadingIdentity.moc"
