// The process starter of the program: the program is executed directly,
// never through a shell, in a process of its own that the program does not
// wait for. Arguments go out as their exact bytes (NativeName), so a file
// whose name is not UTF-8 reaches the tool as the same file.
#pragma once

#include "tools/ProcessStarter.h"

namespace pelandor {

class DetachedProcessStarter : public ProcessStarter {
public:
    bool startDetached(const QString &program, const QStringList &arguments, QString *errorText) override;
};

} // namespace pelandor
