// Pelandor's own cache of finished thumbnail cells, so that a folder seen
// before is listed without decoding it again. Each entry is one file under
// `$XDG_CACHE_HOME/pelandor/thumbnails/` (default `~/.cache/pelandor/...`)
// holding the cell and the picture's width, height and colour depth. It is
// keyed by the image file's absolute path, size, modification time, inode
// number and status change time, by the decoding route (the built-in
// decoders, or the module's file name with the module's own size and
// modification time) and by the cell's size in pixels, so a changed file
// (also one copied over or renamed with its size and time kept), a changed
// module or another cell size misses.
//
// Entries are written to a temporary file and renamed into place, so a crash
// or a second running instance never leaves half an entry under its name;
// an entry that is damaged all the same fails its checksum, is ignored and
// is replaced by the next store. The cache stays below its size limit by
// dropping the entries used longest ago (a hit counts as a use), except the
// entries of the reading under way (keepUsesFromNow): those stay, however
// large the folder, as long as the disk keeps its free-space margin, so a
// folder larger than the limit is found whole when it is read again. A store
// that fails (a folder that cannot be written, a full disk) keeps nothing
// for that entry alone: reading goes on, and the next store tries again,
// making the folder anew when it is gone. find and store may be called from
// several threads at once.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <cstdint>
#include <mutex>
#include <optional>

namespace pelandor {

class ThumbnailCache {
public:
    static constexpr qint64 DefaultLimit = qint64(512) << 20;

    struct Entry {
        QImage cell;
        int width = 0;
        int height = 0;
        int16_t bitDepth = 0;
    };

    // folder: where the entries live (made when the first entry is stored).
    explicit ThumbnailCache(QString folder, qint64 limit = DefaultLimit);

    // $XDG_CACHE_HOME/pelandor/thumbnails, or ~/.cache/pelandor/thumbnails.
    static QString defaultFolder();

    // The route texts of the key: the built-in decoders (with the EXIF
    // orientation rule in force), or a module file (its name, size and
    // modification time; empty when it cannot be found).
    static QString builtInRoute();
    static QString moduleRoute(const QString &moduleFile);

    // An image file's part of a key: its absolute path, size, times and
    // inode number, as they are now; nothing when the file cannot be looked
    // up. Taken before the file is decoded, it keys what was decoded.
    struct FileStamp {
        QByteArray bytes;
    };
    static std::optional<FileStamp> stampOf(const QString &path);

    // The key of the stamped file decoded by `route` into a cell of cellSize
    // pixels; nothing when the route is empty.
    static std::optional<QByteArray> keyOf(const FileStamp &stamp, const QString &route, QSize cellSize);
    // The same with the file's stamp as it is now; nothing when the file
    // cannot be looked up either.
    static std::optional<QByteArray> keyOf(const QString &path, const QString &route, QSize cellSize);

    // Whether a picture decoded by the built-in decoders is worth an entry:
    // one of at most four cells' pixels decodes faster than its entry is read
    // and written, so such pictures are decoded every time.
    static bool worthKeeping(int width, int height);

    std::optional<Entry> find(const QByteArray &key) const;
    // The entry's facts (width, height, depth) without its cell, which stays
    // in the cache: only the head of the entry is read and checked (the
    // cell's own checksum is checked when find reads it). Counts as a use.
    std::optional<Entry> findFacts(const QByteArray &key) const;
    // Keeps `entry` under `key` (taken before the file was decoded) unless
    // the file no longer has the stamp the key holds: a file that changed
    // while it was decoded keeps nothing.
    void store(const QByteArray &key, const Entry &entry);
    // Asks the system to read the entry of key into memory in the
    // background (nothing when there is none), so that a find soon after
    // does not wait for the disk.
    void warm(const QByteArray &key) const;
    void remove(const QByteArray &key);

    // Removes every entry. False when something could not be removed.
    bool clear();

    QString folder() const { return m_folder; }
    qint64 limit() const { return m_limit; }

    // Entries used (found or stored) from now on, by this object or any
    // other, belong to the reading under way: no trim drops them while the
    // disk holding the cache has more free space than the margin. Past the
    // margin they are dropped like any other, the oldest first, until the
    // margin is free again or the cache is back under its limit.
    void keepUsesFromNow();
    // The same from a time taken by another object (milliseconds since the
    // epoch; negative: none kept), so that all objects of one reading keep
    // the same entries.
    void keepUsesSince(qint64 msecsSinceEpoch) { m_keepSince = msecsSinceEpoch; }
    qint64 keptSince() const { return m_keepSince; }
    // The free bytes the cache never takes for kept entries: by default
    // (negative) a tenth of the disk, at most 2 GB.
    void setFreeSpaceMargin(qint64 bytes) { m_margin = bytes; }

private:
    QString entryPath(const QByteArray &key) const;
    // Drops the oldest entries that are not kept until the folder is well
    // below the limit, and kept ones too while the disk is short of its
    // margin.
    void trimLocked();
    // The bytes by which the disk's free space falls short of the margin
    // (zero or less: none).
    qint64 marginShortfall() const;
    // Reads the entry of key: its head (header, key and their checksum), or
    // the whole entry with its cell and the checksum over everything. Only
    // an entry of that key, of the size its header gives, whose checksums
    // hold, is returned; reading it counts as a use.
    std::optional<QByteArray> readEntry(const QByteArray &key, bool whole) const;

    QString m_folder;
    qint64 m_limit;
    std::mutex m_mutex;
    qint64 m_total = -1; // bytes in the folder as far as this process knows; -1 before the first count
    qint64 m_trimAt = -1; // the total past which the next store trims; -1: the limit
    qint64 m_keepSince = -1;
    qint64 m_margin = -1;
};

} // namespace pelandor
