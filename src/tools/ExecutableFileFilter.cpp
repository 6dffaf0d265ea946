#include "tools/ExecutableFileFilter.h"

#include <QFileInfo>
#include <QFileSystemModel>

namespace pelandor {

ExecutableFileFilter::ExecutableFileFilter(QObject *parent)
    : QSortFilterProxyModel(parent)
{
}

void ExecutableFileFilter::setActive(bool active)
{
    if (active == m_active)
        return;
    m_active = active;
    invalidateFilter();
}

bool ExecutableFileFilter::filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const
{
    const auto *files = qobject_cast<const QFileSystemModel *>(sourceModel());
    if (!m_active || !files)
        return true;
    const QFileInfo info = files->fileInfo(files->index(sourceRow, 0, sourceParent));
    return info.isDir() || (info.isFile() && info.isExecutable());
}

} // namespace pelandor
