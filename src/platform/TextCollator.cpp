#include "platform/TextCollator.h"

#include <unicode/ucol.h>

#include <algorithm>
#include <cstring>

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

    // Set up as QCollator sets up its own: normalisation on, the locale's
    // default strength (case counts), no numeric order, punctuation counts.
    QByteArray name = collationLocale().bcp47Name().toLatin1();
    name.replace('-', '_');
    UErrorCode status = U_ZERO_ERROR;
    UCollator *collator = ucol_open(name.constData(), &status);
    if (U_FAILURE(status)) {
        if (collator)
            ucol_close(collator);
        return;
    }
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_ON, &status);
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_DEFAULT_STRENGTH, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_OFF, &status);
    ucol_setAttribute(collator, UCOL_ALTERNATE_HANDLING, UCOL_NON_IGNORABLE, &status);
    if (U_FAILURE(status)) {
        ucol_close(collator);
        return;
    }
    m_keys = std::shared_ptr<UCollator>(collator, ucol_close);
}

QByteArray TextCollator::key(const QString &text) const
{
    if (!m_keys || text.isEmpty())
        return QByteArray();
    const auto *chars = reinterpret_cast<const UChar *>(text.constData());
    const auto length = int32_t(text.size());
    // Most names fit the buffer on the stack: one call and one exact copy.
    uint8_t buffer[256];
    int32_t size = ucol_getSortKey(m_keys.get(), chars, length, buffer, int32_t(sizeof buffer));
    if (size <= 0)
        return QByteArray();
    // The size counts the closing zero byte, which the key leaves out.
    if (size_t(size) <= sizeof buffer)
        return QByteArray(reinterpret_cast<const char *>(buffer), size - 1);
    QByteArray key(size, Qt::Uninitialized);
    size = ucol_getSortKey(m_keys.get(), chars, length, reinterpret_cast<uint8_t *>(key.data()), size);
    key.truncate(size > 0 ? size - 1 : 0);
    return key;
}

int TextCollator::compareKeys(const QByteArray &a, const QByteArray &b)
{
    const qsizetype common = std::min(a.size(), b.size());
    const int bytes = common > 0 ? std::memcmp(a.constData(), b.constData(), size_t(common)) : 0;
    if (bytes != 0)
        return sign(bytes);
    return (a.size() > b.size()) - (a.size() < b.size());
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
