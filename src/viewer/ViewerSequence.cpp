#include "viewer/ViewerSequence.h"

#include "listing/FileListModel.h"

namespace pelandor {

ViewerSequence::ViewerSequence(const FileListModel *model, std::function<QString(int row)> pathOfRow, int row,
                               const QString &path, QObject *parent)
    : QObject(parent)
    , m_model(model)
    , m_pathOfRow(std::move(pathOfRow))
    , m_path(path)
{
    if (!model)
        return;
    if (row >= 0 && row < model->count())
        m_current = QPersistentModelIndex(model->index(row, 0));
    connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ViewerSequence::rowsAboutToBeRemoved);
}

void ViewerSequence::rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last)
{
    if (parent.isValid() || !m_current.isValid() || m_current.row() < first || m_current.row() > last)
        return;
    m_after = last + 1 < m_model->count() ? QPersistentModelIndex(m_model->index(last + 1, 0))
                                          : QPersistentModelIndex();
    m_before = first > 0 ? QPersistentModelIndex(m_model->index(first - 1, 0)) : QPersistentModelIndex();
}

bool ViewerSequence::usable(int row) const
{
    // A file still being read has no name yet.
    return m_model->caption(row) != FileListModel::placeholderCaption() && !m_pathOfRow(row).isEmpty();
}

int ViewerSequence::currentRow() const
{
    if (m_current.isValid())
        return m_current.row();
    // The list dropped the item (or was read again): the file may be back.
    for (int row = 0; row < m_model->count(); ++row) {
        if (m_pathOfRow(row) == m_path)
            return row;
    }
    return -1;
}

int ViewerSequence::targetRow(Step step) const
{
    if (!m_model)
        return -1;
    const int count = m_model->count();
    int from = -1;
    int direction = 1;
    switch (step) {
    case Step::First:
        from = 0;
        break;
    case Step::Last:
        from = count - 1;
        direction = -1;
        break;
    case Step::Next:
    case Step::Previous: {
        direction = step == Step::Next ? 1 : -1;
        const int current = currentRow();
        if (current >= 0) {
            from = current + direction;
        } else {
            const QPersistentModelIndex &neighbour = step == Step::Next ? m_after : m_before;
            if (!neighbour.isValid())
                return -1;
            from = neighbour.row();
        }
        break;
    }
    }
    for (int row = from; row >= 0 && row < count; row += direction) {
        if (usable(row))
            return row;
    }
    return -1;
}

QString ViewerSequence::peek(Step step) const
{
    const int row = targetRow(step);
    return row < 0 ? QString() : m_pathOfRow(row);
}

QString ViewerSequence::go(Step step)
{
    const int row = targetRow(step);
    if (row < 0)
        return QString();
    m_current = QPersistentModelIndex(m_model->index(row, 0));
    m_after = QPersistentModelIndex();
    m_before = QPersistentModelIndex();
    m_path = m_pathOfRow(row);
    return m_path;
}

} // namespace pelandor
