// The JPEG decoding path (the library behind our error manager, the grey
// quantizer and the CMYK conversion) on arbitrary bytes.
//
// Inputs whose frame header declares more than 2^22 pixels are skipped: an
// arithmetic-coded file of a few hundred bytes may rightly hold a flat
// picture of up to the decoder's 2^28-pixel bound, and decoding one takes
// seconds under the sanitizers, which left the fuzzer at a few inputs a
// second. Large pictures run through the same code as small ones; the
// regression files and the tests cover the bounds themselves.
#include "decode/Bitmap.h"
#include "decode/JpegDecoder.h"

#include <cstddef>
#include <cstdint>

namespace {

constexpr uint64_t MaxFuzzedPixels = uint64_t(1) << 22;

// Whether any start-of-frame marker in the bytes declares a larger picture.
bool declaresLargePicture(const uint8_t *data, size_t size)
{
    for (size_t i = 0; i + 8 < size; ++i) {
        if (data[i] != 0xFF)
            continue;
        const uint8_t marker = data[i + 1];
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (!frame)
            continue;
        const uint64_t height = (uint64_t(data[i + 5]) << 8) | data[i + 6];
        const uint64_t width = (uint64_t(data[i + 7]) << 8) | data[i + 8];
        if (width * height > MaxFuzzedPixels)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (declaresLargePicture(data, size))
        return 0;
    pelandor::Bitmap out;
    pelandor::decodeJpeg(data, size, out);
    return 0;
}
