// See ModulePicture.h. The size a module must have written is computed from
// the header alone (the padded rows of an uncompressed picture, the image
// size it records for run-length data); a header whose own image size is
// smaller than its rows is a module that got its arithmetic wrong, and its
// blocks are not read at all.
#include "plugin/ModulePicture.h"

#include "decode/DibDecoder.h"

#include <QtEndian>

namespace pelandor {

namespace {

constexpr size_t InfoHeaderSize = 40;
constexpr uint32_t BiRgb = 0;
constexpr uint32_t BiBitfields = 3;

} // namespace

bool convertModulePicture(const uchar *info, size_t infoBlock, const uchar *bits, size_t bitsBlock, Bitmap &out)
{
    if (!info || !bits)
        return false;
    const size_t infoNeeded = dibInfoSize(info, infoBlock);
    if (infoNeeded == 0 || infoNeeded > infoBlock)
        return false;
    const size_t bitsNeeded = dibBitsSize(info, infoNeeded);
    if (bitsNeeded == 0 || bitsNeeded > bitsBlock)
        return false;
    if (qFromLittleEndian<uint32_t>(info) >= InfoHeaderSize) {
        const uint32_t compression = qFromLittleEndian<uint32_t>(info + 16);
        const uint32_t sizeImage = qFromLittleEndian<uint32_t>(info + 20);
        // An uncompressed picture may leave its image size 0; one it states
        // must cover its rows and lie inside the block.
        if ((compression == BiRgb || compression == BiBitfields) && sizeImage != 0
            && (sizeImage < bitsNeeded || sizeImage > bitsBlock))
            return false;
    }
    // The decoder reads no further than the sizes checked above.
    return decodeDib(info, infoNeeded, bits, bitsNeeded, out);
}

} // namespace pelandor
