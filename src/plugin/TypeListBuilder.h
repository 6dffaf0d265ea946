// Builds the type selector's entries: the built-in types, then every file
// pattern the import modules in the module folder announce, sorted the way a
// sorted combo box sorts, with the all-image-files entry last.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "decode/ImageTypeEntry.h"

namespace pelandor {

class ModuleInfoCache;
class TSpi;

class TypeListBuilder {
public:
    struct Result {
        ImageTypeList entries;
        bool jpegPluginFound = false;
    };

    // Size of the buffer the information texts are read into; at most
    // InfoBufferSize - 1 characters of a text are used.
    static constexpr int InfoBufferSize = 128;

    // Takes every module of `folder` and the host's other folders in turn
    // (the host must load from the same folder): its texts come from the
    // module information cache when it has not changed, else it is loaded
    // through `host` and asked. Leaves no module loaded. A module that cannot
    // be served here (a Windows module without Wine) is left out with a line
    // on standard error, and no message.
    static Result build(TSpi &host, const QString &folder);
    static Result build(TSpi &host, const QString &folder, ModuleInfoCache &cache);

    // The module files of `folder`: names ending in ".spi" in any letter case,
    // regular files or links to them, no hidden (dot) names, in the order the
    // directory lists them.
    static QStringList findModules(const QString &folder);

private:
    // Information text `infoNo` of the loaded module, or nothing when the
    // module reports a negative count.
    static std::optional<QString> pluginInfo(TSpi &host, int infoNo);
};

} // namespace pelandor
