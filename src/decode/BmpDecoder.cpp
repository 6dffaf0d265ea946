// Windows bitmap file decoder: checks the file header, then hands the header
// block and the pixel data to the device-independent bitmap reader.
#include "decode/BmpDecoder.h"

#include "decode/Bitmap.h"
#include "decode/DibDecoder.h"
#include "decode/ImageFile.h"

#include <QtEndian>
#include <cstdint>

namespace pelandor {

namespace {
constexpr size_t FileHeaderSize = 14;
}

bool decodeBmp(const uchar *data, size_t size, Bitmap &out)
{
    if (size == 0) {
        out.assign(PixelFormat::Device, QImage());
        return true;
    }
    if (!data || size < FileHeaderSize + 4 || data[0] != 'B' || data[1] != 'M')
        return false;
    const uchar *info = data + FileHeaderSize;
    const size_t infoAvailable = size - FileHeaderSize;
    const size_t infoSize = dibInfoSize(info, infoAvailable);
    if (infoSize == 0)
        return false;
    const uint32_t bitsOffset = qFromLittleEndian<uint32_t>(data + 10);
    if (bitsOffset < FileHeaderSize + infoSize || bitsOffset > size)
        return false;
    return decodeDib(info, bitsOffset - FileHeaderSize, data + bitsOffset, size - bitsOffset, out);
}

bool decodeBmpFile(const QString &path, Bitmap &out)
{
    const ImageFileData file = readImageFile(path, QByteArrayView("BM", 2));
    if (file.status != ImageFileStatus::Read)
        return false;
    return decodeBmp(reinterpret_cast<const uchar *>(file.bytes.constData()), size_t(file.bytes.size()), out);
}

} // namespace pelandor
