#include "platform/ErrorBoxText.h"

namespace pelandor {

QString errorBoxText(const QString &message)
{
    if (message.isEmpty() || message.back().unicode() > u'.')
        return message + QLatin1Char('.');
    return message;
}

} // namespace pelandor
