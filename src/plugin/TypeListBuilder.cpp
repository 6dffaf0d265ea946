// Type list built from the import modules. A module's information text is
// read into a buffer far larger than the length it is told, so that one which
// writes past that length does not overwrite the stack, and only the part the
// length allows is used.
#include "plugin/TypeListBuilder.h"

#include "platform/TextCollator.h"
#include "plugin/ModuleInfoCache.h"
#include "plugin/TSpi.h"

#include <QDir>
#include <QDirIterator>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace pelandor {

namespace {

// Room behind the announced buffer for modules that ignore its length.
constexpr size_t OverrunSlack = 4096;

QString upperAsciiLetters(QString text)
{
    for (QChar &c : text) {
        if (c >= QLatin1Char('a') && c <= QLatin1Char('z'))
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return text;
}

} // namespace

QStringList TypeListBuilder::findModules(const QString &folder)
{
    QStringList names;
    if (folder.isEmpty())
        return names;
    // QDir::Files without QDir::Hidden and QDir::System: regular files and
    // links to them, no dot names; the iterator keeps the directory's order.
    QDirIterator it(folder, {QStringLiteral("*.spi")}, QDir::Files);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        if (name.endsWith(QLatin1String(".spi"), Qt::CaseInsensitive) && !name.startsWith(QLatin1Char('.')))
            names.append(name);
    }
    return names;
}

std::optional<QString> TypeListBuilder::pluginInfo(TSpi &host, int infoNo)
{
    std::vector<char> buffer(size_t(InfoBufferSize) + OverrunSlack, '\0');
    const int count = host.GetPluginInfo(infoNo, buffer.data(), InfoBufferSize);
    if (count < 0)
        return std::nullopt;
    // The text ends at the returned count (or an earlier terminator) and never
    // takes more than the buffer's size less its terminator.
    const size_t limit = std::min<size_t>(size_t(count), size_t(InfoBufferSize - 1));
    const size_t length = strnlen(buffer.data(), limit);
    return QString::fromUtf8(buffer.data(), qsizetype(length));
}

TypeListBuilder::Result TypeListBuilder::build(TSpi &host, const QString &folder)
{
    ModuleInfoCache cache;
    return build(host, folder, cache);
}

TypeListBuilder::Result TypeListBuilder::build(TSpi &host, const QString &folder, ModuleInfoCache &cache)
{
    Result result;
    const QString builtIn; // the built-in decoders have no module name
    result.entries = {
        {QStringLiteral("*.BMP"), builtIn},
        {QStringLiteral("*.JPG"), builtIn},
        {allImageFilesText(), builtIn},
    };

    // The host's folders in order; a name already found in an earlier folder
    // is the module the host loads for it, so a later one is not listed again.
    QStringList modules = findModules(folder);
    for (const QString &other : host.moduleFolders()) {
        if (other == QDir(folder).absolutePath())
            continue;
        for (const QString &name : findModules(other)) {
            if (!modules.contains(name))
                modules.append(name);
        }
    }
    bool loadedAny = false;
    for (const QString &name : modules) {
        const QString path = host.locate(name);
        const QString problem = TSpi::moduleProblem(path);
        if (!problem.isEmpty()) {
            std::fprintf(stderr, "%s\n", problem.toLocal8Bit().constData());
            continue;
        }
        std::optional<ModuleInfoCache::Texts> texts = cache.find(path);
        if (!texts) {
            host.LoadSpi(name);
            loadedAny = true;
            texts = ModuleInfoCache::Texts{pluginInfo(host, 0), std::nullopt};
            if (texts->kind && *texts->kind == QLatin1String("00IN"))
                texts->patterns = pluginInfo(host, 2);
            // Only complete answers are kept: a count of -1 may be a module
            // that failed this once (a crash, a time limit).
            const bool complete = texts->kind && (*texts->kind != QLatin1String("00IN") || texts->patterns);
            if (host.isLoaded() && complete)
                cache.store(path, *texts);
        }
        const std::optional<QString> &kind = texts->kind;
        if (!kind || *kind != QLatin1String("00IN"))
            continue;
        const std::optional<QString> &patterns = texts->patterns;
        if (!patterns)
            continue;
        const QString upper = upperAsciiLetters(*patterns);
        // Bitmaps are always read by the program itself.
        if (upper.startsWith(QLatin1String("*.BMP")))
            continue;
        if (upper.startsWith(QLatin1String("*.JP"))) {
            const ImageTypeEntry builtInJpeg{QStringLiteral("*.JPG"), builtIn};
            result.entries.removeOne(builtInJpeg);
            result.jpegPluginFound = true;
        }
        const QStringList pieces = patterns->split(QLatin1Char(';'), Qt::KeepEmptyParts);
        for (const QString &piece : pieces)
            result.entries.append({piece, name});
    }
    if (loadedAny)
        host.FreeSpi();
    cache.save();

    const TextCollator collator;
    std::stable_sort(result.entries.begin(), result.entries.end(),
                     [&collator](const ImageTypeEntry &a, const ImageTypeEntry &b) {
                         return collator.compareIgnoringCase(a.text, b.text) < 0;
                     });
    return result;
}

} // namespace pelandor
