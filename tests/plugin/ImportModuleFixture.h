// The set-up every test of a shipped import module shares: the built module
// copied into a temporary folder, a plug-in host on that folder, test files
// written beside the module, and the checks each format's test makes through
// the host. The QTest checks here end the calling test function's check only,
// so callers test QTest::currentTestFailed() before going on.
#pragma once

#include <QFile>
#include <QImage>
#include <QTransform>
#include <QList>
#include <QSize>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "TestModules.h"
#include "decode/Bitmap.h"
#include "plugin/InProcessModuleBackend.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"

#include <sys/stat.h>

namespace pelandor {

// Six colours of a 3x2 picture; `alpha` makes two of them (partly) transparent.
inline QImage sampleImage(bool alpha, bool inverted = false)
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

// Each pixel of `image` laid over white, the way the modules show transparency.
inline QList<QRgb> overWhite(const QImage &image)
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

// The pixels of `image` row by row, opaque.
inline QList<QRgb> coloursOf(const QImage &image)
{
    QList<QRgb> colours;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            colours.append(image.pixel(x, y) | 0xFF000000u);
    return colours;
}

// A 32x16 picture of four 16x8 blocks (red, green / blue, white) that shows
// any turn or mirroring; `alpha` makes the red block transparent and the
// green one half transparent, `grey` turns the colours into greys.
inline QImage blockImage(bool alpha, bool grey = false)
{
    QImage image(32, 16, QImage::Format_ARGB32);
    const QRgb colours[4] = {alpha ? qRgba(255, 0, 0, 0) : qRgb(255, 0, 0),
                             alpha ? qRgba(0, 255, 0, 128) : qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(255, 255, 255)};
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = colours[(y / 8) * 2 + x / 16];
            const int g = qGray(c);
            image.setPixel(x, y, grey ? qRgba(g, g, g, qAlpha(c)) : c);
        }
    }
    return image;
}

// How a picture is stored turned or mirrored, and how it must be shown.
enum class Orientation { Upright, QuarterTurnClockwise, QuarterTurnAnticlockwise, MirroredLeftRight };

inline QImage shown(const QImage &stored, Orientation orientation)
{
    switch (orientation) {
    case Orientation::QuarterTurnClockwise:
        return stored.transformed(QTransform().rotate(90));
    case Orientation::QuarterTurnAnticlockwise:
        return stored.transformed(QTransform().rotate(-90));
    case Orientation::MirroredLeftRight:
        return stored.mirrored(true, false);
    case Orientation::Upright:
        break;
    }
    return stored;
}

// Empty when `got` shows `want` laid over white, every channel within
// `tolerance`; otherwise what differs. Pixels on a colour edge of `want` are
// skipped when `tolerance` is not 0: lossy coding blurs edges.
inline QString differences(const QImage &got, const QImage &want, int tolerance)
{
    if (got.size() != want.size())
        return QStringLiteral("size %1x%2 instead of %3x%4")
            .arg(got.width()).arg(got.height()).arg(want.width()).arg(want.height());
    const QList<QRgb> expected = overWhite(want);
    for (int y = 0; y < want.height(); ++y) {
        for (int x = 0; x < want.width(); ++x) {
            const QRgb w = expected[y * want.width() + x];
            bool edge = false;
            for (int dy = -2; tolerance && dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    edge = edge || (want.valid(x + dx, y + dy) && want.pixel(x + dx, y + dy) != want.pixel(x, y));
            const QRgb g = got.pixel(x, y);
            if (!edge && (qAbs(qRed(g) - qRed(w)) > tolerance || qAbs(qGreen(g) - qGreen(w)) > tolerance
                          || qAbs(qBlue(g) - qBlue(w)) > tolerance))
                return QStringLiteral("pixel (%1, %2): %3 instead of %4")
                    .arg(x).arg(y).arg(g & 0xFFFFFFu, 6, 16, QLatin1Char('0')).arg(w & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
        }
    }
    return QString();
}

class ImportModuleFixture {
public:
    // For initTestCase: copies the built module into the temporary folder as
    // `name` and starts a host, owned by `parent`, on that folder.
    void setUp(const QString &builtModule, const QString &name, QObject *parent)
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QFile::copy(builtModule, m_dir.filePath(name)));
        m_name = name;
        m_host = new TSpi(m_dir.path(), m_sink, parent);
        // The shipped modules run in the program's own process; so here, where
        // the sanitizers (leak checks included) see them.
        m_host->setBackendFactory([](const QString &) { return std::make_unique<InProcessModuleBackend>(); });
    }

    // For init: loads the module with no messages recorded yet.
    void load()
    {
        m_sink.messages.clear();
        m_host->LoadSpi(m_name);
        QVERIFY(m_host->isLoaded());
    }

    // The type list the host builds from the module folder.
    TypeListBuilder::Result typeList()
    {
        m_host->FreeSpi();
        return TypeListBuilder::build(*m_host, m_dir.path());
    }

    TSpi &host() { return *m_host; }
    const QStringList &messages() const { return m_sink.messages; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Writes `content` into the module folder as `name`; its path, or an
    // empty text when writing fails.
    QString writeFile(const QString &name, const QByteArray &content)
    {
        QFile file(m_dir.filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            return QString();
        return file.fileName();
    }

    // Decodes the file at `path` into `target`, which must succeed without a
    // message.
    void decode(const QString &path, Bitmap &target)
    {
        target.assign(PixelFormat::Bits24, QImage(1, 1, QImage::Format_RGB888));
        QCOMPARE(m_host->GetBitmap(target, path), 0);
        QCOMPARE(m_sink.messages, QStringList());
    }

    // Writes `content` as `name`, after 128 bytes of anything when
    // `afterHeader` (a module is told where its picture starts), and decodes
    // it into `target` as decode() does; the file's path.
    QString writeAndDecode(const QString &name, QByteArray content, bool afterHeader, Bitmap &target)
    {
        if (afterHeader)
            content.prepend(QByteArray(128, 'h'));
        const QString path = writeFile(name, content);
        decode(path, target);
        return path;
    }

    // The module reports `size` and `depth` for the picture `offset` bytes
    // into the file at `path`.
    void checkInfo(const QString &path, int offset, const QSize &size, int depth)
    {
        PictureInfo info{};
        const QByteArray local = QFile::encodeName(path);
        QCOMPARE(m_host->GetPictureInfo(local.constData(), offset, 0, &info), 0);
        QCOMPARE(info.width, size.width());
        QCOMPARE(info.height, size.height());
        QCOMPARE(int(info.bitDepth), depth);
    }

    // `content`, written as `name`, fails with the one message `message` and
    // leaves the target bitmap as it was.
    void checkRefused(const QString &name, const QByteArray &content, const QString &message)
    {
        Bitmap target;
        target.assign(PixelFormat::Bits24, QImage(4, 4, QImage::Format_RGB888));
        const QImage before = target.image();
        QVERIFY(m_host->GetBitmap(target, writeFile(name, content)) != 0);
        QCOMPARE(m_sink.messages, QStringList{message});
        QCOMPARE(target.image(), before);
    }

    // The same, and when `infoRefused`, GetPictureInfo fails for it too.
    void checkRefused(const QString &name, const QByteArray &content, const QString &message, bool infoRefused)
    {
        checkRefused(name, content, message);
        if (infoRefused && !QTest::currentTestFailed())
            checkInfoRefused(name);
    }

    // GetPictureInfo fails for the file `name` written before.
    void checkInfoRefused(const QString &name)
    {
        PictureInfo info{};
        const QByteArray local = QFile::encodeName(m_dir.filePath(name));
        QVERIFY(m_host->GetPictureInfo(local.constData(), 0, 0, &info) != 0);
    }

    // The module refuses a FIFO named `name` at once, without waiting for a
    // writer, and leaves no bitmap.
    void checkFifoRefused(const QString &name)
    {
        const QByteArray local = QFile::encodeName(m_dir.filePath(name));
        QVERIFY(mkfifo(local.constData(), 0600) == 0);
        PictureInfo info{};
        SpiHandle header = nullptr;
        SpiHandle pixels = nullptr;
        QVERIFY(m_host->GetPictureInfo(local.constData(), 0, 0, &info) != 0);
        QVERIFY(m_host->GetPicture(local.constData(), 0, 0, &header, &pixels, nullptr, 0) != 0);
        QVERIFY(!header && !pixels);
        QFile::remove(m_dir.filePath(name));
    }

private:
    QTemporaryDir m_dir;
    RecordingSink m_sink;
    TSpi *m_host = nullptr;
    QString m_name;
};

} // namespace pelandor
