// The user's external tools in memory: registered names and executable files,
// parallel lists indexed by tool number. The count is always the number of
// entries, so no caller can reach past the tools that exist.
#pragma once

#include <QStringList>

namespace pelandor {

class ToolList {
public:
    const QStringList &ToolNames() const { return m_names; }
    const QStringList &ToolExeFiles() const { return m_exeFiles; }
    int ToolCount() const { return int(m_names.size()); }

    void append(const QString &name, const QString &exeFile);
    // Inserts before tool `index` (0 .. ToolCount()).
    void insert(int index, const QString &name, const QString &exeFile);
    void replace(int index, const QString &name, const QString &exeFile);
    void removeAt(int index);
    void clear();

    friend bool operator==(const ToolList &, const ToolList &) = default;

private:
    QStringList m_names;
    QStringList m_exeFiles;
};

} // namespace pelandor
