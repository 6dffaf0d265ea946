#include "platform/MessageSink.h"

#include <cstdio>

namespace pelandor {

void StderrMessageSink::showMessage(const QString &text)
{
    const QByteArray line = text.toUtf8();
    std::fprintf(stderr, "%s\n", line.constData());
    std::fflush(stderr);
}

} // namespace pelandor
