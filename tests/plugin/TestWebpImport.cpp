// The shipped WebP module through the plug-in host: lossless and lossy
// pictures, transparency laid over white, the first frame of an animation, a
// leading 128-byte header, and files the module must refuse.
#include <QTemporaryDir>
#include <QTest>

#include <webp/encode.h>
#include <webp/mux.h>

#include "TestModules.h"
#include "decode/Bitmap.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"

using namespace pelandor;

namespace {

enum class Encoding { Lossless, Lossy, Animation };

// Six colours of a 3x2 picture; `alpha` makes two of them (partly) transparent.
QImage sampleImage(bool alpha, bool inverted = false)
{
    QImage image(3, 2, QImage::Format_ARGB32);
    const QRgb colours[6] = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255),
                             qRgb(255, 255, 255), qRgb(0, 0, 0), qRgb(128, 64, 32)};
    for (int i = 0; i < 6; ++i)
        image.setPixel(i % 3, i / 3, colours[i]);
    if (alpha) {
        image.setPixel(0, 0, qRgba(255, 0, 0, 0));
        image.setPixel(1, 0, qRgba(0, 0, 0, 128));
    }
    if (inverted)
        image.invertPixels();
    return image;
}

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

// Each pixel of `image` laid over white.
QList<QRgb> expectedColours(const QImage &image)
{
    QList<QRgb> colours;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
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

} // namespace

Q_DECLARE_METATYPE(Encoding)

class TestWebpImport : public QObject {
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
        QVERIFY(QFile::copy(QStringLiteral(PELANDOR_WEBP_MODULE), m_dir.filePath(QStringLiteral("webp.spi"))));
        m_host = new TSpi(m_dir.path(), m_sink, this);
    }

    void init()
    {
        m_sink.messages.clear();
        m_host->LoadSpi(QStringLiteral("webp.spi"));
        QVERIFY(m_host->isLoaded());
    }

    void announcesWebpFiles()
    {
        m_host->FreeSpi();
        const TypeListBuilder::Result result = TypeListBuilder::build(*m_host, m_dir.path());
        QVERIFY(result.entries.contains(ImageTypeEntry{QStringLiteral("*.webp"), QStringLiteral("webp.spi")}));
        QVERIFY(m_sink.messages.isEmpty());
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
        QByteArray content = webpBytes(source, encoding);
        QVERIFY(!content.isEmpty());
        QCOMPARE(content.contains("ANMF"), encoding == Encoding::Animation);
        if (afterHeader)
            content.prepend(QByteArray(128, 'h'));
        const QString path = writeFile(QStringLiteral("picture.webp"), content);

        Bitmap target;
        target.assign(PixelFormat::Bits24, QImage(1, 1, QImage::Format_RGB888));
        QCOMPARE(m_host->GetBitmap(target, path), 0);
        QCOMPARE(m_sink.messages, QStringList());
        const QList<QRgb> got = coloursOf(target.image());
        const QList<QRgb> want = expectedColours(source);
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

        PictureInfo info{};
        const QByteArray local = QFile::encodeName(path);
        QCOMPARE(m_host->GetPictureInfo(local.constData(), afterHeader ? 128 : 0, 0, &info), 0);
        QCOMPARE(info.width, source.width());
        QCOMPARE(info.height, source.height());
        QCOMPARE(int(info.bitDepth), depth);
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
        Bitmap target;
        target.assign(PixelFormat::Bits24, QImage(4, 4, QImage::Format_RGB888));
        const QImage before = target.image();
        QVERIFY(m_host->GetBitmap(target, writeFile(QStringLiteral("broken.webp"), content)) != 0);
        QCOMPARE(m_sink.messages, QStringList{message});
        QCOMPARE(target.image(), before);
    }
};

QTEST_MAIN(TestWebpImport)
#include "TestWebpImport.moc"
