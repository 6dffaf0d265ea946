// The shipped PNG module through the plug-in host: every PNG colour type
// Qt writes, transparency laid over white, a leading 128-byte header, and
// files the module must refuse.
#include <QBuffer>
#include <QTest>

#include "ImportModuleFixture.h"

using namespace pelandor;

namespace {

// The sample picture in `format`; only ARGB32 keeps its transparent pixels.
QImage sampleInFormat(QImage::Format format)
{
    if (format == QImage::Format_ARGB32)
        return sampleImage(true);
    const QImage image = sampleImage(false);
    if (format == QImage::Format_Indexed8 || format == QImage::Format_Mono)
        return image.convertToFormat(format, Qt::ThresholdDither | Qt::AvoidDither);
    return image.convertToFormat(format);
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

    ImportModuleFixture m_module;

private slots:
    void initTestCase() { m_module.setUp(QStringLiteral(PELANDOR_PNG_MODULE), QStringLiteral("png.spi"), this); }

    void init() { m_module.load(); }

    void announcesPngFiles()
    {
        const TypeListBuilder::Result result = m_module.typeList();
        QVERIFY(result.entries.contains(ImageTypeEntry{QStringLiteral("*.png"), QStringLiteral("png.spi")}));
        QCOMPARE(result.entries.last().text, allImageFilesText());
        QVERIFY(m_module.messages().isEmpty());
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
        const QImage source = sampleInFormat(QImage::Format(format));
        const QByteArray content = pngBytes(source);
        QVERIFY(!content.isEmpty());
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("picture.png"), content, afterHeader, target);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(target.pixelFormat(), PixelFormat::Bits24);
        QCOMPARE(coloursOf(target.image()), overWhite(source));
        m_module.checkInfo(path, afterHeader ? 128 : 0, QSize(3, 2), depth);
    }

    void refusesBrokenFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray png = pngBytes(sampleInFormat(QImage::Format_RGB32));
        QTest::newRow("not a png") << QByteArray("GIF89a and more text") << QStringLiteral("Error:IsSupported");
        QTest::newRow("signature only") << png.left(8) << QStringLiteral("Error:GetPicture");
        QTest::newRow("cut in the pixel data") << png.left(png.size() - 20) << QStringLiteral("Error:GetPicture");
    }

    void refusesBrokenFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        m_module.checkRefused(QStringLiteral("broken.png"), content, message);
    }
};

QTEST_MAIN(TestPngImport)
#include "TestPngImport.moc"
