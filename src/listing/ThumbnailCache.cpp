#include "listing/ThumbnailCache.h"
#include "decode/ExifOrientation.h"
#include "platform/NativeName.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace pelandor {

namespace {

// The last digit counts the changes of the entry or of its key's form.
constexpr char Magic[8] = {'P', 'L', 'D', 'R', 'T', 'H', 'M', '3'};
const QString EntrySuffix = QStringLiteral(".cell");
const QString TemporaryPrefix = QStringLiteral(".tmp-");
// A cell is at most this large a side; anything bigger is damage.
constexpr int MaxCellSide = 4096;

struct Header {
    char magic[8];
    uint32_t keySize;
    int32_t width;
    int32_t height;
    int32_t cellWidth;
    int32_t cellHeight;
    int16_t bitDepth;
    int16_t reserved;
};

// An entry: the header, the key, a checksum over both (so that a reading
// that needs only the facts checks them without reading the cell), the
// cell's rows of 24-bit pixels and a checksum over everything before it.
constexpr qsizetype SumSize = 8;
constexpr qsizetype HeadBytes(qsizetype keySize)
{
    return qsizetype(sizeof(Header)) + keySize + SumSize;
}
// What the cache keeps at most while the disk holds the kept entries of a
// reading: a tenth of the disk, but never more than this.
constexpr qint64 MaxMargin = qint64(2) << 30;
// A few milliseconds before "now": file times come from a coarser clock.
constexpr qint64 UseTimeSlackMs = 100;

// A fast checksum over the whole entry, eight bytes at a time: enough to
// tell a damaged entry, cheap enough for ten thousand cells.
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
        h = (h ^ uchar(data[i])) * 0x100000001B3ULL;
    return h;
}

bool writeAll(int fd, const char *data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
}

qint64 modifiedNanoseconds(const struct stat &info)
{
    return nanoseconds(info.st_mtim);
}

// The stamp of a file by its absolute native name.
std::optional<QByteArray> stampOfNative(const QByteArray &absolute)
{
    struct stat info;
    if (::stat(absolute.constData(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    // Copies keep size and modification time (cp -p, rsync -t, archives), so
    // two pictures that swap names would take each other's cells. The inode
    // and the status change time tell them apart: every write and rename
    // sets the latter to now, and nothing can set it back.
    QByteArray stamp = absolute;
    stamp += '\0';
    stamp += QByteArray::number(qint64(info.st_size)) + ' ' + QByteArray::number(modifiedNanoseconds(info)) + ' '
        + QByteArray::number(quint64(info.st_ino)) + ' ' + QByteArray::number(nanoseconds(info.st_ctim)) + '\0';
    return stamp;
}

} // namespace

ThumbnailCache::ThumbnailCache(QString folder, qint64 limit)
    : m_folder(std::move(folder))
    , m_limit(limit)
{
}

QString ThumbnailCache::defaultFolder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/pelandor/thumbnails");
}

QString ThumbnailCache::builtInRoute()
{
    // Cells of JPEG files turned upright differ from those of the stored
    // pixels, so the rule is part of the key.
    return ExifOrientation::applied() ? QStringLiteral("built-in upright") : QStringLiteral("built-in");
}

QString ThumbnailCache::moduleRoute(const QString &moduleFile)
{
    struct stat info;
    if (moduleFile.isEmpty() || ::stat(NativeName::encode(moduleFile).constData(), &info) != 0)
        return QString();
    return QStringLiteral("module %1 %2 %3")
        .arg(QFileInfo(moduleFile).fileName())
        .arg(qint64(info.st_size))
        .arg(modifiedNanoseconds(info));
}

std::optional<ThumbnailCache::FileStamp> ThumbnailCache::stampOf(const QString &path)
{
    // The reading's paths are absolute and clean already: they are taken as
    // they are, which is what QFileInfo would give for them, without its
    // allocations for every file.
    const auto cleanAbsolute = [](const QString &p) {
        return p.startsWith(QLatin1Char('/')) && !p.contains(QLatin1String("//"))
            && !p.contains(QLatin1String("/./")) && !p.contains(QLatin1String("/../"))
            && !p.endsWith(QLatin1String("/.")) && !p.endsWith(QLatin1String("/.."))
            && (p.size() == 1 || !p.endsWith(QLatin1Char('/')));
    };
    const QString absolute = cleanAbsolute(path) ? path : QFileInfo(path).absoluteFilePath();
    if (std::optional<QByteArray> stamp = stampOfNative(NativeName::encode(absolute)))
        return FileStamp{std::move(*stamp)};
    return std::nullopt;
}

std::optional<QByteArray> ThumbnailCache::keyOf(const FileStamp &stamp, const QString &route, QSize cellSize)
{
    if (route.isEmpty())
        return std::nullopt;
    QByteArray key = stamp.bytes;
    key += route.toUtf8() + '\0';
    key += QByteArray::number(cellSize.width()) + 'x' + QByteArray::number(cellSize.height());
    return key;
}

std::optional<QByteArray> ThumbnailCache::keyOf(const QString &path, const QString &route, QSize cellSize)
{
    const std::optional<FileStamp> stamp = stampOf(path);
    return stamp ? keyOf(*stamp, route, cellSize) : std::nullopt;
}

bool ThumbnailCache::worthKeeping(int width, int height)
{
    return qint64(width) * height > qint64(4) * 96 * 96;
}

QString ThumbnailCache::entryPath(const QByteArray &key) const
{
    return m_folder + QLatin1Char('/')
        + QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) + EntrySuffix;
}

std::optional<QByteArray> ThumbnailCache::readEntry(const QByteArray &key, bool whole) const
{
    const int fd = ::open(NativeName::encode(entryPath(key)).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return std::nullopt;
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat info;
    const qsizetype headBytes = HeadBytes(key.size());
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size < headBytes + SumSize
        || info.st_size > (qint64(1) << 26))
        return std::nullopt;
    QByteArray data(whole ? qsizetype(info.st_size) : headBytes, Qt::Uninitialized);
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n = ::read(fd, data.data() + done, size_t(data.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return std::nullopt;
        done += n;
    }
    Header header;
    std::memcpy(&header, data.constData(), sizeof header);
    if (std::memcmp(header.magic, Magic, sizeof Magic) != 0 || header.cellWidth <= 0 || header.cellHeight <= 0
        || header.cellWidth > MaxCellSide || header.cellHeight > MaxCellSide || header.width < 0 || header.height < 0
        || header.keySize != uint32_t(key.size()))
        return std::nullopt;
    const qsizetype pixelBytes = qsizetype(header.cellWidth) * 3 * header.cellHeight;
    const qsizetype expected = headBytes + pixelBytes + SumSize;
    if (info.st_size != expected)
        return std::nullopt;
    uint64_t stored;
    std::memcpy(&stored, data.constData() + headBytes - SumSize, SumSize);
    if (stored != checksum(data.constData(), size_t(headBytes - SumSize)))
        return std::nullopt;
    if (std::memcmp(data.constData() + sizeof header, key.constData(), size_t(key.size())) != 0)
        return std::nullopt; // another key with the same hash
    if (whole) {
        std::memcpy(&stored, data.constData() + expected - SumSize, SumSize);
        if (stored != checksum(data.constData(), size_t(expected - SumSize)))
            return std::nullopt;
    }
    // A use: the entry moves to the young end of the drop order.
    ::futimens(fd, nullptr);
    return data;
}

std::optional<ThumbnailCache::Entry> ThumbnailCache::findFacts(const QByteArray &key) const
{
    const std::optional<QByteArray> data = readEntry(key, false);
    if (!data)
        return std::nullopt;
    Header header;
    std::memcpy(&header, data->constData(), sizeof header);
    Entry entry;
    entry.width = header.width;
    entry.height = header.height;
    entry.bitDepth = header.bitDepth;
    return entry;
}

std::optional<ThumbnailCache::Entry> ThumbnailCache::find(const QByteArray &key) const
{
    const std::optional<QByteArray> data = readEntry(key, true);
    if (!data)
        return std::nullopt;
    Header header;
    std::memcpy(&header, data->constData(), sizeof header);
    Entry entry;
    entry.cell = QImage(header.cellWidth, header.cellHeight, QImage::Format_RGB888);
    if (entry.cell.isNull())
        return std::nullopt;
    const qsizetype rowBytes = qsizetype(header.cellWidth) * 3;
    const char *pixels = data->constData() + HeadBytes(key.size());
    for (int y = 0; y < header.cellHeight; ++y)
        std::memcpy(entry.cell.scanLine(y), pixels + y * rowBytes, size_t(rowBytes));
    entry.width = header.width;
    entry.height = header.height;
    entry.bitDepth = header.bitDepth;
    return entry;
}

void ThumbnailCache::store(const QByteArray &key, const Entry &entry)
{
    if (entry.cell.isNull() || entry.cell.width() > MaxCellSide || entry.cell.height() > MaxCellSide)
        return;
    // The key begins with the stamp of the file, whose name runs up to the
    // first null. Another stamp now: the file changed while it was decoded,
    // and the cell may be of the old picture, the new one or a mix.
    const qsizetype nameEnd = key.indexOf('\0');
    const std::optional<QByteArray> stamp = nameEnd > 0 ? stampOfNative(key.left(nameEnd)) : std::nullopt;
    if (!stamp || !key.startsWith(*stamp))
        return;
    const QImage cell = entry.cell.convertToFormat(QImage::Format_RGB888);
    Header header{};
    std::memcpy(header.magic, Magic, sizeof Magic);
    header.keySize = uint32_t(key.size());
    header.width = entry.width;
    header.height = entry.height;
    header.cellWidth = cell.width();
    header.cellHeight = cell.height();
    header.bitDepth = entry.bitDepth;
    const qsizetype rowBytes = qsizetype(cell.width()) * 3;
    QByteArray data;
    data.reserve(HeadBytes(key.size()) + rowBytes * cell.height() + SumSize);
    data.append(reinterpret_cast<const char *>(&header), sizeof header);
    data.append(key);
    const uint64_t headSum = checksum(data.constData(), size_t(data.size()));
    data.append(reinterpret_cast<const char *>(&headSum), sizeof headSum);
    for (int y = 0; y < cell.height(); ++y)
        data.append(reinterpret_cast<const char *>(cell.constScanLine(y)), rowBytes);
    const uint64_t sum = checksum(data.constData(), size_t(data.size()));
    data.append(reinterpret_cast<const char *>(&sum), sizeof sum);

    // A name of its own in the same folder, renamed over the entry's name
    // once complete. mkostemp picks a name that is free, whatever an ended
    // process left behind.
    const QByteArray pattern
        = NativeName::encode(m_folder + QLatin1Char('/') + TemporaryPrefix + QStringLiteral("XXXXXX"));
    QByteArray temporaryName = pattern;
    int fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    if (fd < 0 && errno == ENOENT && QDir().mkpath(m_folder)) {
        // No folder yet, or another instance removed it meanwhile: made
        // again, and its size counted anew.
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_total = -1;
        }
        temporaryName = pattern;
        fd = ::mkostemp(temporaryName.data(), O_CLOEXEC);
    }
    // A failure here or below costs this entry only; the next store tries
    // again.
    if (fd < 0)
        return;
    const bool written = writeAll(fd, data.constData(), size_t(data.size()));
    const bool closed = ::close(fd) == 0;
    if (!written || !closed
        || ::rename(temporaryName.constData(), NativeName::encode(entryPath(key)).constData()) != 0) {
        ::unlink(temporaryName.constData());
        return;
    }

    const std::lock_guard<std::mutex> lock(m_mutex);
    if (m_total < 0) {
        m_total = 0;
        QDirIterator it(m_folder, QDir::Files | QDir::Hidden);
        while (it.hasNext()) {
            it.next();
            m_total += it.fileInfo().size();
        }
    } else {
        m_total += data.size();
    }
    // Past the point of the last trim, or short of the disk's margin while
    // kept entries hold the cache above its limit.
    if (m_total > (m_trimAt < 0 ? m_limit : m_trimAt)
        || (m_keepSince >= 0 && m_total > m_limit && marginShortfall() > 0))
        trimLocked();
}

void ThumbnailCache::keepUsesFromNow()
{
    m_keepSince = QDateTime::currentMSecsSinceEpoch() - UseTimeSlackMs;
}

qint64 ThumbnailCache::marginShortfall() const
{
    struct statvfs disk;
    if (::statvfs(NativeName::encode(m_folder).constData(), &disk) != 0)
        return 0;
    const qint64 size = qint64(disk.f_blocks) * qint64(disk.f_frsize);
    const qint64 free = qint64(disk.f_bavail) * qint64(disk.f_frsize);
    const qint64 margin = m_margin >= 0 ? m_margin : std::min(size / 10, MaxMargin);
    return margin - free;
}

void ThumbnailCache::warm(const QByteArray &key) const
{
    const int fd = ::open(NativeName::encode(entryPath(key)).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return;
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_WILLNEED);
    ::close(fd);
}

void ThumbnailCache::remove(const QByteArray &key)
{
    QFile::remove(entryPath(key));
}

void ThumbnailCache::trimLocked()
{
    struct Item {
        QString path;
        qint64 used;
        qint64 size;
    };
    std::vector<Item> items;
    qint64 total = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    QDirIterator it(m_folder, QDir::Files | QDir::Hidden);
    while (it.hasNext()) {
        it.next();
        const QFileInfo info = it.fileInfo();
        const qint64 used = info.lastModified().toMSecsSinceEpoch();
        if (info.fileName().startsWith(TemporaryPrefix)) {
            // Left by a process that ended while writing it.
            if (now - used > 3600 * 1000)
                QFile::remove(info.filePath());
            continue;
        }
        items.push_back({info.filePath(), used, info.size()});
        total += info.size();
    }
    std::sort(items.begin(), items.end(), [](const Item &a, const Item &b) { return a.used < b.used; });
    // Down to nine tenths, so that the next stores do not trim at once again.
    const qint64 target = m_limit / 10 * 9;
    qint64 shortfall = m_keepSince >= 0 ? marginShortfall() : 0;
    for (const Item &item : items) {
        if (total <= target)
            break;
        // The oldest first: once one is kept, so are all after it.
        if (m_keepSince >= 0 && item.used >= m_keepSince && shortfall <= 0)
            break;
        if (QFile::remove(item.path)) {
            total -= item.size;
            shortfall -= item.size;
        }
    }
    m_total = total;
    // Kept entries above the limit: the folder is listed again only when it
    // has grown by another quarter, so that a reading of a large folder
    // lists it a few times, not once a store.
    m_trimAt = total > m_limit ? total + std::max(m_limit / 10, total / 4) : -1;
}

bool ThumbnailCache::clear()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_total = -1;
    m_trimAt = -1;
    QDir folder(m_folder);
    return !folder.exists() || folder.removeRecursively();
}

} // namespace pelandor
