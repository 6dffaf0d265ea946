#include "viewer/SingleImageDecoder.h"

#include "decode/ImageLoader.h"

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
    LoadImageToBitmap(m_jpegPluginFound, &m_host, m_bitmap, m_record, path, pattern);
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
