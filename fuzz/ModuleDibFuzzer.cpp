// The host's conversion of the two blocks a module hands back into the
// target bitmap. The input's first byte picks how many of the following bytes
// form the header block (the header alone, or with up to 1 KiB of masks and
// colour table); the rest is the pixel block. Each block is copied into a
// heap block of exactly its size, so any read past it is caught.
#include "decode/Bitmap.h"
#include "plugin/ModulePicture.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const size_t infoSize = std::min(size - 1, size_t(12 + 4 * data[0]));
    const size_t bitsSize = size - 1 - infoSize;
    auto info = std::make_unique<uint8_t[]>(infoSize + 1);
    auto bits = std::make_unique<uint8_t[]>(bitsSize + 1);
    std::memcpy(info.get(), data + 1, infoSize);
    std::memcpy(bits.get(), data + 1 + infoSize, bitsSize);
    pelandor::Bitmap decoded;
    if (pelandor::convertModulePicture(info.get(), infoSize, bits.get(), bitsSize, decoded)) {
        // What GetBitmap does with it: the target keeps its 24-bit format.
        pelandor::Bitmap target;
        target.setPixelFormat(pelandor::PixelFormat::Bits24);
        target.assign(target.pixelFormat(), decoded.image());
    }
    return 0;
}
