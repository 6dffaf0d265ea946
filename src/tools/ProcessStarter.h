// Starts a program without waiting for it. The program receives the given
// arguments exactly as they are, each as one argument; no shell reads them.
#pragma once

#include <QString>
#include <QStringList>

namespace pelandor {

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // False when the program could not be started; `errorText` then holds
    // the system's reason.
    virtual bool startDetached(const QString &program, const QStringList &arguments, QString *errorText) = 0;
};

} // namespace pelandor
