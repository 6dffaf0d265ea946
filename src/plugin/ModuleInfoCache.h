// The information texts of import modules (the kind, index 0, and the file
// patterns, index 2), kept between runs so that building the type list does
// not load a module that has not changed since it was last asked: a Windows
// module would start Wine for that, and a slow module would hold up every
// start. An entry is keyed by the module's absolute path, size, modification
// time and a digest of its contents (a module replaced within one tick of the
// file system's clock is still told apart). Only modules that loaded are
// kept. The file ($XDG_CACHE_HOME/pelandor/module-info.json) is replaced
// whole; a damaged or foreign one is ignored and written anew.
#pragma once

#include <QHash>
#include <QString>
#include <optional>

namespace pelandor {

class ModuleInfoCache {
public:
    struct Texts {
        std::optional<QString> kind;     // nothing: the module answered a negative count
        std::optional<QString> patterns; // the same, or not asked (kind was not "00IN")
    };

    // Reads the cache file at `file` (nothing there: an empty cache).
    explicit ModuleInfoCache(QString file = defaultFile());

    static QString defaultFile();

    // The texts kept for the module at `path`, if it is unchanged.
    std::optional<Texts> find(const QString &path);
    // Keeps the texts of the module at `path` as it is now.
    void store(const QString &path, const Texts &texts);
    // Writes the entries found or stored since the cache was read, and only
    // those (modules no longer there drop out), when anything changed.
    // False when the file cannot be written; the cache then only costs time.
    bool save();

private:
    struct Entry {
        QString key;
        Texts texts;
    };
    // The key of the module file as it is now; empty when it cannot be read.
    static QString keyOf(const QString &path);

    QString m_file;
    QHash<QString, Entry> m_read; // path -> entry, as read from the file
    QHash<QString, Entry> m_used; // the entries of this build
    bool m_changed = false;
};

} // namespace pelandor
