// Module information cache, a small JSON file:
//   {"version": 1, "modules": [{"path": P, "key": K, "kind": T|null,
//                               "patterns": T|null}, ...]}
// Paths are kept as the program spells them (QString); the key holds the
// size, the modification time in nanoseconds and the SHA-256 of the file.
#include "plugin/ModuleInfoCache.h"

#include "platform/NativeName.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

#include <sys/stat.h>

namespace pelandor {

namespace {

constexpr int Version = 1;
// A module file larger than this is not a module we keep texts of.
constexpr qint64 MaxModuleSize = qint64(256) << 20;
// A cache file larger than this is not ours.
constexpr qint64 MaxCacheSize = qint64(4) << 20;

QJsonValue textValue(const std::optional<QString> &text)
{
    return text ? QJsonValue(*text) : QJsonValue(QJsonValue::Null);
}

bool readText(const QJsonValue &value, std::optional<QString> &text)
{
    if (value.isNull()) {
        text.reset();
        return true;
    }
    if (!value.isString())
        return false;
    text = value.toString();
    return true;
}

} // namespace

ModuleInfoCache::ModuleInfoCache(QString file)
    : m_file(std::move(file))
{
    QFile in(m_file);
    if (!in.open(QIODevice::ReadOnly) || in.size() > MaxCacheSize)
        return;
    const QJsonDocument document = QJsonDocument::fromJson(in.readAll());
    const QJsonObject root = document.object();
    if (root.value(QStringLiteral("version")).toInt() != Version)
        return;
    const QJsonArray modules = root.value(QStringLiteral("modules")).toArray();
    for (const QJsonValue &value : modules) {
        const QJsonObject object = value.toObject();
        Entry entry;
        const QString path = object.value(QStringLiteral("path")).toString();
        entry.key = object.value(QStringLiteral("key")).toString();
        if (path.isEmpty() || entry.key.isEmpty() || !readText(object.value(QStringLiteral("kind")), entry.texts.kind)
            || !readText(object.value(QStringLiteral("patterns")), entry.texts.patterns))
            continue;
        m_read.insert(path, entry);
    }
}

QString ModuleInfoCache::defaultFile()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/pelandor/module-info.json");
}

QString ModuleInfoCache::keyOf(const QString &path)
{
    const QByteArray native = NativeName::encode(path);
    struct stat info {};
    if (::stat(native.constData(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > MaxModuleSize)
        return QString();
    QFile file(path);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    if (!file.open(QIODevice::ReadOnly) || !digest.addData(&file))
        return QString();
    const qint64 modified = qint64(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    return QStringLiteral("%1 %2 %3")
        .arg(qint64(info.st_size))
        .arg(modified)
        .arg(QString::fromLatin1(digest.result().toHex()));
}

std::optional<ModuleInfoCache::Texts> ModuleInfoCache::find(const QString &path)
{
    const auto found = m_read.constFind(path);
    if (found == m_read.constEnd())
        return std::nullopt;
    const QString key = keyOf(path);
    if (key.isEmpty() || key != found->key)
        return std::nullopt;
    m_used.insert(path, *found);
    return found->texts;
}

void ModuleInfoCache::store(const QString &path, const Texts &texts)
{
    const QString key = keyOf(path);
    if (key.isEmpty())
        return;
    m_used.insert(path, Entry{key, texts});
    m_changed = true;
}

bool ModuleInfoCache::save()
{
    if (!m_changed && m_used.size() == m_read.size())
        return true;
    QJsonArray modules;
    for (auto it = m_used.constBegin(); it != m_used.constEnd(); ++it) {
        QJsonObject object;
        object.insert(QStringLiteral("path"), it.key());
        object.insert(QStringLiteral("key"), it->key);
        object.insert(QStringLiteral("kind"), textValue(it->texts.kind));
        object.insert(QStringLiteral("patterns"), textValue(it->texts.patterns));
        modules.append(object);
    }
    QJsonObject root;
    root.insert(QStringLiteral("version"), Version);
    root.insert(QStringLiteral("modules"), modules);
    QDir().mkpath(QFileInfo(m_file).absolutePath());
    QSaveFile out(m_file);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    out.write(QJsonDocument(root).toJson(QJsonDocument::Compact));
    if (!out.commit())
        return false;
    m_read = m_used;
    m_changed = false;
    return true;
}

} // namespace pelandor
