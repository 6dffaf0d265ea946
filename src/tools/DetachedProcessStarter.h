// The process starter of the program: QProcess::startDetached, directly,
// never through a shell.
#pragma once

#include "tools/ProcessStarter.h"

namespace pelandor {

class DetachedProcessStarter : public ProcessStarter {
public:
    bool startDetached(const QString &program, const QStringList &arguments, QString *errorText) override;
};

} // namespace pelandor
