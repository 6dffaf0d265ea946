// The shipped WebP module through the plug-in host: lossless and lossy
// pictures, transparency laid over white, the first frame of an animation, a
// leading 128-byte header, and files the module must refuse.
#include <QTest>

#include <webp/encode.h>
#include <webp/mux.h>

#include "ImportModuleFixture.h"

using namespace pelandor;

namespace {

enum class Encoding { Lossless, Lossy, Animation };

QByteArray takeEncoded(uint8_t *output, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(output), qsizetype(size));
    WebPFree(output);
    return bytes;
}

// One colour, which lossy coding keeps close (sharp colour edges it blurs);
// `alpha` makes the lower half half transparent.
QImage flatImage(bool alpha)
{
    QImage image(16, 8, QImage::Format_ARGB32);
    image.fill(qRgb(200, 40, 40));
    for (int y = image.height() / 2; alpha && y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            image.setPixel(x, y, qRgba(200, 40, 40, 128));
    return image;
}

// Two lossless frames, `first` and then its inverse.
QByteArray animationBytes(const QImage &first)
{
    WebPAnimEncoderOptions options;
    WebPConfig config;
    if (!WebPAnimEncoderOptionsInit(&options) || !WebPConfigInit(&config))
        return {};
    config.lossless = 1;
    WebPAnimEncoder *encoder = WebPAnimEncoderNew(first.width(), first.height(), &options);
    if (!encoder)
        return {};
    bool ok = true;
    const QImage frames[2] = {first.convertToFormat(QImage::Format_RGBA8888),
                              sampleImage(false, true).convertToFormat(QImage::Format_RGBA8888)};
    for (int i = 0; i < 2 && ok; ++i) {
        WebPPicture picture;
        ok = WebPPictureInit(&picture);
        picture.use_argb = 1;
        picture.width = frames[i].width();
        picture.height = frames[i].height();
        ok = ok && WebPPictureImportRGBA(&picture, frames[i].constBits(), int(frames[i].bytesPerLine()))
             && WebPAnimEncoderAdd(encoder, &picture, i * 100, &config);
        WebPPictureFree(&picture);
    }
    WebPData data;
    WebPDataInit(&data);
    ok = ok && WebPAnimEncoderAdd(encoder, nullptr, 200, nullptr) && WebPAnimEncoderAssemble(encoder, &data);
    const QByteArray bytes = ok ? QByteArray(reinterpret_cast<const char *>(data.bytes), qsizetype(data.size))
                                : QByteArray();
    WebPDataClear(&data);
    WebPAnimEncoderDelete(encoder);
    return bytes;
}

QByteArray webpBytes(const QImage &image, Encoding encoding)
{
    uint8_t *output = nullptr;
    if (encoding == Encoding::Animation)
        return animationBytes(image);
    if (image.hasAlphaChannel()) {
        const QImage rgba = image.convertToFormat(QImage::Format_RGBA8888);
        const size_t size = encoding == Encoding::Lossless
                                ? WebPEncodeLosslessRGBA(rgba.constBits(), rgba.width(), rgba.height(),
                                                         int(rgba.bytesPerLine()), &output)
                                : WebPEncodeRGBA(rgba.constBits(), rgba.width(), rgba.height(),
                                                 int(rgba.bytesPerLine()), 100, &output);
        return takeEncoded(output, size);
    }
    const QImage rgb = image.convertToFormat(QImage::Format_RGB888);
    const size_t size = encoding == Encoding::Lossless
                            ? WebPEncodeLosslessRGB(rgb.constBits(), rgb.width(), rgb.height(),
                                                    int(rgb.bytesPerLine()), &output)
                            : WebPEncodeRGB(rgb.constBits(), rgb.width(), rgb.height(), int(rgb.bytesPerLine()),
                                            100, &output);
    return takeEncoded(output, size);
}

} // namespace

Q_DECLARE_METATYPE(Encoding)

class TestWebpImport : public QObject {
    Q_OBJECT

    ImportModuleFixture m_module;

private slots:
    void initTestCase() { m_module.setUp(QStringLiteral(PELANDOR_WEBP_MODULE), QStringLiteral("webp.spi"), this); }

    void init() { m_module.load(); }

    void announcesWebpFiles()
    {
        const TypeListBuilder::Result result = m_module.typeList();
        QVERIFY(result.entries.contains(ImageTypeEntry{QStringLiteral("*.webp"), QStringLiteral("webp.spi")}));
        QVERIFY(m_module.messages().isEmpty());
    }

    void decodes_data()
    {
        QTest::addColumn<Encoding>("encoding");
        QTest::addColumn<bool>("alpha");
        QTest::addColumn<bool>("afterHeader");
        QTest::addColumn<int>("depth");
        QTest::newRow("lossless") << Encoding::Lossless << false << false << 24;
        QTest::newRow("lossless rgba over white") << Encoding::Lossless << true << false << 32;
        QTest::newRow("lossy") << Encoding::Lossy << false << false << 24;
        QTest::newRow("lossy rgba over white") << Encoding::Lossy << true << false << 32;
        QTest::newRow("first frame of an animation") << Encoding::Animation << true << false << 32;
        QTest::newRow("after a 128-byte header") << Encoding::Lossless << true << true << 32;
    }

    void decodes()
    {
        QFETCH(Encoding, encoding);
        QFETCH(bool, alpha);
        QFETCH(bool, afterHeader);
        QFETCH(int, depth);
        const QImage source = encoding == Encoding::Lossy ? flatImage(alpha) : sampleImage(alpha);
        const QByteArray content = webpBytes(source, encoding);
        QVERIFY(!content.isEmpty());
        QCOMPARE(content.contains("ANMF"), encoding == Encoding::Animation);
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("picture.webp"), content, afterHeader, target);
        if (QTest::currentTestFailed())
            return;
        const QList<QRgb> got = coloursOf(target.image());
        const QList<QRgb> want = overWhite(source);
        QCOMPARE(target.image().size(), source.size());
        if (encoding != Encoding::Lossy) {
            QCOMPARE(got, want);
        } else {
            for (int i = 0; i < want.size(); ++i) {
                const int distance = qMax(qMax(qAbs(qRed(got[i]) - qRed(want[i])),
                                               qAbs(qGreen(got[i]) - qGreen(want[i]))),
                                          qAbs(qBlue(got[i]) - qBlue(want[i])));
                QVERIFY2(distance <= 8, qPrintable(QStringLiteral("pixel %1: %2 instead of %3")
                                                        .arg(i)
                                                        .arg(got[i], 8, 16)
                                                        .arg(want[i], 8, 16)));
            }
        }
        m_module.checkInfo(path, afterHeader ? 128 : 0, source.size(), depth);
    }

    void refusesBrokenFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QImage large(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < large.height(); ++y)
            for (int x = 0; x < large.width(); ++x)
                large.setPixel(x, y, qRgb(x * 4, y * 4, (x * y) & 0xFF));
        const QByteArray webp = webpBytes(large, Encoding::Lossless);
        QVERIFY(webp.size() > 100);
        QTest::newRow("not a webp") << QByteArray("GIF89a and more text") << QStringLiteral("Error:IsSupported");
        QTest::newRow("container header only") << webp.left(12) << QStringLiteral("Error:GetPicture");
        QTest::newRow("cut in the picture data") << webp.left(webp.size() - 40) << QStringLiteral("Error:GetPicture");
        QTest::newRow("riff without webp data") << QByteArray("RIFF\x20\0\0\0WEBPJUNK\x10\0\0\0garbage garbage!", 36)
                                                << QStringLiteral("Error:GetPicture");
    }

    void refusesBrokenFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        m_module.checkRefused(QStringLiteral("broken.webp"), content, message);
    }
};

QTEST_MAIN(TestWebpImport)
#include "TestWebpImport.moc"
