#include "decode/ExifOrientation.h"

#include "decode/Bitmap.h"

#include <QTransform>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>

#include <libexif/exif-data.h>

namespace pelandor {

namespace {

std::atomic<bool> g_applied{true};

constexpr uchar ExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};

struct ExifDataDeleter {
    void operator()(ExifData *data) const { exif_data_unref(data); }
};

} // namespace

bool ExifOrientation::applied()
{
    return g_applied.load(std::memory_order_relaxed);
}

void ExifOrientation::setApplied(bool on)
{
    g_applied.store(on, std::memory_order_relaxed);
}

int ExifOrientation::fromApp1(const uchar *data, size_t size)
{
    // libexif would also search a whole JPEG file for the block; only an
    // APP1 block that says it is EXIF is handed to it.
    if (!data || size <= sizeof ExifHeader || std::memcmp(data, ExifHeader, sizeof ExifHeader) != 0)
        return 1;
    std::unique_ptr<ExifData, ExifDataDeleter> exif(exif_data_new());
    if (!exif)
        return 1;
    // Read the block as it is: no entries added, none corrected, no maker
    // notes interpreted (they are the most often damaged part).
    exif_data_unset_option(exif.get(), EXIF_DATA_OPTION_FOLLOW_SPECIFICATION);
    exif_data_set_option(exif.get(), EXIF_DATA_OPTION_IGNORE_UNKNOWN_TAGS);
    exif_data_set_option(exif.get(), EXIF_DATA_OPTION_DONT_CHANGE_MAKER_NOTE);
    exif_data_load_data(exif.get(), data, unsigned(std::min<size_t>(size, 0xFFFF)));
    // The picture's own orientation is in the first IFD (the second is the
    // embedded thumbnail's).
    ExifContent *first = exif->ifd[EXIF_IFD_0];
    ExifEntry *entry = first ? exif_content_get_entry(first, EXIF_TAG_ORIENTATION) : nullptr;
    if (!entry || entry->format != EXIF_FORMAT_SHORT || entry->components < 1 || !entry->data || entry->size < 2)
        return 1;
    const int value = exif_get_short(entry->data, exif_data_get_byte_order(exif.get()));
    return value >= 1 && value <= 8 ? value : 1;
}

bool ExifOrientation::swapsSides(int orientation)
{
    return orientation >= 5 && orientation <= 8;
}

bool ExifOrientation::apply(Bitmap &picture, int orientation)
{
    if (orientation < 2 || orientation > 8 || picture.isEmpty())
        return true;
    const QImage &stored = picture.image();
    QImage upright;
    switch (orientation) {
    case 2: upright = stored.mirrored(true, false); break;
    case 3: upright = stored.mirrored(true, true); break;
    case 4: upright = stored.mirrored(false, true); break;
    // Quarter turns take Qt's fast rotation path (whole rows of memory
    // rotated in blocks), then a mirror for the transposing two.
    case 5: upright = stored.transformed(QTransform().rotate(90)).mirrored(true, false); break;
    case 6: upright = stored.transformed(QTransform().rotate(90)); break;
    case 7: upright = stored.transformed(QTransform().rotate(90)).mirrored(false, true); break;
    case 8: upright = stored.transformed(QTransform().rotate(270)); break;
    }
    if (upright.isNull())
        return false;
    picture.assign(picture.pixelFormat(), std::move(upright));
    return true;
}

} // namespace pelandor
