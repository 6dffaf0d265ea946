#include "viewer/SingleImageDecoder.h"

#include <QDir>
#include <QFileInfo>

#include "decode/ImageLoader.h"
#include "listing/ThumbnailCache.h"

namespace pelandor {

SingleImageDecoder::SingleImageDecoder(const QString &pluginFolder, MessageSink &messages,
                                       const ImageTypeList &types, bool jpegPluginFound)
    : m_host(pluginFolder, messages)
    , m_types(types)
    , m_jpegPluginFound(jpegPluginFound)
{
}

SingleImageDecoder::~SingleImageDecoder()
{
    release();
}

const Bitmap &SingleImageDecoder::decode(const QString &path)
{
    release();
    // A file whose type is not in the list (it cannot have been listed, but
    // the list may be handed anything) gets an empty pattern: the module
    // route with no module, which decodes nothing.
    const std::optional<ImageTypeEntry> type = FindImageType(path, m_types);
    const QString pattern = type ? type->text : QString();
    if (type && !type->pluginName.isEmpty()) {
        m_host.LoadSpi(type->pluginName);
        m_moduleLoaded = true;
    }
    m_route.clear();
    if (type && type->pluginName.isEmpty() && IsBuiltInPattern(pattern)) {
        m_route = ThumbnailCache::builtInRoute();
    } else if (type && !type->pluginName.isEmpty()) {
        for (const QString &folder : m_host.moduleFolders()) {
            const QString file = QDir(folder).filePath(type->pluginName);
            if (QFileInfo::exists(file)) {
                m_route = ThumbnailCache::moduleRoute(file);
                break;
            }
        }
    }
    const bool ok = LoadImageToBitmap(m_jpegPluginFound, &m_host, m_bitmap, m_record, path, pattern);
    m_cacheable = ok && !m_route.isEmpty() && !(IsBuiltInPattern(pattern) && m_jpegPluginFound);
    return m_bitmap;
}

void SingleImageDecoder::release()
{
    if (m_moduleLoaded) {
        m_host.FreeSpi();
        m_moduleLoaded = false;
    }
}

} // namespace pelandor
