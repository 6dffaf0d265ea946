// The shipped JPEG XL module through the plug-in host: pictures written
// losslessly by libjxl in colour, grey, with transparency, with 10-bit
// samples, turned and mirrored by their orientation, in the container after
// a 128-byte header; and files it must refuse: other formats, cut and damaged
// files, headers announcing pictures above the host's limits, a FIFO.
#include <QTemporaryFile>
#include <QTest>

#include <unistd.h>

#include <jxl/encode.h>

#include "ImportModuleFixture.h"

using namespace pelandor;

namespace {

// How a test file is written.
struct Writing {
    bool alpha = false;
    bool grey = false;
    int depth = 8;
    Orientation orientation = Orientation::Upright;
    bool container = false;
};

// The picture's samples in the layout the encoder is told about.
QByteArray samplesOf(const QImage &picture, const Writing &how, int channels)
{
    QByteArray samples;
    for (int y = 0; y < picture.height(); ++y) {
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb c = picture.pixel(x, y);
            const int all[4] = {qRed(c), qGreen(c), qBlue(c), qAlpha(c)};
            for (int i = 0; i < channels; ++i) {
                const int v = how.grey && i == 1 ? all[3] : all[i];
                if (how.depth > 8) {
                    const uint16_t wide = uint16_t(v * 257);
                    samples.append(reinterpret_cast<const char *>(&wide), 2);
                } else {
                    samples.append(char(v));
                }
            }
        }
    }
    return samples;
}

JxlOrientation orientationOf(Orientation orientation)
{
    switch (orientation) {
    case Orientation::QuarterTurnClockwise:
        return JXL_ORIENT_ROTATE_90_CW;
    case Orientation::QuarterTurnAnticlockwise:
        return JXL_ORIENT_ROTATE_90_CCW;
    case Orientation::MirroredLeftRight:
        return JXL_ORIENT_FLIP_HORIZONTAL;
    case Orientation::Upright:
        break;
    }
    return JXL_ORIENT_IDENTITY;
}

QByteArray jxlBytes(const QImage &picture, const Writing &how)
{
    JxlEncoder *encoder = JxlEncoderCreate(nullptr);
    if (!encoder)
        return {};
    JxlBasicInfo info;
    JxlEncoderInitBasicInfo(&info);
    info.xsize = uint32_t(picture.width());
    info.ysize = uint32_t(picture.height());
    info.bits_per_sample = uint32_t(how.depth);
    info.num_color_channels = how.grey ? 1 : 3;
    info.num_extra_channels = how.alpha ? 1 : 0;
    info.alpha_bits = how.alpha ? uint32_t(how.depth) : 0;
    info.uses_original_profile = JXL_TRUE;
    info.orientation = orientationOf(how.orientation);
    JxlColorEncoding colour;
    JxlColorEncodingSetToSRGB(&colour, how.grey ? JXL_TRUE : JXL_FALSE);
    const int channels = int(info.num_color_channels + info.num_extra_channels);
    const JxlPixelFormat format{uint32_t(channels), how.depth > 8 ? JXL_TYPE_UINT16 : JXL_TYPE_UINT8,
                                JXL_NATIVE_ENDIAN, 0};
    const QByteArray samples = samplesOf(picture, how, channels);
    JxlEncoderFrameSettings *settings = nullptr;
    bool ok = JxlEncoderUseContainer(encoder, how.container ? JXL_TRUE : JXL_FALSE) == JXL_ENC_SUCCESS
              && JxlEncoderSetBasicInfo(encoder, &info) == JXL_ENC_SUCCESS
              && JxlEncoderSetColorEncoding(encoder, &colour) == JXL_ENC_SUCCESS
              && (settings = JxlEncoderFrameSettingsCreate(encoder, nullptr)) != nullptr
              && JxlEncoderSetFrameLossless(settings, JXL_TRUE) == JXL_ENC_SUCCESS
              && JxlEncoderAddImageFrame(settings, &format, samples.constData(), size_t(samples.size()))
                     == JXL_ENC_SUCCESS;
    QByteArray bytes;
    if (ok) {
        JxlEncoderCloseInput(encoder);
        JxlEncoderStatus status = JXL_ENC_NEED_MORE_OUTPUT;
        while (status == JXL_ENC_NEED_MORE_OUTPUT) {
            const qsizetype used = bytes.size();
            bytes.resize(used + 4096);
            uint8_t *next = reinterpret_cast<uint8_t *>(bytes.data()) + used;
            size_t available = 4096;
            status = JxlEncoderProcessOutput(encoder, &next, &available);
            bytes.resize(bytes.size() - qsizetype(available));
        }
        ok = status == JXL_ENC_SUCCESS;
    }
    JxlEncoderDestroy(encoder);
    return ok ? bytes : QByteArray();
}

// A bare codestream whose header announces a `width` x `height` picture with
// default metadata, followed by zeros.
QByteArray headerOnly(uint32_t width, uint32_t height)
{
    QByteArray bytes("\xFF\x0A", 2);
    int count = 0;
    // Fields are packed from the lowest bit of each byte on.
    auto put = [&](uint32_t value, int n) {
        for (int i = 0; i < n; ++i, ++count) {
            if (count % 8 == 0)
                bytes.append('\0');
            if (value >> i & 1u)
                bytes[bytes.size() - 1] = char(bytes.back() | 1 << (count % 8));
        }
    };
    // Not a small size; each side as the 30-bit form of side - 1; no ratio.
    put(0, 1);
    put(3, 2);
    put(height - 1, 30);
    put(0, 3);
    put(3, 2);
    put(width - 1, 30);
    put(1, 1); // all metadata default
    return bytes + QByteArray(64, '\0');
}

} // namespace

Q_DECLARE_METATYPE(Writing)

class TestJxlImport : public QObject {
    Q_OBJECT

    ImportModuleFixture m_module;

private slots:
    void initTestCase() { m_module.setUp(QStringLiteral(PELANDOR_JXL_MODULE), QStringLiteral("jxl.spi"), this); }

    void init() { m_module.load(); }

    void decodes_data()
    {
        QTest::addColumn<Writing>("how");
        QTest::addColumn<bool>("afterHeader");
        QTest::addColumn<int>("depth");
        QTest::newRow("colour") << Writing{} << false << 24;
        QTest::newRow("grey") << Writing{false, true} << false << 24;
        QTest::newRow("grey with alpha over white") << Writing{true, true} << false << 32;
        QTest::newRow("alpha over white") << Writing{true} << false << 32;
        QTest::newRow("10-bit") << Writing{false, false, 10} << false << 24;
        QTest::newRow("turned a quarter clockwise") << Writing{false, false, 8, Orientation::QuarterTurnClockwise}
                                                    << false << 24;
        QTest::newRow("mirrored left to right") << Writing{false, false, 8, Orientation::MirroredLeftRight} << false
                                                << 24;
        QTest::newRow("container after a 128-byte header")
            << Writing{true, false, 8, Orientation::Upright, true} << true << 32;
    }

    void decodes()
    {
        QFETCH(Writing, how);
        QFETCH(bool, afterHeader);
        QFETCH(int, depth);
        const QImage stored = blockImage(how.alpha, how.grey);
        const QByteArray content = jxlBytes(stored, how);
        QVERIFY(!content.isEmpty());
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("picture.jxl"), content, afterHeader, target);
        if (QTest::currentTestFailed())
            return;
        const QImage want = shown(stored, how.orientation);
        const QString wrong = differences(target.image(), want, 0);
        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        m_module.checkInfo(path, afterHeader ? 128 : 0, want.size(), depth);
    }

    void refuses_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("infoRefused");
        const QByteArray jxl = jxlBytes(blockImage(false), Writing{});
        QVERIFY(jxl.size() > 20);
        QByteArray damaged = jxl;
        for (qsizetype i = 2; i < damaged.size(); ++i)
            damaged[i] = char(0xFF);
        QTest::newRow("not a jxl") << QByteArray("GIF89a and more text") << QStringLiteral("Error:IsSupported")
                                   << true;
        QTest::newRow("cut before the end") << jxl.left(jxl.size() - 8) << QStringLiteral("Error:GetPicture")
                                            << false;
        QTest::newRow("damaged after the signature") << damaged << QStringLiteral("Error:GetPicture") << false;
        QTest::newRow("a side above the host's limit")
            << headerOnly((1u << 20) + 1, 1) << QStringLiteral("Error:GetPicture") << true;
        QTest::newRow("more pixels than the host's limit")
            << headerOnly(16385, 16384) << QStringLiteral("Error:GetPicture") << true;
    }

    void refuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QFETCH(bool, infoRefused);
        m_module.checkRefused(QStringLiteral("broken.jxl"), content, message, infoRefused);
    }

    void refusesFifo() { m_module.checkFifoRefused(QStringLiteral("fifo.jxl")); }

    // What libjxl prints about a damaged file names that file.
    void libraryMessagesNameTheFile()
    {
        QByteArray damaged = jxlBytes(blockImage(false), Writing{});
        for (qsizetype i = 20; i < damaged.size(); i += 7)
            damaged[i] = char(damaged[i] ^ 0x55);
        const QString path = m_module.writeFile(QStringLiteral("damaged.jxl"), damaged);
        QTemporaryFile capture;
        QVERIFY(capture.open());
        fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        dup2(capture.handle(), STDERR_FILENO);
        Bitmap target;
        const int result = m_module.host().GetBitmap(target, path);
        fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        QVERIFY(result != 0);
        capture.seek(0);
        const QList<QByteArray> lines = capture.readAll().split('\n');
        QVERIFY(lines.size() > 1);
        for (const QByteArray &line : lines)
            QVERIFY2(line.isEmpty() || line.startsWith(QFile::encodeName(path) + ": "), line.constData());
    }
};

QTEST_MAIN(TestJxlImport)
#include "TestJxlImport.moc"
