#include "listing/ReadingPass.h"

#include "listing/FolderReader.h"
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
    const int n = int(entries.size());
    if (selected < 0 || selected >= n)
        return true;
    if (selected < n - 1)
        return readEntry(folder, entries[selected]);
    for (int i = 0; i < n - 1; ++i) {
        if (!readEntry(folder, entries[i]))
            return false;
    }
    return true;
}

bool ReadingPass::readEntry(const QString &folder, const ImageTypeEntry &entry)
{
    const ModuleLoaded module(m_host, entry.pluginName);
    FolderReader reader(m_model, &m_host, m_jpegPluginFound);
    reader.setPlaceholderAdded(m_placeholderAdded);
    reader.setFileDone(m_fileDone);
    return reader.read(folder, entry.text);
}

} // namespace pelandor
