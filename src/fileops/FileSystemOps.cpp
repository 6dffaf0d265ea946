#include "fileops/FileSystemOps.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace pelandor {

int FileSystemOps::open(const QByteArray &path, int flags, mode_t mode)
{
    int fd;
    do {
        fd = ::open(path.constData(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

ssize_t FileSystemOps::read(int fd, void *buffer, size_t size)
{
    ssize_t n;
    do {
        n = ::read(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

ssize_t FileSystemOps::write(int fd, const void *buffer, size_t size)
{
    ssize_t n;
    do {
        n = ::write(fd, buffer, size);
    } while (n < 0 && errno == EINTR);
    return n;
}

int FileSystemOps::fsync(int fd) { return ::fsync(fd); }
int FileSystemOps::close(int fd) { return ::close(fd); }
int FileSystemOps::fstat(int fd, struct stat *info) { return ::fstat(fd, info); }
int FileSystemOps::fchmod(int fd, mode_t mode) { return ::fchmod(fd, mode); }
int FileSystemOps::futimens(int fd, const struct timespec times[2]) { return ::futimens(fd, times); }
int FileSystemOps::stat(const QByteArray &path, struct stat *info) { return ::stat(path.constData(), info); }
int FileSystemOps::lstat(const QByteArray &path, struct stat *info) { return ::lstat(path.constData(), info); }
int FileSystemOps::rename(const QByteArray &from, const QByteArray &to)
{
    return ::rename(from.constData(), to.constData());
}
int FileSystemOps::renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
        return -1;
    // link() never replaces an existing name either.
    if (::link(from.constData(), to.constData()) != 0)
        return -1;
    ::unlink(from.constData());
    return 0;
}

int FileSystemOps::unlink(const QByteArray &path) { return ::unlink(path.constData()); }
int FileSystemOps::mkdir(const QByteArray &path, mode_t mode) { return ::mkdir(path.constData(), mode); }
int FileSystemOps::symlink(const QByteArray &target, const QByteArray &linkPath)
{
    return ::symlink(target.constData(), linkPath.constData());
}

QByteArray FileSystemOps::readlink(const QByteArray &path)
{
    QByteArray buffer(256, '\0');
    for (;;) {
        const ssize_t n = ::readlink(path.constData(), buffer.data(), size_t(buffer.size()));
        if (n < 0)
            return QByteArray();
        if (n < buffer.size()) {
            buffer.truncate(n);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

FileSystemOps &FileSystemOps::system()
{
    static FileSystemOps ops;
    return ops;
}

} // namespace pelandor
