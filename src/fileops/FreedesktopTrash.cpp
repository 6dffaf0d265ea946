#include "fileops/FreedesktopTrash.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

#include "fileops/FileSystemOps.h"
#include "fileops/RawPath.h"
#include "platform/NativeName.h"

namespace pelandor {

FreedesktopTrash::FreedesktopTrash(FileSystemOps &ops)
    : m_ops(ops)
{
}

QByteArray FreedesktopTrash::homeTrashPath()
{
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = RawPath::join(NativeName::encode(QDir::homePath()), ".local/share");
    return RawPath::join(RawPath::absolute(dataHome), "Trash");
}

QByteArray FreedesktopTrash::trashInfo(const QByteArray &path, const QDateTime &deletionDate)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") + "\nDeletionDate="
        + deletionDate.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toLatin1() + "\n";
}

bool FreedesktopTrash::makePath(const QByteArray &path, mode_t mode)
{
    struct stat info {};
    if (m_ops.stat(path, &info) == 0)
        return S_ISDIR(info.st_mode);
    const QByteArray parent = RawPath::parent(path);
    if (parent != path && !makePath(parent, mode))
        return false;
    return m_ops.mkdir(path, mode) == 0 || errno == EEXIST;
}

bool FreedesktopTrash::ensureTrashFolders(const QByteArray &trash)
{
    return makePath(RawPath::join(trash, "files"), 0700) && makePath(RawPath::join(trash, "info"), 0700);
}

QByteArray FreedesktopTrash::mountPointOf(const QByteArray &absolutePath, dev_t device)
{
    QByteArray top = absolutePath;
    while (top != "/") {
        const QByteArray up = RawPath::parent(top);
        struct stat info {};
        if (m_ops.stat(up, &info) != 0 || info.st_dev != device)
            break;
        top = up;
    }
    return top;
}

QByteArray FreedesktopTrash::volumeTrash(const QByteArray &topdir)
{
    const QByteArray uid = QByteArray::number(uint(getuid()));
    // An administrator-made .Trash with the sticky bit, not a link.
    const QByteArray shared = RawPath::join(topdir, ".Trash");
    struct stat info {};
    if (m_ops.lstat(shared, &info) == 0 && S_ISDIR(info.st_mode) && (info.st_mode & S_ISVTX)) {
        const QByteArray own = RawPath::join(shared, uid);
        struct stat ownInfo {};
        const bool exists = m_ops.lstat(own, &ownInfo) == 0;
        if ((exists && S_ISDIR(ownInfo.st_mode) && ownInfo.st_uid == getuid())
            || (!exists && m_ops.mkdir(own, 0700) == 0)) {
            if (ensureTrashFolders(own))
                return own;
        }
    }
    const QByteArray own = RawPath::join(topdir, ".Trash-" + uid);
    const bool exists = m_ops.lstat(own, &info) == 0;
    if ((exists && S_ISDIR(info.st_mode) && info.st_uid == getuid()) || (!exists && m_ops.mkdir(own, 0700) == 0)) {
        if (ensureTrashFolders(own))
            return own;
    }
    return QByteArray();
}

FreedesktopTrash::Result FreedesktopTrash::moveToTrash(const QByteArray &givenPath)
{
    Result result;
    // The file's real place: a folder reached through a link may lie on
    // another volume, whose own trash is at its top, not in the link's
    // target. The file itself stays as it is (a link is trashed as a link).
    QByteArray path = RawPath::absolute(givenPath);
    char *real = ::realpath(RawPath::parent(path).constData(), nullptr);
    if (real) {
        path = RawPath::join(QByteArray(real), RawPath::baseName(path));
        std::free(real);
    }
    struct stat file {};
    if (m_ops.lstat(path, &file) != 0) {
        result.error = errno;
        return result;
    }

    QByteArray trash = homeTrashPath();
    QByteArray infoPath = path; // absolute in the home trash
    const bool homeReady = ensureTrashFolders(trash);
    struct stat home {};
    if (!homeReady || m_ops.stat(trash, &home) != 0 || home.st_dev != file.st_dev) {
        const QByteArray topdir = mountPointOf(RawPath::parent(path), file.st_dev);
        trash = volumeTrash(topdir);
        if (trash.isEmpty()) {
            result.outcome = Outcome::NoTrash;
            return result;
        }
        // Relative to the volume's top folder, so the entry stays true when
        // the volume is mounted elsewhere.
        infoPath = topdir == "/" ? path.mid(1) : path.mid(topdir.size() + 1);
    }

    // Reserve a name by creating its .trashinfo exclusively; the same name in
    // files/ must be free too.
    const QByteArray base = RawPath::baseName(path);
    const QByteArray content = trashInfo(infoPath, QDateTime::currentDateTime());
    for (int n = 1; n < 10000; ++n) {
        const QByteArray name = n == 1 ? base : base + '.' + QByteArray::number(n);
        const QByteArray info = RawPath::join(RawPath::join(trash, "info"), name + ".trashinfo");
        const QByteArray target = RawPath::join(RawPath::join(trash, "files"), name);
        struct stat existing {};
        if (m_ops.lstat(target, &existing) == 0)
            continue;
        const int fd = m_ops.open(info, O_WRONLY | O_CREAT | O_EXCL, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            result.error = errno;
            return result;
        }
        const bool written = m_ops.write(fd, content.constData(), size_t(content.size())) == content.size()
            && m_ops.fsync(fd) == 0;
        const int writeError = errno;
        if (m_ops.close(fd) != 0 || !written) {
            result.error = written ? errno : writeError;
            m_ops.unlink(info);
            return result;
        }
        if (m_ops.rename(path, target) != 0) {
            result.error = errno;
            m_ops.unlink(info);
            if (result.error == EXDEV)
                result.outcome = Outcome::NoTrash;
            return result;
        }
        result.outcome = Outcome::Trashed;
        result.trashedAs = target;
        return result;
    }
    result.error = EEXIST;
    return result;
}

} // namespace pelandor
