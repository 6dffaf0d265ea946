// The JPEG decoding path (the library behind our error manager, the grey
// quantizer and the CMYK conversion) on arbitrary bytes.
#include "decode/Bitmap.h"
#include "decode/JpegDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    pelandor::Bitmap out;
    pelandor::decodeJpeg(data, size, out);
    return 0;
}
