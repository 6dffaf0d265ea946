// The image loader: turns one image file into a full-size bitmap and fills its
// picture information record, with the built-in decoders for bitmap and JPEG
// files and through the plug-in host for every other type.
#pragma once

#include <QString>
#include <optional>

#include "decode/ImageTypeEntry.h"
#include "pelandor/spi_plugin.h"

namespace pelandor {

class Bitmap;
class PictureSource;

// Decodes the file `path` of the type entry text `pattern` into `target` and
// fills `record`. Shows nothing and lets nothing escape.
// - Pattern exactly "*.BMP" or "*.JPG": the built-in decoder. On success the
//   target holds the picture and the record its width, height and colour depth.
//   On failure the target is emptied and bitDepth set to 0 (width and height
//   keep their values) - except a file named as JPEG that lacks the
//   start-of-image marker while `jpegPluginFound` is set: that goes on through
//   the plug-in route.
// - Any other pattern: the plug-in route. The target and the record are cleared
//   first (so a failed decode never shows the previous file), the target is set
//   to 24 bits, then `host` decodes the file and fills the record; its results
//   are not examined. A null host leaves both cleared.
// Returns whether the file was decoded without any failure (the host's two
// calls both succeeded on the plug-in route), which callers need only to
// know what may be kept.
bool LoadImageToBitmap(bool jpegPluginFound, PictureSource *host, Bitmap &target, PictureInfo &record,
                       const QString &path, const QString &pattern);

// Whether a pattern takes the built-in route: exactly "*.BMP" or "*.JPG".
bool IsBuiltInPattern(const QString &pattern);

enum class BuiltInOutcome {
    Decoded,
    Failed,    // target emptied, bitDepth 0, as LoadImageToBitmap leaves them
    TryPlugin, // the JPEG decoder found no start-of-image marker and a module claims JPEG
};

// The built-in part of LoadImageToBitmap for a built-in pattern. It never
// touches a plug-in host, so it may run on any thread; a TryPlugin outcome
// leaves target and record as they were, for LoadImageToBitmap to finish on
// the host's thread.
BuiltInOutcome LoadBuiltInImage(bool jpegPluginFound, Bitmap &target, PictureInfo &record, const QString &path,
                                const QString &pattern);

// The type entry whose pattern's extension matches the file's extension
// (compared upper-cased; ".JPEG" and ".JPE" count as ".JPG"), searching every
// entry but the last (the all-image-files entry). Nothing when none matches.
std::optional<ImageTypeEntry> FindImageType(const QString &path, const ImageTypeList &types);

} // namespace pelandor
