#include "tools/ToolList.h"

namespace pelandor {

void ToolList::append(const QString &name, const QString &exeFile)
{
    m_names.append(name);
    m_exeFiles.append(exeFile);
}

void ToolList::insert(int index, const QString &name, const QString &exeFile)
{
    Q_ASSERT(index >= 0 && index <= ToolCount());
    m_names.insert(index, name);
    m_exeFiles.insert(index, exeFile);
}

void ToolList::replace(int index, const QString &name, const QString &exeFile)
{
    Q_ASSERT(index >= 0 && index < ToolCount());
    m_names.replace(index, name);
    m_exeFiles.replace(index, exeFile);
}

void ToolList::removeAt(int index)
{
    Q_ASSERT(index >= 0 && index < ToolCount());
    m_names.removeAt(index);
    m_exeFiles.removeAt(index);
}

void ToolList::clear()
{
    m_names.clear();
    m_exeFiles.clear();
}

} // namespace pelandor
