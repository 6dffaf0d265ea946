// External tools: the context-menu entries that start a user-registered
// program on the selected files. The tool store is not part of this build
// yet: the list stays empty, so the context menu ends with its separator.
#include "app/TMainWindow.h"

#include <QAction>
#include <QMenu>

namespace pelandor {

void TMainWindow::ReloadTools()
{
    ToolNames.clear();
    ToolExeFiles.clear();
    ToolCount = 0;
    RemoveToolMenuItems();
    AddToolMenuItems();
}

void TMainWindow::AddToolMenuItems()
{
    for (int i = 0; i < ToolCount; ++i) {
        QAction *entry = PopupMenu1->addAction(ToolNames.value(i));
        entry->setData(i);
        connect(entry, &QAction::triggered, this, [this] { RunCommand([this] { ToolMenuItemClick(); }); });
    }
}

void TMainWindow::RemoveToolMenuItems()
{
    const QList<QAction *> entries = PopupMenu1->actions();
    for (qsizetype k = entries.size() - 1; k >= FixedPopupItemCount; --k) {
        PopupMenu1->removeAction(entries[k]);
        entries[k]->deleteLater();
    }
}

void TMainWindow::ToolMenuItemClick() {}
void TMainWindow::mnuFile_del_regClick() {}
void TMainWindow::mnuOption_toolsClick() {}

} // namespace pelandor
