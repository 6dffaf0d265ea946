// The "programs" entry of the tool dialog's file chooser: on this system a
// program is any file the user may run, whatever its name, so the entry is
// a filter on the file's permission, not on a name pattern. Lets folders
// through, so that the user can still move around.
#pragma once

#include <QSortFilterProxyModel>

namespace pelandor {

class ExecutableFileFilter : public QSortFilterProxyModel {
    Q_OBJECT

public:
    explicit ExecutableFileFilter(QObject *parent = nullptr);

    // Off, every row of the file system model passes.
    void setActive(bool active);
    bool isActive() const { return m_active; }

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    bool m_active = true;
};

} // namespace pelandor
