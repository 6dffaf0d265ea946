#include "tools/ToolMenuEntries.h"

#include <QAction>
#include <QMenu>

#include "tools/ToolList.h"

namespace pelandor {

namespace {
const char *const kToolIndexProperty = "pelandorToolIndex";
}

void ToolMenuEntries::AddToolMenuItems(QMenu *menu, const ToolList &tools, const std::function<void(int)> &chosen)
{
    for (int i = 0; i < tools.ToolCount(); ++i) {
        QAction *entry = menu->addAction(tools.ToolNames()[i]);
        entry->setData(i);
        entry->setProperty(kToolIndexProperty, i);
        QObject::connect(entry, &QAction::triggered, menu, [chosen, i] { chosen(i); });
    }
}

void ToolMenuEntries::RemoveToolMenuItems(QMenu *menu, int fixedItemCount)
{
    const QList<QAction *> items = menu->actions();
    for (qsizetype k = items.size() - 1; k >= fixedItemCount && k >= 0; --k) {
        menu->removeAction(items[k]);
        if (items[k]->parent() == menu)
            items[k]->deleteLater();
    }
}

int ToolMenuEntries::ToolIndexOf(const QAction *entry)
{
    const QVariant index = entry ? entry->property(kToolIndexProperty) : QVariant();
    return index.isValid() ? index.toInt() : -1;
}

} // namespace pelandor
