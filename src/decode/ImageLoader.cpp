// See ImageLoader.h. Every failure, including running out of memory, ends in
// the documented outcome inside this file; the callers' loops go on.
#include "decode/ImageLoader.h"

#include "decode/Bitmap.h"
#include "decode/BmpDecoder.h"
#include "decode/JpegDecoder.h"
#include "decode/PictureSource.h"
#include "platform/FileNames.h"
#include "platform/NativeName.h"

#include <cstring>
#include <exception>

namespace pelandor {

namespace {

const QString BmpPattern = QStringLiteral("*.BMP");
const QString JpgPattern = QStringLiteral("*.JPG");

BuiltInOutcome decodeBuiltIn(bool jpegPluginFound, Bitmap &target, PictureInfo &record, const QString &path,
                             const QString &pattern)
{
    try {
        bool ok = false;
        if (pattern == BmpPattern) {
            ok = decodeBmpFile(path, target);
        } else {
            const JpegResult result = decodeJpegFile(path, target);
            if (result == JpegResult::NotJpeg && jpegPluginFound)
                return BuiltInOutcome::TryPlugin;
            ok = result == JpegResult::Ok;
        }
        if (ok) {
            record.width = target.width();
            record.height = target.height();
            record.bitDepth = int16_t(Bitmap::bitDepthOf(target.pixelFormat()));
            return BuiltInOutcome::Decoded;
        }
    } catch (...) {
        // Out of memory or any other failure inside a decoder: same outcome.
    }
    return BuiltInOutcome::Failed;
}

bool loadThroughPlugin(PictureSource *host, Bitmap &target, PictureInfo &record, const QString &path)
{
    target.clear();
    std::memset(&record, 0, sizeof record);
    try {
        target.setPixelFormat(PixelFormat::Bits24);
        if (!host)
            return false;
        // A path the host could not open as a regular file is not handed to
        // the module again: its own open of a FIFO could wait for ever.
        const int picture = host->GetBitmap(target, path);
        if (picture == PictureSource::NotRegularFileResult)
            return false;
        // The name's exact bytes, as GetBitmap gave the module.
        const QByteArray source = NativeName::encode(path);
        const int info = host->GetPictureInfo(source.constData(), 0, 0, &record);
        return picture == 0 && info == 0;
    } catch (...) {
        // A module that failed half-way must not leave a half-made picture.
        target.clear();
        return false;
    }
}

} // namespace

bool IsBuiltInPattern(const QString &pattern)
{
    return pattern == BmpPattern || pattern == JpgPattern;
}

BuiltInOutcome LoadBuiltInImage(bool jpegPluginFound, Bitmap &target, PictureInfo &record, const QString &path,
                                const QString &pattern)
{
    const BuiltInOutcome outcome = decodeBuiltIn(jpegPluginFound, target, record, path, pattern);
    if (outcome == BuiltInOutcome::Failed) {
        target.clear();
        record.bitDepth = 0;
    }
    return outcome;
}

bool LoadImageToBitmap(bool jpegPluginFound, PictureSource *host, Bitmap &target, PictureInfo &record,
                       const QString &path, const QString &pattern)
{
    if (IsBuiltInPattern(pattern)) {
        const BuiltInOutcome outcome = LoadBuiltInImage(jpegPluginFound, target, record, path, pattern);
        if (outcome != BuiltInOutcome::TryPlugin)
            return outcome == BuiltInOutcome::Decoded;
    }
    return loadThroughPlugin(host, target, record, path);
}

std::optional<ImageTypeEntry> FindImageType(const QString &path, const ImageTypeList &types)
{
    const QString ext = FileNames::imageExtensionOf(path);
    for (qsizetype i = 0; i + 1 < types.size(); ++i) {
        if (FileNames::extensionOf(types[i].text) == ext)
            return types[i];
    }
    return std::nullopt;
}

} // namespace pelandor
