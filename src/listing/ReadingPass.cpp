#include "listing/ReadingPass.h"

#include <QDir>
#include <QFileInfo>

#include "decode/ImageLoader.h"
#include "listing/FolderReader.h"
#include "listing/ThumbnailCache.h"
#include "plugin/TSpi.h"

namespace pelandor {

namespace {

// Releases a loaded module when the pass of its entry ends, also by an error.
class ModuleLoaded {
public:
    ModuleLoaded(TSpi &host, const QString &pluginName)
        : m_host(host)
        , m_loaded(!pluginName.isEmpty())
    {
        if (m_loaded)
            m_host.LoadSpi(pluginName);
    }
    ~ModuleLoaded()
    {
        if (m_loaded)
            m_host.FreeSpi();
    }
    ModuleLoaded(const ModuleLoaded &) = delete;
    ModuleLoaded &operator=(const ModuleLoaded &) = delete;

private:
    TSpi &m_host;
    bool m_loaded;
};

} // namespace

ReadingPass::ReadingPass(FileListModel &model, TSpi &host, bool jpegPluginFound)
    : m_model(model)
    , m_host(host)
    , m_jpegPluginFound(jpegPluginFound)
{
}

bool ReadingPass::run(const QString &folder, const ImageTypeList &entries, int selected)
{
    m_folderError.clear();
    const int n = int(entries.size());
    if (selected < 0 || selected >= n)
        return true;
    if (selected < n - 1)
        return readEntry(folder, entries[selected]);
    for (int i = 0; i < n - 1; ++i) {
        if (!readEntry(folder, entries[i]))
            return false;
        if (!m_folderError.isEmpty())
            break;
    }
    return true;
}

QString ReadingPass::routeOf(const ImageTypeEntry &entry) const
{
    if (entry.pluginName.isEmpty())
        return IsBuiltInPattern(entry.text) ? ThumbnailCache::builtInRoute() : QString();
    // The module file the host loads: the first folder that holds it.
    for (const QString &folder : m_host.moduleFolders()) {
        const QString file = QDir(folder).filePath(entry.pluginName);
        if (QFileInfo::exists(file))
            return ThumbnailCache::moduleRoute(file);
    }
    return QString();
}

bool ReadingPass::readEntry(const QString &folder, const ImageTypeEntry &entry)
{
    const ModuleLoaded module(m_host, entry.pluginName);
    FolderReader reader(m_model, &m_host, m_jpegPluginFound);
    if (m_cache)
        reader.setCache(m_cache, routeOf(entry));
    reader.setPlaceholderAdded(m_placeholderAdded);
    reader.setFileDone(m_fileDone);
    const bool goOn = reader.read(folder, entry.text);
    m_folderError = reader.listError();
    return goOn;
}

} // namespace pelandor
