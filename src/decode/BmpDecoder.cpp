// Windows bitmap file decoder: checks the file header, then hands the header
// block and the pixel data to the device-independent bitmap reader.
#include "decode/BmpDecoder.h"

#include "decode/Bitmap.h"
#include "decode/DibDecoder.h"
#include "decode/ImageFile.h"

#include <QtEndian>
#include <algorithm>
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

size_t bmpFileBytesNeeded(const uchar *head, size_t headSize, size_t fileSize)
{
    if (headSize < FileHeaderSize + 4 || head[0] != 'B' || head[1] != 'M')
        return 0;
    const uchar *info = head + FileHeaderSize;
    const size_t infoSize = dibInfoSize(info, headSize - FileHeaderSize);
    if (infoSize == 0)
        return 0;
    const uint32_t bitsOffset = qFromLittleEndian<uint32_t>(head + 10);
    if (bitsOffset < FileHeaderSize + infoSize || bitsOffset > fileSize)
        return 0;
    const size_t bits = dibBitsSize(info, infoSize);
    const size_t available = fileSize - bitsOffset;
    const uint32_t headerSize = qFromLittleEndian<uint32_t>(info);
    const uint32_t compression = headerSize >= 40 ? qFromLittleEndian<uint32_t>(info + 16) : 0;
    if (compression == 1 || compression == 2) {
        // Run-length data: its recorded size, or up to the end when that is
        // missing or too large (the expansion stops at its end marker).
        return bits == 0 || bits > available ? fileSize : bitsOffset + bits;
    }
    // Rows the file cannot hold (the last row may lack its padding of up to
    // three bytes) are refused before anything more is read.
    if (bits == 0 || bits - std::min<size_t>(bits, 3) > available)
        return 0;
    return bitsOffset + std::min(bits, available);
}

bool decodeBmpFile(const QString &path, Bitmap &out)
{
    // The header block is judged first; only the bytes it declares are read
    // after it, so a huge file with a damaged or small header costs one
    // short read.
    const ImageFileData file = readImageFileJudged(
        path, QByteArrayView("BM", 2), BmpHeadLength, [](QByteArrayView head, qint64 fileSize) -> qint64 {
            if (head.size() == fileSize)
                return fileSize;
            const size_t needed = bmpFileBytesNeeded(reinterpret_cast<const uchar *>(head.data()),
                                                     size_t(head.size()), size_t(fileSize));
            return needed == 0 ? -1 : qint64(needed);
        });
    if (file.status != ImageFileStatus::Read)
        return false;
    return decodeBmp(reinterpret_cast<const uchar *>(file.bytes.constData()), size_t(file.bytes.size()), out);
}

} // namespace pelandor
