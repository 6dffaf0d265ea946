#include "tools/RegistryTree.h"

#include <algorithm>

namespace pelandor {

namespace {

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

template <typename K> K *childOf(K &key, const QString &name)
{
    for (auto &subkey : key.subkeys) {
        if (sameName(subkey.name, name))
            return &subkey;
    }
    return nullptr;
}

bool hasLineBreakOrNul(const QString &text)
{
    return text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r')) || text.contains(QChar());
}

} // namespace

bool RegistryTree::isValidKeyName(const QString &name)
{
    return !name.isEmpty() && name.size() <= MaxKeyNameLength && !name.contains(QLatin1Char('\\'))
        && !hasLineBreakOrNul(name);
}

bool RegistryTree::isValidKeyPath(const QString &path)
{
    const QStringList names = split(path);
    return names.size() <= MaxDepth && std::all_of(names.cbegin(), names.cend(), isValidKeyName);
}

bool RegistryTree::isValidValueName(const QString &name)
{
    return !hasLineBreakOrNul(name);
}

QStringList RegistryTree::split(const QString &path)
{
    return path.split(QLatin1Char('\\'), Qt::SkipEmptyParts);
}

const RegistryTree::Key *RegistryTree::find(const QString &path) const
{
    const Key *key = &m_root;
    for (const QString &name : split(path)) {
        key = childOf(*key, name);
        if (!key)
            return nullptr;
    }
    return key;
}

RegistryTree::Key *RegistryTree::find(const QString &path)
{
    return const_cast<Key *>(std::as_const(*this).find(path));
}

bool RegistryTree::createKey(const QString &path)
{
    if (!isValidKeyPath(path))
        return false;
    const QStringList names = split(path);
    Key *key = &m_root;
    for (const QString &name : names) {
        Key *child = childOf(*key, name);
        if (!child) {
            key->subkeys.append(Key{name, {}, {}});
            child = &key->subkeys.last();
        }
        key = child;
    }
    return true;
}

bool RegistryTree::keyExists(const QString &path) const
{
    return find(path) != nullptr;
}

std::optional<RegistryValue> RegistryTree::value(const QString &keyPath, const QString &name) const
{
    if (const Key *key = find(keyPath)) {
        for (const auto &entry : key->values) {
            if (sameName(entry.first, name))
                return entry.second;
        }
    }
    return std::nullopt;
}

bool RegistryTree::setValue(const QString &keyPath, const QString &name, const RegistryValue &value)
{
    if (!isValidValueName(name) || !createKey(keyPath))
        return false;
    Key *key = find(keyPath);
    for (auto &entry : key->values) {
        if (sameName(entry.first, name)) {
            entry.second = value;
            return true;
        }
    }
    key->values.append({name, value});
    return true;
}

QStringList RegistryTree::subkeyNames(const QString &path) const
{
    QStringList names;
    if (const Key *key = find(path)) {
        for (const Key &subkey : key->subkeys)
            names.append(subkey.name);
    }
    return names;
}

bool RegistryTree::deleteKey(const QString &path)
{
    QStringList names = split(path);
    if (names.isEmpty())
        return false;
    const QString last = names.takeLast();
    Key *parent = find(names.join(QLatin1Char('\\')));
    if (!parent)
        return false;
    for (qsizetype i = 0; i < parent->subkeys.size(); ++i) {
        if (sameName(parent->subkeys[i].name, last)) {
            parent->subkeys.removeAt(i);
            return true;
        }
    }
    return false;
}

bool operator==(const RegistryTree::Key &a, const RegistryTree::Key &b)
{
    return a.name == b.name && a.values == b.values && a.subkeys == b.subkeys;
}

bool operator==(const RegistryTree &a, const RegistryTree &b)
{
    return a.m_root == b.m_root;
}

} // namespace pelandor
