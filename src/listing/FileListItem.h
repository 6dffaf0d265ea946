// One line of the file list: the caption (file name), the facts its detail
// columns are made of, and the index of its thumbnail cell. The detail texts
// are made from the facts when they are asked for (ItemTexts.h), so a row
// holds a name and a few numbers, whatever the number of rows.
#pragma once

#include <QString>
#include <cstdint>

namespace pelandor {

struct FileListItem {
    // Sub-item i is column i + 1: type, size, date, image size, colours.
    static constexpr int SubItemCount = 5;

    QString caption;
    // The file's size in bytes.
    qint64 size = 0;
    // The file's date as the number its "yy/MM/dd hh:mm" digits spell (see
    // fileDateKeyOf()); -1 for none (an empty date column).
    qint64 date = -1;
    // The type column's text, by its index among the type texts (typeIndexOf());
    // -1 for an empty one.
    int typeIndex = -1;
    // The decoded picture's size and colour depth (0 for a failed decode).
    int width = 0;
    int height = 0;
    int16_t depth = 0;
    // False: the detail columns are empty (a row whose file is not read yet).
    bool detailed = false;
    // The row of a file still being read ("読み込み中"): it names no file
    // yet, so it can be neither selected nor dragged.
    bool placeholder = false;
    int imageIndex = -1;
};

} // namespace pelandor
