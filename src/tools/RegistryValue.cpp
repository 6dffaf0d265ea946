#include "tools/RegistryValue.h"

#include <QStringDecoder>

#include <QtEndian>

namespace pelandor {

RegistryValue RegistryValue::fromText(const QString &text, quint32 type)
{
    RegistryValue value;
    value.type = type;
    value.data = text.toUtf8();
    value.data.append('\0');
    return value;
}

RegistryValue RegistryValue::fromDword(quint32 number)
{
    RegistryValue value;
    value.type = REG_DWORD;
    value.data.resize(4);
    qToLittleEndian(number, value.data.data());
    return value;
}

QString RegistryValue::text() const
{
    const qsizetype end = data.indexOf('\0');
    // Decoded exactly: a text that starts with U+FEFF keeps it.
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(end < 0 ? data : data.left(end));
}

bool RegistryValue::toDword(quint32 *number) const
{
    if (type != REG_DWORD || data.size() != 4)
        return false;
    *number = qFromLittleEndian<quint32>(data.constData());
    return true;
}

} // namespace pelandor
