// One line of the file list: the caption (file name), the five detail texts
// and the index of its thumbnail cell.
#pragma once

#include <QString>
#include <array>

namespace pelandor {

struct FileListItem {
    // Sub-item i is column i + 1: type, size, date, image size, colours.
    static constexpr int SubItemCount = 5;

    QString caption;
    std::array<QString, SubItemCount> subItems;
    int imageIndex = -1;
    // The row of a file still being read ("読み込み中"): it names no file
    // yet, so it can be neither selected nor dragged.
    bool placeholder = false;
};

} // namespace pelandor
