// Decodes single image files for the commands that work on one list item at
// a time (viewer, refresh, image copy). It owns a plug-in host of its own, so
// those commands never touch the host of the folder reading loop, and one
// bitmap that is reused for every file it decodes.
#pragma once

#include <QString>

#include "decode/Bitmap.h"
#include "decode/ImageTypeEntry.h"
#include "pelandor/spi_plugin.h"
#include "plugin/TSpi.h"

namespace pelandor {

class MessageSink;

class SingleImageDecoder {
public:
    SingleImageDecoder(const QString &pluginFolder, MessageSink &messages, const ImageTypeList &types,
                       bool jpegPluginFound);
    ~SingleImageDecoder();

    SingleImageDecoder(const SingleImageDecoder &) = delete;
    SingleImageDecoder &operator=(const SingleImageDecoder &) = delete;

    // Finds the file's type entry, loads its module (if it has one) into the
    // host and decodes the file into bitmap(). The module stays loaded until
    // release(), as callers show the result before letting it go. A failed
    // decode leaves what the image loader leaves: an empty bitmap on the
    // built-in route; on the module route the host has shown its message.
    const Bitmap &decode(const QString &path);

    // Releases a module that decode() loaded.
    void release();

    const Bitmap &bitmap() const { return m_bitmap; }
    // Of the last decode: the colour depth the loader reported, the
    // thumbnail cache's route text for the file's type (as the reading loop
    // keys it; empty when its cells are not cached), and whether the result
    // may be kept under that route: decoded without failure, and surely by
    // that route (while a module claims JPEG, a built-in type may have been
    // passed on to it).
    int16_t bitDepth() const { return m_record.bitDepth; }
    QString cacheRoute() const { return m_route; }
    bool cacheable() const { return m_cacheable; }

private:
    TSpi m_host;
    ImageTypeList m_types;
    bool m_jpegPluginFound;
    Bitmap m_bitmap;
    PictureInfo m_record{};
    bool m_moduleLoaded = false;
    bool m_cacheable = false;
    QString m_route;
};

} // namespace pelandor
