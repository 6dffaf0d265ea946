// The shipped AVIF module through the plug-in host: pictures written by
// libavif in colour, grey, with transparency, with 10-bit samples, cropped,
// turned and mirrored by the file's boxes, after a 128-byte header; and files
// it must refuse: other formats (a HEIC file above all), cut and damaged
// files, pictures above the host's limits, a FIFO.
#include <QTest>

#include <avif/avif.h>

#include "ImportModuleFixture.h"
#include "IsoBoxes.h"

using namespace pelandor;

namespace {

// How a test file is written.
struct Writing {
    bool alpha = false;
    bool grey = false;
    int depth = 8;
    Orientation orientation = Orientation::Upright;
    // The clean aperture, when the file has one.
    QRect crop = {};
};

QByteArray avifBytes(const QImage &picture, const Writing &how)
{
    avifImage *image = avifImageCreate(uint32_t(picture.width()), uint32_t(picture.height()), uint32_t(how.depth),
                                       how.grey ? AVIF_PIXEL_FORMAT_YUV400 : AVIF_PIXEL_FORMAT_YUV444);
    if (!image)
        return {};
    image->yuvRange = AVIF_RANGE_FULL;
    if (how.orientation == Orientation::QuarterTurnAnticlockwise) {
        image->transformFlags |= AVIF_TRANSFORM_IROT;
        image->irot.angle = 1;
    } else if (how.orientation == Orientation::MirroredLeftRight) {
        image->transformFlags |= AVIF_TRANSFORM_IMIR;
        image->imir.mode = 1;
    }
    avifDiagnostics diagnostics{};
    const avifCropRect crop{uint32_t(how.crop.x()), uint32_t(how.crop.y()), uint32_t(how.crop.width()),
                            uint32_t(how.crop.height())};
    if (!how.crop.isNull()) {
        image->transformFlags |= AVIF_TRANSFORM_CLAP;
        if (!avifCleanApertureBoxConvertCropRect(&image->clap, &crop, image->width, image->height, image->yuvFormat,
                                                 &diagnostics)) {
            avifImageDestroy(image);
            return {};
        }
    }
    const QImage samples = picture.convertToFormat(how.alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    avifRGBImage rgb;
    avifRGBImageSetDefaults(&rgb, image);
    rgb.format = how.alpha ? AVIF_RGB_FORMAT_RGBA : AVIF_RGB_FORMAT_RGB;
    rgb.depth = 8;
    rgb.pixels = const_cast<uint8_t *>(samples.constBits());
    rgb.rowBytes = uint32_t(samples.bytesPerLine());
    avifEncoder *encoder = avifEncoderCreate();
    avifRWData output = AVIF_DATA_EMPTY;
    QByteArray bytes;
    if (encoder && avifImageRGBToYUV(image, &rgb) == AVIF_RESULT_OK) {
        encoder->speed = AVIF_SPEED_FASTEST;
        encoder->minQuantizer = encoder->maxQuantizer = AVIF_QUANTIZER_BEST_QUALITY;
        encoder->minQuantizerAlpha = encoder->maxQuantizerAlpha = AVIF_QUANTIZER_BEST_QUALITY;
        if (avifEncoderWrite(encoder, image, &output) == AVIF_RESULT_OK)
            bytes = QByteArray(reinterpret_cast<const char *>(output.data), qsizetype(output.size));
    }
    avifRWDataFree(&output);
    if (encoder)
        avifEncoderDestroy(encoder);
    avifImageDestroy(image);
    return bytes;
}

} // namespace

Q_DECLARE_METATYPE(Writing)

class TestAvifImport : public QObject {
    Q_OBJECT

    ImportModuleFixture m_module;

private slots:
    void initTestCase() { m_module.setUp(QStringLiteral(PELANDOR_AVIF_MODULE), QStringLiteral("avif.spi"), this); }

    void init() { m_module.load(); }

    void decodes_data()
    {
        QTest::addColumn<Writing>("how");
        QTest::addColumn<bool>("afterHeader");
        QTest::addColumn<int>("depth");
        QTest::newRow("colour") << Writing{} << false << 24;
        QTest::newRow("grey") << Writing{false, true} << false << 24;
        QTest::newRow("alpha over white") << Writing{true} << false << 32;
        QTest::newRow("10-bit") << Writing{false, false, 10} << false << 24;
        QTest::newRow("turned a quarter anticlockwise")
            << Writing{false, false, 8, Orientation::QuarterTurnAnticlockwise} << false << 24;
        QTest::newRow("mirrored left to right") << Writing{false, false, 8, Orientation::MirroredLeftRight} << false
                                                << 24;
        QTest::newRow("cropped to its clean aperture, then turned")
            << Writing{false, false, 8, Orientation::QuarterTurnAnticlockwise, QRect(8, 0, 24, 16)} << false << 24;
        QTest::newRow("after a 128-byte header") << Writing{true} << true << 32;
    }

    void decodes()
    {
        QFETCH(Writing, how);
        QFETCH(bool, afterHeader);
        QFETCH(int, depth);
        const QImage stored = blockImage(how.alpha, how.grey);
        const QByteArray content = avifBytes(stored, how);
        QVERIFY(!content.isEmpty());
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("picture.avif"), content, afterHeader, target);
        if (QTest::currentTestFailed())
            return;
        const QImage want = shown(how.crop.isNull() ? stored : stored.copy(how.crop), how.orientation);
        const QString wrong = differences(target.image(), want, 6);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        m_module.checkInfo(path, afterHeader ? 128 : 0, want.size(), depth);
    }

    void refuses_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("infoRefused");
        const QByteArray avif = avifBytes(blockImage(false), Writing{});
        QVERIFY(avif.size() > 100);
        QTest::newRow("not an avif") << QByteArray("GIF89a and more text") << QStringLiteral("Error:IsSupported")
                                     << true;
        QTest::newRow("a heic file") << heicSignature() << QStringLiteral("Error:IsSupported") << true;
        QTest::newRow("cut in half") << avif.left(avif.size() / 2) << QStringLiteral("Error:GetPicture") << false;
        QTest::newRow("damaged after the file type")
            << damagedAfterFileType(avif) << QStringLiteral("Error:GetPicture") << true;
        QTest::newRow("a side above the host's limit")
            << withPictureSize(avif, (1u << 20) + 1, 1) << QStringLiteral("Error:GetPicture") << true;
        QTest::newRow("more pixels than the host's limit")
            << withPictureSize(avif, 16385, 16384) << QStringLiteral("Error:GetPicture") << true;
    }

    void refuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFETCH(bool, infoRefused);
        m_module.checkRefused(QStringLiteral("broken.avif"), content, message, infoRefused);
    }

    void refusesFifo() { m_module.checkFifoRefused(QStringLiteral("fifo.avif")); }
};

QTEST_MAIN(TestAvifImport)
#include "TestAvifImport.moc"
