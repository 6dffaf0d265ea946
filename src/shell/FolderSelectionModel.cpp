#include "shell/FolderSelectionModel.h"

namespace pelandor {

FolderSelectionModel::FolderSelectionModel(QAbstractItemModel *model, QObject *parent)
    : QItemSelectionModel(model, parent)
{
}

void FolderSelectionModel::setChangingHandler(std::function<bool()> handler)
{
    m_handler = std::move(handler);
}

void FolderSelectionModel::beginUserEvent()
{
    m_asked = false;
    m_askedTarget = QPersistentModelIndex();
}

QModelIndex FolderSelectionModel::selectedNode() const
{
    const QModelIndexList indexes = selectedIndexes();
    return indexes.isEmpty() ? QModelIndex() : indexes.first();
}

bool FolderSelectionModel::userMayMoveTo(const QModelIndex &target)
{
    if (m_programmatic > 0)
        return true;
    const QModelIndex selected = selectedNode();
    if (!target.isValid())
        return !selected.isValid(); // the user never empties the selection
    if (target == selected)
        return true;
    if (!m_handler)
        return true;
    if (m_asked && m_askedTarget == target)
        return m_answer;
    m_answer = m_handler();
    m_asked = true;
    m_askedTarget = target;
    return m_answer;
}

QModelIndex FolderSelectionModel::targetOf(const QItemSelection &selection,
                                           QItemSelectionModel::SelectionFlags command) const
{
    const QModelIndex first = selection.isEmpty() ? QModelIndex() : QModelIndex(selection.first().topLeft());
    if (command & QItemSelectionModel::Toggle)
        return isSelected(first) ? QModelIndex() : first;
    if (command & QItemSelectionModel::Select)
        return first;
    if (command & (QItemSelectionModel::Clear | QItemSelectionModel::Deselect))
        return QModelIndex();
    return selectedNode(); // no change
}

void FolderSelectionModel::setCurrentIndex(const QModelIndex &index, QItemSelectionModel::SelectionFlags command)
{
    if (m_programmatic == 0 && index != currentIndex()) {
        // A bare move of the current node (mouse press before the selection,
        // focus entering the tree) is asked like a selection move, so that a
        // refused click leaves both where they were.
        const QModelIndex target = command == QItemSelectionModel::NoUpdate
                                       ? index
                                       : targetOf(QItemSelection(index, index), command);
        if (!userMayMoveTo(target))
            return;
    }
    QItemSelectionModel::setCurrentIndex(index, command);
}

void FolderSelectionModel::select(const QModelIndex &index, QItemSelectionModel::SelectionFlags command)
{
    select(QItemSelection(index, index), command);
}

void FolderSelectionModel::select(const QItemSelection &selection, QItemSelectionModel::SelectionFlags command)
{
    if (m_programmatic == 0 && command != QItemSelectionModel::NoUpdate
        && !userMayMoveTo(targetOf(selection, command)))
        return;
    QItemSelectionModel::select(selection, command);
}

} // namespace pelandor
