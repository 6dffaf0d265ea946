#include "fileops/DragCursors.h"

#include <QBitmap>
#include <QPainter>

#include <array>

namespace pelandor {

namespace {

constexpr int Size = 32;
using Grid = std::array<std::array<char, Size>, Size>; // [row][column]: ' ', 'B', 'W'

// The arrow pointer, tip first.
constexpr const char *Arrow[] = {
    "B",
    "BB",
    "BWB",
    "BWWB",
    "BWWWB",
    "BWWWWB",
    "BWWWWWB",
    "BWWWWWWB",
    "BWWWWWWWB",
    "BWWWWWWWWB",
    "BWWWWWBBBBB",
    "BWWBWWB",
    "BWB BWWB",
    "BB  BWWB",
    "B    BWWB",
    "     BWWB",
    "      BWWB",
    "      BWWB",
    "       BB",
};

Grid draw(bool copy)
{
    Grid grid;
    for (auto &row : grid)
        row.fill(' ');

    // The sheet: 13 x 15 at the top left, its top-right corner folded down.
    constexpr int sheetRight = 12;
    constexpr int sheetBottom = 14;
    constexpr int fold = 4;
    for (int y = 0; y <= sheetBottom; ++y) {
        for (int x = 0; x <= sheetRight; ++x) {
            const int intoCorner = x - (sheetRight - fold); // > y: cut away
            if (intoCorner > y)
                continue;
            const bool edge = x == 0 || y == 0 || x == sheetRight || y == sheetBottom || intoCorner == y
                || (x == sheetRight - fold && y <= fold) || (y == fold && x >= sheetRight - fold);
            grid[y][x] = edge ? 'B' : 'W';
        }
    }

    // The arrow, its tip at (7, 7).
    for (int r = 0; r < int(std::size(Arrow)); ++r) {
        for (int c = 0; Arrow[r][c] != '\0'; ++c) {
            if (Arrow[r][c] != ' ')
                grid[7 + r][7 + c] = Arrow[r][c];
        }
    }

    if (copy) {
        // An 11 x 11 box at columns 18 to 28, rows 21 to 31, with a plus of 5-pixel bars.
        for (int y = 21; y <= 31; ++y) {
            for (int x = 18; x <= 28; ++x)
                grid[y][x] = (x == 18 || x == 28 || y == 21 || y == 31) ? 'B' : 'W';
        }
        for (int i = -2; i <= 2; ++i) {
            grid[26][23 + i] = 'B';
            grid[26 + i][23] = 'B';
        }
    }
    return grid;
}

} // namespace

QImage DragCursors::image(bool copy)
{
    const Grid grid = draw(copy);
    QImage image(Size, Size, QImage::Format_ARGB32);
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            const char c = grid[y][x];
            image.setPixel(x, y, c == 'B' ? 0xff000000u : c == 'W' ? 0xffffffffu : 0x00000000u);
        }
    }
    return image;
}

QCursor DragCursors::cursor(bool copy)
{
    const Grid grid = draw(copy);
    // One bit per pixel, least significant bit first; a set bit of the
    // bitmap is black, a set bit of the mask is opaque.
    std::array<uchar, Size * Size / 8> bits{};
    std::array<uchar, Size * Size / 8> mask{};
    for (int y = 0; y < Size; ++y) {
        for (int x = 0; x < Size; ++x) {
            const int byte = (y * Size + x) / 8;
            const uchar bit = uchar(1u << (x % 8));
            if (grid[y][x] == 'B')
                bits[byte] |= bit;
            if (grid[y][x] != ' ')
                mask[byte] |= bit;
        }
    }
    return QCursor(QBitmap::fromData(QSize(Size, Size), bits.data(), QImage::Format_MonoLSB),
        QBitmap::fromData(QSize(Size, Size), mask.data(), QImage::Format_MonoLSB), 5, 5);
}

QPixmap DragCursors::dragPixmap(bool copy)
{
    constexpr int HotSpot = 5;
    constexpr int Side = 2 * (Size - HotSpot);
    QImage canvas(Side, Side, QImage::Format_ARGB32_Premultiplied);
    canvas.fill(Qt::transparent);
    QPainter painter(&canvas);
    painter.drawImage(Side / 2 - HotSpot, Side / 2 - HotSpot, image(copy));
    painter.end();
    return QPixmap::fromImage(canvas);
}

} // namespace pelandor
