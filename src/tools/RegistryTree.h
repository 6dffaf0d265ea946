// The keys and values of the settings store held in memory, with the
// operations of the registry: create a key with its missing parents, read and
// write a value, list the subkeys, delete a key with everything below it.
// A key path is key names joined by "\", relative to the root (the current
// user's hive); names are matched regardless of letter case and keep the
// case they were created with. Keys and values keep their order of creation.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <utility>

#include "tools/RegistryValue.h"

namespace pelandor {

class RegistryTree {
public:
    struct Key {
        QString name;
        QList<std::pair<QString, RegistryValue>> values;
        QList<Key> subkeys;
    };

    // Keys at most 64 levels deep (the program's own go five deep) with names
    // of at most 255 characters (the registry's limit). Writing repeats each
    // key's whole path, so the text grows with the square of the depth, and
    // copying, comparing and writing keys recurse: a damaged file must not
    // make either unbounded.
    static constexpr int MaxDepth = 64;
    static constexpr int MaxKeyNameLength = 255;

    // True when `name` can be a key name (not empty, no "\", no line break,
    // at most MaxKeyNameLength characters).
    static bool isValidKeyName(const QString &name);
    // True when `path` names a key within MaxDepth levels by valid names.
    static bool isValidKeyPath(const QString &path);
    // True when `name` can be a value name (no line break, no NUL).
    static bool isValidValueName(const QString &name);

    // Opens the key at `path`, creating it and its missing parents. Returns
    // false (and creates nothing) when the path is not valid.
    bool createKey(const QString &path);
    bool keyExists(const QString &path) const;
    std::optional<RegistryValue> value(const QString &keyPath, const QString &name) const;
    // Writes a value into the key at `keyPath`, creating the key when needed.
    bool setValue(const QString &keyPath, const QString &name, const RegistryValue &value);
    QStringList subkeyNames(const QString &path) const;
    // Deletes the key at `path` with all its subkeys and values. Returns
    // false when there was no such key.
    bool deleteKey(const QString &path);

    const Key &root() const { return m_root; }
    bool isEmpty() const { return m_root.values.isEmpty() && m_root.subkeys.isEmpty(); }

    friend bool operator==(const RegistryTree &, const RegistryTree &);

private:
    static QStringList split(const QString &path);
    const Key *find(const QString &path) const;
    Key *find(const QString &path);

    Key m_root;
};

bool operator==(const RegistryTree::Key &, const RegistryTree::Key &);

} // namespace pelandor
