// The grid of an AVIF or HEIF file's primary picture, judged from its boxes
// before a library decodes it: files made here with every box a grid needs,
// whose tiles, grid data and declared size disagree in the ways hostile
// files made libavif and libheif decode far more than was declared.
#include <QTemporaryFile>
#include <QTest>
#include <QtEndian>

extern "C" {
#include "IsoGrid.h"
}

namespace {

QByteArray be(quint32 value, int bytes)
{
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[bytes - 1 - i] = char((value >> (8 * i)) & 0xFF);
    return out;
}

QByteArray box(const char *type, const QByteArray &body)
{
    return be(quint32(8 + body.size()), 4) + QByteArray(type, 4) + body;
}

QByteArray fullBox(const char *type, const QByteArray &body)
{
    return box(type, be(0, 4) + body);
}

// A grid file: item 1, the grid, made of `tiles` items of `tileWidth` x
// `tileHeight` (the last one `lastTileWidth` wide when not 0), each an item
// of `tileType`.
struct Grid {
    int rows = 2;
    int columns = 2;
    quint32 outputWidth = 128;
    quint32 outputHeight = 128;
    quint32 declaredWidth = 128;
    quint32 declaredHeight = 128;
    quint32 tileWidth = 64;
    quint32 tileHeight = 64;
    int tiles = 4;
    quint32 lastTileWidth = 0;
    const char *type = "grid";
    const char *tileType = "av01";
};

QByteArray gridFile(const Grid &g)
{
    QByteArray entries;
    QByteArray references = be(1, 2) + be(quint32(g.tiles), 2);
    // Properties: 1 the declared size, 2 the tiles' size, 3 the last tile's.
    QByteArray associations = be(1, 2) + be(1, 1) + be(1, 1);
    for (int item = 1; item <= g.tiles + 1; ++item) {
        const char *type = item == 1 ? g.type : g.tileType;
        entries += box("infe", QByteArray("\x02\0\0\0", 4) + be(quint32(item), 2) + be(0, 2) + QByteArray(type, 4));
        if (item > 1) {
            references += be(quint32(item), 2);
            const bool last = item == g.tiles + 1 && g.lastTileWidth;
            associations += be(quint32(item), 2) + be(1, 1) + be(last ? 3 : 2, 1);
        }
    }
    const auto ispe = [](quint32 w, quint32 h) { return fullBox("ispe", be(w, 4) + be(h, 4)); };
    const QByteArray ipco = box("ipco", ispe(g.declaredWidth, g.declaredHeight) + ispe(g.tileWidth, g.tileHeight)
                                            + ispe(g.lastTileWidth, g.tileHeight));
    const QByteArray ipma = fullBox("ipma", be(quint32(g.tiles + 1), 4) + associations);
    const bool wide = g.outputWidth > 0xFFFF || g.outputHeight > 0xFFFF;
    const QByteArray gridData = QByteArray(1, '\0') + QByteArray(1, char(wide ? 1 : 0))
        + QByteArray(1, char(g.rows - 1)) + QByteArray(1, char(g.columns - 1)) + be(g.outputWidth, wide ? 4 : 2)
        + be(g.outputHeight, wide ? 4 : 2);
    // Version 1: offsets and lengths of 4 bytes, the data in "idat".
    const QByteArray iloc = box("iloc", QByteArray("\x01\0\0\0", 4) + be(0x44, 1) + be(0, 1) + be(1, 2) + be(1, 2)
                                            + be(1, 2) + be(0, 2) + be(1, 2) + be(0, 4)
                                            + be(quint32(gridData.size()), 4));
    const QByteArray meta = fullBox("meta", fullBox("pitm", be(1, 2))
                                                + fullBox("iinf", be(quint32(g.tiles + 1), 2) + entries)
                                                + fullBox("iref", box("dimg", references))
                                                + box("iprp", ipco + ipma) + box("idat", gridData) + iloc);
    return box("ftyp", QByteArray("avif\0\0\0\0avifmif1", 16)) + meta + box("mdat", QByteArray(64, 'x'));
}

} // namespace

Q_DECLARE_METATYPE(Grid)

class TestIsoGrid : public QObject {
    Q_OBJECT

private slots:
    void judgesTheGrid_data()
    {
        QTest::addColumn<Grid>("grid");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("2 x 2 tiles of 64 x 64 as 128 x 128") << Grid{} << true;
        QTest::newRow("not a grid") << Grid{2, 2, 1, 1, 1 << 20, 1 << 20, 1 << 20, 1 << 20, 4, 0, "av01"} << true;
        QTest::newRow("declared as turned by its rotation") << Grid{1, 2, 128, 64, 64, 128, 64, 64, 2} << true;
        QTest::newRow("tiles of 128 x 1048448 behind 256 x 8448")
            << Grid{1, 2, 256, 8448, 256, 8448, 128, 1048448, 2} << false;
        QTest::newRow("512 x 512 assembled behind 512 x 1") << Grid{1, 1, 512, 512, 512, 1, 512, 512, 1} << false;
        QTest::newRow("16384 x 16384 assembled behind 16384 x 1")
            << Grid{2, 2, 16384, 16384, 16384, 1, 8192, 8192, 4} << false;
        QTest::newRow("tiles of two sizes") << Grid{2, 2, 128, 128, 128, 128, 64, 64, 4, 4096} << false;
        QTest::newRow("fewer tiles than rows times columns") << Grid{2, 2, 128, 128, 128, 128, 64, 64, 3} << false;
        QTest::newRow("tiles that do not cover the picture") << Grid{2, 2, 200, 200, 200, 200, 64, 64, 4} << false;
        QTest::newRow("a column of tiles outside the picture") << Grid{1, 3, 128, 64, 128, 64, 64, 64, 3} << false;
        // libheif ended the process on a derived picture made of an item
        // that is no picture.
        QTest::newRow("tiles that are metadata items")
            << Grid{2, 2, 128, 128, 128, 128, 64, 64, 4, 0, "grid", "Exif"} << false;
        QTest::newRow("an identity picture of a metadata item")
            << Grid{1, 1, 64, 64, 64, 64, 64, 64, 1, 0, "iden", "mime"} << false;
        QTest::newRow("2^28 tile pixels in a file of 400 bytes")
            << Grid{16, 16, 16384, 16384, 16384, 16384, 1024, 1024, 256} << false;
    }

    void judgesTheGrid()
    {
        QFETCH(Grid, grid);
        QFETCH(bool, accepted);
        QTemporaryFile file;
        const QByteArray bytes = gridFile(grid);
        QVERIFY(file.open());
        QCOMPARE(file.write(bytes), bytes.size());
        QVERIFY(file.flush());
        ModuleGrid read{};
        const bool readable = module_read_grid(file.handle(), 0, uint64_t(bytes.size()), &read) != 0;
        QCOMPARE(readable && module_grid_acceptable(&read, uint64_t(bytes.size()), 65536) != 0, accepted);
        if (accepted)
            QCOMPARE(bool(read.isGrid), qstrcmp(grid.type, "grid") == 0);
    }

    // A grid whose data cannot be found is not decoded.
    void gridWithoutItsDataIsRefused()
    {
        QByteArray bytes = gridFile(Grid{});
        bytes.replace("idat", "junk");
        QTemporaryFile file;
        QVERIFY(file.open());
        QCOMPARE(file.write(bytes), bytes.size());
        QVERIFY(file.flush());
        ModuleGrid read{};
        QCOMPARE(module_read_grid(file.handle(), 0, uint64_t(bytes.size()), &read), 0);
    }
};

QTEST_GUILESS_MAIN(TestIsoGrid)
#include "TestIsoGrid.moc"
