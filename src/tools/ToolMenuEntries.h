// The tool entries at the end of the file list's context menu: one entry per
// tool after the menu's fixed items, captioned with the registered name and
// carrying the tool number; choosing one reports that number.
#pragma once

#include <QString>
#include <functional>

class QAction;
class QMenu;

namespace pelandor {

class ToolList;

class ToolMenuEntries {
public:
    // Appends an entry for each tool; `chosen` receives the tool number of
    // the entry the user picks.
    static void AddToolMenuItems(QMenu *menu, const ToolList &tools, const std::function<void(int)> &chosen);
    // Removes every item from the last one down to `fixedItemCount`.
    static void RemoveToolMenuItems(QMenu *menu, int fixedItemCount);
    // The tool number of an entry made by AddToolMenuItems, -1 for any other item.
    static int ToolIndexOf(const QAction *entry);
};

} // namespace pelandor
