// The thumbnail cache's entry reader on any bytes stored under a key's name.
// Each input is looked up twice: as the entry file's whole contents, and
// with the key the lookup asks for put behind its first 32 bytes (the
// header), the head's valid checksum behind the key and a valid checksum
// put after it all, so that damaged headers and cells get past the
// checksums too. Each is looked up for the whole entry and for its facts
// only. A hit must be a cell of its own header's size.
#include "listing/ThumbnailCache.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

using namespace pelandor;

namespace {

// The entry's header, as the reader lays it out.
constexpr qsizetype HeaderSize = 32;
constexpr qsizetype KeySizeAt = 8;

// The checksum the reader checks (its own copy; the reader is not to be
// changed to suit a fuzzer).
uint64_t checksum(const char *data, size_t size)
{
    uint64_t h = 0x9E3779B97F4A7C15ULL ^ size;
    size_t i = 0;
    for (; i + 8 <= size; i += 8) {
        uint64_t word;
        std::memcpy(&word, data + i, 8);
        h = (h ^ word) * 0x100000001B3ULL;
        h ^= h >> 29;
    }
    for (; i < size; ++i)
        h = (h ^ uint8_t(data[i])) * 0x100000001B3ULL;
    return h;
}

struct Setting {
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<ThumbnailCache> cache;
    QByteArray key;
    QString entry; // the file an entry under `key` lives in
};

// A cache with one real entry, which tells where the key's entry lives.
Setting &setting()
{
    static Setting s = [] {
        Setting made;
        const QString base = QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm") : QDir::tempPath();
        made.dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/pelandor-fuzz-cache-XXXXXX"));
        const QString picture = made.dir->filePath(QStringLiteral("picture.bmp"));
        QFile file(picture);
        if (!file.open(QIODevice::WriteOnly) || file.write("BM") != 2)
            std::abort();
        file.close();
        made.cache = std::make_unique<ThumbnailCache>(made.dir->filePath(QStringLiteral("cache")));
        made.key = ThumbnailCache::keyOf(picture, ThumbnailCache::builtInRoute(), QSize(96, 96)).value_or(QByteArray());
        ThumbnailCache::Entry entry;
        entry.cell = QImage(2, 2, QImage::Format_RGB888);
        entry.cell.fill(Qt::white);
        made.cache->store(made.key, entry);
        QDirIterator cells(made.cache->folder(), {QStringLiteral("*.cell")}, QDir::Files);
        if (made.key.isEmpty() || !cells.hasNext())
            std::abort();
        made.entry = cells.next();
        return made;
    }();
    return s;
}

void lookUp(const Setting &s, const QByteArray &contents)
{
    QFile file(s.entry);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(contents) != contents.size())
        std::abort();
    file.close();
    const std::optional<ThumbnailCache::Entry> found = s.cache->find(s.key);
    if (found && (found->cell.isNull() || found->cell.width() * 3 > contents.size()))
        std::abort();
    const std::optional<ThumbnailCache::Entry> facts = s.cache->findFacts(s.key);
    if (facts && !facts->cell.isNull())
        std::abort();
    if (found && !facts)
        std::abort(); // a whole entry that passes has facts that pass
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Setting &s = setting();
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    lookUp(s, input);
    if (input.size() >= HeaderSize) {
        QByteArray keyed = input.left(HeaderSize) + s.key;
        const uint32_t keySize = uint32_t(s.key.size());
        std::memcpy(keyed.data() + KeySizeAt, &keySize, sizeof keySize);
        const uint64_t headSum = checksum(keyed.constData(), size_t(keyed.size()));
        keyed.append(reinterpret_cast<const char *>(&headSum), sizeof headSum);
        keyed.append(input.mid(HeaderSize));
        const uint64_t sum = checksum(keyed.constData(), size_t(keyed.size()));
        keyed.append(reinterpret_cast<const char *>(&sum), sizeof sum);
        lookUp(s, keyed);
    }
    return 0;
}
