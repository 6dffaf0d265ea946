#include "tools/DetachedProcessStarter.h"

#include <QProcess>

namespace pelandor {

bool DetachedProcessStarter::startDetached(const QString &program, const QStringList &arguments, QString *errorText)
{
    QProcess process;
    process.setProgram(program);
    process.setArguments(arguments);
    if (process.startDetached())
        return true;
    *errorText = process.errorString();
    return false;
}

} // namespace pelandor
