// One typed value of the settings store: a registry type code and its raw
// bytes, as the registry keeps them. Texts are UTF-8 ending in a NUL; a
// REG_DWORD is four bytes, least significant first.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace pelandor {

enum RegistryType : quint32 {
    REG_NONE = 0,
    REG_SZ = 1,
    REG_EXPAND_SZ = 2,
    REG_BINARY = 3,
    REG_DWORD = 4,
};

struct RegistryValue {
    quint32 type = REG_NONE;
    QByteArray data;

    static RegistryValue fromText(const QString &text, quint32 type = REG_SZ);
    static RegistryValue fromDword(quint32 number);

    // The text up to the first NUL.
    QString text() const;
    // True for a REG_DWORD of exactly four bytes; `number` receives it.
    bool toDword(quint32 *number) const;

    friend bool operator==(const RegistryValue &, const RegistryValue &) = default;
};

} // namespace pelandor
