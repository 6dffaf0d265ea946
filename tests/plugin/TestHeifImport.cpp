// The shipped HEIF module through the plug-in host: HEIC pictures written by
// libheif in colour, grey, with transparency, with 10-bit samples, turned and
// mirrored by the file's boxes, after a 128-byte header; and files it must
// refuse: other formats (an AVIF file above all), cut and damaged files,
// pictures above the host's limits, a FIFO.
#include <QTest>

#include <libheif/heif.h>

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
};

heif_error appendToBytes(heif_context *, const void *data, size_t size, void *userdata)
{
    static_cast<QByteArray *>(userdata)->append(static_cast<const char *>(data), qsizetype(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

// The picture as a libheif image of the writing's layout; null on failure.
heif_image *heifImage(const QImage &picture, const Writing &how)
{
    const int width = picture.width();
    const int height = picture.height();
    const heif_chroma chroma = how.grey                 ? heif_chroma_monochrome
                               : how.depth > 8          ? heif_chroma_interleaved_RRGGBB_LE
                               : how.alpha              ? heif_chroma_interleaved_RGBA
                                                        : heif_chroma_interleaved_RGB;
    const heif_channel channel = how.grey ? heif_channel_Y : heif_channel_interleaved;
    heif_image *image = nullptr;
    if (heif_image_create(width, height, how.grey ? heif_colorspace_monochrome : heif_colorspace_RGB, chroma, &image)
            .code
        != heif_error_Ok)
        return nullptr;
    int stride = 0;
    uint8_t *rows = nullptr;
    if (heif_image_add_plane(image, channel, width, height, how.depth).code == heif_error_Ok)
        rows = heif_image_get_plane(image, channel, &stride);
    if (!rows) {
        heif_image_release(image);
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        uint8_t *out = rows + y * stride;
        for (int x = 0; x < width; ++x) {
            const QRgb c = picture.pixel(x, y);
            if (how.grey) {
                *out++ = uint8_t(qRed(c));
            } else if (how.depth > 8) {
                for (int v : {qRed(c), qGreen(c), qBlue(c)}) {
                    const int sample = (v * 1023 + 127) / 255;
                    *out++ = uint8_t(sample & 0xFF);
                    *out++ = uint8_t(sample >> 8);
                }
            } else {
                *out++ = uint8_t(qRed(c));
                *out++ = uint8_t(qGreen(c));
                *out++ = uint8_t(qBlue(c));
                if (how.alpha)
                    *out++ = uint8_t(qAlpha(c));
            }
        }
    }
    return image;
}

QByteArray heicBytes(const QImage &picture, const Writing &how)
{
    heif_context *context = heif_context_alloc();
    heif_encoder *encoder = nullptr;
    heif_encoding_options *options = heif_encoding_options_alloc();
    heif_image *image = heifImage(picture, how);
    QByteArray bytes;
    bool ok = image && heif_context_get_encoder_for_format(context, heif_compression_HEVC, &encoder).code
                           == heif_error_Ok;
    if (ok) {
        heif_encoder_set_lossy_quality(encoder, 100);
        heif_encoder_set_parameter_string(encoder, "chroma", "444");
        options->image_orientation = how.orientation == Orientation::QuarterTurnClockwise
                                         ? heif_orientation_rotate_90_cw
                                     : how.orientation == Orientation::MirroredLeftRight
                                         ? heif_orientation_flip_horizontally
                                         : heif_orientation_normal;
        heif_writer writer{1, appendToBytes};
        ok = heif_context_encode_image(context, image, encoder, options, nullptr).code == heif_error_Ok
             && heif_context_write(context, &writer, &bytes).code == heif_error_Ok;
    }
    if (encoder)
        heif_encoder_release(encoder);
    if (image)
        heif_image_release(image);
    heif_encoding_options_free(options);
    heif_context_free(context);
    return ok ? bytes : QByteArray();
}

} // namespace

Q_DECLARE_METATYPE(Writing)

class TestHeifImport : public QObject {
    Q_OBJECT

    ImportModuleFixture m_module;

private slots:
    void initTestCase() { m_module.setUp(QStringLiteral(PELANDOR_HEIF_MODULE), QStringLiteral("heif.spi"), this); }

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
        QTest::newRow("turned a quarter clockwise") << Writing{false, false, 8, Orientation::QuarterTurnClockwise}
                                                    << false << 24;
        QTest::newRow("mirrored left to right") << Writing{false, false, 8, Orientation::MirroredLeftRight} << false
                                                << 24;
        QTest::newRow("after a 128-byte header") << Writing{true} << true << 32;
    }

    void decodes()
    {
        QFETCH(Writing, how);
        QFETCH(bool, afterHeader);
        QFETCH(int, depth);
        const QImage stored = blockImage(how.alpha, how.grey);
        const QByteArray content = heicBytes(stored, how);
        QVERIFY(!content.isEmpty());
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("picture.heic"), content, afterHeader, target);
        if (QTest::currentTestFailed())
            return;
        const QImage want = shown(stored, how.orientation);
        const QString wrong = differences(target.image(), want, 10);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        m_module.checkInfo(path, afterHeader ? 128 : 0, want.size(), depth);
    }

    void refuses_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("infoRefused");
        const QByteArray heic = heicBytes(blockImage(false), Writing{});
        QVERIFY(heic.size() > 100);
        QTest::newRow("not a heic") << QByteArray("GIF89a and more text") << QStringLiteral("Error:IsSupported")
                                    << true;
        QTest::newRow("an avif file") << avifSignature() << QStringLiteral("Error:IsSupported") << true;
        QTest::newRow("cut in half") << heic.left(heic.size() / 2) << QStringLiteral("Error:GetPicture") << false;
        QTest::newRow("damaged after the file type")
            << damagedAfterFileType(heic) << QStringLiteral("Error:GetPicture") << true;
        QTest::newRow("a side above the host's limit")
            << withPictureSize(heic, (1u << 20) + 1, 1) << QStringLiteral("Error:GetPicture") << true;
        QTest::newRow("more pixels than the host's limit")
            << withPictureSize(heic, 16385, 16384) << QStringLiteral("Error:GetPicture") << true;
        // libheif writes a turned picture as a grid of one tile (declared
        // 16 x 32, its grid data 32 x 16); made to assemble 512 x 512.
        const QByteArray grid
            = heicBytes(blockImage(false), Writing{false, false, 8, Orientation::QuarterTurnClockwise});
        QVERIFY(grid.contains("grid"));
        QTest::newRow("a grid assembling 512 x 512 behind 512 x 1")
            << withGridOutput(withPictureSize(grid, 16, 32, 512, 1), 512, 512) << QStringLiteral("Error:GetPicture")
            << true;
    }

    void refuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFETCH(bool, infoRefused);
        m_module.checkRefused(QStringLiteral("broken.heic"), content, message, infoRefused);
    }

    void refusesFifo() { m_module.checkFifoRefused(QStringLiteral("fifo.heic")); }
};

QTEST_MAIN(TestHeifImport)
#include "TestHeifImport.moc"
