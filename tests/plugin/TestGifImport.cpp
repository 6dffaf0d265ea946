// The shipped GIF module through the plug-in host: the first picture of a
// file in its colours, the transparent colour and the uncovered screen shown
// white, interlaced rows, a leading 128-byte header, and files it must refuse.
#include <QTest>

#include <gif_lib.h>

#include "ImportModuleFixture.h"

using namespace pelandor;

namespace {

const QRgb White = qRgb(255, 255, 255);

// The global colour table of every test file.
const QList<QRgb> Palette = {qRgb(255, 0, 0), qRgb(0, 255, 0), qRgb(0, 0, 255), qRgb(10, 20, 30)};

// One picture of a file: its place on the screen and its colour indexes, row
// by row.
struct Frame {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    QByteArray indexes;
    int transparent = -1;
    bool interlaced = false;
};

Frame frame(int left, int top, int width, int height, int firstIndex = 0)
{
    Frame f{left, top, width, height, QByteArray(width * height, '\0')};
    for (int i = 0; i < f.indexes.size(); ++i)
        f.indexes[i] = char((firstIndex + i) % Palette.size());
    return f;
}

int appendToBytes(GifFileType *gif, const GifByteType *data, int length)
{
    static_cast<QByteArray *>(gif->UserData)->append(reinterpret_cast<const char *>(data), length);
    return length;
}

// The order in which the rows of a picture are stored.
QList<int> rowOrder(const Frame &f)
{
    QList<int> rows;
    if (!f.interlaced) {
        for (int y = 0; y < f.height; ++y)
            rows.append(y);
        return rows;
    }
    const int start[4] = {0, 4, 2, 1};
    const int step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass)
        for (int y = start[pass]; y < f.height; y += step[pass])
            rows.append(y);
    return rows;
}

QByteArray gifBytes(int screenWidth, int screenHeight, const QList<Frame> &frames)
{
    QByteArray bytes;
    int error = 0;
    GifFileType *gif = EGifOpen(&bytes, appendToBytes, &error);
    if (!gif)
        return {};
    GifColorType colours[4];
    for (int i = 0; i < 4; ++i)
        colours[i] = {GifByteType(qRed(Palette[i])), GifByteType(qGreen(Palette[i])), GifByteType(qBlue(Palette[i]))};
    ColorMapObject *map = GifMakeMapObject(4, colours);
    bool ok = EGifPutScreenDesc(gif, screenWidth, screenHeight, 2, 0, map) == GIF_OK;
    for (const Frame &f : frames) {
        if (f.transparent >= 0) {
            const GifByteType control[4] = {0x01, 0, 0, GifByteType(f.transparent)};
            ok = ok && EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, 4, control) == GIF_OK;
        }
        ok = ok && EGifPutImageDesc(gif, f.left, f.top, f.width, f.height, f.interlaced, nullptr) == GIF_OK;
        for (int y : rowOrder(f)) {
            QByteArray line = f.indexes.mid(y * f.width, f.width);
            ok = ok && EGifPutLine(gif, reinterpret_cast<GifPixelType *>(line.data()), f.width) == GIF_OK;
        }
    }
    ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
    GifFreeMapObject(map);
    return ok ? bytes : QByteArray();
}

// What the module shows for a file whose first picture is `f`.
QList<QRgb> expectedColours(int width, int height, const Frame &f)
{
    QList<QRgb> colours(width * height, White);
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const int index = f.indexes.at(y * f.width + x);
            if (index != f.transparent)
                colours[(f.top + y) * width + f.left + x] = Palette.at(index);
        }
    }
    return colours;
}

} // namespace

Q_DECLARE_METATYPE(Frame)

class TestGifImport : public QObject {
    Q_OBJECT

    ImportModuleFixture m_module;

private slots:
    void initTestCase() { m_module.setUp(QStringLiteral(PELANDOR_GIF_MODULE), QStringLiteral("gif.spi"), this); }

    void init() { m_module.load(); }

    void announcesGifFiles()
    {
        const TypeListBuilder::Result result = m_module.typeList();
        QVERIFY(result.entries.contains(ImageTypeEntry{QStringLiteral("*.gif"), QStringLiteral("gif.spi")}));
        QVERIFY(m_module.messages().isEmpty());
    }

    void decodes_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<QList<Frame>>("frames");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("afterHeader");
        Frame transparent = frame(0, 0, 3, 2);
        transparent.transparent = 1;
        Frame interlaced = frame(0, 0, 2, 11);
        interlaced.interlaced = true;
        const QList<Frame> one{frame(0, 0, 3, 2)};
        QTest::newRow("one picture") << QSize(3, 2) << one << QSize(3, 2) << false;
        QTest::newRow("transparent colour") << QSize(3, 2) << QList<Frame>{transparent} << QSize(3, 2) << false;
        QTest::newRow("picture inside the screen") << QSize(4, 3) << QList<Frame>{frame(1, 1, 2, 2)} << QSize(4, 3)
                                                   << false;
        QTest::newRow("picture past the screen") << QSize(3, 1) << QList<Frame>{frame(2, 0, 2, 2)} << QSize(4, 2)
                                                 << false;
        QTest::newRow("interlaced") << QSize(2, 11) << QList<Frame>{interlaced} << QSize(2, 11) << false;
        QTest::newRow("first of two") << QSize(3, 2) << QList<Frame>{frame(0, 0, 3, 2), frame(0, 0, 3, 2, 1)}
                                      << QSize(3, 2) << false;
        QTest::newRow("after a 128-byte header") << QSize(3, 2) << one << QSize(3, 2) << true;
    }

    void decodes()
    {
        QFETCH(QSize, screen);
        QFETCH(QList<Frame>, frames);
        QFETCH(QSize, size);
        QFETCH(bool, afterHeader);
        const QByteArray content = gifBytes(screen.width(), screen.height(), frames);
        QVERIFY(!content.isEmpty());
        Bitmap target;
        const QString path = m_module.writeAndDecode(QStringLiteral("picture.gif"), content, afterHeader, target);
        if (QTest::currentTestFailed())
            return;
        QCOMPARE(target.image().size(), size);
        QCOMPARE(coloursOf(target.image()), expectedColours(size.width(), size.height(), frames.first()));
        m_module.checkInfo(path, afterHeader ? 128 : 0, size, 8);
    }

    void refusesBrokenFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        const QByteArray gif = gifBytes(20, 20, {frame(0, 0, 20, 20)});
        // Signature, screen descriptor and the 4-entry colour table.
        const int beforePictures = 6 + 7 + 4 * 3;
        QTest::newRow("not a gif") << QByteArray("\x89PNG\r\n\x1a\n and more") << QStringLiteral("Error:IsSupported");
        QTest::newRow("no picture") << gif.left(beforePictures) + ';' << QStringLiteral("Error:GetPicture");
        QTest::newRow("cut in the descriptor") << gif.left(beforePictures + 5) << QStringLiteral("Error:GetPicture");
        QTest::newRow("cut in the pixel data") << gif.left(gif.size() - 20) << QStringLiteral("Error:GetPicture");
    }

    void refusesBrokenFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        m_module.checkRefused(QStringLiteral("broken.gif"), content, message);
    }
};

QTEST_MAIN(TestGifImport)
#include "TestGifImport.moc"
