// The shipped PNG module through the plug-in host: every PNG colour type
// Qt writes, transparency laid over white, a leading 128-byte header, and
// files the module must refuse.
#include <QBuffer>
#include <QTemporaryDir>
#include <QTest>

#include "TestModules.h"
#include "decode/Bitmap.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"

using namespace pelandor;

namespace {

QImage sampleImage(QImage::Format format)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb colours[6] = {qRgba(255, 0, 0, 255), qRgba(0, 255, 0, 255), qRgba(0, 0, 255, 255),
                             qRgba(255, 255, 255, 255), qRgba(0, 0, 0, 255), qRgba(128, 64, 32, 255)};
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, colours[i]);
    if (format == QImage::Format_ARGB32) {
        image.setPixel(0, 0, qRgba(255, 0, 0, 0));
        image.setPixel(1, 0, qRgba(0, 0, 0, 128));
        return image;
    }
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono)
        return image.convertToFormat(format, Qt::ThresholdDither | Qt::AvoidDither);
    return image.convertToFormat(format);
}

// What the module makes of `image`: each pixel laid over white.
QList<QRgb> expectedColours(const QImage &image)
{
    QList<QRgb> colours;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QRgb c = argb.pixel(x, y);
            const int a = qAlpha(c);
            auto over = [a](int v) { return (v * a + 255 * (255 - a) + 127) / 255; };
            colours.append(qRgb(over(qRed(c)), over(qGreen(c)), over(qBlue(c))));
        }
    }
    return colours;
}

QList<QRgb> coloursOf(const QImage &image)
{
    QList<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.append(image.pixel(x, y) | 0xFF000000u);
    return colours;
}

QByteArray pngBytes(const QImage &image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

} // namespace

class TestPngImport : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    RecordingSink m_sink;
    TSpi *m_host = nullptr;

    QString writeFile(const QString &name, const QByteArray &content)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return QString();
        return file.fileName();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QFile::copy(QStringLiteral(PELANDOR_PNG_MODULE), m_dir.filePath(QStringLiteral("png.spi"))));
        m_host = new TSpi(m_dir.path(), m_sink, this);
    }

    void init()
    {
        m_sink.messages.clear();
        m_host->LoadSpi(QStringLiteral("png.spi"));
        QVERIFY(m_host->isLoaded());
    }

    void announcesPngFiles()
    {
        m_host->FreeSpi();
        const TypeListBuilder::Result result = TypeListBuilder::build(*m_host, m_dir.path());
        QVERIFY(result.entries.contains(ImageTypeEntry{QStringLiteral("*.png"), QStringLiteral("png.spi")}));
        QCOMPARE(result.entries.last().text, allImageFilesText());
        QVERIFY(m_sink.messages.isEmpty());
    }

    void decodes_data()
    {
        QTest::addColumn<int>("format");
        QTest::addColumn<int>("depth");
        QTest::addColumn<bool>("afterHeader");
        QTest::newRow("rgb") << int(QImage::Format_RGB32) << 24 << false;
        QTest::newRow("rgba over white") << int(QImage::Format_ARGB32) << 32 << false;
        QTest::newRow("palette") << int(QImage::Format_Indexed8) << 8 << false;
        QTest::newRow("1-bit") << int(QImage::Format_Mono) << 1 << false;
        QTest::newRow("grey") << int(QImage::Format_Grayscale8) << 8 << false;
        QTest::newRow("16-bit grey") << int(QImage::Format_Grayscale16) << 16 << false;
        QTest::newRow("after a 128-byte header") << int(QImage::Format_RGB32) << 24 << true;
    }

    void decodes()
    {
        QFETCH(int, format);
        QFETCH(int, depth);
        QFETCH(bool, afterHeader);
        const QImage source = sampleImage(QImage::Format(format));
        QByteArray content = pngBytes(source);
        QVERIFY(!content.isEmpty());
        if (afterHeader)
            content.prepend(QByteArray(128, 'h'));
        const QString path = writeFile(QStringLiteral("picture.png"), content);

        Bitmap target;
        target.assign(PixelFormat::Bits24, QImage(1, 1, QImage::Format_RGB888));
        QCOMPARE(m_host->GetBitmap(target, path), 0);
        QCOMPARE(m_sink.messages, QStringList());
        QCOMPARE(target.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(coloursOf(target.image()), expectedColours(source));

        PictureInfo info{};
        const QByteArray local = QFile::encodeName(path);
        QCOMPARE(m_host->GetPictureInfo(local.constData(), afterHeader ? 128 : 0, 0, &info), 0);
        QCOMPARE(info.width, 3);
        QCOMPARE(info.height, 2);
        QCOMPARE(int(info.bitDepth), depth);
    }

    void refusesBrokenFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray png = pngBytes(sampleImage(QImage::Format_RGB32));
        QTest::newRow("not a png") << QByteArray("GIF89a and more text") << QStringLiteral("Error:IsSupported");
        QTest::newRow("signature only") << png.left(8) << QStringLiteral("Error:GetPicture");
        QTest::newRow("cut in the pixel data") << png.left(png.size() - 20) << QStringLiteral("Error:GetPicture");
    }

    void refusesBrokenFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        Bitmap target;
        target.assign(PixelFormat::Bits24, QImage(4, 4, QImage::Format_RGB888));
        const QImage before = target.image();
        QVERIFY(m_host->GetBitmap(target, writeFile(QStringLiteral("broken.png"), content)) != 0);
        QCOMPARE(m_sink.messages, QStringList{message});
        QCOMPARE(target.image(), before);
    }
};

QTEST_MAIN(TestPngImport)
#include "TestPngImport.moc"
