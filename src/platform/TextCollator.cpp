#include "platform/TextCollator.h"

namespace pelandor {

namespace {
int sign(int v)
{
    return (v > 0) - (v < 0);
}
} // namespace

QLocale TextCollator::collationLocale()
{
    QLocale locale;
    if (locale.language() == QLocale::C || locale.name() == QLatin1String("C"))
        return QLocale(QLocale::Japanese, QLocale::Japan);
    return locale;
}

TextCollator::TextCollator()
    : m_insensitive(collationLocale())
    , m_sensitive(collationLocale())
{
    m_insensitive.setCaseSensitivity(Qt::CaseInsensitive);
    m_sensitive.setCaseSensitivity(Qt::CaseSensitive);
}

int TextCollator::compare(const QString &a, const QString &b) const
{
    const int first = sign(m_insensitive.compare(a, b));
    if (first != 0)
        return first;
    return sign(m_sensitive.compare(a, b));
}

int TextCollator::compareIgnoringCase(const QString &a, const QString &b) const
{
    return sign(m_insensitive.compare(a, b));
}

} // namespace pelandor
