// The bitmap file decoder on arbitrary bytes.
#include "decode/Bitmap.h"
#include "decode/BmpDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    pelandor::Bitmap out;
    pelandor::decodeBmp(data, size, out);
    return 0;
}
